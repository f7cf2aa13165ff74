// The controller's preview player on a real preview graph (silent output, real
// time): run, pause and stop with their state rules, opening a file (a file
// that does not play, the start at the marker), and the ticker's pause at the
// end marker and stop at the end of the file.
#include <QtTest>

#include "PreviewTestSupport.h"

using preview_test::Controller;
using preview_test::Row;

class CustomProcPreviewTest : public QObject {
  Q_OBJECT

 private slots:
  void init() { c_ = std::make_unique<Controller>(); }
  void cleanup() { c_.reset(); }

  void operationsOnAnInactiveGraphDoNothing() {
    c_->controls.CurTime = "00:00:07";
    c_->controls.Logo = false;
    c_->proc.ResumePreview();
    c_->proc.PausePreview();
    c_->proc.StopPreview();
    QVERIFY(!c_->proc.IsPlaying);
    QCOMPARE(c_->controls.CurTime, std::string("00:00:07"));
    QVERIFY(!c_->controls.Logo);
    QVERIFY(!c_->graph.Active());
  }

  void openPlaysFromTheBeginningBeforeTheMarkerIsPlaced() {
    const std::string song = preview_test::SoundFile(20, "mp3");
    c_->proc.Marker.PreviewStartSeconds = 9;  // not applied: the marker is not placed
    c_->proc.OpenPreview(song);
    QVERIFY(c_->proc.IsPlaying);
    QCOMPARE(c_->graph.State(), GraphState::Running);
    QCOMPARE(c_->common.PreviewFile, song);
    QVERIFY(!c_->controls.Logo);
    QVERIFY(c_->graph.CurrentPosition() / 10000 < 1000);
  }

  // Once the marker is placed every opened preview starts at the start
  // marker's last time, whichever row it was moved for.
  void openStartsAtTheStartMarker() {
    const std::string song = preview_test::SoundFile(20, "mp3");
    c_->list.AppendRow(Row("/music/other.mp3", "00:03:20", "00:00:00", "00:03:20", "00:03:20"));
    c_->list.SetSelected(0, true);
    c_->proc.SyncMarkerToSelection();
    c_->controls.SetStartImageWidth(16);  // 6 percent of the other file's 200 s
    c_->proc.SetStartTimeAndPlay();
    QCOMPARE(c_->proc.Marker.PreviewStartSeconds, int64_t{12});
    c_->proc.OpenPreview(song);
    const int64_t position_ms = c_->graph.CurrentPosition() / 10000;
    QVERIFY2(position_ms >= 11900 && position_ms < 13500, std::to_string(position_ms).c_str());
  }

  void pauseResumeAndStop() {
    const std::string song = preview_test::SoundFile(20, "wav");
    c_->proc.OpenPreview(song);
    c_->proc.PausePreview();
    QVERIFY(!c_->proc.IsPlaying);
    QCOMPARE(c_->graph.State(), GraphState::Paused);
    QVERIFY(!c_->controls.Logo);
    c_->proc.ResumePreview();
    QVERIFY(c_->proc.IsPlaying);
    QCOMPARE(c_->graph.State(), GraphState::Running);
    c_->controls.CurTime = "00:00:03";
    c_->controls.TickerPosition = 3;
    c_->proc.StopPreview();
    QVERIFY(!c_->proc.IsPlaying);
    QVERIFY(!c_->graph.Active());
    QVERIFY(c_->common.PreviewFile.empty());
    QCOMPARE(c_->controls.CurTime, std::string("00:00:00"));
    QCOMPARE(c_->controls.TickerPosition, 0);
    QVERIFY(c_->controls.Logo);
  }

  void fileThatDoesNotPlay_data() {
    QTest::addColumn<QString>("content");
    QTest::addColumn<bool>("keepsName");
    // Opens, but holds no audio: the name stays, nothing plays.
    QTest::newRow("no audio stream") << "video" << true;
    // Does not open at all: the name is dropped.
    QTest::newRow("not a media file") << "text" << false;
  }
  void fileThatDoesNotPlay() {
    QFETCH(QString, content);
    QFETCH(bool, keepsName);
    const std::string file =
        c_->folder.filePath(content == "video" ? "clip.mkv" : "notes.mp3").toStdString();
    if (content == "video") {
      const std::string command =
          "ffmpeg -hide_banner -loglevel error -nostdin -y -f lavfi -i color=c=black:s=32x32:d=1 "
          "-c:v mpeg4 \"" +
          file + "\"";
      QCOMPARE(std::system(command.c_str()), 0);
    } else {
      std::ofstream(file) << "A plain text file that pretends to be a song.\n";
    }
    c_->proc.OpenPreview(file);
    QCOMPARE(c_->common.PreviewFile == file, keepsName);
    QVERIFY(!c_->proc.IsPlaying);
    QVERIFY(c_->graph.State() != GraphState::Running);
    QVERIFY(c_->graph.Active());
    QVERIFY(c_->Log().find("|Playing Video error.") != std::string::npos);
  }

  // The display follows in whole seconds; at the end marker's text the
  // preview is rewound and paused, and play resumes from the beginning.
  void tickerPausesAtTheEndMarker() {
    const std::string song = preview_test::SoundFile(20, "wav");
    c_->proc.Marker.EndMarkerText = "00:00:02";
    c_->proc.OpenPreview(song);
    QTRY_VERIFY_WITH_TIMEOUT(!c_->proc.IsPlaying, 6000);
    QCOMPARE(c_->controls.CurTime, std::string("00:00:02"));
    QCOMPARE(c_->graph.State(), GraphState::Paused);
    QVERIFY(c_->graph.CurrentPosition() / 10000 < 200);
    QCOMPARE(c_->common.PreviewFile, song);
    c_->proc.ResumePreview();
    QTRY_COMPARE_WITH_TIMEOUT(c_->controls.CurTime, std::string("00:00:01"), 3000);
  }

  void tickerStopsAtTheEndOfTheFile() {
    const std::string song = preview_test::SoundFile(3, "wav");
    c_->proc.OpenPreview(song);
    QTRY_VERIFY_WITH_TIMEOUT(!c_->graph.Active(), 8000);
    QVERIFY(!c_->proc.IsPlaying);
    QVERIFY(c_->common.PreviewFile.empty());
    QCOMPARE(c_->controls.CurTime, std::string("00:00:00"));
    QVERIFY(c_->controls.Logo);
  }

 private:
  std::unique_ptr<Controller> c_;
};

QTEST_GUILESS_MAIN(CustomProcPreviewTest)
#include "CustomProcPreviewTest.moc"
