// EngineProcesses: finding processes by executable name and ending them: the
// engine this program started when a batch stops, and any process of a name
// on request. Holds references to the log, the process look-up (whose
// ProcessEnv it lists and signals through) and the user interface (for its
// pauses), none owned. User-interface thread only.
#pragma once

#include <string>

#include "UserInterface.h"
#include "UtilityObjects.h"

class EngineRun;

class EngineProcesses {
 public:
  EngineProcesses(TAppFunc& app, TSysFunc& sys, UserInterface& ui);

  // As TSysFunc::GetProcessIdByName; logs "Get Process id error." on 0.
  int GetProcessIdByName(const std::string& exe_name);
  // Ends every process of that name; false (and a log line) when none was
  // found or the last termination failed. Matches the executable's file name
  // or its whole path, ignoring case. SIGTERM first (the engine removes its
  // unfinished output), SIGKILL after 1.5 s; returns once they are gone.
  bool TerminateProcessByName(const std::string& name);
  // Ends the engine `runner` started (none when null) while it runs under the
  // file name of `engine_path` or under "evc.exe"; see
  // TCommonLib::KillEngineProcesses.
  void KillEngineProcesses(const std::string& engine_path, EngineRun* runner);

 private:
  // True while `runner`'s engine runs under the file name `name`; logs the
  // look-up miss otherwise.
  bool EngineRunsAs(const EngineRun* runner, const std::string& name);

  TAppFunc& app_;
  TSysFunc& sys_;
  UserInterface& ui_;
};
