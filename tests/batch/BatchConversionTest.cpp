// Whole conversions with the real evc.exe on the offscreen platform: files
// added through AddSourceFiles, converted to MP3 and AMR with the progress
// window up, then the outputs probed with ffprobe; Stop with the engine
// running; the progress window's own controls and spinner.
#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QProcess>
#include <QProgressBar>
#include <QPushButton>
#include <QScopeGuard>
#include <QStatusBar>
#include <QTest>
#include <QTimer>
#include <fstream>

#include "../list/ListFixtures.h"
#include "AppRig.h"
#include "FormatTables.h"
#include "ModalAnswer.h"
#include "ProbeFile.h"
#include "SourceListView.h"
#include "Unit_Converting.h"

namespace {

QStringList ParameterLines(const std::string& app_dir) {
  QFile log(QString::fromStdString(app_dir) + "log.txt");
  QStringList lines;
  if (!log.open(QIODevice::ReadOnly)) return lines;
  for (const QString& line : QString::fromUtf8(log.readAll()).split("\r\n")) {
    const int at = line.indexOf("|parameter: ");
    if (at >= 0) lines << line.mid(at + 12);
  }
  return lines;
}

// What the windows showed while a batch ran, sampled every 20 ms.
class BatchWatch {
 public:
  explicit BatchWatch(AppRig& rig) : rig_(rig) {
    timer_.setInterval(20);
    QObject::connect(&timer_, &QTimer::timeout, [this] {
      TfrmConverting* converting = rig_.Form().frmConverting;
      if (converting->isVisible()) ProgressShown = true;
      if (converting->isVisible() && !rig_.Form().isEnabled()) MainDisabledWhileShown = true;
      MaxFilePosition = std::max(MaxFilePosition, converting->ProgressBar1->value());
      MaxTotalPosition = std::max(MaxTotalPosition, converting->pbTotal->value());
      if (!converting->statState->currentMessage().isEmpty()) StatusSeen = true;
      Spinner.insert(converting->lblInfo->text());
      const QByteArray shot = qgetenv("TONBRIX_PROGRESS_SHOT");
      if (!shot.isEmpty() && !shot_taken_ && converting->isVisible() &&
          converting->ProgressBar1->value() >= 5) {
        shot_taken_ = true;
        QProcess::execute("import", {"-window", "root", QString::fromUtf8(shot)});
      }
    });
    timer_.start();
  }
  bool ProgressShown = false;
  bool MainDisabledWhileShown = false;
  bool StatusSeen = false;
  int MaxFilePosition = 0;
  int MaxTotalPosition = 0;
  QSet<QString> Spinner;

 private:
  AppRig& rig_;
  QTimer timer_;
  bool shot_taken_ = false;
};

}  // namespace

class BatchConversionTest : public QObject {
  Q_OBJECT

 private:
  QTemporaryDir sounds_;
  QString Sound(const QString& name) { return sounds_.filePath(name); }
  const QString fancy_ = "Blank 'single' \"double\" näme ünïcode.mp3";

  void PrepareOutputTypes(AppRig& rig, QTemporaryDir& output) {
    QComboBox* types = rig.Form().cbbOutputFiletype;
    if (types->count() == 0) {
      for (const std::string& item : GetOutputTypeList())
        types->addItem(QString::fromStdString(item));
    }
    types->setCurrentIndex(0);
    rig.Form().edtOutputFolder->setText(output.path());
  }

 private slots:
  void initTestCase() {
    list_test::MakeTone(Sound("song.ogg").toStdString(), 150.0, "libvorbis");
    list_test::MakeTone(Sound("tone.wav").toStdString(), 3.0);
    list_test::MakeTone(Sound(fancy_).toStdString(), 6.0, "libmp3lame");
  }

