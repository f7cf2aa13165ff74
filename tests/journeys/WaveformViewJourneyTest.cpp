// The waveform editor in the main window exactly as the program builds it:
// real mouse, wheel and key events on the view. The edges dragged (onto each
// other too) and nudged by the keys land in the Start/End cells and on the
// marker bar, and cells typed or marker handles dragged move the edges; the
// wheel keeps the time under the mouse; playing the part stops or loops at
// End, read from the preview graph's own position; a click while playing
// seeks; the logo returns without a selection. Offscreen platform, silent
// audio output.
#include <QLabel>
#include <QScrollBar>
#include <QTemporaryDir>
#include <QToolButton>
#include <QtTest>

#include "../list/ListFixtures.h"
#include "AppRig.h"
#include "MarkerBar.h"
#include "ModalAnswer.h"
#include "SourceListView.h"
#include "UnitCustomProc.h"
#include "WaveformEditor.h"
#include "WaveformView.h"
#include "WindowInput.h"

namespace wi = window_input;
namespace sm = segment_marker;

namespace {

constexpr int kStart = static_cast<int>(SourceColumn::StartTime);
constexpr int kEnd = static_cast<int>(SourceColumn::EndTime);

QString TimeText(int seconds) {
  return QString::fromStdString(TCommonLib::SecondsToTimeText(seconds));
}

}  // namespace

class WaveformViewJourneyTest : public QObject {
  Q_OBJECT

 private:
  QTemporaryDir sounds_;
  std::unique_ptr<AppRig> rig_;
  QString song_;   // 3 minutes
  QString short_;  // 12 seconds

  TFrmMainForm& Form() { return rig_->Form(); }
  WaveformView* Wave() { return Form().WaveformView1; }
  TSourceListView* List() { return Form().dxTreeSourceFileInfo; }
  TCustomProc& Proc() { return *rig_->context->CustomProc; }
  QString Cell(SourceColumn column) { return QString::fromStdString(rig_->List().Cell(0, column)); }
  double Position() { return Form().FilterGraph->CurrentPosition() / 1e7; }

  // The song in the list, its row selected and its full envelope drawn.
  void LoadSong(const QString& file) {
    wi::DropFiles(List()->viewport(), {file});
    QTest::mouseClick(List()->viewport(), Qt::LeftButton, Qt::NoModifier,
                      wi::CellCentre(List(), 0, 1));
    QTRY_VERIFY(Wave()->isVisible());
    QTRY_VERIFY_WITH_TIMEOUT(Wave()->EnvelopeComplete(), 10000);
  }
  // Where a second of the song is in the view, as a point on its strip.
  // An edge at the song's end is drawn on the view's last column.
  QPoint PointAt(double seconds) {
    const int x = std::min(static_cast<int>(std::lround(Wave()->Timeline().XAt(seconds))),
                           Wave()->width() - 1);
    return QPoint(x, Wave()->WaveRect().center().y());
  }
  // The view, the cells and the marker bar all show `start`..`end`.
  void VerifyAllAgree(int start, int end) {
    QCOMPARE(Cell(SourceColumn::StartTime), TimeText(start));
    QCOMPARE(Cell(SourceColumn::EndTime), TimeText(end));
    QCOMPARE(Wave()->Part().start, start);
    QCOMPARE(Wave()->Part().end, end);
    const int64_t duration = Proc().Marker.MarkerDuration;
    QVERIFY(std::abs(Form().MarkerBar()->StartImageWidth() -
                     sm::StartImageWidthFor(start, duration)) <= 1);
    QVERIFY(std::abs(Form().MarkerBar()->EndImageWidth() - sm::EndImageWidthFor(end, duration)) <=
            2);
  }
  void TypePart(int start, int end) {
    QVERIFY(wi::TypeIntoCell(List(), 0, kEnd, TimeText(end)));
    QVERIFY(wi::TypeIntoCell(List(), 0, kStart, TimeText(start)));
    QCOMPARE(Wave()->Part().start, start);
    QCOMPARE(Wave()->Part().end, end);
  }

