// The one look: every window the program opens from its main window (the
// progress window, a message box, the Options window, the name prompt and the
// About box) is drawn dark like the main window, and a focused button shows
// its focus. The program is built as program entry builds it (AppRig), and the
// windows are rendered for real on the offscreen platform.
#include <QApplication>
#include <QDialog>
#include <QDoubleSpinBox>
#include <QInputDialog>
#include <QMessageBox>
#include <QPushButton>
#include <QTimer>
#include <QtTest>
#include <functional>
#include <memory>

#include "AppRig.h"
#include "FinishingCommands.h"
#include "FinishingForm.h"
#include "ModalAnswer.h"
#include "Unit_Converting.h"
#include "Unit_Option.h"
#include "WaveformEditor.h"

namespace {

enum class Shown { Progress, MessageBox, Options, NamePrompt, About, Finishing };

// The share of the window's pixels, sampled on a grid, that are darker than
// a mid grey: text and icons are a small part of a window, its background
// the most.
double DarkShare(const QImage& image) {
  int dark = 0;
  int all = 0;
  for (int y = 0; y < image.height(); y += 3) {
    for (int x = 0; x < image.width(); x += 3) {
      ++all;
      if (qGray(image.pixel(x, y)) < 96) ++dark;
    }
  }
  return all == 0 ? 0.0 : static_cast<double>(dark) / all;
}

// Runs `open`, which shows a modal box and returns when it closes, and takes
// the picture of the first modal widget for which `is_it` holds; then closes
// it as Escape would. A null image when no such box opened.
QImage GrabModal(const std::function<void()>& open, const std::function<bool(QWidget*)>& is_it) {
  QImage shot;
  QTimer poll;
  poll.setInterval(20);
  QObject::connect(&poll, &QTimer::timeout, [&] {
    auto* box = qobject_cast<QDialog*>(QApplication::activeModalWidget());
    if (box == nullptr || !box->isVisible() || !is_it(box) || !shot.isNull()) return;
    shot = box->grab().toImage();
    box->reject();
  });
  poll.start();
  // Bound to the poll, so that it is dropped when this call returns first.
  QTimer::singleShot(10000, &poll, [&] { poll.stop(); });
  open();
  poll.stop();
  return shot;
}

}  // namespace

Q_DECLARE_METATYPE(Shown)

class ThemeTest : public QObject {
  Q_OBJECT

  std::unique_ptr<AppRig> rig_;
  TFrmMainForm& Form() { return rig_->Form(); }

  // The finishing settings window, open and exposed, or null.
  FinishingForm* OpenFinishing() {
    FinishingCommands& commands = Form().WaveformEditing()->Finishing();
    commands.ShowFinishingSettings();
    FinishingForm* finishing = commands.Form();
    if (finishing == nullptr || !QTest::qWaitForWindowExposed(finishing)) return nullptr;
    return finishing;
  }

  QImage Picture(Shown shown) {
    switch (shown) {
      case Shown::Progress: {
        TfrmConverting& progress = rig_->program->Converting();
        progress.show();
        if (!QTest::qWaitForWindowExposed(&progress)) return {};
        return progress.grab().toImage();
      }
      case Shown::MessageBox:
        // Convert with nothing in the list says so in a message box.
        return GrabModal([&] { Form().btnConvertClick(); },
                         [](QWidget* box) { return qobject_cast<QMessageBox*>(box) != nullptr; });
      case Shown::Options:
        Form().btnOptionsClick();
        if (!QTest::qWaitForWindowExposed(Form().frmOption)) return {};
        return Form().frmOption->grab().toImage();
      case Shown::NamePrompt:
        Form().btnOptionsClick();
        return GrabModal([&] { Form().frmOption->btnAdd->click(); },
                         [](QWidget* box) { return qobject_cast<QInputDialog*>(box) != nullptr; });
      case Shown::About:
        return GrabModal([&] { Form().ActSysAbout->trigger(); },
                         [](QWidget* box) { return box->objectName() == "AboutForm"; });
      case Shown::Finishing: {
        FinishingForm* finishing = OpenFinishing();
        if (finishing == nullptr) return {};
        return finishing->grab().toImage();
      }
    }
    return {};
  }

 private slots:
  void init() {
    rig_ = std::make_unique<AppRig>();
    QVERIFY(QTest::qWaitForWindowExposed(&Form()));
    Form().activateWindow();
  }
  void cleanup() { rig_.reset(); }

  void windowsAreDark_data() {
    QTest::addColumn<Shown>("shown");
    QTest::newRow("progress window") << Shown::Progress;
    QTest::newRow("message box") << Shown::MessageBox;
    QTest::newRow("Options window") << Shown::Options;
    QTest::newRow("name prompt") << Shown::NamePrompt;
    QTest::newRow("About box") << Shown::About;
    QTest::newRow("finishing settings") << Shown::Finishing;
  }
  void windowsAreDark() {
    QFETCH(Shown, shown);
    const QImage picture = Picture(shown);
    QVERIFY2(!picture.isNull(), "the window did not open");
    const double share = DarkShare(picture);
    QVERIFY2(share > 0.75, qPrintable(QString("only %1% of the window is dark").arg(share * 100)));
  }

  // A button draws its focus: the same button looks different focused.
  void focusShowsOnButtons() {
    Form().btnOptionsClick();
    TfrmOption* options = Form().frmOption;
    QVERIFY(QTest::qWaitForWindowActive(options));
    options->btnAdd->setFocus(Qt::TabFocusReason);
    QTRY_VERIFY(options->btnAdd->hasFocus());
    const QImage without = options->btnSave->grab().toImage();
    options->btnSave->setFocus(Qt::TabFocusReason);
    QTRY_VERIFY(options->btnSave->hasFocus());
    const QImage with = options->btnSave->grab().toImage();
    QVERIFY(without != with);
  }

  // A spin box draws its focus too.
  void focusShowsOnSpinBoxes() {
    FinishingForm* finishing = OpenFinishing();
    QVERIFY(finishing != nullptr);
    QVERIFY(QTest::qWaitForWindowActive(finishing));
    finishing->spnFadeIn->setFocus(Qt::TabFocusReason);
    QTRY_VERIFY(finishing->spnFadeIn->hasFocus());
    const QImage without = finishing->spnFadeOut->grab().toImage();
    finishing->spnFadeOut->setFocus(Qt::TabFocusReason);
    QTRY_VERIFY(finishing->spnFadeOut->hasFocus());
    const QImage with = finishing->spnFadeOut->grab().toImage();
    QVERIFY(without != with);
  }
};

TONBRIX_QTEST_MAIN(ThemeTest)
#include "ThemeTest.moc"
