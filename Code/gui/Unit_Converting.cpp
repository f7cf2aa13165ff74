#include "Unit_Converting.h"

#include <QAction>
#include <QCloseEvent>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QStatusBar>
#include <QTimer>

#include "GuiErrors.h"
#include "UnitCustomProc.h"

namespace {

QLabel* MakeLabel(const char* name, const QString& text, QWidget* parent, const QRect& geometry) {
  auto* label = new QLabel(text, parent);
  label->setObjectName(name);
  label->setGeometry(geometry);
  return label;
}

QProgressBar* MakeBar(const char* name, QWidget* parent, const QRect& geometry) {
  auto* bar = new QProgressBar(parent);
  bar->setObjectName(name);
  bar->setGeometry(geometry);
  bar->setTextVisible(false);
  return bar;
}

// A bar takes a range below its minimum as an empty range.
void SetBar(QProgressBar* bar, int min, int max, int position) {
  bar->setRange(min, std::max(min, max));
  bar->setValue(std::clamp(position, bar->minimum(), bar->maximum()));
}

}  // namespace

TfrmConverting::TfrmConverting(QWidget* main_window)
    : QDialog(main_window, Qt::Dialog | Qt::MSWindowsFixedSizeDialogHint) {
  setObjectName("frmConverting");
  setWindowTitle("Converting");
  setFixedSize(420, 190);

  lblInfo = MakeLabel("lblInfo", "Please wait . . .", this, QRect(12, 8, 396, 20));
  QFont bold = lblInfo->font();
  bold.setBold(true);
  lblInfo->setFont(bold);
  lblCurConvertFileL =
      MakeLabel("lblCurConvertFileL", "Current Convert File:", this, QRect(12, 32, 130, 18));
  lblCurFileName = MakeLabel("lblCurFileName", "", this, QRect(142, 32, 266, 18));
  lblCurFileName->setTextFormat(Qt::PlainText);
  lblTotalFilr = MakeLabel("lblTotalFilr", "Total File:", this, QRect(12, 58, 90, 18));
  pbTotal = MakeBar("pbTotal", this, QRect(102, 58, 306, 16));
  lblCurprog = MakeLabel("lblCurprog", "Current File:", this, QRect(12, 84, 90, 18));
  ProgressBar1 = MakeBar("ProgressBar1", this, QRect(102, 84, 306, 16));
  lblPersent = MakeLabel("lblPersent", "Current: 1, Total: ...", this, QRect(12, 110, 280, 18));
  btnStop = new QPushButton("Stop", this);
  btnStop->setObjectName("btnStop");
  btnStop->setGeometry(318, 106, 90, 26);
  btnStop->setAutoDefault(false);
  statState = new QStatusBar(this);
  statState->setObjectName("statState");
  statState->setSizeGripEnabled(false);
  statState->setGeometry(0, 190 - 24, 420, 24);

  tmrChanging = new QTimer(this);
  tmrChanging->setObjectName("tmrChanging");
  tmrChanging->setInterval(500);
  actRefreshProgress = new QAction(this);
  actRefreshProgress->setObjectName("actRefreshProgress");

  connect(btnStop, &QPushButton::clicked, this, &TfrmConverting::btnStop1Click);
  connect(tmrChanging, &QTimer::timeout, this, &TfrmConverting::tmrChangingTimer);
  connect(actRefreshProgress, &QAction::triggered, this,
          &TfrmConverting::actRefreshProgressExecute);
}

void TfrmConverting::SetCustomProc(TCustomProc* custom_proc, UserInterface* ui) {
  custom_proc_ = custom_proc;
  ui_ = ui;
}

void TfrmConverting::Refresh() {
  if (custom_proc_ == nullptr) return;
  const ConvertingProgress& p = custom_proc_->Progress;
  lblCurFileName->setText(QString::fromStdString(p.CurFileName));
  lblPersent->setText(QString::fromStdString(p.Persent));
  statState->showMessage(QString::fromStdString(p.Status));
  SetBar(ProgressBar1, p.FileMin, p.FileMax, p.FilePosition);
  SetBar(pbTotal, 0, p.TotalMax, p.TotalPosition);
}

QString TfrmConverting::SpinnerText(int phase, int position) {
  QString mark;
  switch (phase) {
    case 2:
      mark = "/";
      break;
    case 3:
      mark = "-";
      break;
    case 4:
      mark = "\\";
      break;
    default:
      mark = "|";
  }
  return (position < 3 ? QStringLiteral("Installing convert information  ")
                       : QStringLiteral("Converting  ")) +
         mark;
}

void TfrmConverting::showEvent(QShowEvent* event) {
  if (QWidget* owner = parentWidget()) {
    move(owner->geometry().center() - QPoint(width() / 2, height() / 2));
  }
  FormShow();
  tmrChanging->start();
  QDialog::showEvent(event);
}

void TfrmConverting::hideEvent(QHideEvent* event) {
  tmrChanging->stop();
  QDialog::hideEvent(event);
}

void TfrmConverting::FormShow() {
  SpinnerPhase = 0;
  if (custom_proc_ == nullptr) return;
  custom_proc_->ProgressFormShow();
  Refresh();
}

void TfrmConverting::tmrChangingTimer() {
  if (++SpinnerPhase > 5) SpinnerPhase = 1;
  lblInfo->setText(SpinnerText(SpinnerPhase, ProgressBar1->value()));
}

void TfrmConverting::btnStop1Click() {
  if (custom_proc_ == nullptr || ui_ == nullptr) return;
  RunHandler(*ui_, [this] { custom_proc_->btnStop1Click(); });
}

void TfrmConverting::actRefreshProgressExecute() {
  if (custom_proc_ == nullptr || ui_ == nullptr) return;
  RunHandler(*ui_, [this] {
    custom_proc_->actRefreshProgressExecute();
    Refresh();
  });
}

void TfrmConverting::closeEvent(QCloseEvent* event) {
  FormClose();
  // The close is never refused: on No the window hides and the batch goes on.
  event->accept();
}

void TfrmConverting::FormClose() {
  if (custom_proc_ == nullptr || ui_ == nullptr) return;
  RunHandler(*ui_, [this] { custom_proc_->ProgressFormClose(); });
}

void TfrmConverting::reject() {}
