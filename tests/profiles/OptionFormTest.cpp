// The Options window and the main window's profile handlers on real widgets
// (offscreen platform) over a temporary program folder with real INI files:
// start-up filling, choices made with the keyboard, the snapshot with Cancel,
// Esc, OK, Enter and the title bar's close button, Add/Save/Delete with the
// name prompt answered, a hand-edited profile, and the settings at close.
#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QtTest>
#include <memory>

#include "FfmpegMediaGraph.h"
#include "IniFiles32.h"
#include "MainFormInputs.h"
#include "ModalAnswer.h"
#include "PictureButton.h"
#include "QtUserInterface.h"
#include "ShellLauncher.h"
#include "Unit_Convert.h"
#include "Unit_Option.h"

namespace {

class NoLauncher : public ShellLauncher {
 public:
  bool OpenUrl(const QUrl&) override { return false; }
};

QStringList Items(const QComboBox* combo) {
  QStringList items;
  for (int i = 0; i < combo->count(); ++i) items << combo->itemText(i);
  return items;
}

// A person's choice in a closed drop-down list: Home, then Down as often as
// needed; every key press is one choice, as with a real keyboard.
void ChooseWithKeys(QComboBox* combo, int index) {
  combo->setFocus();
  QTest::keyClick(combo, Qt::Key_Home);
  for (int i = 0; i < index; ++i) QTest::keyClick(combo, Qt::Key_Down);
}

}  // namespace

class OptionFormTest : public QObject {
  Q_OBJECT

 private:
  std::unique_ptr<QTemporaryDir> dir_;
  QtUserInterface ui_;
  NoLauncher launcher_;
  std::unique_ptr<TApplicationContext> context_;
  std::unique_ptr<TFrmMainForm> form_;
  TfrmOption* option_ = nullptr;