  void convertsCheckedRowsToMp3AndAmr() {
    AppRig rig;
    QTemporaryDir output;
    PrepareOutputTypes(rig, output);
    rig.Form().chkShowOutputDirectory->setChecked(true);
    rig.Form().chkShutdown->setChecked(false);
    // song.mp3 and song_1.wav are taken: the next song is song_2.
    for (const char* taken : {"song.mp3", "song_1.wav"}) {
      QFile file(output.filePath(taken));
      QVERIFY(file.open(QIODevice::WriteOnly));
    }

    rig.context->CommonLib->AddSourceFiles(
        rig.List(), {Sound("song.ogg").toStdString(), Sound("tone.wav").toStdString(),
                     Sound(fancy_).toStdString()});
    QCOMPARE(rig.List().RowCount(), 3);
    // The person unticks tone.wav and marks 00:00:01 to 00:00:04 of the third.
    QAbstractItemModel* model = rig.Form().dxTreeSourceFileInfo->model();
    QVERIFY(model->setData(model->index(1, 0), Qt::Unchecked, Qt::CheckStateRole));
    QVERIFY(model->setData(model->index(2, 4), "00:00:01", Qt::EditRole));
    QVERIFY(model->setData(model->index(2, 5), "00:00:04", Qt::EditRole));

    auto unexpected_box = ModalAnswer::PressButton(QMessageBox::Ok, 600000);
    {
      BatchWatch watch(rig);
      rig.Form().btnConvertClick();
      QVERIFY(watch.ProgressShown);
      QVERIFY(watch.MainDisabledWhileShown);
      QVERIFY(watch.StatusSeen);
      QVERIFY2(watch.MaxFilePosition > 0, "the per-file bar never moved");
      QVERIFY2(watch.MaxTotalPosition > 0, "the overall bar never moved");
      QVERIFY(watch.Spinner.contains("Converting  |") || watch.Spinner.contains("Converting  /") ||
              watch.Spinner.contains("Converting  -"));
    }
    QVERIFY2(!unexpected_box->Answered(), qPrintable(unexpected_box->Seen().text));
    QVERIFY(rig.Form().isEnabled());
    QVERIFY(!rig.Form().frmConverting->isVisible());

    const Probe song = ProbeFile(output.filePath("song_2.mp3"));
    QCOMPARE(song.codec, QString("mp3"));
    QVERIFY2(qAbs(song.duration - 150.0) < 0.3, qPrintable(QString::number(song.duration)));
    const QString fancy_out = output.filePath(fancy_);
    const Probe cut = ProbeFile(fancy_out);
    QCOMPARE(cut.codec, QString("mp3"));
    QVERIFY2(qAbs(cut.duration - 3.0) < 0.2, qPrintable(QString::number(cut.duration)));
    QVERIFY(!QFile::exists(output.filePath("tone.mp3")));

    QStringList lines = ParameterLines(rig.AppDir());
    QCOMPARE(lines.size(), 2);
    QVERIFY(lines[0].contains("\"" + Sound("song.ogg") + "\""));
    QVERIFY(lines[0].endsWith("\"" + output.filePath("song_2.mp3") + "\""));
    QCOMPARE(lines[1], QString::fromStdString(rig.context->CustomProc->CommandLine));
    QVERIFY(lines[1].contains(" -ss 00:00:01 -t 3 "));
    QCOMPARE(rig.launcher.Opened.size(), size_t{1});
    QCOMPARE(QDir(rig.launcher.Opened[0].toLocalFile()), QDir(output.path()));
    QCOMPARE(rig.power.Requests, 0);

    // The same rows to AMR: narrow band, mono at 8000 Hz.
    rig.Form().cbbOutputFiletype->setCurrentIndex(1);
    rig.Form().btnConvertClick();
    QVERIFY(!unexpected_box->Answered());
    const Probe amr = ProbeFile(output.filePath("song_3.amr"));
    QCOMPARE(amr.codec, QString("amr_nb"));
    QCOMPARE(amr.sample_rate, 8000);
    QCOMPARE(amr.channels, 1);
    QVERIFY2(qAbs(amr.duration - 150.0) < 0.5, qPrintable(QString::number(amr.duration)));
    QString fancy_amr = fancy_;
    fancy_amr.replace(".mp3", "_1.amr");
    const Probe cut_amr = ProbeFile(output.filePath(fancy_amr));
    QCOMPARE(cut_amr.codec, QString("amr_nb"));
    QVERIFY2(qAbs(cut_amr.duration - 3.0) < 0.2, qPrintable(QString::number(cut_amr.duration)));
    QCOMPARE(ParameterLines(rig.AppDir()).size(), 4);
    QVERIFY(rig.Form().isEnabled());
  }

