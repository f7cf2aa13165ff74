#include "ModalAnswer.h"

#include <QAbstractButton>
#include <QApplication>
#include <QFileDialog>
#include <QInputDialog>
#include <QLineEdit>
#include <cstdlib>
#include <filesystem>
#include <string>

namespace {

std::string& PrivateSettingsFolder() {
  static std::string folder;
  return folder;
}

void RemovePrivateSettings() {
  std::error_code ignored;
  if (!PrivateSettingsFolder().empty())
    std::filesystem::remove_all(PrivateSettingsFolder(), ignored);
}

}  // namespace

void UsePrivateQtSettings() {
  std::string pattern =
      (std::filesystem::temp_directory_path() / "tonbrix-qt-settings-XXXXXX").string();
  if (!::mkdtemp(pattern.data())) return;
  PrivateSettingsFolder() = pattern;
  ::setenv("XDG_CONFIG_HOME", pattern.c_str(), 1);
  std::atexit(RemovePrivateSettings);
}

ModalAnswer::ModalAnswer(Action action, QMessageBox::StandardButton button, QString text,
                         int timeout_ms)
    : action_(action), button_(button), text_(std::move(text)) {
  poll_.setInterval(10);
  connect(&poll_, &QTimer::timeout, this, &ModalAnswer::Poll);
  give_up_.setSingleShot(true);
  give_up_.setInterval(timeout_ms);
  connect(&give_up_, &QTimer::timeout, &poll_, &QTimer::stop);
}

std::shared_ptr<ModalAnswer> ModalAnswer::Arm(Action action, QMessageBox::StandardButton button,
                                              const QString& text, int timeout_ms) {
  std::shared_ptr<ModalAnswer> answer(new ModalAnswer(action, button, text, timeout_ms));
  answer->poll_.start();
  answer->give_up_.start();
  return answer;
}

std::shared_ptr<ModalAnswer> ModalAnswer::PressButton(QMessageBox::StandardButton button,
                                                      int timeout_ms) {
  return Arm(Action::Press, button, {}, timeout_ms);
}
std::shared_ptr<ModalAnswer> ModalAnswer::TypeText(const QString& text, int timeout_ms) {
  return Arm(Action::Type, QMessageBox::NoButton, text, timeout_ms);
}
std::shared_ptr<ModalAnswer> ModalAnswer::CancelInput(int timeout_ms) {
  return Arm(Action::CancelInput, QMessageBox::NoButton, {}, timeout_ms);
}
std::shared_ptr<ModalAnswer> ModalAnswer::ChooseFolder(const QString& folder, int timeout_ms) {
  return Arm(Action::Choose, QMessageBox::NoButton, folder, timeout_ms);
}
std::shared_ptr<ModalAnswer> ModalAnswer::CancelFolder(int timeout_ms) {
  return Arm(Action::CancelFolder, QMessageBox::NoButton, {}, timeout_ms);
}

void ModalAnswer::Poll() {
  QWidget* modal = QApplication::activeModalWidget();
  if (!modal || !modal->isVisible()) return;

  switch (action_) {
    case Action::Press: {
      auto* box = qobject_cast<QMessageBox*>(modal);
      if (!box) return;
      seen_.kind = "QMessageBox";
      seen_.text = box->text();
      seen_.icon = box->icon();
      seen_.buttons = box->standardButtons();
      break;
    }
    case Action::Type:
    case Action::CancelInput: {
      auto* dialog = qobject_cast<QInputDialog*>(modal);
      if (!dialog) return;
      seen_.kind = "QInputDialog";
      seen_.text = dialog->labelText();
      seen_.value = dialog->textValue();
      break;
    }
    case Action::Choose:
    case Action::CancelFolder: {
      auto* dialog = qobject_cast<QFileDialog*>(modal);
      if (!dialog) return;
      seen_.kind = "QFileDialog";
      seen_.text = dialog->directory().absolutePath();
      seen_.folders_only = dialog->fileMode() == QFileDialog::Directory &&
                           dialog->testOption(QFileDialog::ShowDirsOnly);
      break;
    }
  }
  seen_.title = modal->windowTitle();
  seen_.modal = modal->isModal();
  poll_.stop();
  give_up_.stop();
  answered_ = true;

  switch (action_) {
    case Action::Press: {
      auto* box = static_cast<QMessageBox*>(modal);
      if (QAbstractButton* button = box->button(button_)) {
        button->click();
      } else {
        button_missing_ = true;
        box->done(-1);
      }
      break;
    }
    case Action::Type: {
      auto* dialog = static_cast<QInputDialog*>(modal);
      dialog->setTextValue(text_);
      dialog->accept();
      break;
    }
    case Action::CancelInput:
      static_cast<QInputDialog*>(modal)->reject();
      break;
    case Action::Choose: {
      auto* dialog = static_cast<QFileDialog*>(modal);
      dialog->setDirectory(text_);
      dialog->selectFile(text_);
      // The dialog's file list fills in the background; until it has, the
      // selection may fall back to the parent folder. The name field, which
      // a person would type into, holds the whole path at once.
      if (auto* name = dialog->findChild<QLineEdit*>("fileNameEdit")) name->setText(text_);
      // accept() is protected on QFileDialog; the slot is reachable by name.
      QMetaObject::invokeMethod(dialog, "accept", Qt::DirectConnection);
      break;
    }
    case Action::CancelFolder:
      static_cast<QFileDialog*>(modal)->reject();
      break;
  }
}
