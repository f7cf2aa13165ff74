// The main window of a started program: its frame and controls, the keyboard
// shortcuts, the window and system commands, the About box through Form.dll,
// the Options window and the output folder.
#include <QAbstractButton>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QSignalSpy>
#include <QWindow>
#include <QtTest>

#include "FfmpegMediaGraph.h"
#include "PictureButton.h"
#include "QtUserInterface.h"
#include "ShellTestSupport.h"
#include "SourceListView.h"
#include "TonbrixProgram.h"
#include "Unit_Convert.h"
#include "Unit_Option.h"

namespace {

// Counts the presses of one key that reach a control.
class KeyCounter : public QObject {
 public:
  explicit KeyCounter(int key) : key_(key) {}
  int presses = 0;

 protected:
  bool eventFilter(QObject*, QEvent* event) override {
    if (event->type() == QEvent::KeyPress && static_cast<QKeyEvent*>(event)->key() == key_)
      ++presses;
    return false;
  }

 private:
  int key_;
};

}  // namespace

class MainFormTest : public QObject {
  Q_OBJECT

 private slots:
  void initTestCase() {
    folder_ = std::make_unique<ProgramFolderCopy>();
    context_ = std::make_unique<TApplicationContext>(folder_->Path(), TONBRIX_APP_DIR "tonbrix",
                                                     ui_, launcher_);
    program_ = std::make_unique<TonbrixProgram>(
        *context_, std::make_unique<FfmpegMediaGraph>(FfmpegMediaGraph::Output::Silent));
    program_->ShowMainWindow();
    form_ = &program_->MainForm();
    QVERIFY(QTest::qWaitForWindowExposed(form_));
  }

  void init() {
    launcher_.Opened.clear();
    program_->Option().hide();
    form_->activateWindow();
  }

  void shapedFrameAndSize() {
    QVERIFY(form_->windowFlags() & Qt::FramelessWindowHint);
    QCOMPARE(form_->size(), QSize(692, 519));
    const QRegion outline = form_->mask();
    QVERIFY(!outline.isEmpty());
    QVERIFY(!outline.contains(QPoint(0, 0)));
    QVERIFY(!outline.contains(QPoint(form_->width() - 1, form_->height() - 1)));
    QVERIFY(outline.contains(QPoint(form_->width() / 2, form_->height() / 2)));
    // Whatever asks, the window keeps its minimum size.
    form_->resize(300, 200);
    QCOMPARE(form_->size(), QSize(686, 519));
    form_->resize(692, 400);
    QCOMPARE(form_->size(), QSize(692, 519));
  }

  void controls_data() {
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("text");  // label text, or hint of a picture button
    QTest::addColumn<bool>("visible");
    QTest::newRow("title") << "lblTitle" << form_->windowTitle() << true;
    QTest::newRow("minimize") << "btnWindowMinimize"
                              << "" << true;
    QTest::newRow("close") << "btnWindowClose"
                           << "" << true;
    QTest::newRow("home page") << "btnHomePage"
                               << "" << true;
    QTest::newRow("e-mail") << "btnEMail"
                            << "" << true;
    QTest::newRow("help") << "btnHelp"
                          << "" << true;  // its hint is not shown
    QTest::newRow("about") << "btnAbout"
                           << "" << true;
    QTest::newRow("play") << "btnPlay"
                          << "Ctrl + P" << true;
    QTest::newRow("pause") << "btnPause"
                           << "Ctrl + U" << true;
    QTest::newRow("stop") << "btnStop"
                          << "Ctrl + T" << true;
    QTest::newRow("time") << "pnlCurTime"
                          << "00:00:00" << true;
    QTest::newRow("type label") << "lblOutputFileTypeName"
                                << "Output FileType:" << true;
    QTest::newRow("profile label") << "lblProfileSettings"
                                   << "Profile Settings:" << true;
    QTest::newRow("options") << "btnOptions"
                             << "Ctrl + N" << true;
    QTest::newRow("folder label") << "lblOutputFolderInfo"
                                  << "Output Folder:" << true;
    QTest::newRow("folder button") << "RzBmpButton1"
                                   << "Ctrl + N" << true;
    QTest::newRow("hidden folder button") << "btnSelectOutputFolder"
                                          << "Ctrl + B" << false;
    QTest::newRow("shutdown label") << "Label1"
                                    << "Shutdown computer when job is finished." << true;
    QTest::newRow("show folder label") << "Label2"
                                       << "Show output directory when done" << true;
    QTest::newRow("open") << "btnOpenFile"
                          << "Ctrl + O" << true;
    QTest::newRow("remove") << "btnRemoveFile"
                            << "Ctrl + R" << true;
    QTest::newRow("clear") << "btnClearFile"
                           << "Ctrl + L" << true;
    QTest::newRow("convert") << "btnConvert"
                             << "Ctrl + S" << true;
    for (const char* name :
         {"rzfrmshpfrmConverter", "DSVideoWindowEx1", "panLogo", "imgLOGO", "Panel1", "Splitter1",
          "Splitter2", "Panel2", "Panel3", "Panel4", "imgPlay", "Image1", "cbbOutputFiletype",
          "cbbProfile", "edtOutputFolder", "chkShutdown", "chkShowOutputDirectory",
          "dxTreeSourceFileInfo"})
      QTest::newRow(name) << name << QString() << true;
    for (const char* name : {"dstrckbrMainform", "imgL", "imgR"})
      QTest::newRow(name) << name << QString() << false;
  }
  void controls() {
    QFETCH(QString, name);
    QFETCH(QString, text);
    QFETCH(bool, visible);
    auto* control = form_->findChild<QWidget*>(name);
    QVERIFY2(control != nullptr, qPrintable(name));
    QCOMPARE(control->isVisibleTo(form_), visible);
    if (auto* button = qobject_cast<TPictureButton*>(control)) {
      QCOMPARE(button->toolTip(), text);
      QVERIFY(!button->accessibleName().isEmpty());
      QCOMPARE(button->cursor().shape(), Qt::PointingHandCursor);
    } else if (auto* label = qobject_cast<QLabel*>(control); label && !text.isEmpty()) {
      QCOMPARE(label->text(), text);
    }
    if (visible && name != "rzfrmshpfrmConverter")
      QVERIFY2(form_->mask().boundingRect().contains(control->geometry()), qPrintable(name));
  }

