// The codec-missing dialog: its texts and frame, the link to the codec help
// and the modal run ended by OK.
#include <QApplication>
#include <QPushButton>
#include <QtTest>

#include "CodeErrorForm.h"
#include "ModalAnswer.h"
#include "QtUserInterface.h"
#include "ShellTestSupport.h"

class CodeErrorFormTest : public QObject {
  Q_OBJECT

 private:
  QtUserInterface ui_;

 private slots:
  void textsAndFrame() {
    RecordingLauncher launcher;
    TFrmCodeErrorForm form(launcher, ui_, "/opt/Tonbrix/", nullptr);
    QCOMPARE(form.windowTitle(), QString("Error Info"));
    QCOMPARE(form.size(), QSize(413, 96));
    QCOMPARE(form.minimumSize(), form.maximumSize());
    QCOMPARE(form.Label1->text(),
             QString("Files reading error! Please check your files or install a new codec.You "
                     "can click the link to download the lastest codec."));
    QVERIFY(form.Label1->wordWrap());
    QCOMPARE(form.Label2->text(), QString("(Click here to down)"));
    QCOMPARE(form.Label2->cursor().shape(), Qt::PointingHandCursor);
    QCOMPARE(form.BitBtn1->text(), QString("OK"));
    QCOMPARE(form.Image1->size(), QSize(32, 32));
    QVERIFY(!form.Image1->pixmap().isNull());
    QCOMPARE(form.Image1->pos(), QPoint(12, 10));
    // Every control lies inside the dialog; the link does not cover the
    // button.
    for (QWidget* control : {static_cast<QWidget*>(form.Label1), static_cast<QWidget*>(form.Label2),
                             static_cast<QWidget*>(form.BitBtn1)})
      QVERIFY2(form.rect().contains(control->geometry()), qPrintable(control->objectName()));
    QVERIFY(!form.Label2->geometry().intersects(form.BitBtn1->geometry()));
  }

  void linkOpensTheCodecHelpAndTheDialogStays() {
    RecordingLauncher launcher;
    TFrmCodeErrorForm form(launcher, ui_, "/opt/Tonbrix/", nullptr);
    form.show();
    QVERIFY(QTest::qWaitForWindowExposed(&form));
    QTest::mouseClick(form.Label2, Qt::LeftButton);
    QCOMPARE(launcher.Opened.size(), size_t(1));
    QUrl expected = QUrl::fromLocalFile("/opt/Tonbrix/Help.html");
    expected.setFragment("codecs");
    QCOMPARE(launcher.Opened[0], expected);
    QVERIFY(form.isVisible());
  }

  // Without a browser the person is told where the codec help lies.
  void linkWithoutABrowserSaysWhereTheHelpIs() {
    RecordingLauncher launcher;
    launcher.Fails = true;
    TFrmCodeErrorForm form(launcher, ui_, "/opt/Tonbrix/", nullptr);
    form.show();
    QVERIFY(QTest::qWaitForWindowExposed(&form));
    auto answer = ModalAnswer::PressButton(QMessageBox::Ok);
    QTest::mouseClick(form.Label2, Qt::LeftButton);
    QVERIFY(answer->Answered());
    QCOMPARE(answer->Seen().icon, QMessageBox::Warning);
    QVERIFY2(answer->Seen().text.contains("/opt/Tonbrix/Help.html"),
             qPrintable(answer->Seen().text));
    QVERIFY(form.isVisible());
  }

  void okEndsTheModalRun() {
    RecordingLauncher launcher;
    QWidget owner;
    owner.resize(600, 400);
    owner.show();
    bool seen_modal = false;
    QTimer::singleShot(200, [&] {
      auto* dialog = qobject_cast<TFrmCodeErrorForm*>(QApplication::activeModalWidget());
      if (dialog == nullptr) return;
      seen_modal = dialog->parentWidget() == &owner;
      dialog->BitBtn1->click();
    });
    QCOMPARE(ShowCodeErrorForm(launcher, ui_, "/opt/Tonbrix/", &owner), int(QDialog::Accepted));
    QVERIFY(seen_modal);
    QVERIFY(launcher.Opened.empty());
  }
};

TONBRIX_QTEST_MAIN(CodeErrorFormTest)
#include "CodeErrorFormTest.moc"
