// The one way Tonbrix opens things outside itself: a web address or help page
// in the default browser, a mail address in the mail program, a folder in the
// file manager. The program uses DesktopLauncher; tests put a recorder in its
// place so that nothing real is ever opened.
//
// Used on the user-interface thread only.
#pragma once

#include <QString>
#include <QUrl>

class ShellLauncher {
 public:
  virtual ~ShellLauncher() = default;
  // Hands `url` to the desktop; false when nothing could open it (callers on
  // the person's behalf use OpenForPerson, which then says so).
  virtual bool OpenUrl(const QUrl& url) = 0;
};

// The real launcher: QDesktopServices::openUrl.
class DesktopLauncher : public ShellLauncher {
 public:
  bool OpenUrl(const QUrl& url) override;
};

class UserInterface;

// Hands `url` to the desktop for the person. When nothing on this computer
// opens it (no browser, mail program or file manager), a warning box through
// `ui` says what could not be opened (`what`, e.g. "the help page") and where
// it is: the file's or folder's path, or the address.
void OpenForPerson(ShellLauncher& launcher, UserInterface& ui, const QUrl& url,
                   const QString& what);

// The address `text` as a URL. A text with a scheme (https:, mailto:, file:)
// is taken as it is; anything else names a file relative to `folder` (ending in
// "/"), the way a bare file name beside the program is meant.
QUrl UrlForAddress(const QString& text, const QString& folder);
