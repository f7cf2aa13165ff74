// QtUserInterface: the program's UserInterface on Qt widgets. Message boxes
// are QMessageBox captioned with the application title, modal to the whole
// application and owned by the active window; the folder browser is Qt's
// directory chooser (folders only); the input box is QInputDialog; pending
// events are run by QCoreApplication::processEvents.
//
// One instance lives as long as the application object; every call is made on
// the user-interface thread.
//
// StartClearMemoryTimer creates the main window's working-set trim timer
// `tmrClearMemory` (1000 ms, one TCommonLib::ClearMemory per tick), owned by
// `owner`.
#pragma once

#include <QString>

#include "UserInterface.h"

class QTimer;
class QObject;
class TCommonLib;

class QtUserInterface : public UserInterface {
 public:
  explicit QtUserInterface(QString title = QStringLiteral("Tonbrix"));

  int MessageBox(const std::string& text, MessageIcon icon, MessageButtons buttons) override;
  bool BrowseForFolder(const std::string& title, const std::string& root,
                       std::string& folder) override;
  std::optional<std::string> InputBox(const std::string& caption, const std::string& prompt,
                                      const std::string& initial) override;
  void ProcessMessages() override;
  void Pause(int milliseconds) override;

  const QString& Title() const { return title_; }

 private:
  QString title_;
};

QTimer* StartClearMemoryTimer(QObject* owner, TCommonLib& common_lib);
