// The program's message boxes and folder browser, reached through
// UserInterface: a box of a kind (error, warning, question, information), a
// box with a choice of buttons, and the folder browser. Free functions over
// the given interface; user-interface thread only.
#pragma once

#include <string>

#include "UserInterface.h"

// A box with one OK button; kind 0 error, 1 warning, 2 question,
// 3 information. False, and no box, for any other kind.
bool ShowMessageOfKind(UserInterface& ui, const std::string& text, int kind);

// A box with OK (kind 1), Yes/No (2) or Yes/No/Cancel (3) and the information
// icon; returns the button code, or 0 and no box for any other kind.
int ShowMsgBox(UserInterface& ui, const std::string& text, int kind);

// The folder browser (folders only). A `folder` that is not an existing
// directory is cleared first; it receives the chosen folder. False on cancel.
bool BrowseForFolder(UserInterface& ui, const std::string& title, const std::string& root,
                     std::string& folder);
