// Helpers shared by the shell's tests: a launcher that records instead of
// opening, a copy of the program folder in a temporary folder (so tests can
// take companion files away and the log lands there), and a collector that
// answers every message box the code under test opens, in turn.
#pragma once

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <QMessageBox>
#include <QTemporaryDir>
#include <QTimer>
#include <QUrl>
#include <memory>
#include <vector>

#include "ModalAnswer.h"
#include "RecordingLauncher.h"

// The built program folder's companions and help page, copied.
class ProgramFolderCopy {
 public:
  ProgramFolderCopy() {
    for (const char* name : {"Res.dll", "Form.dll", "Help.html"})
      QFile::copy(QStringLiteral(TONBRIX_APP_DIR) + name, dir_.filePath(name));
  }
  // The folder, ending in "/".
  std::string Path() const { return (dir_.path() + "/").toStdString(); }
  QString File(const QString& name) const { return dir_.filePath(name); }
  bool Remove(const QString& name) { return QFile::remove(dir_.filePath(name)); }
  bool Restore(const QString& name) {
    return QFile::copy(QStringLiteral(TONBRIX_APP_DIR) + name, dir_.filePath(name));
  }

 private:
  QTemporaryDir dir_;
};

// Presses `button` on every message box that opens while it lives, one after
// the other, and keeps what each showed.
class BoxCollector {
 public:
  explicit BoxCollector(QMessageBox::StandardButton button = QMessageBox::Ok) : button_(button) {
    current_ = ModalAnswer::PressButton(button_, 600000);
    timer_.setInterval(20);
    QObject::connect(&timer_, &QTimer::timeout, [this] {
      if (!current_->Answered()) return;
      Seen.push_back(current_->Seen());
      current_ = ModalAnswer::PressButton(button_, 600000);
    });
    timer_.start();
  }
  // Takes in a box answered since the last tick.
  void Flush() {
    if (current_->Answered()) {
      Seen.push_back(current_->Seen());
      current_ = ModalAnswer::PressButton(button_, 600000);
    }
  }
  QStringList Texts() {
    Flush();
    QStringList texts;
    for (const ModalAnswer::Box& box : Seen) texts << box.text;
    return texts;
  }
  std::vector<ModalAnswer::Box> Seen;

 private:
  QMessageBox::StandardButton button_;
  std::shared_ptr<ModalAnswer> current_;
  QTimer timer_;
};

// Chooses `folder` in the next folder browser. The browser is shown the folder
// itself and accepted with nothing selected in it, which gives that folder at
// once; selecting the folder in its parent's listing would depend on the
// listing having been read in the background first.
class FolderChoice {
 public:
  explicit FolderChoice(const QString& folder) : folder_(folder) {
    poll_.setInterval(20);
    QObject::connect(&poll_, &QTimer::timeout, [this] {
      auto* dialog = qobject_cast<QFileDialog*>(QApplication::activeModalWidget());
      if (dialog == nullptr) return;
      poll_.stop();
      title = dialog->windowTitle();
      folders_only = dialog->fileMode() == QFileDialog::Directory &&
                     dialog->testOption(QFileDialog::ShowDirsOnly);
      dialog->setDirectory(folder_);
      static_cast<QDialog*>(dialog)->accept();  // QFileDialog::accept runs
      answered = true;
    });
    poll_.start();
  }
  bool answered = false;
  bool folders_only = false;
  QString title;

 private:
  QString folder_;
  QTimer poll_;
};
