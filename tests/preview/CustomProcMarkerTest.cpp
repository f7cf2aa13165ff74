// The controller's segment marker on a source list: placing the bar for the
// selection, the two handles, the nudges of the outer images, the typed-time
// rules and the Start Time editor's focus rule. The preview graph is real
// (silent output), so the rules about a loaded or running preview are seen on
// the real thing.
#include <QtTest>

#include "Errors.h"
#include "PreviewTestSupport.h"

using preview_test::Controller;
using preview_test::Row;
namespace sm = segment_marker;

class CustomProcMarkerTest : public QObject {
  Q_OBJECT

 private slots:
  void init() { c_ = std::make_unique<Controller>(); }
  void cleanup() { c_.reset(); }

  void withoutCollaboratorsEveryOperationFailsClearly() {
    Controller c;
    c.proc.SetPreviewCollaborators(nullptr, nullptr, nullptr);
    QVERIFY_THROWS_EXCEPTION(std::logic_error, c.proc.SyncMarkerToSelection());
    QVERIFY_THROWS_EXCEPTION(std::logic_error, c.proc.StopPreview());
    QVERIFY_THROWS_EXCEPTION(std::logic_error, c.proc.SourceFileInfoEdited());
  }

  void syncPlacesTheBar_data() {
    QTest::addColumn<QString>("duration");
    QTest::addColumn<QString>("start");
    QTest::addColumn<QString>("end");
    QTest::addColumn<int>("a");
    QTest::addColumn<int>("b");
    QTest::addColumn<int>("markerDuration");
    QTest::newRow("200 s, 50 to 150") << "00:03:20"
                                      << "00:00:50"
                                      << "00:02:30" << 56 << 56 << 200;
    QTest::newRow("whole 60 s") << "00:01:00"
                                << "00:00:00"
                                << "00:01:00" << 1 << 1 << 60;
    QTest::newRow("empty segment at the end") << "00:05:00"
                                              << "00:05:00"
                                              << "00:05:00" << 220 << 1 << 300;
    // A cell without three ":" pieces reads as 0 for the first row.
    QTest::newRow("start not a time") << "00:03:20"
                                      << ""
                                      << "00:02:30" << 1 << 56 << 200;
  }
  void syncPlacesTheBar() {
    QFETCH(QString, duration);
    QFETCH(QString, start);
    QFETCH(QString, end);
    c_->list.AppendRow(Row("/music/song.mp3", duration.toStdString(), start.toStdString(),
                           end.toStdString(), "00:00:00"));
    c_->list.SetSelected(0, true);
    QVERIFY(!c_->proc.Marker.MarkerReady);
    c_->proc.SyncMarkerToSelection();
    QTEST(c_->controls.StartWidth, "a");
    QTEST(c_->controls.EndWidth, "b");
    QTEST(static_cast<int>(c_->proc.Marker.MarkerDuration), "markerDuration");
    QVERIFY(c_->proc.Marker.MarkerReady);
    QCOMPARE(c_->controls.WaveformFile, std::string("/music/song.mp3"));
  }

  // The bar only moves for a difference beyond a pixel (start) or two (end).
  void syncIgnoresSmallDifferences() {
    c_->list.AppendRow(Row("/music/a.mp3", "00:03:20", "00:00:50", "00:02:30", "00:01:40"));
    c_->list.SetSelected(0, true);
    c_->controls.StartWidth = 57;
    c_->controls.EndWidth = 58;
    c_->proc.SyncMarkerToSelection();
    QCOMPARE(c_->controls.StartWidth, 57);
    QCOMPARE(c_->controls.EndWidth, 58);
    c_->controls.StartWidth = 58;
    c_->controls.EndWidth = 59;
    c_->proc.SyncMarkerToSelection();
    QCOMPARE(c_->controls.StartWidth, 56);
    QCOMPARE(c_->controls.EndWidth, 56);
  }

  void syncOnTheLoadedRowChangesNothing() {
    const std::string song = preview_test::SoundFile(20, "wav");
    c_->list.AppendRow(Row(song, "00:00:20", "00:00:05", "00:00:15", "00:00:10"));
    c_->list.SetSelected(0, true);
    c_->proc.OpenPreview(song);
    QVERIFY(c_->proc.IsPlaying);
    c_->controls.StartWidth = 30;
    c_->controls.EndWidth = 40;
    c_->proc.SyncMarkerToSelection();
    QVERIFY(c_->proc.IsPlaying);
    QCOMPARE(c_->graph.State(), GraphState::Running);
    QCOMPARE(c_->common.PreviewFile, song);
    QCOMPARE(c_->controls.StartWidth, 30);
    QCOMPARE(c_->controls.EndWidth, 40);
  }