  void controlDetails() {
    QCOMPARE(form_->btnHelp->accessibleName(), QString("Help (F1)"));
    QVERIFY(form_->edtOutputFolder->isReadOnly());
    QCOMPARE(form_->edtOutputFolder->text(), QDir::homePath() + "/Tonbrix");
    QCOMPARE(form_->Panel1->size(), QSize(260, 19));
    QCOMPARE(form_->lblTitle->font().pixelSize(), 19);
    QVERIFY(form_->lblTitle->font().bold());
    for (TPictureButton* button :
         {form_->btnHomePage, form_->btnEMail, form_->btnHelp, form_->btnAbout})
      QCOMPARE(button->size(), QSize(48, 48));
    QCOMPARE(form_->dxTreeSourceFileInfo->columnCount(), 7);
    // The handles' faces are painted again 10 ms after the bar changes; an
    // idle window has no timer waking it up.
    QCOMPARE(form_->tmrPaintSP->interval(), 10);
    QVERIFY(form_->tmrPaintSP->isSingleShot());
    QTRY_VERIFY(!form_->tmrPaintSP->isActive());
  }

  void shortcuts_data() {
    QTest::addColumn<int>("key");
    QTest::addColumn<int>("modifiers");
    QTest::addColumn<QString>("runs");  // the button clicked, "help", or "" for nothing
    QTest::addColumn<bool>("disable");  // the target button disabled first
    const int ctrl = Qt::ControlModifier;
    QTest::newRow("Ctrl+O") << int(Qt::Key_O) << ctrl << "btnOpenFile" << false;
    QTest::newRow("Ctrl+R") << int(Qt::Key_R) << ctrl << "btnRemoveFile" << false;
    QTest::newRow("Ctrl+L") << int(Qt::Key_L) << ctrl << "btnClearFile" << false;
    QTest::newRow("Ctrl+I while disabled") << int(Qt::Key_I) << ctrl << "btnOptions" << true;
    QTest::newRow("Ctrl+P") << int(Qt::Key_P) << ctrl << "btnPlay" << false;
    QTest::newRow("Ctrl+U") << int(Qt::Key_U) << ctrl << "btnPause" << false;
    QTest::newRow("Ctrl+T") << int(Qt::Key_T) << ctrl << "btnStop" << false;
    QTest::newRow("Ctrl+S") << int(Qt::Key_S) << ctrl << "btnConvert" << false;
    QTest::newRow("Ctrl+N") << int(Qt::Key_N) << ctrl << "btnConvert" << false;
    QTest::newRow("Ctrl+S while disabled") << int(Qt::Key_S) << ctrl << "btnConvert" << true;
    QTest::newRow("Ctrl+Shift+S") << int(Qt::Key_S) << int(ctrl | Qt::ShiftModifier) << "" << false;
    QTest::newRow("Alt+S") << int(Qt::Key_S) << int(Qt::AltModifier) << "" << false;
    QTest::newRow("S") << int(Qt::Key_S) << 0 << "" << false;
    QTest::newRow("Ctrl+Alt+O") << int(Qt::Key_O) << int(ctrl | Qt::AltModifier) << "" << false;
    QTest::newRow("Shift+O") << int(Qt::Key_O) << int(Qt::ShiftModifier) << "" << false;
    QTest::newRow("F1") << int(Qt::Key_F1) << 0 << "help" << false;
    QTest::newRow("Shift+F1") << int(Qt::Key_F1) << int(Qt::ShiftModifier) << "help" << false;
    QTest::newRow("Ctrl+Alt+F1") << int(Qt::Key_F1) << int(ctrl | Qt::AltModifier) << "help"
                                 << false;
  }
  void shortcuts() {
    QFETCH(int, key);
    QFETCH(int, modifiers);
    QFETCH(QString, runs);
    QFETCH(bool, disable);

    std::vector<std::pair<QString, std::unique_ptr<QSignalSpy>>> spies;
    for (auto* button : form_->findChildren<TPictureButton*>())
      spies.emplace_back(button->objectName(),
                         std::make_unique<QSignalSpy>(button, &QAbstractButton::clicked));
    auto* target = form_->findChild<TPictureButton*>(runs);
    if (disable) target->setEnabled(false);

    // The commands the buttons start may open their own dialogs (the open
    // dialog, a box about an empty list): close whatever opens.
    QTimer dismiss;
    dismiss.setInterval(50);
    QObject::connect(&dismiss, &QTimer::timeout, [] {
      if (auto* dialog = qobject_cast<QDialog*>(QApplication::activeModalWidget()))
        dialog->reject();
    });
    dismiss.start();

    // The focused control still gets the key.
    form_->dxTreeSourceFileInfo->setFocus();
    KeyCounter counter(key);
    form_->dxTreeSourceFileInfo->installEventFilter(&counter);
    QTest::keyClick(form_->windowHandle(), Qt::Key(key), Qt::KeyboardModifiers(modifiers));
    form_->dxTreeSourceFileInfo->removeEventFilter(&counter);
    if (disable) target->setEnabled(true);

    QCOMPARE(counter.presses, 1);
    for (const auto& [name, spy] : spies) QCOMPARE(spy->count(), name == runs ? 1 : 0);
    if (runs == "help") {
      QCOMPARE(launcher_.Opened.size(), size_t(1));
      QCOMPARE(launcher_.Opened[0],
               QUrl::fromLocalFile(QString::fromStdString(folder_->Path()) + "Help.html"));
    } else {
      QVERIFY(launcher_.Opened.empty());
    }
    if (runs == "btnOptions") QVERIFY(program_->Option().isVisible());
  }

