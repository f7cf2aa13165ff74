#include "QtUserInterface.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFileDialog>
#include <QInputDialog>
#include <QMessageBox>
#include <QTimer>
#include <chrono>
#include <thread>

#include "Unit_CommonLib.h"

namespace {

QString FromText(const std::string& text) { return QString::fromStdString(text); }
std::string ToText(const QString& text) { return text.toStdString(); }

QMessageBox::Icon ToQtIcon(MessageIcon icon) {
  switch (icon) {
    case MessageIcon::Error:
      return QMessageBox::Critical;
    case MessageIcon::Warning:
      return QMessageBox::Warning;
    case MessageIcon::Question:
      return QMessageBox::Question;
    case MessageIcon::Information:
      return QMessageBox::Information;
    case MessageIcon::None:
      break;
  }
  return QMessageBox::NoIcon;
}

QMessageBox::StandardButtons ToQtButtons(MessageButtons buttons) {
  switch (buttons) {
    case MessageButtons::YesNo:
      return QMessageBox::Yes | QMessageBox::No;
    case MessageButtons::YesNoCancel:
      return QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel;
    case MessageButtons::Ok:
      break;
  }
  return QMessageBox::Ok;
}

// The window the box belongs to: the active one, else none (the box is then
// modal to the whole application anyway).
QWidget* OwnerWindow() { return QApplication::activeWindow(); }

}  // namespace

QtUserInterface::QtUserInterface(QString title) : title_(std::move(title)) {}

int QtUserInterface::MessageBox(const std::string& text, MessageIcon icon, MessageButtons buttons) {
  QMessageBox box(ToQtIcon(icon), title_, FromText(text), ToQtButtons(buttons), OwnerWindow());
  box.setWindowModality(Qt::ApplicationModal);
  switch (box.exec()) {
    case QMessageBox::Ok:
      return IDOK;
    case QMessageBox::Yes:
      return IDYES;
    case QMessageBox::No:
      return IDNO;
    default:
      // Escape or the close box of a box that has a Cancel button.
      return IDCANCEL;
  }
}

bool QtUserInterface::BrowseForFolder(const std::string& title, const std::string& root,
                                      std::string& folder) {
  // The browser opens on the preselected folder, else on the root.
  QString start = FromText(folder.empty() ? root : folder);
  QString chosen = QFileDialog::getExistingDirectory(OwnerWindow(), FromText(title), start,
                                                     QFileDialog::ShowDirsOnly);
  if (chosen.isEmpty()) return false;
  folder = ToText(chosen);
  return true;
}

std::optional<std::string> QtUserInterface::InputBox(const std::string& caption,
                                                     const std::string& prompt,
                                                     const std::string& initial) {
  bool ok = false;
  QString text = QInputDialog::getText(OwnerWindow(), FromText(caption), FromText(prompt),
                                       QLineEdit::Normal, FromText(initial), &ok);
  if (!ok) return std::nullopt;
  return ToText(text);
}

void QtUserInterface::ProcessMessages() { QCoreApplication::processEvents(); }

void QtUserInterface::Pause(int milliseconds) {
  if (milliseconds <= 0) {
    ProcessMessages();
    return;
  }
  if (!QCoreApplication::instance()) {
    std::this_thread::sleep_for(std::chrono::milliseconds(milliseconds));
    return;
  }
  // A local event loop keeps timers, queued engine output and clicks running
  // while the time passes, without keeping a core busy.
  QEventLoop loop;
  // A coarse timer may end the pause up to 5 % early.
  QTimer::singleShot(milliseconds, Qt::PreciseTimer, &loop, &QEventLoop::quit);
  loop.exec();
}

QTimer* StartClearMemoryTimer(QObject* owner, TCommonLib& common_lib) {
  auto* timer = new QTimer(owner);
  timer->setObjectName(QStringLiteral("tmrClearMemory"));
  timer->setInterval(1000);
  QObject::connect(timer, &QTimer::timeout, owner, [&common_lib] { common_lib.ClearMemory(); });
  timer->start();
  return timer;
}
