// The main window's commands: showing and closing, the keyboard shortcuts,
// moving and minimizing the frameless window, the system commands, the
// Options window and the output folder.
#include <QApplication>
#include <QCloseEvent>
#include <QKeyEvent>
#include <QLineEdit>
#include <QScreen>
#include <QTimer>
#include <QToolButton>
#include <QWindow>
#include <algorithm>

#include "AppStartup.h"
#include "CodeErrorForm.h"
#include "CompanionLibrary.h"
#include "FlashForm.h"
#include "GuiErrors.h"
#include "OutputFolder.h"
#include "PictureButton.h"
#include "QtUserInterface.h"
#include "TonbrixCompanion.h"
#include "Unit_Convert.h"
#include "Unit_Option.h"
#include "WaveformView.h"

void TFrmMainForm::RunClick(QAbstractButton* button) { emit button->clicked(false); }

void TFrmMainForm::WireProgramObjects() {
  TCustomProc& proc = *context_.CustomProc;
  WireSourceList(*context_.CommonLib, proc);
  proc.SetProfileControls(&Profiles());
  WirePreview(proc);
}

void TFrmMainForm::ShowMainForm() {
  create();
  if (QWindow* window = windowHandle()) window->installEventFilter(this);
  RefreshArtwork();
  CutOutline();
  if (QScreen* screen = QGuiApplication::primaryScreen())
    move(PlaceInside(screen->availableGeometry(), frameGeometry().size()));
  RunHandler(context_.Ui, [this] { FormShow(); });
  if (context_.Terminated) return;
  show();
}

void TFrmMainForm::FormShow() {
  ShowFlashForm(context_, *this);
  if (context_.CommonLib != nullptr && tmrClearMemory == nullptr) {
    tmrClearMemory = StartClearMemoryTimer(this, *context_.CommonLib);
    tmrClearMemory->setObjectName("tmrClearMemory");
  }
  InitOptionLists();
  RegisterDropTarget();
  ApplyProfile();
}

// InitOptionLists and ApplyProfile are in MainFormProfiles.cpp.

// The drops themselves are handled by the source list.
void TFrmMainForm::RegisterDropTarget() { setAcceptDrops(true); }

void TFrmMainForm::FormResize() { setMinimumSize(kMinimumWidth, kMinimumHeight); }

void TFrmMainForm::changeEvent(QEvent* event) {
  QWidget::changeEvent(event);
  // The layout is drawn for one size: a maximise asked by the window manager
  // (a double click, a key) is undone.
  if (event->type() == QEvent::WindowStateChange && (windowState() & Qt::WindowMaximized)) {
    QTimer::singleShot(0, this, [this] { setWindowState(windowState() & ~Qt::WindowMaximized); });
  }
}

QPoint PlaceInside(const QRect& available, const QSize& size) {
  // Centred; a window larger than the screen keeps its top-left corner (the
  // title band) on it.
  return {available.left() + std::max(0, (available.width() - size.width()) / 2),
          available.top() + std::max(0, (available.height() - size.height()) / 2)};
}

void TFrmMainForm::closeEvent(QCloseEvent* event) {
  if (!closing_) {
    closing_ = true;
    FormClose();
  }
  event->accept();
}

void TFrmMainForm::FormClose() {
  if (FilterGraph != nullptr) {
    RunHandler(context_.Ui, [this] {
      FilterGraph->SetActive(false);
      FilterGraph->Clear();
    });
  }
  // A failure to save the settings must not keep the program from ending.
  SaveUserSettingsAtClose();
  context_.Terminate();
}

bool TFrmMainForm::eventFilter(QObject* watched, QEvent* event) {
  // The key preview: the native window sees every key press before the
  // focused control does, and passes it on unchanged.
  if (watched == windowHandle() && event->type() == QEvent::KeyPress) {
    auto* key = static_cast<QKeyEvent*>(event);
    RunHandler(context_.Ui, [&] { FormKeyDown(key->key(), key->modifiers()); });
    return false;
  }
  const bool mouse_event = event->type() == QEvent::MouseButtonPress ||
                           event->type() == QEvent::MouseMove ||
                           event->type() == QEvent::MouseButtonRelease;
  if (mouse_event && (watched == rzfrmshpfrmConverter || watched == lblTitle)) {
    auto* mouse = static_cast<QMouseEvent*>(event);
    if (event->type() == QEvent::MouseButtonPress && mouse->button() == Qt::LeftButton) {
      // The desktop moves the window when it can; without a window manager
      // (a bare X server) the window follows the mouse by itself.
      manual_drag_ = !(windowHandle() && windowHandle()->startSystemMove());
      drag_offset_ = mouse->globalPosition().toPoint() - frameGeometry().topLeft();
      return true;
    }
    if (event->type() == QEvent::MouseMove && manual_drag_ && (mouse->buttons() & Qt::LeftButton)) {
      move(mouse->globalPosition().toPoint() - drag_offset_);
      return true;
    }
    if (event->type() == QEvent::MouseButtonRelease) manual_drag_ = false;
  }
  return QWidget::eventFilter(watched, event);
}