  // Ctrl+B reaches the folder browser although its button is hidden.
  void ctrlBOpensTheFolderBrowser() {
    QVERIFY(!form_->btnSelectOutputFolder->isVisible());
    auto browser = ModalAnswer::CancelFolder();
    const QString before = form_->edtOutputFolder->text();
    QTest::keyClick(form_->windowHandle(), Qt::Key_B, Qt::ControlModifier);
    QVERIFY(browser->Answered());
    QCOMPARE(browser->Seen().title, QString("Please select output folder:"));
    QCOMPARE(form_->edtOutputFolder->text(), before);
  }

  void folderButtonTakesAChosenFolder() {
    QTemporaryDir root;
    const QString chosen = root.filePath("ringtones");
    QVERIFY(QDir().mkpath(chosen));
    FolderChoice browser(chosen);
    form_->RzBmpButton1->click();
    QVERIFY(browser.answered);
    QCOMPARE(form_->edtOutputFolder->text(), chosen);
  }

  void systemCommands_data() {
    QTest::addColumn<QString>("button");
    QTest::addColumn<QString>("expected");  // "@" is the program folder
    QTest::newRow("home page") << "btnHomePage"
                               << "@Help.html";
    QTest::newRow("e-mail") << "btnEMail"
                            << "mailto:";
    QTest::newRow("help") << "btnHelp"
                          << "@Help.html";
  }
  void systemCommands() {
    QFETCH(QString, button);
    QFETCH(QString, expected);
    form_->findChild<QAbstractButton*>(button)->click();
    QCOMPARE(launcher_.Opened.size(), size_t(1));
    const QUrl wanted =
        expected.startsWith('@')
            ? QUrl::fromLocalFile(QString::fromStdString(folder_->Path()) + expected.mid(1))
            : QUrl(expected);
    QCOMPARE(launcher_.Opened[0], wanted);
  }