 private slots:
  void initTestCase() {
    song_ = sounds_.filePath("song.mp3");
    short_ = sounds_.filePath("short.wav");
    list_test::MakeTone(song_.toStdString(), 180.0, "libmp3lame");
    list_test::MakeTone(short_.toStdString(), 12.0);
  }

  void init() {
    rig_ = std::make_unique<AppRig>();
    QVERIFY(QTest::qWaitForWindowExposed(&Form()));
    Form().activateWindow();
  }

  void cleanup() { rig_.reset(); }

  // The view takes the logo's place while a song is selected.
  void showsTheSelectedSongInsteadOfTheLogo() {
    QVERIFY(!Wave()->isVisible());
    LoadSong(song_);
    QCOMPARE(Wave()->SongFile(), song_);
    QCOMPARE(Wave()->geometry(), Form().panLogo->geometry());
    QCOMPARE(Wave()->Timeline().ViewStart(), 0.0);
    QVERIFY(std::abs(Wave()->Timeline().ViewEnd() - 180.0) < 1.0);
    wi::PressOnWindow(&Form(), Qt::Key_L, Qt::ControlModifier);  // clear the list
    QTRY_VERIFY(!Wave()->isVisible());
  }

  void dragEdges_data() {
    QTest::addColumn<int>("start");  // the part typed first
    QTest::addColumn<int>("end");
    QTest::addColumn<bool>("dragStart");  // which edge is dragged
    QTest::addColumn<double>("to");       // to this second of the song
    QTest::addColumn<int>("newStart");
    QTest::addColumn<int>("newEnd");
    QTest::newRow("start later") << 0 << 180 << true << 30.0 << 30 << 180;
    QTest::newRow("end earlier") << 0 << 180 << false << 120.0 << 0 << 120;
    QTest::newRow("start onto end") << 20 << 60 << true << 60.0 << 59 << 60;
    QTest::newRow("start past end") << 20 << 60 << true << 100.0 << 59 << 60;
    QTest::newRow("end onto start") << 20 << 60 << false << 20.0 << 20 << 21;
    QTest::newRow("end before the song") << 20 << 60 << false << -10.0 << 20 << 21;
    QTest::newRow("start before the song") << 20 << 60 << true << -10.0 << 0 << 60;
  }
  void dragEdges() {
    QFETCH(int, start);
    QFETCH(int, end);
    QFETCH(bool, dragStart);
    QFETCH(double, to);
    LoadSong(song_);
    TypePart(start, end);
    const QPoint from = PointAt(dragStart ? start : end);
    wi::DragMouse(Wave(), from, PointAt(to), 8);
    QFETCH(int, newStart);
    QFETCH(int, newEnd);
    VerifyAllAgree(newStart, newEnd);
    QCOMPARE(Cell(SourceColumn::ConvertDuration), TimeText(newEnd - newStart));
  }

  // Dragging an edge fills the cells while the mouse moves, before release.
  void dragUpdatesCellsLive() {
    LoadSong(song_);
    const QPoint from = PointAt(0);
    QTest::mousePress(Wave(), Qt::LeftButton, Qt::NoModifier, from);
    const QPoint at = PointAt(45);
    QMouseEvent move(QEvent::MouseMove, at, Wave()->mapToGlobal(at), Qt::NoButton, Qt::LeftButton,
                     Qt::NoModifier);
    QApplication::sendEvent(Wave(), &move);
    VerifyAllAgree(45, 180);
    QTest::mouseRelease(Wave(), Qt::LeftButton, Qt::NoModifier, at);
  }