  QString Config(const QString& name) const { return dir_->filePath("Config/" + name); }
  void WriteConfig(const QString& name, const QByteArray& text) {
    QFile file(Config(name));
    QVERIFY(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
    file.write(text);
  }
  QByteArray ReadFile(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
  }
  QStringList Sections() {
    std::vector<std::string> sections;
    TIniFile32(Config("UserProfileInfo.ini").toStdString()).ReadSections(&sections);
    QStringList list;
    for (const auto& s : sections) list << QString::fromStdString(s);
    return list;
  }
  // The objects InitApplication makes, without the splash; then the set-up
  // steps of the main window's show handler.
  void Start() {
    TApplicationContext& c = *context_;
    c.AppFunc = std::make_unique<TAppFunc>(c.AppDir);
    c.SysFunc = std::make_unique<TSysFunc>();
    c.StrFunc = std::make_unique<TStrFunc>();
    c.FileFunc = std::make_unique<TFileFunc>();
    c.CommonLib = std::make_unique<TCommonLib>(*c.AppFunc, *c.SysFunc, ui_);
    c.CustomProc =
        std::make_unique<TCustomProc>(*c.CommonLib, *c.AppFunc, *c.FileFunc, form_->Inputs());
    form_->WireProgramObjects();
    form_->InitOptionLists();
    form_->ApplyProfile();
  }
  QString Selections() const {
    QStringList s;
    for (QComboBox* c :
         {option_->cbbVideoSize, option_->cbbFramerate, option_->cbbVideoBitrate,
          option_->cbbAudioBitrate, option_->cbbAudioChannels, option_->cbbAudioSample})
      s << QString::number(c->currentIndex());
    return s.join('|');
  }
  void ShowOptions() {
    form_->btnOptionsClick();
    QVERIFY(QTest::qWaitForWindowExposed(option_));
  }

 private slots:
  void init() {
    dir_ = std::make_unique<QTemporaryDir>();
    QVERIFY(QDir(dir_->path()).mkdir("Config"));
    context_ = std::make_unique<TApplicationContext>(dir_->path().toStdString() + "/",
                                                     TONBRIX_APP_DIR "tonbrix", ui_, launcher_);
    form_ = std::make_unique<TFrmMainForm>(
        *context_, std::make_unique<FfmpegMediaGraph>(FfmpegMediaGraph::Output::Silent));
    option_ = new TfrmOption(form_.get());
    form_->SetWindows(nullptr, option_, nullptr);
  }

  void cleanup() {
    form_.reset();
    context_.reset();
    dir_.reset();
  }

  void windowAndControls() {
    Start();
    ShowOptions();
    QCOMPARE(option_->windowTitle(), QString("Options"));
    QCOMPARE(option_->size(), QSize(476, 198));
    QCOMPARE(option_->minimumSize(), option_->maximumSize());
    QVERIFY(!option_->isModal());
    QCOMPARE(option_->lblCustomProfile->text(), QString("Custom Profile:"));
    QVERIFY(option_->cbbCustomProfile->isEditable());
    QCOMPARE(option_->btnAdd->text(), QString("Add"));
    QCOMPARE(option_->btnSave->text(), QString("Save"));
    QCOMPARE(option_->btnDel->text(), QString("Delete"));
    QCOMPARE(option_->grpAdvOptions->title(), QString("Advanced Options"));
    QCOMPARE(option_->lblAudioBitrate->text(), QString("Audio Bitrate(kbps):"));
    QCOMPARE(option_->lblSample->text(), QString("Audio Sample(khz):"));
    QCOMPARE(option_->lblVolume->text(), QString("Audio Volume(%):"));
    QCOMPARE(option_->lblChannels->text(), QString("Audio Channels:"));
    QCOMPARE(option_->btnApply->text(), QString("OK"));
    QVERIFY(option_->btnApply->isDefault());
    QCOMPARE(option_->btnCancel->text(), QString("Cancel"));
    for (QWidget* shown :
         {static_cast<QWidget*>(option_->cbbAudioBitrate), static_cast<QWidget*>(option_->btnAdd),
          static_cast<QWidget*>(option_->cbbAudioChannels),
          static_cast<QWidget*>(option_->btnCancel)}) {
      QVERIFY2(shown->isVisible(), qPrintable(shown->objectName()));
      QVERIFY(option_->rect().contains(shown->mapTo(option_, shown->rect().bottomRight())));
    }
    // The video lists: in the window, filled, never seen.
    QVERIFY(!option_->GroupBox1->isVisible());
    QVERIFY(option_->GroupBox1->geometry().top() >= 198);
    QCOMPARE(option_->GroupBox1->title(), QString("GroupBox1"));
    for (QComboBox* hidden : {option_->cbbVideoSize, option_->cbbVideoBitrate,
                              option_->cbbFramerate, option_->cbbAspectratio}) {
      QVERIFY(hidden->isHidden());
      QVERIFY(hidden->count() > 0);
      QVERIFY(!hidden->isEditable());
    }
    // Rows: bitrate beside sample rate, volume beside channels, below them.
    QCOMPARE(option_->cbbAudioBitrate->y(), option_->cbbAudioSample->y());
    QCOMPARE(option_->cbbAudioVolumeGain->y(), option_->cbbAudioChannels->y());
    QVERIFY(option_->cbbAudioVolumeGain->y() > option_->cbbAudioBitrate->y());
    QVERIFY(option_->cbbAudioBitrate->x() < option_->cbbAudioSample->x());
    // Opening it again only brings it to the front.
    form_->btnOptionsClick();
    QVERIFY(option_->isVisible());
  }

  void startFillsTheListsAndAppliesNormalQuality() {
    WriteConfig("UserProfileInfo.ini", "\r\n[Ring]\r\nRing=0|0|0|0|0|0\r\n");
    Start();
    QCOMPARE(form_->cbbOutputFiletype->count(), 7);
    QCOMPARE(form_->cbbOutputFiletype->currentText(), QString("MP3 Audio Files (*.mp3)"));
    QCOMPARE(Items(form_->cbbProfile),
             QStringList({"Low Quality", "Acceptable Quality", "Normal Quality",
                          "Excellent Quality", "Superb Quality", "Ring"}));
    QCOMPARE(form_->cbbProfile->currentText(), QString("Normal Quality"));
    QCOMPARE(option_->cbbAudioBitrate->currentText(), QString("128"));
    QCOMPARE(option_->cbbAudioChannels->currentText(), QString("2 channels, Stereo"));
    QCOMPARE(option_->cbbAudioSample->currentText(), QString("44100"));
    QCOMPARE(option_->cbbAudioVolumeGain->currentText(), QString("200"));
    QCOMPARE(Items(option_->cbbCustomProfile), QStringList({"Ring"}));
    QCOMPARE(option_->cbbCustomProfile->currentIndex(), -1);
    QVERIFY(!form_->chkShowOutputDirectory->isChecked());
    QCOMPARE(form_->edtOutputFolder->text(), QDir::homePath() + "/Tonbrix");
  }

  void aChoiceInTheMainWindowAppliesTheProfileQuietly() {
    Start();
    QSignalSpy changes(option_->cbbAudioBitrate, &QComboBox::currentIndexChanged);
    ChooseWithKeys(form_->cbbProfile, 4);  // Superb
    QCOMPARE(option_->cbbAudioBitrate->currentText(), QString("224"));
    ChooseWithKeys(form_->cbbOutputFiletype, 5);  // OGG
    QCOMPARE(option_->cbbAudioChannels->currentText(), QString("1 channel, Mono"));
    QCOMPARE(option_->cbbAudioSample->currentText(), QString("22050"));
    QVERIFY(!form_->cbbProfile->isEnabled());
    QVERIFY(!form_->btnOptions->isEnabled());
    QVERIFY(!option_->cbbVideoSize->isEnabled());
    QVERIFY(!option_->cbbAspectratio->isEnabled());
    form_->cbbOutputFiletype->setFocus();
    QTest::keyClick(form_->cbbOutputFiletype, Qt::Key_Home);  // MP3
    QVERIFY(form_->cbbProfile->isEnabled());
    QVERIFY(form_->btnOptions->isEnabled());
    QCOMPARE(Selections(), QString("1|1|4|8|1|3"));
    // The selections were set by the program: no change signal reached anyone.
    QCOMPARE(changes.count(), 0);
  }

  void theOpenWindowStaysUsableWhileOggDisablesItsButton() {
    WriteConfig("UserProfileInfo.ini", "\r\n[Ring]\r\nRing=0|0|0|0|0|0\r\n");
    Start();
    ShowOptions();
    // First showing with a built-in quality: the names, no selection, no text.
    QCOMPARE(Items(option_->cbbCustomProfile), QStringList({"Ring"}));
    QCOMPARE(option_->cbbCustomProfile->currentIndex(), -1);
    QCOMPARE(option_->cbbCustomProfile->currentText(), QString());
    ChooseWithKeys(form_->cbbOutputFiletype, 5);
    QVERIFY(!form_->btnOptions->isEnabled());
    QVERIFY(option_->isVisible());
    for (QWidget* w : std::initializer_list<QWidget*>{option_->cbbAudioBitrate, option_->btnAdd,
                                                      option_->btnApply, option_->btnCancel})
      QVERIFY(w->isEnabled());
    option_->cbbAudioBitrate->setFocus();
    QTest::keyClick(option_->cbbAudioBitrate, Qt::Key_End);
    QCOMPARE(option_->cbbAudioBitrate->currentText(), QString("224"));
  }

  void showSelectsTheCustomProfileChosenInTheMainWindow() {
    WriteConfig("UserProfileInfo.ini",
                "\r\n[Ring]\r\nRing=0|0|0|0|0|0\r\n\r\n[Loud]\r\nLoud=4|0|4|8|0|3\r\n");
    Start();
    ChooseWithKeys(form_->cbbProfile, 6);
    QCOMPARE(Selections(), QString("4|0|4|8|0|3"));
    option_->cbbAudioBitrate->setCurrentIndex(0);
    // Choosing the profile put its name into the box; with a name there the
    // box would keep it unselected, so the name is cleared first.
    option_->cbbCustomProfile->setCurrentIndex(-1);
    QCOMPARE(option_->cbbCustomProfile->currentText(), QString());
    ShowOptions();
    QCOMPARE(option_->cbbCustomProfile->currentIndex(), 1);
    QCOMPARE(option_->cbbCustomProfile->currentText(), QString("Loud"));
    QCOMPARE(option_->cbbAudioBitrate->currentText(), QString("16"));  // not applied again
  }

  void showKeepsANameFromEarlierWithoutSelectingIt() {
    WriteConfig("UserProfileInfo.ini", "\r\n[Ring]\r\nRing=0|0|0|0|0|0\r\n");
    Start();
    option_->cbbCustomProfile->setEditText("Ring");
    const QString before = Selections();
    ShowOptions();
    QCOMPARE(option_->cbbCustomProfile->currentText(), QString("Ring"));
    QCOMPARE(option_->cbbCustomProfile->currentIndex(), -1);
    QCOMPARE(Selections(), before);
  }

  // How the window is left after every option list was changed.
  void leavingTheWindow_data() {
    QTest::addColumn<QString>("how");
    QTest::addColumn<bool>("restored");
    QTest::addColumn<bool>("refilled");
    QTest::newRow("Cancel") << "cancel" << true << false;
    QTest::newRow("Esc") << "esc" << true << false;
    QTest::newRow("OK") << "ok" << false << true;
    QTest::newRow("Enter") << "enter" << false << true;
    QTest::newRow("title bar close") << "close" << false << false;
  }
  void leavingTheWindow() {
    QFETCH(QString, how);
    QFETCH(bool, restored);
    QFETCH(bool, refilled);
    WriteConfig("UserProfileInfo.ini", "\r\n[Ring]\r\nRing=0|0|0|0|0|0\r\n");
    Start();
    ChooseWithKeys(form_->cbbProfile, 1);
    ShowOptions();
    QComboBox* lists[8] = {option_->cbbVideoSize,       option_->cbbVideoBitrate,
                           option_->cbbFramerate,       option_->cbbAspectratio,
                           option_->cbbAudioBitrate,    option_->cbbAudioSample,
                           option_->cbbAudioVolumeGain, option_->cbbAudioChannels};
    int before[8];
    for (int i = 0; i < 8; ++i) {
      before[i] = lists[i]->currentIndex();
      lists[i]->setCurrentIndex(before[i] == 0 ? 1 : 0);
    }
    // A profile stored meanwhile: only OK brings it into cbbProfile.
    option_->cbbCustomProfile->setEditText("Later");
    QTest::mouseClick(option_->btnSave, Qt::LeftButton);
    QCOMPARE(option_->cbbCustomProfile->currentText(), QString("Later"));

    option_->activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(option_));
    option_->btnCancel->setFocus();
    if (how == "cancel") QTest::mouseClick(option_->btnCancel, Qt::LeftButton);
    if (how == "ok") QTest::mouseClick(option_->btnApply, Qt::LeftButton);
    if (how == "esc") QTest::keyClick(option_, Qt::Key_Escape);
    if (how == "enter") {
      option_->cbbAudioBitrate->setFocus();
      QTest::keyClick(option_->cbbAudioBitrate, Qt::Key_Return);
    }
    if (how == "close") option_->close();
    QVERIFY(!option_->isVisible());

    for (int i = 0; i < 8; ++i) {
      QCOMPARE(lists[i]->currentIndex() == before[i], restored);
    }
    if (restored) {
      QCOMPARE(option_->cbbCustomProfile->currentIndex(), -1);
    }
    QCOMPARE(Items(form_->cbbProfile).contains("Later"), refilled);
    QCOMPARE(form_->cbbProfile->currentText(),
             QString(refilled ? "Normal Quality" : "Acceptable Quality"));
    QCOMPARE(Sections(), QStringList({"Ring", "Later"}));
  }