  // The About box comes from Form.dll, loaded anew each time: silent while
  // the file is missing, back as soon as it is there again.
  void aboutBoxThroughFormDll() {
    QStringList texts;
    auto read_and_close = [&texts] {
      QWidget* box = QApplication::activeModalWidget();
      if (box == nullptr || box->objectName() != "AboutForm") return;
      texts << box->windowTitle();
      for (auto* label : box->findChildren<QLabel*>()) texts << label->text();
      static_cast<QDialog*>(box)->accept();
    };
    QTimer::singleShot(300, read_and_close);
    form_->btnAbout->click();
    QVERIFY(texts.contains("About Tonbrix"));
    QVERIFY(texts.contains("Tonbrix"));
    QVERIFY(texts.contains("Version " + QString::fromStdString(context_->SoftInfo.VersionText)));
    QVERIFY(texts.contains(QString::fromStdString(folder_->Path())));
    QVERIFY(texts.contains("not set"));  // no e-mail address exists

    QVERIFY(folder_->Remove("Form.dll"));
    texts.clear();
    QTimer::singleShot(300, read_and_close);
    form_->btnAbout->click();
    QTest::qWait(400);
    QVERIFY(texts.isEmpty());

    QVERIFY(folder_->Restore("Form.dll"));
    QTimer::singleShot(300, read_and_close);
    form_->btnAbout->click();
    QVERIFY(texts.contains("About Tonbrix"));
  }

  void optionsWindowIsModeless() {
    form_->btnOptions->click();
    TfrmOption& option = program_->Option();
    QVERIFY(option.isVisible());
    QVERIFY(!option.isModal());
    QCOMPARE(option.windowTitle(), QString("Options"));
    QCOMPARE(option.size(), QSize(476, 198));
    QVERIFY(form_->isEnabled());
    QVERIFY(QApplication::activeModalWidget() == nullptr);
    // A second click while it is open only brings it to the front.
    form_->btnOptions->click();
    QVERIFY(option.isVisible());
  }

  void minimizeCommand() {
    form_->btnWindowMinimize->click();
    QTRY_VERIFY(form_->isMinimized());
    form_->showNormal();
  }

  void codecDialogIsOwnedByTheMainWindow() {
    QString owner;
    QTimer::singleShot(200, [&] {
      QWidget* dialog = QApplication::activeModalWidget();
      if (dialog == nullptr) return;
      owner = dialog->parentWidget() ? dialog->parentWidget()->objectName() : QString();
      static_cast<QDialog*>(dialog)->accept();
    });
    QCOMPARE(form_->ShowCodeErrorForm(), int(QDialog::Accepted));
    QCOMPARE(owner, QString("FrmMainForm"));
  }

  // Where the window opens: centred in the screen's free area, inside it,
  // and with its title band on it when the screen is the smaller.
  void placeInside_data() {
    QTest::addColumn<QRect>("available");
    QTest::addColumn<QPoint>("placed");
    QTest::newRow("roomy screen") << QRect(0, 0, 1600, 1000) << QPoint(454, 240);
    QTest::newRow("panel on top") << QRect(0, 40, 1600, 960) << QPoint(454, 260);
    QTest::newRow("second screen") << QRect(1920, 0, 1280, 1024) << QPoint(2214, 252);
    QTest::newRow("smaller than the window") << QRect(0, 30, 640, 450) << QPoint(0, 30);
    QTest::newRow("too short only") << QRect(0, 0, 1024, 500) << QPoint(166, 0);
  }
  void placeInside() {
    QFETCH(QRect, available);
    QTEST(PlaceInside(available, QSize(692, 519)), "placed");
  }

 private:
  QtUserInterface ui_;
  RecordingLauncher launcher_;
  std::unique_ptr<ProgramFolderCopy> folder_;
  std::unique_ptr<TApplicationContext> context_;
  std::unique_ptr<TonbrixProgram> program_;
  TFrmMainForm* form_ = nullptr;
};

TONBRIX_QTEST_MAIN(MainFormTest)
#include "MainFormTest.moc"
