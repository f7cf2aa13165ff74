// The media graph as the source list and the preview use it: probing with a
// throwaway graph, render codes and errors, run/pause/stop, the position on
// the (here silent) audio output, seeking, the ticker and the end of a file.
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QtTest>
#include <vector>

#include "FfmpegMediaGraph.h"
#include "MediaFixtures.h"

using media_fixtures::Fixtures;

namespace {

struct Tick {
  int64_t current_ms;
  int64_t stop_ms;
};

int64_t PositionMs(MediaGraph& graph) { return graph.CurrentPosition() / 10000; }

// What the source list does to measure a file (whole seconds, 0 on failure).
int64_t GetMediaDurationLikeTheList(MediaGraph& graph, const std::string& path) {
  try {
    graph.Clear();
    graph.SetActive(true);
    graph.RenderFile(path);
    const int64_t ms = graph.Duration();
    graph.SetActive(false);
    return ms / 1000;
  } catch (const MediaError&) {
    return 0;
  }
}

}  // namespace

class FfmpegMediaGraphTest : public QObject {
  Q_OBJECT

 private slots:
  void probesEveryInputTypeLikeTheSourceList_data() {
    QTest::addColumn<QString>("name");
    QTest::addColumn<qint64>("seconds");
    for (const auto& f : media_fixtures::SoundFiles()) {
      QTest::newRow(f.name) << QString(f.name) << qint64(12);
    }
    QTest::newRow("empty") << "empty.mp3" << qint64(0);
    QTest::newRow("text named .mp3") << "text.mp3" << qint64(0);
    QTest::newRow("zero-length wav") << "zero.wav" << qint64(0);
    QTest::newRow("truncated m4a") << "truncated.m4a" << qint64(0);
    QTest::newRow("no audio") << "video_only.mkv" << qint64(0);
  }
  void probesEveryInputTypeLikeTheSourceList() {
    QFETCH(QString, name);
    QFETCH(qint64, seconds);
    // One graph serves every probe, as in one add operation.
    static FfmpegMediaGraph graph;
    QCOMPARE(GetMediaDurationLikeTheList(graph, Fixtures::Get().Path(name.toStdString())), seconds);
    QVERIFY(!graph.PlayingSilently());  // no output was opened
  }

  void renderReturnsWhatTheFileHolds_data() {
    QTest::addColumn<QString>("name");
    QTest::addColumn<int>("result");
    QTest::newRow("playable") << "sound.ogg" << int(kRenderOk);
    QTest::newRow("zero-length wav") << "zero.wav" << int(kRenderOk);
    QTest::newRow("no audio stream") << "video_only.mkv" << int(kRenderNoAudioStream);
  }
  void renderReturnsWhatTheFileHolds() {
    QFETCH(QString, name);
    QFETCH(int, result);
    FfmpegMediaGraph graph;
    graph.SetActive(true);
    QCOMPARE(graph.RenderFile(Fixtures::Get().Path(name.toStdString())), result);
    if (result != kRenderOk) QCOMPARE(graph.Duration(), int64_t{0});
  }

  void renderRaisesForWhatCannotBeOpened() {
    FfmpegMediaGraph graph;
    const std::string path = Fixtures::Get().Path("empty.mp3");
    QVERIFY_THROWS_EXCEPTION(MediaError, graph.RenderFile(path));  // not active
    graph.SetActive(true);
    try {
      graph.RenderFile(path);
      QFAIL("no error");
    } catch (const MediaError& e) {
      QVERIFY2(std::string(e.what()).find(path) != std::string::npos, e.what());
    }
    QCOMPARE(graph.Duration(), int64_t{0});
  }

  void stateChangesAndFailures() {
    FfmpegMediaGraph graph(FfmpegMediaGraph::Output::Silent);
    QVERIFY_THROWS_EXCEPTION(MediaError, graph.Run());
    QVERIFY_THROWS_EXCEPTION(MediaError, graph.Pause());
    QVERIFY_THROWS_EXCEPTION(MediaError, graph.Stop());
    graph.SetActive(true);
    QCOMPARE(graph.RenderFile(Fixtures::Get().Path("sound.wav")), int(kRenderOk));
    QCOMPARE(graph.State(), GraphState::Stopped);
    graph.Pause();
    QCOMPARE(graph.State(), GraphState::Paused);
    graph.Run();
    QCOMPARE(graph.State(), GraphState::Running);
    QVERIFY(graph.PlayingSilently());
    graph.Stop();
    QCOMPARE(graph.State(), GraphState::Stopped);
    QVERIFY(!graph.PlayingSilently());  // the output is closed on stop
    graph.SetActive(false);
    QVERIFY(!graph.Active());
    QCOMPARE(graph.Duration(), int64_t{0});
  }

  void positionAdvancesInRealTimeAndHoldsWhenPaused() {
    FfmpegMediaGraph graph(FfmpegMediaGraph::Output::Silent);
    graph.SetActive(true);
    graph.RenderFile(Fixtures::Get().Path("vbr_noxing.mp3"));
    graph.Run();
    QElapsedTimer clock;
    clock.start();
    QTest::qWait(2000);
    const int64_t played = PositionMs(graph);
    QVERIFY2(std::llabs(played - clock.elapsed()) < 250, QByteArray::number(qint64(played)));
    graph.Pause();
    const int64_t paused_at = PositionMs(graph);
    QTest::qWait(400);
    QCOMPARE(PositionMs(graph), paused_at);
    graph.Run();
    QTest::qWait(500);
    QVERIFY(PositionMs(graph) > paused_at + 300);
    graph.Stop();
    const int64_t stopped_at = PositionMs(graph);
    QTest::qWait(300);
    QCOMPARE(PositionMs(graph), stopped_at);
  }

