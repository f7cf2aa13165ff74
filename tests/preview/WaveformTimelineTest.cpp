// The waveform editor's arithmetic: time and x, zooming around the mouse,
// panning and fitting the part within the song, edges moved and nudged in
// whole seconds by the typed-time rules, and what playing the part does at
// End.
#include <gtest/gtest.h>

#include <cmath>

#include "WaveformTimeline.h"

namespace sm = segment_marker;
using Step = WaveformTimeline::PartStep;

namespace {

WaveformTimeline Timeline(double duration, int width) {
  WaveformTimeline timeline;
  timeline.SetWidth(width);
  timeline.SetDuration(duration);
  return timeline;
}

}  // namespace

TEST(WaveformTimeline, ANewSongIsShownWhole) {
  const WaveformTimeline t = Timeline(600, 300);
  EXPECT_DOUBLE_EQ(t.ViewStart(), 0.0);
  EXPECT_DOUBLE_EQ(t.SecondsPerPixel(), 2.0);
  EXPECT_DOUBLE_EQ(t.ViewEnd(), 600.0);
  EXPECT_DOUBLE_EQ(t.TimeAt(150), 300.0);
  EXPECT_DOUBLE_EQ(t.XAt(300), 150.0);
  EXPECT_TRUE(t.WholeSongShown());
}

struct ZoomCase {
  double duration;
  int width;
  double x;       // where the mouse is
  double factor;  // applied `times` times
  int times;
  double spp;  // seconds per pixel afterwards
};

class ZoomAroundTest : public testing::TestWithParam<ZoomCase> {};

TEST_P(ZoomAroundTest, KeepsTheTimeUnderTheMouseWithinTheLimits) {
  const ZoomCase& c = GetParam();
  WaveformTimeline t = Timeline(c.duration, c.width);
  const double before = t.TimeAt(c.x);
  for (int i = 0; i < c.times; ++i) t.ZoomAround(c.x, c.factor);
  EXPECT_NEAR(t.SecondsPerPixel(), c.spp, 1e-9);
  EXPECT_NEAR(t.TimeAt(c.x), before, 1e-6);  // the time under the mouse stays
  EXPECT_GE(t.ViewStart(), 0.0);
  // A song shorter than the strip at the closest zoom starts at its left.
  EXPECT_LE(t.ViewEnd(),
            std::max(c.duration, c.width * WaveformTimeline::kFinestSecondsPerPixel) + 1e-6);
}

INSTANTIATE_TEST_SUITE_P(
    Zooms, ZoomAroundTest,
    testing::Values(ZoomCase{600, 300, 100, 2.0, 1, 1.0},      // one step in
                    ZoomCase{600, 300, 299, 4.0, 2, 0.125},    // near the right end
                    ZoomCase{600, 300, 10, 2.0, 20, 0.025},    // held at the finest zoom
                    ZoomCase{600, 300, 150, 0.5, 3, 2.0},      // out: never past the song
                    ZoomCase{10, 1000, 500, 2.0, 1, 0.025}));  // a short song is at most finest

TEST(WaveformTimeline, ZoomingOutNearAnEndKeepsTheSongInView) {
  WaveformTimeline t = Timeline(600, 300);
  t.ZoomAround(290, 8.0);
  t.ZoomAround(10, 0.5);
  EXPECT_GE(t.ViewStart(), 0.0);
  EXPECT_LE(t.ViewEnd(), 600.0 + 1e-9);
}

TEST(WaveformTimeline, PanStaysWithinTheSong) {
  WaveformTimeline t = Timeline(600, 300);
  t.ZoomAround(0, 4.0);  // 0.5 s per pixel: 150 s shown
  t.PanBy(100);
  EXPECT_DOUBLE_EQ(t.ViewStart(), 50.0);
  t.PanBy(10000);
  EXPECT_DOUBLE_EQ(t.ViewStart(), 450.0);
  t.PanBy(-10000);
  EXPECT_DOUBLE_EQ(t.ViewStart(), 0.0);
  t.ScrollTo(1000);
  EXPECT_DOUBLE_EQ(t.ViewEnd(), 600.0);
}

TEST(WaveformTimeline, ZoomToPartShowsThePartWithAMargin) {
  WaveformTimeline t = Timeline(600, 300);
  t.ZoomToPart({100, 130});
  EXPECT_NEAR(t.ViewStart(), 97.0, 1e-9);
  EXPECT_NEAR(t.ViewEnd(), 133.0, 1e-9);
  t.ZoomToPart({0, 600});
  EXPECT_TRUE(t.WholeSongShown());
  EXPECT_DOUBLE_EQ(t.ViewStart(), 0.0);
}

