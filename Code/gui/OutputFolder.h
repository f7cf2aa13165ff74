// The choice of the output folder (TCommonLib.SelectOutputFolder): the folder
// browser, the checks of the chosen folder and the folder to use.
//
// User-interface thread only (it opens the browser and message boxes through
// `common`'s UserInterface).
#pragma once

#include <string>

#include "Unit_CommonLib.h"

// Lets the person choose a new output folder and returns the folder to use.
// A chosen folder must exist ("The path is invalid.") and take a new folder
// ("This is a read-only path."); the probe creates a folder of a unique name
// of its own and removes exactly that one. When nothing acceptable was chosen
// `current` is kept. The folder returned is created (with its parents) when it
// is missing, as AbsoluteFolder makes it absolute ("~/Ringtones" in the home
// folder); a failure to create it is ignored.
std::string SelectOutputFolder(TCommonLib& common, const std::string& current);