  void seekLandsWhereAskedAndKeepsTheStopPosition_data() {
    QTest::addColumn<QString>("name");
    QTest::newRow("wav") << "sound.wav";
    QTest::newRow("vbr mp3 without header") << "vbr_noxing.mp3";
    QTest::newRow("m4a") << "sound.m4a";
  }
  void seekLandsWhereAskedAndKeepsTheStopPosition() {
    QFETCH(QString, name);
    FfmpegMediaGraph graph(FfmpegMediaGraph::Output::Silent);
    graph.SetActive(true);
    graph.RenderFile(Fixtures::Get().Path(name.toStdString()));
    const int64_t duration = graph.Duration();
    graph.Run();
    QTest::qWait(200);
    graph.SeekTo(9000);
    QVERIFY(std::llabs(PositionMs(graph) - 9000) < 50);
    QCOMPARE(graph.Duration(), duration);
    QTest::qWait(500);
    const int64_t later = PositionMs(graph);
    QVERIFY2(later > 9300 && later < 9700, QByteArray::number(qint64(later)));
    // Backwards, and while paused.
    graph.Pause();
    graph.SeekTo(1000);
    QCOMPARE(PositionMs(graph), int64_t{1000});
    graph.Run();
    QTest::qWait(300);
    QVERIFY(PositionMs(graph) > 1100 && PositionMs(graph) < 1600);
  }

  void tickerFiresWhileRunningOnly() {
    FfmpegMediaGraph graph(FfmpegMediaGraph::Output::Silent);
    QCOMPARE(graph.TimerInterval(), 1000);
    std::vector<Tick> ticks;
    graph.SetOnTimer([&](MediaGraph& sender, int64_t current, int64_t stop) {
      QCOMPARE(&sender, static_cast<MediaGraph*>(&graph));
      ticks.push_back({current, stop});
    });
    graph.SetActive(true);
    graph.RenderFile(Fixtures::Get().Path("sound.ogg"));
    graph.Run();
    QTest::qWait(2300);
    QCOMPARE(ticks.size(), size_t{2});
    QVERIFY(std::llabs(ticks[0].current_ms - 1000) < 200);
    QVERIFY(std::llabs(ticks[1].current_ms - 2000) < 200);
    QCOMPARE(ticks[1].stop_ms, graph.Duration());
    graph.Pause();
    QTest::qWait(1200);
    QCOMPARE(ticks.size(), size_t{2});
    graph.Run();
    graph.Stop();
    QTest::qWait(1200);
    QCOMPARE(ticks.size(), size_t{2});
  }

  void theEndOfTheFileIsReportedThroughTheTicker_data() {
    QTest::addColumn<QString>("name");
    QTest::addColumn<int>("start_ms");
    QTest::newRow("ogg near its end") << "sound.ogg" << 11800;
    QTest::newRow("mp3 near its end") << "cbr.mp3" << 11800;
    // The header promises 12.5 s, the data lasts a fraction of a second.
    QTest::newRow("truncated mp3") << "truncated.mp3" << 0;
    QTest::newRow("zero-length wav") << "zero.wav" << 0;
  }
  void theEndOfTheFileIsReportedThroughTheTicker() {
    QFETCH(QString, name);
    QFETCH(int, start_ms);
    FfmpegMediaGraph graph(FfmpegMediaGraph::Output::Silent);
    bool ended = false;
    // What the preview does at the end: rewind, stop, release the file.
    graph.SetOnTimer([&](MediaGraph& g, int64_t current, int64_t stop) {
      if (current >= stop) {
        ended = true;
        g.SeekTo(0);
        g.Stop();
        g.SetActive(false);
        g.Clear();
      }
    });
    graph.SetActive(true);
    graph.RenderFile(Fixtures::Get().Path(name.toStdString()));
    graph.Run();
    graph.SeekTo(start_ms);
    QTRY_VERIFY_WITH_TIMEOUT(ended, 3000);
    QVERIFY(!graph.Active());
    QTest::qWait(1100);  // the ticker stopped with the graph
  }

  void anEmptyGraphRunsAndEndsAtOnce() {
    // A render that failed leaves the preview graph active and empty; playing
    // it must end through the ticker instead of raising errors each second.
    FfmpegMediaGraph graph(FfmpegMediaGraph::Output::Silent);
    std::vector<Tick> ticks;
    graph.SetOnTimer([&](MediaGraph& g, int64_t current, int64_t stop) {
      ticks.push_back({current, stop});
      g.SeekTo(0);
      g.Stop();
    });
    graph.SetActive(true);
    graph.Run();
    QTRY_COMPARE_WITH_TIMEOUT(ticks.size(), size_t{1}, 1500);
    QCOMPARE(ticks[0].current_ms, int64_t{0});
    QCOMPARE(ticks[0].stop_ms, int64_t{0});
    QCOMPARE(graph.State(), GraphState::Stopped);
  }

  void theDefaultOutputPlaysOrFallsBackToSilence() {
    // With a sound server this plays on its default device; without one
    // QAudioSink cannot open and the silent output keeps the clock.
    FfmpegMediaGraph graph;
    graph.SetActive(true);
    graph.RenderFile(Fixtures::Get().Path("sound.wav"));
    graph.Run();
    QTest::qWait(1000);
    const int64_t played = PositionMs(graph);
    QVERIFY2(played > 500 && played < 1300, QByteArray::number(qint64(played)));
    qInfo("played %lld ms on the %s output", static_cast<long long>(played),
          graph.PlayingSilently() ? "silent" : "device");
    graph.SetActive(false);
  }
};

QTEST_GUILESS_MAIN(FfmpegMediaGraphTest)
#include "FfmpegMediaGraphTest.moc"
