// The busy window: its spinner texts, the adding step 300 ms after it shows,
// and that it closes whatever the adding does.
#include <QApplication>
#include <QLabel>
#include <QTimer>
#include <QtTest>
#include <stdexcept>

#include "InitFileForm.h"
#include "QtUserInterface.h"
#include "ShellTestSupport.h"
#include "Unit_CommonLib.h"

class InitFileFormTest : public QObject {
  Q_OBJECT

 private slots:
  void stepTexts_data() {
    QTest::addColumn<int>("step");
    QTest::addColumn<QString>("text");
    QTest::newRow("1") << 1 << "Installing File...  |";
    QTest::newRow("2") << 2 << "Installing File...  /";
    QTest::newRow("3") << 3 << "Installing File...  -";
    QTest::newRow("4") << 4 << "Installing File...  \\";
  }
  void stepTexts() {
    QFETCH(int, step);
    QFETCH(QString, text);
    QCOMPARE(TFrmInitFileForm::StepText(step), text);
  }

  void frame() {
    QtUserInterface ui;
    TFrmInitFileForm form(ui, nullptr);
    QCOMPARE(form.size(), QSize(273, 45));
    QVERIFY(form.windowFlags() & Qt::FramelessWindowHint);
    QCOMPARE(form.lblInfo->text(), QString("Installing File..."));
    QVERIFY(form.lblInfo->font().bold());
    QVERIFY(!form.Timer1->isActive());
    QVERIFY(!form.Timer2->isActive());
  }

  // The adding gets the list handed over; the window closes after it.
  void addsTheFilesThenCloses() {
    QtUserInterface ui;
    TFrmInitFileForm form(ui, nullptr);
    QStringList added;
    int calls = 0;
    form.AddFiles = [&](const QStringList& files) {
      ++calls;
      added = files;
      QVERIFY(form.isVisible());
    };
    form.SetFileList({"/music/a.mp3", "/music/b b.ogg"});
    QElapsedTimer clock;
    clock.start();
    QCOMPARE(form.exec(), int(QDialog::Accepted));
    QVERIFY(clock.elapsed() >= 290);
    QCOMPARE(calls, 1);
    QCOMPARE(added, QStringList({"/music/a.mp3", "/music/b b.ogg"}));
    QVERIFY(!form.Timer1->isActive());
    QVERIFY(!form.Timer2->isActive());
  }

  // While a box opened by the adding is up, the spinner keeps turning; an
  // error of the adding is reported and the window still closes.
  void spinnerTurnsWhileABoxIsOpenAndErrorsStillClose() {
    QtUserInterface ui;
    QWidget owner;
    owner.resize(500, 400);
    owner.show();
    TFrmInitFileForm form(ui, &owner);
    QStringList seen;
    QTimer watch;
    watch.setInterval(50);
    QObject::connect(&watch, &QTimer::timeout, [&] {
      if (seen.isEmpty() || seen.last() != form.lblInfo->text()) seen << form.lblInfo->text();
    });
    watch.start();
    // The codec warning the adding shows stays open for 2.6 s.
    QTimer::singleShot(2600, [] {
      if (auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget())) box->accept();
    });
    std::shared_ptr<ModalAnswer> error_box;
    form.AddFiles = [&](const QStringList&) {
      ShowMsgBox(ui, "Files reading error!", 1);
      error_box = ModalAnswer::PressButton(QMessageBox::Ok, 8000);
      throw std::runtime_error("The adding failed.");
    };
    form.SetFileList({"/music/a.mp3"});
    form.exec();
    QVERIFY(error_box && error_box->Answered());
    QCOMPARE(error_box->Seen().text, QString("The adding failed."));
    QVERIFY(!form.isVisible());
    QVERIFY(seen.size() >= 3);
    QCOMPARE(seen[0], QString("Installing File..."));
    QCOMPARE(seen[1], QString("Installing File...  /"));
    QCOMPARE(seen[2], QString("Installing File...  -"));
  }
};

TONBRIX_QTEST_MAIN(InitFileFormTest)
#include "InitFileFormTest.moc"
