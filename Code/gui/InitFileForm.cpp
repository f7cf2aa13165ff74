#include "InitFileForm.h"

#include <QCoreApplication>
#include <QFrame>
#include <QLabel>
#include <QTimer>

#include "Artwork.h"
#include "GuiErrors.h"

namespace {
const QString kDesignCaption = QStringLiteral("Installing File...");
}

TFrmInitFileForm::TFrmInitFileForm(UserInterface& ui, QWidget* main_window)
    : QDialog(main_window, Qt::Dialog | Qt::FramelessWindowHint), ui_(ui) {
  setObjectName("FrmInitFileForm");
  setFixedSize(273, 45);

  bsSkinPanel1 = new QFrame(this);
  bsSkinPanel1->setObjectName("bsSkinPanel1");
  bsSkinPanel1->setGeometry(rect());
  bsSkinPanel1->setFrameShape(QFrame::Box);
  bsSkinPanel1->setStyleSheet("#bsSkinPanel1 { border: 1px solid #8ff0e6; }");

  Image1 = new QLabel(bsSkinPanel1);
  Image1->setObjectName("Image1");
  Image1->setGeometry(rect());
  Image1->setScaledContents(true);
  Image1->setPixmap(artwork::Picture("busy_back", size(), devicePixelRatioF()));

  lblInfo = new QLabel(kDesignCaption, bsSkinPanel1);
  lblInfo->setObjectName("lblInfo");
  lblInfo->setGeometry(rect());
  lblInfo->setAlignment(Qt::AlignCenter);
  QFont bold = lblInfo->font();
  bold.setBold(true);
  bold.setPixelSize(14);
  lblInfo->setFont(bold);
  lblInfo->setStyleSheet("color: white;");

  Timer1 = new QTimer(this);
  Timer1->setObjectName("Timer1");
  Timer1->setInterval(1000);
  Timer2 = new QTimer(this);
  Timer2->setObjectName("Timer2");
  Timer2->setInterval(300);
  // The adding waits its full 300 ms so the window is seen; a coarse timer
  // may fire up to 5 % early.
  Timer2->setTimerType(Qt::PreciseTimer);
  connect(Timer1, &QTimer::timeout, this, &TFrmInitFileForm::Timer1Timer);
  connect(Timer2, &QTimer::timeout, this, &TFrmInitFileForm::Timer2Timer);
}

void TFrmInitFileForm::SetFileList(QStringList files) { FFileList = std::move(files); }

QString TFrmInitFileForm::StepText(int step) {
  static const char kSpinner[] = {'|', '/', '-', '\\'};
  return kDesignCaption + "  " + QChar(kSpinner[(step - 1) & 3]);
}

void TFrmInitFileForm::showEvent(QShowEvent* event) {
  QDialog::showEvent(event);
  if (QWidget* owner = parentWidget())
    move(owner->geometry().center() - QPoint(width() / 2, height() / 2));
  FStep = 1;
  lblInfo->setText(kDesignCaption);
  Timer1->start();
  Timer2->start();
}

void TFrmInitFileForm::hideEvent(QHideEvent* event) {
  // A window closed before its adding step must not add files afterwards.
  Timer1->stop();
  Timer2->stop();
  QDialog::hideEvent(event);
}

void TFrmInitFileForm::Timer1Timer() {
  QCoreApplication::processEvents();
  if (++FStep > 4) FStep = 1;
  lblInfo->setText(StepText(FStep));
}

void TFrmInitFileForm::Timer2Timer() {
  QCoreApplication::processEvents();
  Timer2->stop();
  if (AddFiles) RunHandler(ui_, [this] { AddFiles(FFileList); });
  accept();
}