TEST(WaveformTimeline, AWiderStripThatShowedTheWholeSongStillDoes) {
  WaveformTimeline t = Timeline(600, 300);
  t.SetWidth(600);
  EXPECT_DOUBLE_EQ(t.SecondsPerPixel(), 1.0);
  t.ZoomAround(0, 2.0);
  t.SetWidth(300);
  EXPECT_DOUBLE_EQ(t.SecondsPerPixel(), 0.5);
}

struct EdgeCase {
  const char* name;
  sm::Part part;
  sm::Edge edge;
  int64_t second;
  int64_t duration;
  sm::Part expected;
};

class MoveEdgeTest : public testing::TestWithParam<EdgeCase> {};

TEST_P(MoveEdgeTest, FollowsTheTypedTimeRules) {
  const EdgeCase& c = GetParam();
  const sm::Part got = WaveformTimeline::MoveEdge(c.part, c.edge, c.second, c.duration);
  EXPECT_EQ(got.start, c.expected.start);
  EXPECT_EQ(got.end, c.expected.end);
}

INSTANTIATE_TEST_SUITE_P(
    Edges, MoveEdgeTest,
    testing::Values(EdgeCase{"start", {0, 180}, sm::Edge::Start, 30, 180, {30, 180}},
                    EdgeCase{"end", {0, 180}, sm::Edge::End, 45, 180, {0, 45}},
                    EdgeCase{"start onto end", {10, 50}, sm::Edge::Start, 50, 180, {49, 50}},
                    EdgeCase{"start past end", {10, 50}, sm::Edge::Start, 90, 180, {49, 50}},
                    EdgeCase{"end onto start", {10, 50}, sm::Edge::End, 10, 180, {10, 11}},
                    EdgeCase{"end before start", {10, 50}, sm::Edge::End, 2, 180, {10, 11}},
                    EdgeCase{"start before song", {10, 50}, sm::Edge::Start, -5, 180, {0, 50}},
                    EdgeCase{"end past song", {10, 50}, sm::Edge::End, 500, 180, {10, 180}},
                    EdgeCase{"start at song end", {0, 180}, sm::Edge::Start, 180, 180, {179, 180}}),
    [](const testing::TestParamInfo<EdgeCase>& test) {
      std::string name = test.param.name;
      for (char& c : name)
        if (c == ' ') c = '_';
      return name;
    });

TEST(WaveformTimeline, NudgesMoveTheEdgeByWholeSecondsWithinTheRules) {
  using WT = WaveformTimeline;
  EXPECT_EQ(WT::NudgeEdge({10, 50}, sm::Edge::Start, 5, 180).start, 15);
  EXPECT_EQ(WT::NudgeEdge({10, 50}, sm::Edge::Start, -20, 180).start, 0);
  EXPECT_EQ(WT::NudgeEdge({10, 50}, sm::Edge::End, -1, 180).end, 49);
  EXPECT_EQ(WT::NudgeEdge({10, 178}, sm::Edge::End, 5, 180).end, 180);
  EXPECT_EQ(WT::NudgeEdge({48, 50}, sm::Edge::Start, 5, 180).start, 49);
}

TEST(WaveformTimeline, TheSecondUnderTheMouseIsTheNearestOne) {
  EXPECT_EQ(WaveformTimeline::WholeSecondAt(12.49), 12);
  EXPECT_EQ(WaveformTimeline::WholeSecondAt(12.5), 13);
  EXPECT_EQ(WaveformTimeline::WholeSecondAt(-3.0), 0);
}

struct PlayCase {
  double position;
  bool loop;
  Step step;
};

class PartPlayTest : public testing::TestWithParam<PlayCase> {};

TEST_P(PartPlayTest, StopsOrLoopsAtEnd) {
  const PlayCase& c = GetParam();
  EXPECT_EQ(WaveformTimeline::PartPlayStep(c.position, {20, 30}, c.loop), c.step);
}

INSTANTIATE_TEST_SUITE_P(Plays, PartPlayTest,
                         testing::Values(PlayCase{20.0, false, Step::Continue},
                                         PlayCase{29.99, false, Step::Continue},
                                         PlayCase{30.0, false, Step::StopAtEnd},
                                         PlayCase{31.5, false, Step::StopAtEnd},
                                         PlayCase{29.99, true, Step::Continue},
                                         PlayCase{30.0, true, Step::BackToStart}));
