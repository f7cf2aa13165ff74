// TfrmConverting: the progress window of a batch conversion ("Converting"):
// the current file, the per-file bar driven by the time the engine prints,
// the overall bar, the job counter, a spinner text, the latest engine output
// in its status bar, and Stop. The numbers it shows come from the batch
// (TCustomProc::Progress); the window mirrors them on Refresh.
//
// One instance, created hidden at program entry, owned by the main window; it
// lives until the process ends. User-interface thread only.
#pragma once

#include <QDialog>

class QAction;
class QLabel;
class QProgressBar;
class QPushButton;
class QStatusBar;
class QTimer;
class TCustomProc;
class UserInterface;

class TfrmConverting : public QDialog {
  Q_OBJECT

 public:
  explicit TfrmConverting(QWidget* main_window);

  // The controller whose batch this window shows; set once it exists. Until
  // then Stop and the close box only hide the window.
  void SetCustomProc(TCustomProc* custom_proc, UserInterface* ui);

  // Shows TCustomProc::Progress in the controls.
  void Refresh();

  // The spinner text of `phase` (1..5) with the per-file bar at `position`.
  static QString SpinnerText(int phase, int position);

  // ---- handlers ----
  void FormShow();
  void FormClose();
  void tmrChangingTimer();
  void btnStop1Click();
  void actRefreshProgressExecute();

  int SpinnerPhase = 0;

  QLabel* lblInfo;
  QLabel* lblCurConvertFileL;
  QLabel* lblCurFileName;
  QLabel* lblTotalFilr;
  QProgressBar* pbTotal;
  QLabel* lblCurprog;
  QProgressBar* ProgressBar1;
  QLabel* lblPersent;
  QPushButton* btnStop;
  QStatusBar* statState;
  QTimer* tmrChanging;
  QAction* actRefreshProgress;

 protected:
  void showEvent(QShowEvent* event) override;
  // The spinner turns only while the window is up.
  void hideEvent(QHideEvent* event) override;
  void closeEvent(QCloseEvent* event) override;
  // The window has no Cancel button: Escape does nothing (only Stop and the
  // close box end a batch).
  void reject() override;

 private:
  TCustomProc* custom_proc_ = nullptr;
  UserInterface* ui_ = nullptr;
};