  void wheelZoomKeepsTheTimeUnderTheMouse_data() {
    QTest::addColumn<int>("x");
    QTest::addColumn<int>("notches");
    QTest::newRow("left, in") << 20 << 3;
    QTest::newRow("middle, in") << 166 << 2;
    QTest::newRow("right, in") << 310 << 4;
    QTest::newRow("middle, deep") << 100 << 40;  // down to the closest zoom
  }
  void wheelZoomKeepsTheTimeUnderTheMouse() {
    QFETCH(int, x);
    QFETCH(int, notches);
    LoadSong(song_);
    const QPoint at(x, Wave()->WaveRect().center().y());
    const double before = Wave()->Timeline().TimeAt(x);
    const double spp = Wave()->Timeline().SecondsPerPixel();
    wi::Wheel(Wave(), at, notches);
    QVERIFY(Wave()->Timeline().SecondsPerPixel() < spp);
    QVERIFY(Wave()->Timeline().SecondsPerPixel() >= WaveformTimeline::kFinestSecondsPerPixel);
    QVERIFY2(std::abs(Wave()->Timeline().TimeAt(x) - before) < 1e-6,
             qPrintable(QString::number(Wave()->Timeline().TimeAt(x) - before)));
    // Out again by one notch, still around the same time.
    wi::Wheel(Wave(), at, -1);
    QVERIFY(std::abs(Wave()->Timeline().TimeAt(x) - before) < 1e-6);
    // The scroll bar shows the window and pans it.
    QScrollBar* bar = Wave()->ScrollBar();
    QCOMPARE(bar->value(), int(std::lround(Wave()->Timeline().ViewStart() * 1000)));
    bar->setValue(bar->maximum());
    QVERIFY(std::abs(Wave()->Timeline().ViewEnd() - Wave()->Timeline().Duration()) < 0.01);
  }

  // A drag on the ruler pans the song the way the mouse goes.
  void rulerDragPans() {
    LoadSong(song_);
    wi::Wheel(Wave(), QPoint(166, 60), 6);
    const double start = Wave()->Timeline().ViewStart();
    const double spp = Wave()->Timeline().SecondsPerPixel();
    const int y = Wave()->RulerRect().center().y();
    wi::DragMouse(Wave(), QPoint(200, y), QPoint(150, y));
    QVERIFY(std::abs(Wave()->Timeline().ViewStart() - (start + 50 * spp)) < 1e-6);
  }

  void keyboardNudges_data() {
    QTest::addColumn<QList<int>>("keys");  // Qt::Key, with Shift added as 1 << 30
    QTest::addColumn<int>("newStart");
    QTest::addColumn<int>("newEnd");
    const int shift = 1 << 30;
    QTest::newRow("start right") << QList<int>{Qt::Key_Right} << 21 << 60;
    QTest::newRow("start shift right") << QList<int>{Qt::Key_Right | shift} << 25 << 60;
    QTest::newRow("start left past 0")
        << QList<int>{Qt::Key_Left | shift, Qt::Key_Left | shift, Qt::Key_Left | shift,
                      Qt::Key_Left | shift, Qt::Key_Left | shift}
        << 0 << 60;
    QTest::newRow("tab, end left") << QList<int>{Qt::Key_Tab, Qt::Key_Left} << 20 << 59;
    QTest::newRow("tab, end shift right")
        << QList<int>{Qt::Key_Tab, Qt::Key_Right | shift} << 20 << 65;
    QTest::newRow("end onto start")
        << QList<int>{Qt::Key_Tab,          Qt::Key_Left | shift, Qt::Key_Left | shift,
                      Qt::Key_Left | shift, Qt::Key_Left | shift, Qt::Key_Left | shift,
                      Qt::Key_Left | shift, Qt::Key_Left | shift, Qt::Key_Left | shift,
                      Qt::Key_Left | shift}
        << 20 << 21;
  }
  void keyboardNudges() {
    QFETCH(QList<int>, keys);
    LoadSong(song_);
    TypePart(20, 60);
    Wave()->setFocus(Qt::TabFocusReason);
    QVERIFY(Wave()->hasFocus());
    QCOMPARE(Wave()->FocusedEdge(), sm::Edge::Start);
    for (int key : keys) {
      const bool shift = key & (1 << 30);
      wi::PressOnWindow(&Form(), Qt::Key(key & ~(1 << 30)),
                        shift ? Qt::ShiftModifier : Qt::NoModifier);
    }
    QVERIFY(Wave()->hasFocus());
    QFETCH(int, newStart);
    QFETCH(int, newEnd);
    VerifyAllAgree(newStart, newEnd);
  }

