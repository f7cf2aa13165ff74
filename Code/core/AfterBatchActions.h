// AfterBatchActions: what a finished batch may do next: show the output
// folder in the desktop's file manager, or ask the system to power off. The
// opener and the power switch are given by the program (tests give recorders
// or none); the switch is not owned. User-interface thread only.
#pragma once

#include <functional>
#include <string>

#include "UtilityObjects.h"

class PowerSwitch;

class AfterBatchActions {
 public:
  explicit AfterBatchActions(TAppFunc& app) : app_(app) {}

  // The desktop's file manager on `folder`, through the opener set below (the
  // application's launcher); only logged while none is set.
  void OpenFolderInExplorer(const std::string& folder);
  // Asks the system to power off through the switch set below; with none set
  // nothing happens but a log line. The result is not tested.
  void PowerOff();

  void SetPowerSwitch(PowerSwitch* power) { power_ = power; }
  void SetFolderOpener(std::function<void(const std::string&)> opener) {
    folder_opener_ = std::move(opener);
  }

 private:
  TAppFunc& app_;
  PowerSwitch* power_ = nullptr;
  std::function<void(const std::string&)> folder_opener_;
};
