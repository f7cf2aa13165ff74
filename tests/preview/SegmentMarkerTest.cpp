// The marker bar's arithmetic: handle places for a segment, times for handle
// places, the layout rules, the nudge steps and the current-time text.
#include <gtest/gtest.h>

#include "SegmentMarker.h"

namespace sm = segment_marker;

struct Placement {
  int64_t duration, start, end;
  int a, b;
};

class PlacementTest : public testing::TestWithParam<Placement> {};

TEST_P(PlacementTest, ImageWidthsForSegment) {
  const Placement& p = GetParam();
  EXPECT_EQ(sm::StartImageWidthFor(p.start, p.duration), p.a);
  EXPECT_EQ(sm::EndImageWidthFor(p.end, p.duration), p.b);
}

INSTANTIATE_TEST_SUITE_P(Segments, PlacementTest,
                         testing::Values(Placement{200, 50, 150, 56, 56},  // 55 + 1 and 221 - 165
                                         Placement{60, 0, 60, 1, 1},       // the whole file
                                         Placement{8, 1, 8, 29, 1},   // 27.5 rounds to the even 28
                                         Placement{8, 3, 5, 83, 83},  // 82.5 to 82; 137.5 to 138
                                         Placement{300, 300, 300, 221, 1},
                                         Placement{0, 0, 0, 1, 1}));  // a length of 0 never divides

TEST(RoundHalfEven, HalvesGoToTheEvenNeighbour) {
  EXPECT_EQ(sm::RoundHalfEven(0.5), 0);
  EXPECT_EQ(sm::RoundHalfEven(1.5), 2);
  EXPECT_EQ(sm::RoundHalfEven(2.5), 2);
  EXPECT_EQ(sm::RoundHalfEven(2.5000001), 3);
  EXPECT_EQ(sm::RoundHalfEven(-0.5), 0);
  EXPECT_EQ(sm::RoundHalfEven(-1.5), -2);
}

struct HandleTime {
  int start_image, end_image;
  int64_t duration;
  int p, q;
  int64_t start_seconds, end_seconds;
};

class HandleTimeTest : public testing::TestWithParam<HandleTime> {};

TEST_P(HandleTimeTest, PercentagesAndSeconds) {
  const HandleTime& h = GetParam();
  const int p = sm::StartPercent(sm::StartHandleLeft(h.start_image));
  const int q = sm::EndPercent(sm::EndHandleLeft(h.end_image));
  EXPECT_EQ(p, h.p);
  EXPECT_EQ(q, h.q);
  EXPECT_EQ(sm::PercentOfDuration(p, h.duration), h.start_seconds);
  EXPECT_EQ(sm::PercentOfDuration(q, h.duration), h.end_seconds);
}

INSTANTIATE_TEST_SUITE_P(
    Handles, HandleTimeTest,
    testing::Values(HandleTime{56, 56, 200, 24, 75, 48, 150},
                    // Far right is 101 percent: one percent past the end.
                    HandleTime{1, 1, 60, 0, 101, 0, 60}, HandleTime{1, 1, 300, 0, 101, 0, 303},
                    // Left of the 22-pixel origin the percentage truncates to 0.
                    HandleTime{2, 218, 100, 0, 0, 0, 0},
                    HandleTime{220, 1, 100, 100, 101, 100, 101}));

TEST(Layout, HandlesNeverPassEachOther) {
  EXPECT_EQ(sm::MaxStartImageWidth(1), 220);
  EXPECT_EQ(sm::ClampStartImageWidth(250, 1), 220);
  EXPECT_EQ(sm::ClampStartImageWidth(150, 100), 121);
  EXPECT_EQ(sm::ClampEndImageWidth(150, 100), 121);
  EXPECT_EQ(sm::ClampStartImageWidth(0, 1), 1);
  EXPECT_EQ(sm::ClampEndImageWidth(-4, 1), 1);
  // The widest layout leaves the segment image exactly one pixel.
  const int a = sm::ClampStartImageWidth(300, 50);
  EXPECT_EQ(sm::EndHandleLeft(50) - (sm::StartHandleLeft(a) + sm::kHandleWidth), 1);
}

struct Nudge {
  const char* name;
  sm::MouseButton button;
  sm::PressState state;
  int step;
};

class NudgeStepTest : public testing::TestWithParam<Nudge> {};

