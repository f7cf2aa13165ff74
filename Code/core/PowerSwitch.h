// PowerSwitch: the one way Tonbrix asks the machine to power off, after a
// batch whose "Shutdown computer when job is finished." box is ticked.
//
// The program entry owns the one SystemPowerSwitch and hands it to TCommonLib;
// tests give a recorder instead, so no test can ever reach the real request.
// User-interface thread only.
#pragma once

#include <string>

class PowerSwitch {
 public:
  virtual ~PowerSwitch() = default;
  // Asks the system to power off; the outcome is not reported.
  virtual void PowerOff() = 0;
};

// The real request: "systemctl poweroff", which asks logind to power off
// (started directly, no shell; not waited for).
class SystemPowerSwitch : public PowerSwitch {
 public:
  void PowerOff() override;
};