  // An output folder written relative ("~/Ringtones" in the settings) with
  // the program started in some other folder: the ringtone lands in the home
  // folder, where the folder was made, and nothing appears where the program
  // was started. The engine runs in the program folder, so before the folder
  // was made absolute the program made ./~/Ringtones and the engine found no
  // such folder.
  void relativeOutputFolderLandsInTheHomeFolder_data() {
    QTest::addColumn<QString>("folder");
    QTest::addColumn<QString>("underHome");
    QTest::newRow("tilde") << "~/Ringtones"
                           << "Ringtones";
    QTest::newRow("relative") << "Ringtones/Mine"
                              << "Ringtones/Mine";
  }
  void relativeOutputFolderLandsInTheHomeFolder() {
    QFETCH(QString, folder);
    QFETCH(QString, underHome);
    QTemporaryDir home;
    QTemporaryDir started_in;
    const QByteArray old_home = qgetenv("HOME");
    const QString old_working = QDir::currentPath();
    qputenv("HOME", home.path().toUtf8());
    QDir::setCurrent(started_in.path());
    const auto restore = qScopeGuard([&] {
      QDir::setCurrent(old_working);
      qputenv("HOME", old_home);
    });

    AppRig rig;
    QTemporaryDir unused;
    PrepareOutputTypes(rig, unused);
    rig.Form().edtOutputFolder->setText(folder);
    rig.Form().chkShowOutputDirectory->setChecked(false);
    rig.Form().chkShutdown->setChecked(false);
    rig.context->CommonLib->AddSourceFiles(rig.List(), {Sound("tone.wav").toStdString()});
    QCOMPARE(rig.List().RowCount(), 1);
    auto unexpected_box = ModalAnswer::PressButton(QMessageBox::Ok, 600000);
    rig.Form().btnConvertClick();
    QVERIFY2(!unexpected_box->Answered(), qPrintable(unexpected_box->Seen().text));

    const QString ringtone = home.filePath(underHome + "/tone.mp3");
    QCOMPARE(ProbeFile(ringtone).codec, QString("mp3"));
    QVERIFY(ParameterLines(rig.AppDir()).at(0).endsWith("\"" + ringtone + "\""));
    QVERIFY2(
        QDir(started_in.path()).isEmpty(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden),
        "a folder was made where the program was started");
    QCOMPARE(rig.Form().edtOutputFolder->text(), folder);
  }

  void stopWithTheEngineRunningEndsItAndTheBatch() {
    AppRig rig;
    QTemporaryDir output;
    PrepareOutputTypes(rig, output);
    rig.Form().chkShowOutputDirectory->setChecked(true);
    rig.Form().chkShutdown->setChecked(true);
    rig.context->CommonLib->AddSourceFiles(
        rig.List(), {Sound("song.ogg").toStdString(), Sound(fancy_).toStdString()});

    std::shared_ptr<ModalAnswer> answer;
    QTimer stopper;
    stopper.setInterval(20);
    connect(&stopper, &QTimer::timeout, [&] {
      if (answer || !rig.EngineRunning()) return;
      answer = ModalAnswer::PressButton(QMessageBox::Yes);
      rig.Form().frmConverting->btnStop->click();
    });
    stopper.start();
    rig.Form().btnConvertClick();
    stopper.stop();

    QVERIFY(answer && answer->Answered());
    QCOMPARE(answer->Seen().text, QString("Are you sure you want to stop the work ? "));
    QCOMPARE(answer->Seen().icon, QMessageBox::NoIcon);
    QCOMPARE(answer->Seen().title, QString("Tonbrix"));
    QVERIFY(!rig.EngineRunning());
    QCOMPARE(rig.context->CustomProc->CurrentIndex, 1);
    // The ended engine left no half-written file, and the second row never ran.
    QCOMPARE(QDir(output.path()).entryList(QDir::Files), QStringList{});
    QCOMPARE(ParameterLines(rig.AppDir()).size(), 1);
    // Stopped: no file manager and no power-off.
    QVERIFY(rig.launcher.Opened.empty());
    QCOMPARE(rig.power.Requests, 0);
    QVERIFY(!rig.context->Terminated);
    QVERIFY(rig.Form().isEnabled());
    QVERIFY(!rig.Form().frmConverting->isVisible());
    QCOMPARE(rig.Form().frmConverting->lblPersent->text(), QString("Current: 1, Total: ..."));
  }

