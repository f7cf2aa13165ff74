// QtUserInterface and the support services on real Qt widgets (offscreen):
// message boxes, the folder browser, the input box, pauses that keep events
// running and the working-set trim timer. Boxes are answered by ModalAnswer.
#include <QApplication>
#include <QTemporaryDir>
#include <QTimer>
#include <QtTest>

#include "ModalAnswer.h"
#include "QtUserInterface.h"
#include "Unit_CommonLib.h"

namespace {

// The Qt user interface, with the calls that run pending events counted.
class CountingUserInterface : public QtUserInterface {
 public:
  void ProcessMessages() override {
    ++process_messages;
    QtUserInterface::ProcessMessages();
  }
  int process_messages = 0;
};

}  // namespace

class QtUserInterfaceTest : public QObject {
  Q_OBJECT

 private:
  QTemporaryDir app_dir_;
  std::unique_ptr<TAppFunc> app_;
  TSysFunc sys_;
  CountingUserInterface ui_;
  std::unique_ptr<TCommonLib> lib_;

 private slots:
  void initTestCase() {
    QVERIFY(app_dir_.isValid());
    app_ = std::make_unique<TAppFunc>(app_dir_.path().toStdString() + "/");
    lib_ = std::make_unique<TCommonLib>(*app_, sys_, ui_);
  }

  void showMsgShowsOneOkButtonWithTheKindsIcon_data() {
    QTest::addColumn<int>("kind");
    QTest::addColumn<int>("icon");
    QTest::newRow("error") << 0 << int(QMessageBox::Critical);
    QTest::newRow("warning") << 1 << int(QMessageBox::Warning);
    QTest::newRow("question") << 2 << int(QMessageBox::Question);
    QTest::newRow("information") << 3 << int(QMessageBox::Information);
  }
  void showMsgShowsOneOkButtonWithTheKindsIcon() {
    QFETCH(int, kind);
    QFETCH(int, icon);
    auto answer = ModalAnswer::PressButton(QMessageBox::Ok);
    QVERIFY(lib_->ShowMsg("The output folder cannot be created.", kind));
    QVERIFY(answer->Answered());
    QCOMPARE(answer->Seen().title, QString("Tonbrix"));
    QCOMPARE(answer->Seen().text, QString("The output folder cannot be created."));
    QCOMPARE(int(answer->Seen().icon), icon);
    QCOMPARE(answer->Seen().buttons, QMessageBox::StandardButtons(QMessageBox::Ok));
    QVERIFY(answer->Seen().modal);
  }

  void showMsgOutsideTheKindsShowsNothing_data() {
    QTest::addColumn<int>("kind");
    QTest::newRow("below") << -1;
    QTest::newRow("above") << 4;
  }
  void showMsgOutsideTheKindsShowsNothing() {
    QFETCH(int, kind);
    auto answer = ModalAnswer::PressButton(QMessageBox::Ok, 300);
    QVERIFY(!lib_->ShowMsg("never shown", kind));
    QTest::qWait(400);
    QVERIFY(!answer->Answered());
  }

  void showMsgBoxReturnsTheButtonCode_data() {
    QTest::addColumn<int>("kind");
    QTest::addColumn<int>("press");
    QTest::addColumn<int>("buttons");
    QTest::addColumn<int>("code");
    const int ok = QMessageBox::Ok;
    const int yes_no = QMessageBox::Yes | QMessageBox::No;
    const int yes_no_cancel = yes_no | QMessageBox::Cancel;
    QTest::newRow("ok") << 1 << ok << ok << int(IDOK);
    QTest::newRow("yes of yes/no") << 2 << int(QMessageBox::Yes) << yes_no << int(IDYES);
    QTest::newRow("no of yes/no") << 2 << int(QMessageBox::No) << yes_no << int(IDNO);
    QTest::newRow("yes of three") << 3 << int(QMessageBox::Yes) << yes_no_cancel << int(IDYES);
    QTest::newRow("no of three") << 3 << int(QMessageBox::No) << yes_no_cancel << int(IDNO);
    QTest::newRow("cancel of three")
        << 3 << int(QMessageBox::Cancel) << yes_no_cancel << int(IDCANCEL);
  }
  void showMsgBoxReturnsTheButtonCode() {
    QFETCH(int, kind);
    QFETCH(int, press);
    QFETCH(int, buttons);
    QFETCH(int, code);
    auto answer = ModalAnswer::PressButton(QMessageBox::StandardButton(press));
    QCOMPARE(ShowMsgBox(ui_, "Do you want to stop converting?", kind), code);
    QVERIFY(answer->Answered());
    QVERIFY(!answer->ButtonMissing());
    QCOMPARE(answer->Seen().title, QString("Tonbrix"));
    QCOMPARE(int(answer->Seen().icon), int(QMessageBox::Information));
    QCOMPARE(int(answer->Seen().buttons), buttons);
  }