  void syncOnAnotherRowStopsThePreview() {
    const std::string song = preview_test::SoundFile(20, "wav");
    c_->list.AppendRow(Row(song, "00:00:20", "00:00:00", "00:00:20", "00:00:20"));
    c_->list.AppendRow(Row("/music/other.mp3", "00:03:20", "00:00:50", "00:02:30", "00:01:40"));
    c_->list.SetSelected(0, true);
    c_->proc.OpenPreview(song);
    c_->list.SetSelected(0, false);
    c_->list.SetSelected(1, true);
    c_->proc.SyncMarkerToSelection();
    QVERIFY(!c_->proc.IsPlaying);
    QVERIFY(!c_->graph.Active());
    QVERIFY(c_->common.PreviewFile.empty());
    QVERIFY(c_->controls.Logo);
    QCOMPARE(c_->controls.StartWidth, 56);
    QCOMPARE(c_->controls.EndWidth, 56);
  }

  void startHandleGivesStartTime() {
    c_->list.AppendRow(Row("/music/a.mp3", "00:03:20", "00:00:00", "00:02:30", "00:02:30"));
    c_->list.SetSelected(0, true);
    c_->proc.SyncMarkerToSelection();
    c_->controls.SetStartImageWidth(56);  // the handle dragged
    c_->proc.SetStartTimeAndPlay();
    QCOMPARE(c_->list.Cell(0, SourceColumn::StartTime), std::string("00:00:48"));
    QCOMPARE(c_->list.Cell(0, SourceColumn::ConvertDuration), std::string("00:01:42"));
    QCOMPARE(c_->proc.Marker.PreviewStartSeconds, int64_t{48});
  }

  void endHandleFullyRight_data() {
    QTest::addColumn<QString>("duration");
    QTest::addColumn<QString>("end");
    QTest::addColumn<QString>("cut");
    QTest::newRow("60 s") << "00:01:00"
                          << "00:01:00"
                          << "00:01:00";
    // The far right reads one percent past the file: the end stays its end.
    QTest::newRow("300 s, one percent past") << "00:05:00"
                                             << "00:05:00"
                                             << "00:05:00";
  }
  void endHandleFullyRight() {
    QFETCH(QString, duration);
    c_->list.AppendRow(
        Row("/music/a.mp3", duration.toStdString(), "00:00:00", "00:00:30", "00:00:30"));
    c_->list.SetSelected(0, true);
    c_->proc.SyncMarkerToSelection();
    QVERIFY(c_->controls.EndWidth > 1);
    c_->controls.SetEndImageWidth(1);
    c_->proc.Splitter2Moved();
    QTEST(QString::fromStdString(c_->list.Cell(0, SourceColumn::EndTime)), "end");
    QTEST(QString::fromStdString(c_->list.Cell(0, SourceColumn::ConvertDuration)), "cut");
    QTEST(QString::fromStdString(c_->proc.Marker.EndMarkerText), "end");
    QCOMPARE(c_->controls.EndHandleRepaints, 1);
  }

  // Both handles write every selected row; Cut Time follows each row's own
  // other end.
  void handlesWriteEverySelectedRow() {
    c_->list.AppendRow(Row("/music/a.mp3", "00:03:20", "00:00:10", "00:03:00", "00:02:50"));
    c_->list.AppendRow(Row("/music/b.mp3", "00:03:20", "00:00:20", "00:01:00", "00:00:40"));
    c_->list.AppendRow(Row("/music/c.mp3", "00:03:20", "00:00:00", "00:03:20", "00:03:20"));
    c_->list.SetSelected(0, true);
    c_->list.SetSelected(1, true);
    c_->proc.SyncMarkerToSelection();
    c_->controls.SetStartImageWidth(56);
    c_->proc.SetStartTimeAndPlay();
    QCOMPARE(c_->list.Cell(0, SourceColumn::StartTime), std::string("00:00:48"));
    QCOMPARE(c_->list.Cell(1, SourceColumn::StartTime), std::string("00:00:48"));
    QCOMPARE(c_->list.Cell(0, SourceColumn::ConvertDuration), std::string("00:02:12"));
    QCOMPARE(c_->list.Cell(1, SourceColumn::ConvertDuration), std::string("00:00:12"));
    QCOMPARE(c_->list.Cell(2, SourceColumn::StartTime), std::string("00:00:00"));
  }