TEST_P(NudgeStepTest, StepForPressState) {
  EXPECT_EQ(sm::NudgeStep(GetParam().button, GetParam().state), GetParam().step);
}

using B = sm::MouseButton;
using S = sm::PressState;
INSTANTIATE_TEST_SUITE_P(
    Presses, NudgeStepTest,
    testing::Values(
        Nudge{"ctrl", B::Left, S{.ctrl = true, .left = true}, 1},
        Nudge{"ctrl_double", B::Left, S{.ctrl = true, .left = true, .double_click = true}, 1},
        Nudge{"shift", B::Left, S{.shift = true, .left = true}, 10},
        Nudge{"shift_double", B::Left, S{.shift = true, .left = true, .double_click = true}, 10},
        Nudge{"plain", B::Left, S{.left = true}, 5},
        Nudge{"ctrl_shift", B::Left, S{.ctrl = true, .shift = true, .left = true}, 5},
        Nudge{"ctrl_alt", B::Left, S{.ctrl = true, .alt = true, .left = true}, 5},
        Nudge{"shift_right_held", B::Left, S{.shift = true, .left = true, .right = true}, 5},
        Nudge{"right_button", B::Right, S{.right = true}, 0},
        Nudge{"middle_ctrl", B::Middle, S{.ctrl = true, .middle = true}, 0}),
    [](const testing::TestParamInfo<Nudge>& test) { return std::string(test.param.name); });

TEST(CanNudge, NeedsWidthAboveStepAndRoomForHandles) {
  EXPECT_TRUE(sm::CanNudge(6, 6, 1, 5));
  EXPECT_FALSE(sm::CanNudge(5, 5, 1, 5));    // not wider than the step
  EXPECT_TRUE(sm::CanNudge(2, 2, 213, 1));   // 2 + 213 + 45 = 260
  EXPECT_FALSE(sm::CanNudge(2, 2, 214, 1));  // 261
}

TEST(CurrentTimeText, TwoDigitFieldsHoursUnbounded) {
  EXPECT_EQ(sm::CurrentTimeText(0), "00:00:00");
  EXPECT_EQ(sm::CurrentTimeText(3725), "01:02:05");
  EXPECT_EQ(sm::CurrentTimeText(59), "00:00:59");
  EXPECT_EQ(sm::CurrentTimeText(360000), "100:00:00");
}

// The part a row keeps after a drag or a typed time: within the file, at
// least one second, the yielding edge moved when the two meet or cross.
struct WholePartCase {
  const char* name;
  sm::Part wanted;
  int64_t duration;
  sm::Edge yielding;
  sm::Part kept;
};

class WholePartTest : public testing::TestWithParam<WholePartCase> {};

TEST_P(WholePartTest, KeepsAPartOfAtLeastOneSecondInsideTheFile) {
  const WholePartCase& c = GetParam();
  const sm::Part part = sm::WholePart(c.wanted, c.duration, c.yielding);
  EXPECT_EQ(part.start, c.kept.start);
  EXPECT_EQ(part.end, c.kept.end);
}

INSTANTIATE_TEST_SUITE_P(
    Parts, WholePartTest,
    testing::Values(
        WholePartCase{"inside", {30, 60}, 200, sm::Edge::End, {30, 60}},
        WholePartCase{"end_dragged_onto_start", {81, 81}, 180, sm::Edge::End, {81, 82}},
        WholePartCase{"start_dragged_onto_end", {81, 81}, 180, sm::Edge::Start, {80, 81}},
        WholePartCase{"end_before_start", {90, 10}, 180, sm::Edge::End, {90, 91}},
        WholePartCase{"start_past_end", {90, 10}, 180, sm::Edge::Start, {9, 10}},
        WholePartCase{"end_one_percent_past", {0, 303}, 300, sm::Edge::End, {0, 300}},
        WholePartCase{"start_past_file", {240, 150}, 200, sm::Edge::End, {199, 200}},
        WholePartCase{"start_at_zero_end_at_zero", {0, 0}, 200, sm::Edge::Start, {0, 1}},
        WholePartCase{"one_second_file", {0, 0}, 1, sm::Edge::End, {0, 1}},
        WholePartCase{"no_length_read", {0, 0}, 0, sm::Edge::End, {0, 1}},
        WholePartCase{"negative_start", {-5, 20}, 200, sm::Edge::Start, {0, 20}}),
    [](const testing::TestParamInfo<WholePartCase>& test) { return std::string(test.param.name); });
