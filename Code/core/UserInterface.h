// The narrow seam through which window-free code reaches the person in front of
// the screen: message boxes, the folder browser, the name prompt, and letting
// pending window events run. The application implements it with Qt widgets;
// tests implement it with answers prepared in advance.
//
// Every call is made on the user-interface thread.
#pragma once

#include <optional>
#include <string>

// Button codes as the message-box operations return them.
enum DialogResult : int {
  IDOK = 1,
  IDCANCEL = 2,
  IDYES = 6,
  IDNO = 7,
};

enum class MessageIcon { None, Error, Warning, Question, Information };
enum class MessageButtons { Ok, YesNo, YesNoCancel };

class UserInterface {
 public:
  virtual ~UserInterface() = default;

  // Shows a modal box captioned with the application title; returns the code of
  // the button pressed (IDOK, IDCANCEL, IDYES, IDNO).
  virtual int MessageBox(const std::string& text, MessageIcon icon, MessageButtons buttons) = 0;

  // The folder browser: folders only. `folder` preselects a folder when it is
  // not empty and receives the chosen one. False when the person cancelled.
  virtual bool BrowseForFolder(const std::string& title, const std::string& root,
                               std::string& folder) = 0;

  // The standard input box; no value when the person cancelled.
  virtual std::optional<std::string> InputBox(const std::string& caption, const std::string& prompt,
                                              const std::string& initial) = 0;

  // Lets pending window events run (timers, clicks, repaints).
  virtual void ProcessMessages() = 0;

  // Waits at least `milliseconds`, letting window events run meanwhile.
  virtual void Pause(int milliseconds) = 0;
};
