// A power switch for tests: counts the power-off requests instead of powering
// the machine off. Needs no Qt, so window-free tests use it too.
#pragma once

#include "PowerSwitch.h"

class RecordingPowerSwitch : public PowerSwitch {
 public:
  void PowerOff() override { ++Requests; }
  int Requests = 0;
};
