// The application's default error report: an error raised inside an event
// handler abandons that handler and is shown in a box with its text; the
// program then goes on.
//
// User-interface thread only.
#pragma once

#include <exception>
#include <utility>

#include "UserInterface.h"

// Runs `handler`; an exception it raises is shown through `ui` and swallowed.
template <typename Handler>
void RunHandler(UserInterface& ui, Handler&& handler) {
  try {
    std::forward<Handler>(handler)();
  } catch (const std::exception& error) {
    ui.MessageBox(error.what(), MessageIcon::Error, MessageButtons::Ok);
  } catch (...) {
    ui.MessageBox("Unknown error.", MessageIcon::Error, MessageButtons::Ok);
  }
}