  void keyboardZoom() {
    LoadSong(song_);
    Wave()->setFocus(Qt::TabFocusReason);
    const double spp = Wave()->Timeline().SecondsPerPixel();
    wi::PressOnWindow(&Form(), Qt::Key_Plus);
    QVERIFY(std::abs(Wave()->Timeline().SecondsPerPixel() - spp / 2) < 1e-9);
    wi::PressOnWindow(&Form(), Qt::Key_Minus);
    QVERIFY(std::abs(Wave()->Timeline().SecondsPerPixel() - spp) < 1e-9);
  }

  void zoomToPartFitsThePart() {
    LoadSong(song_);
    TypePart(60, 80);
    QTest::mouseClick(Wave()->ZoomToPartButton(), Qt::LeftButton);
    QVERIFY(std::abs(Wave()->Timeline().ViewStart() - 58.0) < 1e-6);
    QVERIFY(std::abs(Wave()->Timeline().ViewEnd() - 82.0) < 1e-6);
  }

  // Cells typed and marker handles dragged move the view's edges.
  void cellsAndMarkerMoveTheEdges() {
    LoadSong(song_);
    // A typed time leaves the marker's handles where they are, as it always
    // has; the view's edges follow the cells.
    QVERIFY(wi::TypeIntoCell(List(), 0, kStart, "00:00:40"));
    QCOMPARE(Wave()->Part().start, 40);
    QVERIFY(wi::TypeIntoCell(List(), 0, kEnd, "00:02:10"));
    QCOMPARE(Wave()->Part().end, 130);
    wi::DragHandle(Form().Splitter1, 40);
    QVERIFY(Cell(SourceColumn::StartTime) != "00:00:40");
    QCOMPARE(TimeText(Wave()->Part().start), Cell(SourceColumn::StartTime));
    wi::DragHandle(Form().Splitter2, 30);
    QCOMPARE(TimeText(Wave()->Part().end), Cell(SourceColumn::EndTime));
  }

  void playThePart_data() {
    QTest::addColumn<bool>("loop");
    QTest::addColumn<QString>("how");  // "F5", "Space" on the view, or "button"
    QTest::newRow("F5, stops at End") << false << "F5";
    QTest::newRow("button, loops back to Start") << true << "button";
    QTest::newRow("Space, stops at End") << false << "Space";
  }
  void playThePart() {
    QFETCH(bool, loop);
    LoadSong(short_);
    TypePart(2, 4);
    QFETCH(QString, how);
    if (loop) QTest::mouseClick(Wave()->LoopButton(), Qt::LeftButton);
    QCOMPARE(Wave()->LoopButton()->isChecked(), loop);
    if (how == "F5") {
      wi::PressOnWindow(&Form(), Qt::Key_F5);
    } else if (how == "Space") {
      Wave()->setFocus(Qt::TabFocusReason);
      wi::PressOnWindow(&Form(), Qt::Key_Space);
    } else {
      QTest::mouseClick(Wave()->PlayPartButton(), Qt::LeftButton);
    }
    QTRY_VERIFY(Proc().IsPlaying);
    QVERIFY(Form().WaveformEditing()->PlayingPart());
    // The button now pauses the part.
    QTRY_VERIFY(Wave()->PlayPartButton()->text().startsWith(QString::fromUtf8("\u275A")));
    // Never before Start, never well past End; the playhead follows. The
    // part is stopped by the window's ticker, which a loaded machine may run
    // late, so "well past" is a second: a part that did not stop would play
    // on to the song's end.
    double highest = 0.0;
    bool wrapped = false;
    double last = 0.0;
    QElapsedTimer clock;
    clock.start();
    while (clock.elapsed() < 4500 && (loop || Proc().IsPlaying)) {
      QTest::qWait(20);
      const double now = Position();
      QVERIFY2(now >= 2.0 - 0.05, qPrintable(QString::number(now)));
      QVERIFY2(now < 5.0, qPrintable(QString::number(now)));
      if (now + 0.5 < last) wrapped = true;
      highest = std::max(highest, now);
      last = now;
    }
    QVERIFY(highest >= 3.8);
    if (loop) {
      QVERIFY(wrapped);
      QVERIFY(Proc().IsPlaying);
    } else {
      QVERIFY(!Proc().IsPlaying);
      QVERIFY(!Form().WaveformEditing()->PlayingPart());
      // The song waits exactly at End, and the view and the time say so.
      QCOMPARE(Position(), 4.0);
      QCOMPARE(Wave()->Playhead(), 4.0);
      QCOMPARE(Form().pnlCurTime->text(), QString("00:00:04"));
      QTRY_VERIFY(Wave()->PlayPartButton()->text().startsWith(QString::fromUtf8("\u25B6")));
    }
    // Ctrl+T (Stop) still ends the preview, as it did before the part could play.
    wi::PressOnWindow(&Form(), Qt::Key_T, Qt::ControlModifier);
    QVERIFY(rig_->context->CommonLib->PreviewFile.empty());
    QTRY_COMPARE(Wave()->Playhead(), -1.0);
  }