  void nudges_data() {
    QTest::addColumn<bool>("startSide");
    QTest::addColumn<int>("button");
    QTest::addColumn<bool>("ctrl");
    QTest::addColumn<bool>("shift");
    QTest::addColumn<int>("widthBefore");
    QTest::addColumn<int>("widthAfter");
    QTest::addColumn<QString>("cell");
    const int left = static_cast<int>(sm::MouseButton::Left);
    const int right = static_cast<int>(sm::MouseButton::Right);
    // On a 200 s file a = 56 and 55 read 48 s, 51 reads 44 s, 46 reads 40 s.
    QTest::newRow("ctrl start") << true << left << true << false << 56 << 55 << "00:00:48";
    QTest::newRow("shift start") << true << left << false << true << 56 << 46 << "00:00:40";
    QTest::newRow("plain start") << true << left << false << false << 56 << 51 << "00:00:44";
    QTest::newRow("right button start")
        << true << right << false << false << 56 << 56 << "00:00:00";
    QTest::newRow("not wider than the step")
        << true << left << false << false << 5 << 5 << "00:00:00";
    // End side: b = 56 reads 150 s, 55 reads 152, 51 reads 156, 46 reads 160.
    QTest::newRow("ctrl end") << false << left << true << false << 56 << 55 << "00:02:32";
    QTest::newRow("shift end") << false << left << false << true << 56 << 46 << "00:02:40";
    QTest::newRow("plain end") << false << left << false << false << 56 << 51 << "00:02:36";
    QTest::newRow("shift end too narrow")
        << false << left << false << true << 10 << 10 << "00:03:00";
  }
  void nudges() {
    QFETCH(bool, startSide);
    QFETCH(int, button);
    QFETCH(bool, ctrl);
    QFETCH(bool, shift);
    QFETCH(int, widthBefore);
    c_->list.AppendRow(Row("/music/a.mp3", "00:03:20", "00:00:00", "00:03:00", "00:03:00"));
    c_->list.SetSelected(0, true);
    c_->proc.Marker.MarkerDuration = 200;
    c_->proc.Marker.MarkerReady = true;
    sm::PressState state;
    state.left = true;
    state.ctrl = ctrl;
    state.shift = shift;
    const auto pressed = static_cast<sm::MouseButton>(button);
    if (startSide) {
      c_->controls.SetStartImageWidth(widthBefore);
      c_->proc.NudgeStartHandle(pressed, state);
      QTEST(c_->controls.StartWidth, "widthAfter");
      QTEST(QString::fromStdString(c_->list.Cell(0, SourceColumn::StartTime)), "cell");
    } else {
      c_->controls.SetEndImageWidth(widthBefore);
      c_->proc.NudgeEndHandle(pressed, state);
      QTEST(c_->controls.EndWidth, "widthAfter");
      QTEST(QString::fromStdString(c_->list.Cell(0, SourceColumn::EndTime)), "cell");
    }
  }

  // Once the images and handles fill the bar but for 44 pixels, no nudge
  // moves either handle.
  void nudgesStopWithoutRoom() {
    c_->list.AppendRow(Row("/music/a.mp3", "00:03:20", "00:00:00", "00:03:00", "00:03:00"));
    c_->list.SetSelected(0, true);
    c_->proc.Marker.MarkerDuration = 200;
    c_->controls.SetEndImageWidth(100);
    c_->controls.SetStartImageWidth(116);  // 116 + 100 + 45 = 261
    sm::PressState plain;
    plain.left = true;
    c_->proc.NudgeStartHandle(sm::MouseButton::Left, plain);
    c_->proc.NudgeEndHandle(sm::MouseButton::Left, plain);
    QCOMPARE(c_->controls.StartWidth, 116);
    QCOMPARE(c_->controls.EndWidth, 100);
    QCOMPARE(c_->list.Cell(0, SourceColumn::StartTime), std::string("00:00:00"));
  }

