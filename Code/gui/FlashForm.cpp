#include "FlashForm.h"

#include <QCoreApplication>
#include <QEventLoop>
#include <QGuiApplication>
#include <QLabel>
#include <QScreen>
#include <QTimer>

#include "AppStartup.h"
#include "CompanionLibrary.h"
#include "GuiErrors.h"
#include "JpegImage.h"
#include "TonbrixCompanion.h"
#include "Unit_Convert.h"

TFrmFlashForm::TFrmFlashForm(const QImage& picture, std::function<void()> initialise,
                             UserInterface& ui, QWidget* owner)
    : QDialog(owner, Qt::SplashScreen | Qt::FramelessWindowHint),
      initialise_(std::move(initialise)),
      ui_(ui) {
  setObjectName("FrmFlashForm");
  const QSize size = picture.size() / kPictureRatio;
  const qreal ratio = owner != nullptr ? owner->devicePixelRatioF() : qApp->devicePixelRatio();
  QPixmap shown = QPixmap::fromImage(
      picture.scaled(size * ratio, Qt::IgnoreAspectRatio, Qt::SmoothTransformation));
  shown.setDevicePixelRatio(ratio);

  ImgFlash = new QLabel(this);
  ImgFlash->setObjectName("ImgFlash");
  ImgFlash->setPixmap(shown);
  ImgFlash->setGeometry(0, 0, size.width(), size.height());
  setFixedSize(size);
  if (QScreen* screen = QGuiApplication::primaryScreen())
    move(screen->geometry().center() - rect().center());

  Timer1 = new QTimer(this);
  Timer1->setObjectName("Timer1");
  Timer1->setInterval(250);
  Timer2 = new QTimer(this);
  Timer2->setObjectName("Timer2");
  Timer2->setInterval(1000);
  // A coarse timer may fire up to 5 % early; two early ticks would take the
  // splash down before its two seconds are up.
  Timer2->setTimerType(Qt::PreciseTimer);
  connect(Timer1, &QTimer::timeout, this, &TFrmFlashForm::Timer1Timer);
  connect(Timer2, &QTimer::timeout, this, &TFrmFlashForm::Timer2Timer);
}

void TFrmFlashForm::showEvent(QShowEvent* event) {
  QDialog::showEvent(event);
  FTicks = 0;
  Timer1->start();
  Timer2->start();
}

int TFrmFlashForm::exec() {
  // Qt handles pending events while it shows a splash screen before the
  // application's loop runs, so that the splash appears at all. On a slow
  // machine the first tick is due by then, and the whole start-up runs and
  // closes the splash inside show(): QDialog::exec would go on to wait for
  // ever on a hidden window. The wait is ours, and skipped when it is over.
  QEventLoop wait;
  connect(this, &QDialog::finished, &wait, &QEventLoop::quit);
  setResult(0);
  setWindowModality(Qt::ApplicationModal);
  show();
  if (isVisible()) wait.exec(QEventLoop::DialogExec);
  return result();
}

void TFrmFlashForm::Timer2Timer() { ++FTicks; }

void TFrmFlashForm::Timer1Timer() {
  Timer1->stop();
  RunHandler(ui_, initialise_);
  // Sleeps until the next event rather than polling, so the wait costs nothing
  // and the window keeps painting.
  while (FTicks < 2) QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
  Timer2->stop();
  accept();
}

void ShowFlashForm(TApplicationContext& context, TFrmMainForm& main_form) {
  auto initialise = [&context, &main_form] { InitApplication(context, main_form); };
  QImage picture;
  {
    CompanionLibrary res(context.AppDir + "Res.dll");
    const auto find = res.Function<TonbrixFindResourceProc>(kResFindResourceExport);
    size_t size = 0;
    const unsigned char* bytes = find != nullptr ? find("ImgFlash", "jpeg", &size) : nullptr;
    // Decoded while the library is loaded: the bytes are its own.
    picture = DecodeJpeg(bytes, size);
  }
  if (picture.isNull()) {
    RunHandler(context.Ui, initialise);
    return;
  }
  TFrmFlashForm splash(picture, initialise, context.Ui, &main_form);
  splash.exec();
}