  // A click away from the edges while the song plays moves the preview there.
  void clickWhilePlayingSeeks() {
    LoadSong(short_);
    // Before Play a click neither starts the song nor moves an edge.
    QTest::mouseClick(Wave(), Qt::LeftButton, Qt::NoModifier, PointAt(5.0));
    QVERIFY(rig_->context->CommonLib->PreviewFile.empty());
    QCOMPARE(Wave()->Part().start, 0);
    wi::PressOnWindow(&Form(), Qt::Key_P, Qt::ControlModifier);
    QTRY_VERIFY(Proc().IsPlaying);
    QTest::mouseClick(Wave(), Qt::LeftButton, Qt::NoModifier, PointAt(8.0));
    // Played on from 8 s for as long as the seek's refill took (longer on a
    // loaded machine); without the seek it would be near the song's start.
    const double now = Position();
    QVERIFY2(now >= 7.8 && now < 9.0, qPrintable(QString::number(now)));
    QTRY_VERIFY(Wave()->Playhead() >= 7.8);
  }

  // A file that gives no waveform ends the reading with nothing drawn
  // rather than reading forever.
  void aFileWithoutAudioEndsTheReading() {
    const QString not_audio = sounds_.filePath("not_audio.mp3");
    QFile file(not_audio);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write(QByteArray(64 * 1024, 'x'));
    file.close();
    Wave()->ShowSong(not_audio, 10);
    QTRY_VERIFY_WITH_TIMEOUT(Wave()->EnvelopeComplete(), 10000);
    QVERIFY(!Wave()->HasEnvelope());
    // The song chosen next is drawn as usual.
    Wave()->ShowSong(short_, 12);
    QVERIFY(!Wave()->EnvelopeComplete());
    QTRY_VERIFY_WITH_TIMEOUT(Wave()->EnvelopeComplete(), 10000);
    QVERIFY(Wave()->HasEnvelope());
  }

  // The time under the mouse is shown.
  void showsTheTimeUnderTheMouse() {
    LoadSong(song_);
    const QPoint at = PointAt(90.0);
    QMouseEvent move(QEvent::MouseMove, at, Wave()->mapToGlobal(at), Qt::NoButton, Qt::NoButton,
                     Qt::NoModifier);
    QApplication::sendEvent(Wave(), &move);
    QVERIFY2(Wave()->HoverText().startsWith("1:30") || Wave()->HoverText().startsWith("1:29"),
             qPrintable(Wave()->HoverText()));
  }
};

TONBRIX_QTEST_MAIN(WaveformViewJourneyTest)
#include "WaveformViewJourneyTest.moc"
