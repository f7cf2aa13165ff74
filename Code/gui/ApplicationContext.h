// TApplicationContext: the process-wide objects of Tonbrix in one holder.
//
// The program entry owns the one instance and hands it to every window by
// reference; it outlives them all. Until the splash has run InitApplication
// the six objects are null: only the windows and the application object exist
// then. After that they live until the process ends.
//
// Used on the user-interface thread only.
#pragma once

#include <memory>
#include <string>

#include "ShellLauncher.h"
#include "UnitCustomProc.h"
#include "Unit_CommonLib.h"
#include "UserInterface.h"
#include "UtilityObjects.h"

// The software information: filled at start-up, shown in the title and the
// About box.
struct RecSoftInfo {
  std::string CompanyName;  // text 0 of Res.dll
  std::string ProductName;  // text 1
  std::string ResText2;     // text 2
  std::string VersionText;  // major.minor of the program file's version
  std::string HomePage;     // text 4
  std::string EMail;        // text 5
  std::string ResText7;     // text 7
  std::string AppPath;      // the program folder, ending in "/"
};

struct TApplicationContext {
  // `app_dir`: the program folder (ending in "/") where the companion files,
  // the help page and log.txt lie; `program_file`: the file whose version the
  // title shows. The program passes ProgramFolder() and /proc/self/exe; tests
  // pass a copy of the program folder.
  TApplicationContext(std::string app_dir, std::string program_file, UserInterface& ui,
                      ShellLauncher& launcher)
      : AppDir(std::move(app_dir)),
        ProgramFile(std::move(program_file)),
        Ui(ui),
        Launcher(launcher) {}

  const std::string AppDir;
  const std::string ProgramFile;
  UserInterface& Ui;
  ShellLauncher& Launcher;

  // Declared so that each object goes after the objects that refer to it.
  std::unique_ptr<TAppFunc> AppFunc;
  std::unique_ptr<TSysFunc> SysFunc;
  std::unique_ptr<TStrFunc> StrFunc;
  std::unique_ptr<TFileFunc> FileFunc;
  std::unique_ptr<TCommonLib> CommonLib;
  std::unique_ptr<TCustomProc> CustomProc;
  RecSoftInfo SoftInfo;

  // Set when the application has been asked to end (a missing companion file,
  // the main window closed); the message loop stops at its next turn.
  bool Terminated = false;
  void Terminate();
  // Ends the application at once, the way a power-off wants it: no window is
  // closed first, so no close handler runs and nothing is asked or saved;
  // every running event loop, the batch's own included, returns.
  void EndAtOnce();
};