  void okKeepsTheCustomProfilesValues() {
    WriteConfig("UserProfileInfo.ini", "\r\n[Loud]\r\nLoud=4|0|4|8|0|3\r\n");
    Start();
    ShowOptions();
    option_->cbbCustomProfile->setFocus();
    QTest::keyClick(option_->cbbCustomProfile, Qt::Key_Down);  // picks "Loud"
    QCOMPARE(Selections(), QString("4|0|4|8|0|3"));
    QTest::mouseClick(option_->btnApply, Qt::LeftButton);
    QCOMPARE(form_->cbbProfile->count(), 6);
    QCOMPARE(form_->cbbProfile->currentText(), QString("Normal Quality"));
    QCOMPARE(Selections(), QString("4|0|4|8|0|3"));
  }

  void addCancelAddThroughTheNamePrompt() {
    Start();
    ShowOptions();
    auto cancel = ModalAnswer::CancelInput();
    QTest::mouseClick(option_->btnAdd, Qt::LeftButton);
    QVERIFY(cancel->Answered());
    QCOMPARE(cancel->Seen().title, QString("Tonbrix"));
    QCOMPARE(cancel->Seen().text, QString("Plese input a name"));
    QCOMPARE(cancel->Seen().value, QString("UserProfileInfo1"));
    QVERIFY(!QFile::exists(Config("UserProfileInfo.ini")));

    auto name = ModalAnswer::TypeText("My ring");
    QTest::mouseClick(option_->btnAdd, Qt::LeftButton);
    QVERIFY(name->Answered());
    QCOMPARE(name->Seen().value, QString("UserProfileInfo2"));
    QCOMPARE(Sections(), QStringList({"My ring"}));
    // Listed and selected, not in the main window until OK.
    QCOMPARE(Items(option_->cbbCustomProfile), QStringList({"My ring"}));
    QCOMPARE(option_->cbbCustomProfile->currentIndex(), 0);
    QCOMPARE(form_->cbbProfile->count(), 5);
  }