  void progressWindowControls() {
    AppRig rig;
    TfrmConverting* w = rig.Form().frmConverting;
    QCOMPARE(w->windowTitle(), QString("Converting"));
    QCOMPARE(w->lblInfo->text(), QString("Please wait . . ."));
    QCOMPARE(w->lblCurConvertFileL->text(), QString("Current Convert File:"));
    QCOMPARE(w->lblTotalFilr->text(), QString("Total File:"));
    QCOMPARE(w->lblCurprog->text(), QString("Current File:"));
    QCOMPARE(w->lblPersent->text(), QString("Current: 1, Total: ..."));
    QCOMPARE(w->btnStop->text(), QString("Stop"));
    QCOMPARE(w->tmrChanging->interval(), 500);
    // The spinner turns only while the window is up.
    QVERIFY(!w->tmrChanging->isActive());

    rig.context->CustomProc->TotalCount = 2;
    rig.context->CommonLib->ConvertParameter.SourceFile = "/music/a b.mp3";
    w->show();
    QVERIFY(w->tmrChanging->isActive());
    QCOMPARE(w->SpinnerPhase, 0);
    QCOMPARE(w->lblPersent->text(), QString("Current: 1, Total: 2"));
    QCOMPARE(w->lblCurFileName->text(), QString("/music/a b.mp3"));
    QCOMPARE(w->ProgressBar1->maximum(), 1);
    QCOMPARE(w->pbTotal->maximum(), 1);
    QCOMPARE(w->pbTotal->value(), 0);

    // The spinner: |, /, -, backslash, |, then | again.
    const QStringList expected = {"|", "/", "-", "\\", "|", "|", "/"};
    for (const QString& mark : expected) {
      w->tmrChangingTimer();
      QCOMPARE(w->lblInfo->text(), "Installing convert information  " + mark);
    }

    // The close box asks; on No the window hides all the same.
    auto no = ModalAnswer::PressButton(QMessageBox::No);
    w->close();
    QVERIFY(no->Answered());
    QCOMPARE(no->Seen().text, QString("Are you sure to stop processing ?"));
    QVERIFY(!w->isVisible());
  }

  void spinnerTexts_data() {
    QTest::addColumn<int>("phase");
    QTest::addColumn<int>("position");
    QTest::addColumn<QString>("text");
    QTest::newRow("1 installing") << 1 << 0 << "Installing convert information  |";
    QTest::newRow("2 installing") << 2 << 2 << "Installing convert information  /";
    QTest::newRow("3 converting") << 3 << 3 << "Converting  -";
    QTest::newRow("4 converting") << 4 << 40 << "Converting  \\";
    QTest::newRow("5 converting") << 5 << 3 << "Converting  |";
  }
  void spinnerTexts() {
    QFETCH(int, phase);
    QFETCH(int, position);
    QFETCH(QString, text);
    QCOMPARE(TfrmConverting::SpinnerText(phase, position), text);
  }

  void buildErrorShowsOnceAndLeavesTheWindowsUsable() {
    AppRig rig;
    QTemporaryDir output;
    PrepareOutputTypes(rig, output);
    rig.context->CommonLib->AddSourceFiles(rig.List(), {Sound("tone.wav").toStdString()});
    rig.List().SetCell(0, SourceColumn::StartTime, "ab:00:00");
    auto first = ModalAnswer::PressButton(QMessageBox::Ok);
    rig.Form().btnConvertClick();
    QVERIFY(first->Answered());
    QVERIFY2(first->Seen().text.contains("\"ab\""), qPrintable(first->Seen().text));
    auto second = ModalAnswer::PressButton(QMessageBox::Ok, 500);
    QTest::qWait(600);
    QVERIFY(!second->Answered());
    QVERIFY(rig.Form().isEnabled());
    QVERIFY(!rig.Form().frmConverting->isVisible());
    QVERIFY(rig.launcher.Opened.empty());
  }
};

QTEST_MAIN(BatchConversionTest)
#include "BatchConversionTest.moc"