void TFrmMainForm::FormKeyDown(int key, Qt::KeyboardModifiers modifiers) {
  const bool ctrl_only =
      (modifiers & (Qt::ShiftModifier | Qt::ControlModifier | Qt::AltModifier)) ==
      Qt::ControlModifier;
  if (ctrl_only && key == Qt::Key_O) RunClick(btnOpenFile);
  if (ctrl_only && key == Qt::Key_R) RunClick(btnRemoveFile);
  if (ctrl_only && key == Qt::Key_L) RunClick(btnClearFile);
  if (ctrl_only && key == Qt::Key_I) RunClick(btnOptions);
  if (ctrl_only && key == Qt::Key_P) RunClick(btnPlay);
  if (ctrl_only && key == Qt::Key_U) RunClick(btnPause);
  if (ctrl_only && key == Qt::Key_T) RunClick(btnStop);
  if (ctrl_only && key == Qt::Key_S) RunClick(btnConvert);
  if (key == Qt::Key_F1) ActSysHelp->trigger();
  if (ctrl_only && key == Qt::Key_N) RunClick(btnConvert);
  if (ctrl_only && key == Qt::Key_B) RunClick(btnSelectOutputFolder);
  if (key == Qt::Key_F5 && modifiers == Qt::NoModifier) RunClick(WaveformView1->PlayPartButton());
  if (key == Qt::Key_F6 && modifiers == Qt::NoModifier) RunClick(WaveformView1->FinishingButton());
  if (key == Qt::Key_F7 && modifiers == Qt::NoModifier)
    RunClick(WaveformView1->SuggestHookButton());
}

void TFrmMainForm::actMinimizeExecute() {
  QWidget* foreground = QApplication::activeWindow();
  if (foreground == nullptr) foreground = this;
  foreground->setWindowState(foreground->windowState() & ~Qt::WindowMinimized);
  foreground->showMinimized();
}

void TFrmMainForm::actCloseWindowExecute() { close(); }

void TFrmMainForm::ActSysHomePageExecute() {
  const QString folder = QString::fromStdString(context_.SoftInfo.AppPath);
  OpenForPerson(context_.Launcher, context_.Ui,
                UrlForAddress(QString::fromStdString(context_.SoftInfo.HomePage), folder),
                "the home page");
}

void TFrmMainForm::ActSysEmailExecute() {
  OpenForPerson(context_.Launcher, context_.Ui,
                QUrl("mailto:" + QString::fromStdString(context_.SoftInfo.EMail)), "a new e-mail");
}

void TFrmMainForm::ActSysHelpExecute() {
  OpenForPerson(
      context_.Launcher, context_.Ui,
      QUrl::fromLocalFile(QString::fromStdString(context_.SoftInfo.AppPath) + "Help.html"),
      "the help page");
}

void TFrmMainForm::ActSysAboutExecute() {
  // Loaded anew every time, so a Form.dll put back after a failure works.
  CompanionLibrary form(context_.AppDir + "Form.dll");
  const auto show = form.Function<TonbrixShowAboutFormProc>(kFormShowAboutExport);
  if (show == nullptr) return;
  const RecSoftInfo& soft = context_.SoftInfo;
  show(qApp, TonbrixSoftInfo{soft.CompanyName.c_str(), soft.ProductName.c_str(),
                             soft.ResText2.c_str(), soft.VersionText.c_str(), soft.HomePage.c_str(),
                             soft.EMail.c_str(), soft.ResText7.c_str(), soft.AppPath.c_str()});
}

void TFrmMainForm::btnOptionsClick() {
  if (frmOption == nullptr) return;
  frmOption->show();
  frmOption->raise();
  frmOption->activateWindow();
}

void TFrmMainForm::btnSelectOutputFolderClick() {
  if (context_.CommonLib == nullptr) return;
  const std::string folder =
      SelectOutputFolder(*context_.CommonLib, edtOutputFolder->text().toStdString());
  edtOutputFolder->setText(QString::fromStdString(folder));
}

int TFrmMainForm::ShowCodeErrorForm() {
  return ::ShowCodeErrorForm(context_.Launcher, context_.Ui,
                             QString::fromStdString(context_.AppDir), this);
}