  void typingANameSelectsTheProfileItNames() {
    WriteConfig("UserProfileInfo.ini",
                "\r\n[Ring]\r\nRing=0|0|0|0|0|0\r\n\r\n[Loud]\r\nLoud=4|0|4|8|0|3\r\n");
    Start();
    ShowOptions();
    QTest::keyClicks(option_->cbbCustomProfile->lineEdit(), "Lou");
    QCOMPARE(option_->cbbCustomProfile->currentIndex(), -1);
    QCOMPARE(Selections(), QString("1|1|2|5|1|2"));
    QTest::keyClicks(option_->cbbCustomProfile->lineEdit(), "d");
    QCOMPARE(option_->cbbCustomProfile->currentIndex(), 1);
    QCOMPARE(option_->cbbCustomProfile->currentText(), QString("Loud"));
    QCOMPARE(Selections(), QString("4|0|4|8|0|3"));
    // A typed new name with Save: stored from the current lists, the last entry selected.
    option_->cbbCustomProfile->lineEdit()->clear();
    QTest::keyClicks(option_->cbbCustomProfile->lineEdit(), "New");
    QTest::mouseClick(option_->btnSave, Qt::LeftButton);
    QCOMPARE(Sections(), QStringList({"Ring", "Loud", "New"}));
    QCOMPARE(option_->cbbCustomProfile->currentIndex(), 2);
    QCOMPARE(
        QString::fromStdString(context_->CommonLib->ReadConfigValue("UserProfileInfo.ini", "New")),
        QString("4|0|4|8|0|3"));
  }