  void showMsgBoxOutsideTheKindsShowsNothing() {
    for (int kind : {0, 4}) {
      auto answer = ModalAnswer::PressButton(QMessageBox::Ok, 300);
      QCOMPARE(ShowMsgBox(ui_, "never shown", kind), 0);
      QTest::qWait(400);
      QVERIFY(!answer->Answered());
    }
  }

  void browseForFolderStartsAtThePreselectionAndReturnsTheChoice() {
    QTemporaryDir start;
    QTemporaryDir target;
    std::string folder = start.path().toStdString();
    auto answer = ModalAnswer::ChooseFolder(target.path());
    QVERIFY(BrowseForFolder(ui_, "Choose the output folder", "", folder));
    QVERIFY(answer->Answered());
    QCOMPARE(answer->Seen().title, QString("Choose the output folder"));
    QCOMPARE(answer->Seen().text, start.path());
    QVERIFY(answer->Seen().folders_only);
    QCOMPARE(QString::fromStdString(folder), target.path());
  }

  void browseForFolderCancelledKeepsAnExistingFolder() {
    QTemporaryDir start;
    std::string folder = start.path().toStdString();
    auto answer = ModalAnswer::CancelFolder();
    QVERIFY(!BrowseForFolder(ui_, "Choose the output folder", "", folder));
    QVERIFY(answer->Answered());
    QCOMPARE(QString::fromStdString(folder), start.path());
  }

  void browseForFolderClearsAFolderThatDoesNotExist() {
    QTemporaryDir root;
    std::string folder = root.path().toStdString() + "/not-there";
    auto answer = ModalAnswer::CancelFolder();
    QVERIFY(!BrowseForFolder(ui_, "Choose the output folder", root.path().toStdString(), folder));
    QVERIFY(answer->Answered());
    QCOMPARE(folder, std::string());
    // Without a preselection the browser starts at the root.
    QCOMPARE(answer->Seen().text, root.path());
  }

  void inputBoxReturnsTheTypedText() {
    auto answer = ModalAnswer::TypeText("Ring 2");
    auto result = ui_.InputBox("Custom profile", "Profile name:", "Ring");
    QVERIFY(answer->Answered());
    QVERIFY(result.has_value());
    QCOMPARE(QString::fromStdString(*result), QString("Ring 2"));
    QCOMPARE(answer->Seen().title, QString("Custom profile"));
    QCOMPARE(answer->Seen().text, QString("Profile name:"));
    QCOMPARE(answer->Seen().value, QString("Ring"));
  }

  void inputBoxCancelledGivesNoValue() {
    auto answer = ModalAnswer::CancelInput();
    QVERIFY(!ui_.InputBox("Custom profile", "Profile name:", "Ring").has_value());
    QVERIFY(answer->Answered());
  }

  void pauseKeepsEventsRunning() {
    bool fired = false;
    QTimer::singleShot(20, this, [&fired] { fired = true; });
    QElapsedTimer clock;
    clock.start();
    ui_.Pause(150);
    QVERIFY(fired);
    QVERIFY(clock.elapsed() >= 150);
  }

  // The batch's pauses of two and three seconds are never cut short (a
  // coarse timer may fire up to 5 % early).
  void longPauseLastsItsWholeTime() {
    QElapsedTimer clock;
    clock.start();
    ui_.Pause(2000);
    QVERIFY2(clock.elapsed() >= 2000, qPrintable(QString::number(clock.elapsed())));
  }

  void processMessagesRunsQueuedCalls() {
    bool ran = false;
    QMetaObject::invokeMethod(
        this, [&ran] { ran = true; }, Qt::QueuedConnection);
    ui_.QtUserInterface::ProcessMessages();
    QVERIFY(ran);
  }

  void clearMemoryTimerTrimsOncePerSecond() {
    QObject owner;
    QTimer* timer = StartClearMemoryTimer(&owner, *lib_);
    QCOMPARE(timer->objectName(), QString("tmrClearMemory"));
    QCOMPARE(timer->interval(), 1000);
    QVERIFY(timer->isActive());
    int before = ui_.process_messages;
    QTest::qWait(2500);
    // Each tick trims and lets pending events run once.
    int ticks = ui_.process_messages - before;
    QVERIFY2(ticks >= 2 && ticks <= 3, qPrintable(QString::number(ticks)));
  }
};

TONBRIX_QTEST_MAIN(QtUserInterfaceTest)
#include "QtUserInterfaceTest.moc"
