// The start-up routine and the software information: InitApplication (run by
// the splash), the check for the companion files beside the program, the texts
// of Res.dll and the program file's version.
//
// Everything here runs on the user-interface thread.
#pragma once

#include <string>

#include "ApplicationContext.h"

class TFrmMainForm;

// The one-time initialisation and the program's one composition root: the six
// process-wide objects, each given the ones it needs through its constructor,
// and the main window's one wiring step (WireProgramObjects); then the
// companion check, the software information and the window title
// ProductName + " " + VersionText on the main window and its lblTitle.
void InitApplication(TApplicationContext& context, TFrmMainForm& main_form);

// One information box per companion file missing from the program folder
// ("'Form.dll' is not found. Please reinstall this program."), Form.dll first;
// any missing file asks the application to end. True when both are there.
bool CheckSupportFiles(TApplicationContext& context);

// Fills the software information but AppPath from Res.dll's texts and the
// program file's version. A missing Res.dll or text leaves fields empty.
void LoadSoftInfo(TApplicationContext& context);

// The companion files, in the order of the check.
inline constexpr const char* kCompanionFiles[] = {"Form.dll", "Res.dll"};