  void deletingTheOnlyProfileEmptiesTheBox() {
    WriteConfig("UserProfileInfo.ini", "\r\n[Ring]\r\nRing=0|0|0|0|0|0\r\n");
    Start();
    ShowOptions();
    option_->cbbCustomProfile->setFocus();
    QTest::keyClick(option_->cbbCustomProfile, Qt::Key_Down);
    QCOMPARE(option_->cbbCustomProfile->currentText(), QString("Ring"));
    QTest::mouseClick(option_->btnDel, Qt::LeftButton);
    QCOMPARE(option_->cbbCustomProfile->count(), 0);
    QCOMPARE(option_->cbbCustomProfile->currentText(), QString());
    QVERIFY(Sections().isEmpty());
  }

  void aHandEditedProfileIsReportedOnceAndLeavesValidSelections() {
    WriteConfig("UserProfileInfo.ini", "\r\n[Edited]\r\nEdited=1|1|none|8|0|3\r\n");
    Start();
    ChooseWithKeys(form_->cbbProfile, 4);
    const QString before = Selections();
    auto box = ModalAnswer::PressButton(QMessageBox::Ok, 5000);
    QTest::keyClick(form_->cbbProfile, Qt::Key_Down);  // the custom entry
    QVERIFY(box->Answered());
    QVERIFY2(box->Seen().text.contains("'none'"), qPrintable(box->Seen().text));
    QCOMPARE(Selections(), before);
    // What a conversion does before reading the lists: no second error.
    auto none = ModalAnswer::PressButton(QMessageBox::Ok, 300);
    form_->Inputs().ApplyCustomProfile();
    QTest::qWait(400);
    QVERIFY(!none->Answered());
    QCOMPARE(Selections(), before);
  }

  void closingSavesTheSettings() {
    WriteConfig("UserSettings.ini", "[USRInfo]\r\nSHWDDir=1\r\nOutDir=/data/Ringtones\r\n");
    Start();
    QVERIFY(form_->chkShowOutputDirectory->isChecked());
    QCOMPARE(form_->edtOutputFolder->text(), QString("/data/Ringtones"));
    form_->chkShutdown->setChecked(true);
    form_->FormClose();
    QVERIFY(context_->Terminated);
    QCOMPARE(ReadFile(Config("UserSettings.ini")),
             QByteArray("[USRInfo]\r\nSHWDDir=1\r\nOutDir=/data/Ringtones\r\nSHUTDOWN=1\r\n"));
  }

  void closingWithoutAConfigFolderLogsAndStillEnds() {
    Start();
    QVERIFY(QDir(dir_->filePath("Config")).removeRecursively());
    auto box = ModalAnswer::PressButton(QMessageBox::Ok, 300);
    form_->FormClose();
    QTest::qWait(400);
    QVERIFY(!box->Answered());
    QVERIFY(context_->Terminated);
    const QByteArray log = ReadFile(dir_->filePath("log.txt"));
    QVERIFY2(log.contains("|Save user settings error. ->"), log.constData());
    QVERIFY(!QDir(dir_->filePath("Config")).exists());
  }
};

QTEST_MAIN(OptionFormTest)
#include "OptionFormTest.moc"