  void typedTimes_data() {
    QTest::addColumn<QString>("start");
    QTest::addColumn<QString>("end");
    QTest::addColumn<QString>("newStart");
    QTest::addColumn<QString>("newEnd");
    QTest::addColumn<QString>("cut");
    // The part never comes out empty: a start past the file goes into its
    // last second, an end at or before the start to a second after it.
    QTest::newRow("start past the end of the file") << "00:04:00"
                                                    << "00:02:30"
                                                    << "00:03:19"
                                                    << "00:03:20"
                                                    << "00:00:01";
    QTest::newRow("start at the end of the file") << "00:03:20"
                                                  << "00:03:20"
                                                  << "00:03:19"
                                                  << "00:03:20"
                                                  << "00:00:01";
    QTest::newRow("start past the end time") << "00:02:40"
                                             << "00:02:30"
                                             << "00:02:40"
                                             << "00:02:41"
                                             << "00:00:01";
    QTest::newRow("end equal to the start") << "00:01:00"
                                            << "00:01:00"
                                            << "00:01:00"
                                            << "00:01:01"
                                            << "00:00:01";
    QTest::newRow("both at zero") << "00:00:00"
                                  << "00:00:00"
                                  << "00:00:00"
                                  << "00:00:01"
                                  << "00:00:01";
    QTest::newRow("end past the end of the file") << "00:01:00"
                                                  << "00:05:00"
                                                  << "00:01:00"
                                                  << "00:03:20"
                                                  << "00:02:20";
    QTest::newRow("start cleared") << ""
                                   << "00:02:30"
                                   << "00:00:00"
                                   << "00:02:30"
                                   << "00:02:30";
    QTest::newRow("end cleared") << "00:01:00"
                                 << ""
                                 << "00:01:00"
                                 << "00:03:20"
                                 << "00:02:20";
    QTest::newRow("inside") << "00:00:30"
                            << "00:01:00"
                            << "00:00:30"
                            << "00:01:00"
                            << "00:00:30";
  }
  void typedTimes() {
    QFETCH(QString, start);
    QFETCH(QString, end);
    c_->list.AppendRow(
        Row("/music/a.mp3", "00:03:20", start.toStdString(), end.toStdString(), "00:09:99"));
    c_->list.SetSelected(0, true);
    c_->proc.SourceFileInfoEdited();
    QTEST(QString::fromStdString(c_->list.Cell(0, SourceColumn::StartTime)), "newStart");
    QTEST(QString::fromStdString(c_->list.Cell(0, SourceColumn::EndTime)), "newEnd");
    QTEST(QString::fromStdString(c_->list.Cell(0, SourceColumn::ConvertDuration)), "cut");
  }

  // A cell that is no time is reported once, and every selected row, the
  // ones after it too, ends with a consistent segment.
  void typedTimeWithoutTheShape() {
    c_->list.AppendRow(Row("/music/a.mp3", "00:03:20", "0a:01:00", "00:02:00", "00:01:00"));
    c_->list.AppendRow(Row("/music/b.mp3", "00:03:20", "00:01:00", "00:xx:00", "00:01:00"));
    c_->list.AppendRow(Row("/music/c.mp3", "00:03:20", "00:01:00", "00:09:00", "00:01:00"));
    for (int row = 0; row < 3; ++row) c_->list.SetSelected(row, true);
    try {
      c_->proc.SourceFileInfoEdited();
      QFAIL("no error reported");
    } catch (const ConversionError& error) {
      QVERIFY2(std::string(error.what()).find("0a:01:00") != std::string::npos, error.what());
    }
    const char* expected[3][3] = {{"00:00:00", "00:02:00", "00:02:00"},
                                  {"00:01:00", "00:03:20", "00:02:20"},
                                  {"00:01:00", "00:03:20", "00:02:20"}};
    for (int row = 0; row < 3; ++row) {
      QCOMPARE(c_->list.Cell(row, SourceColumn::StartTime), std::string(expected[row][0]));
      QCOMPARE(c_->list.Cell(row, SourceColumn::EndTime), std::string(expected[row][1]));
      QCOMPARE(c_->list.Cell(row, SourceColumn::ConvertDuration), std::string(expected[row][2]));
    }
  }

  // A typed start moves a running preview there; without a placed marker it
  // stays where it is.
  void typedStartSeeksRunningPreview() {
    const std::string song = preview_test::SoundFile(20, "wav");
    c_->list.AppendRow(Row(song, "00:00:20", "00:00:00", "00:00:20", "00:00:20"));
    c_->list.SetSelected(0, true);
    c_->proc.SyncMarkerToSelection();
    c_->proc.OpenPreview(song);
    c_->list.SetCell(0, SourceColumn::StartTime, "00:00:12");
    c_->proc.SourceFileInfoEdited();
    const int64_t position_ms = c_->graph.CurrentPosition() / 10000;
    QVERIFY2(position_ms >= 11900 && position_ms < 13500, std::to_string(position_ms).c_str());
  }

