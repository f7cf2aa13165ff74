#include "ShellLauncher.h"

#include <QDesktopServices>

#include "UserInterface.h"

bool DesktopLauncher::OpenUrl(const QUrl& url) { return QDesktopServices::openUrl(url); }

void OpenForPerson(ShellLauncher& launcher, UserInterface& ui, const QUrl& url,
                   const QString& what) {
  if (launcher.OpenUrl(url)) return;
  const QString where =
      url.isLocalFile() ? "It is here: " + url.toLocalFile() : "The address is: " + url.toString();
  const QString text =
      "Tonbrix could not open " + what + ": no program on this computer opens it.\n\n" + where;
  ui.MessageBox(text.toStdString(), MessageIcon::Warning, MessageButtons::Ok);
}

QUrl UrlForAddress(const QString& text, const QString& folder) {
  const QUrl url(text, QUrl::StrictMode);
  // One letter before ":" would be a drive letter, not a scheme.
  if (url.isValid() && url.scheme().size() > 1) return url;
  if (text.startsWith('/')) return QUrl::fromLocalFile(text);
  // A fragment ("Help.html#codecs") stays a fragment of the file's address.
  const qsizetype hash = text.indexOf('#');
  QUrl local = QUrl::fromLocalFile(folder + (hash < 0 ? text : text.left(hash)));
  if (hash >= 0) local.setFragment(text.mid(hash + 1));
  return local;
}
