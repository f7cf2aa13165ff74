// Stop pressed at random moments of a five-file batch, twenty times, with the
// real evc.exe on the offscreen platform: in the pause before an engine
// starts, while it converts, in the pause after it, between two jobs. After
// every stop no engine process is left, the output folder holds only whole
// ringtones, and the windows are usable; at the end a batch runs through.
//
// The moments come from a seed printed at the start; TONBRIX_STOP_SEED=N
// replays a run.
#include <QCheckBox>
#include <QComboBox>
#include <QJsonDocument>
#include <QJsonObject>
#include <QLineEdit>
#include <QProcess>
#include <QPushButton>
#include <QRandomGenerator>
#include <QTest>
#include <QTimer>
#include <filesystem>

#include "AppRig.h"
#include "../list/ListFixtures.h"
#include "ModalAnswer.h"
#include "SourceListView.h"
#include "Unit_Converting.h"

namespace {

constexpr int kSongs = 5;
constexpr int kStops = 20;
constexpr double kSongSeconds = 90.0;
// Every job takes at least five seconds (two before the engine starts, three
// after): stops fall over the first three jobs.
constexpr int kLatestStopMs = 15000;

double Seconds(const QString& path) {
  QProcess ffprobe;
  ffprobe.start("ffprobe",
                {"-v", "error", "-show_entries", "format=duration", "-of", "json", path});
  ffprobe.waitForFinished(30000);
  return QJsonDocument::fromJson(ffprobe.readAllStandardOutput())
      .object()["format"]
      .toObject()["duration"]
      .toString()
      .toDouble();
}

}  // namespace

class RandomStopTest : public QObject {
  Q_OBJECT

 private:
  QTemporaryDir sounds_;

  quint32 Seed() {
    bool given = false;
    const quint32 seed = qEnvironmentVariableIntValue("TONBRIX_STOP_SEED", &given);
    return given ? seed : QRandomGenerator::system()->generate();
  }

  // Every entry, hidden ones too, is a whole M4A ringtone of a song.
  void ExpectOnlyWholeRingtones(const QString& folder) {
    for (const auto& entry : std::filesystem::directory_iterator(folder.toStdString())) {
      const QString name = QString::fromStdString(entry.path().filename());
      QVERIFY2(name.endsWith(".m4a") && !name.startsWith("."), qPrintable(name));
      const double seconds = Seconds(QString::fromStdString(entry.path()));
      QVERIFY2(qAbs(seconds - kSongSeconds) < 0.5,
               qPrintable(name + ": " + QString::number(seconds)));
    }
  }

 private slots:
  void initTestCase() {
    const quint32 seed = Seed();
    qInfo("TONBRIX_STOP_SEED=%u", seed);
    QRandomGenerator moments(seed);
    for (int stop = 0; stop < kStops; ++stop)
      moments_.push_back(moments.bounded(100, kLatestStopMs));

    std::vector<std::string> songs;
    for (int i = 1; i <= kSongs; ++i) {
      songs.push_back(sounds_.filePath(QString("song %1.mp3").arg(i)).toStdString());
      list_test::MakeTone(songs.back(), kSongSeconds, "libmp3lame");
    }
    rig_ = std::make_unique<AppRig>();
    rig_->context->CommonLib->AddSourceFiles(rig_->List(), songs);
    QCOMPARE(rig_->List().RowCount(), kSongs);
    // M4A: the slowest encoder, so the engine runs long enough to be hit.
    rig_->Form().cbbOutputFiletype->setCurrentIndex(
        rig_->Form().cbbOutputFiletype->findText("M4A MPEG Audio Files (*.m4a)"));
    rig_->Form().chkShowOutputDirectory->setChecked(true);
    rig_->Form().chkShutdown->setChecked(false);
  }

  void stopAtARandomMoment_data() {
    QTest::addColumn<int>("momentMs");
    for (int stop = 0; stop < kStops; ++stop)
      QTest::addRow("stop %d at %d ms", stop + 1, moments_[stop]) << moments_[stop];
  }
  void stopAtARandomMoment() {
    QFETCH(int, momentMs);
    AppRig& rig = *rig_;
    TfrmConverting* converting = rig.Form().frmConverting;
    QTemporaryDir output;
    rig.Form().edtOutputFolder->setText(output.path());
    std::shared_ptr<ModalAnswer> yes;
    bool engine_running = false;
    QTimer::singleShot(momentMs, [&] {
      // A person can only press Stop on the progress window.
      if (!converting->isVisible()) return;
      engine_running = rig.EngineRunning();
      yes = ModalAnswer::PressButton(QMessageBox::Yes);
      converting->btnStop->click();
    });
    rig.Form().btnConvertClick();

    qInfo("%d job(s) done%s", rig.context->CustomProc->CurrentIndex,
          engine_running ? ", stopped while the engine ran" : "");
    QVERIFY(yes && yes->Answered());
    QCOMPARE(yes->Seen().text, QString("Are you sure you want to stop the work ? "));
    QVERIFY(rig.context->CustomProc->CurrentIndex < kSongs);
    QVERIFY(!rig.EngineRunning());
    ExpectOnlyWholeRingtones(output.path());
    QVERIFY(rig.Form().isEnabled());
    QVERIFY(!converting->isVisible());
    QVERIFY(rig.launcher.Opened.empty());
    QVERIFY(!rig.context->Terminated);
  }

  // After all those stops, one song converts through to the end and the
  // after-job actions run again.
  void aBatchRunsThroughAfterTheStops() {
    AppRig& rig = *rig_;
    QAbstractItemModel* model = rig.Form().dxTreeSourceFileInfo->model();
    for (int row = 1; row < kSongs; ++row)
      QVERIFY(model->setData(model->index(row, 0), Qt::Unchecked, Qt::CheckStateRole));
    QTemporaryDir output;
    rig.Form().edtOutputFolder->setText(output.path());
    rig.Form().btnConvertClick();
    QCOMPARE(QDir(output.path()).entryList(QDir::Files), QStringList{"song 1.m4a"});
    ExpectOnlyWholeRingtones(output.path());
    QCOMPARE(rig.launcher.Opened.size(), size_t{1});
    QVERIFY(rig.Form().isEnabled());
  }

  void cleanupTestCase() { rig_.reset(); }

 private:
  std::vector<int> moments_;
  std::unique_ptr<AppRig> rig_;
};

TONBRIX_QTEST_MAIN(RandomStopTest)
#include "RandomStopTest.moc"