  void startEditorDropsTheFocus() {
    c_->list.AppendRow(Row("/music/a.mp3", "00:03:20", "00:00:00", "00:03:20", "00:03:20"));
    c_->list.AppendRow(Row("/music/b.mp3", "00:03:20", "00:00:00", "00:03:20", "00:03:20"));
    c_->list.SetFocusedRow(1);
    c_->list.SetSelected(0, true);
    c_->proc.SourceFileStartTimeChange();
    QCOMPARE(c_->list.FocusedRow(), 1);  // the focused row is not selected
    c_->list.SetSelected(1, true);
    c_->proc.SourceFileStartTimeChange();
    QCOMPARE(c_->list.FocusedRow(), -1);
  }

  // A suggested part lands on the row of its file only (another selected row
  // keeps its part), whole seconds within the song: moved earlier rather than
  // cut short at the song's end.
  void suggestedPartStaysWithinTheSong_data() {
    QTest::addColumn<QString>("duration");
    QTest::addColumn<int>("start");  // as suggested
    QTest::addColumn<int>("length");
    QTest::addColumn<QString>("newStart");
    QTest::addColumn<QString>("newEnd");
    QTest::addColumn<QString>("newCut");
    QTest::newRow("inside") << "00:03:20" << 62 << 30 << "00:01:02"
                            << "00:01:32"
                            << "00:00:30";
    QTest::newRow("past the end, moved earlier") << "00:01:40" << 90 << 30 << "00:01:10"
                                                 << "00:01:40"
                                                 << "00:00:30";
    QTest::newRow("longer than the song") << "00:00:20" << 5 << 30 << "00:00:00"
                                          << "00:00:20"
                                          << "00:00:20";
    QTest::newRow("before the song") << "00:03:20" << -4 << 12 << "00:00:00"
                                     << "00:00:12"
                                     << "00:00:12";
  }
  void suggestedPartStaysWithinTheSong() {
    QFETCH(QString, duration);
    QFETCH(int, start);
    QFETCH(int, length);
    const std::string d = duration.toStdString();
    c_->list.AppendRow(Row("/music/b.mp3", d, "00:00:00", d, d));
    c_->list.AppendRow(Row("/music/a.mp3", d, "00:00:00", d, d));
    c_->list.SetSelected(0, true);
    c_->list.SetSelected(1, true);
    c_->proc.SyncMarkerToSelection();
    QVERIFY(c_->proc.SetSuggestedPart("/music/a.mp3", start, length));
    QTEST(QString::fromStdString(c_->list.Cell(1, SourceColumn::StartTime)), "newStart");
    QTEST(QString::fromStdString(c_->list.Cell(1, SourceColumn::EndTime)), "newEnd");
    QTEST(QString::fromStdString(c_->list.Cell(1, SourceColumn::ConvertDuration)), "newCut");
    QCOMPARE(c_->list.Cell(0, SourceColumn::StartTime), std::string("00:00:00"));
    QCOMPARE(c_->list.Cell(0, SourceColumn::EndTime), d);
    // The marker shows the last selected row's new part.
    QFETCH(QString, newStart);
    const int64_t marker_duration = c_->proc.Marker.MarkerDuration;
    // (The bar moves only for a difference beyond a pixel.)
    const int wanted =
        sm::StartImageWidthFor(TCommonLib::ReadTimeFixed(newStart.toStdString()), marker_duration);
    QVERIFY2(std::abs(c_->controls.StartWidth - wanted) <= 1,
             qPrintable(QString("%1 for %2").arg(c_->controls.StartWidth).arg(wanted)));
  }

  // A file that has left the list takes nothing.
  void suggestedPartForAGoneFileChangesNothing() {
    c_->list.AppendRow(Row("/music/b.mp3", "00:03:20", "00:00:10", "00:00:40", "00:00:30"));
    QVERIFY(!c_->proc.SetSuggestedPart("/music/a.mp3", 60, 30));
    QCOMPARE(c_->list.Cell(0, SourceColumn::StartTime), std::string("00:00:10"));
    QCOMPARE(c_->list.Cell(0, SourceColumn::EndTime), std::string("00:00:40"));
  }

 private:
  std::unique_ptr<Controller> c_;
};

QTEST_GUILESS_MAIN(CustomProcMarkerTest)
#include "CustomProcMarkerTest.moc"
