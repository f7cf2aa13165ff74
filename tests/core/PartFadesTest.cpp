// The fades of a part, without a window: how long a fade may be, what a
// handle at a time of the song asks for, what the command line takes of a
// stored fade, and the curve the view draws.
#include <gtest/gtest.h>

#include <cmath>
#include <limits>

#include "PartFades.h"

namespace {

namespace pf = part_fades;
using segment_marker::Part;

TEST(PartFadesTest, AFadeIsAtMostHalfThePartAndThirtySeconds) {
  EXPECT_DOUBLE_EQ(pf::MostFadeSeconds(1), 0.5);
  EXPECT_DOUBLE_EQ(pf::MostFadeSeconds(7), 3.5);
  EXPECT_DOUBLE_EQ(pf::MostFadeSeconds(60), 30.0);
  EXPECT_DOUBLE_EQ(pf::MostFadeSeconds(600), 30.0);
  EXPECT_DOUBLE_EQ(pf::MostFadeSeconds(0), 0.0);
  EXPECT_DOUBLE_EQ(pf::MostFadeSeconds(-5), 0.0);
}

struct HandleCase {
  const char* name;
  pf::Side side;
  Part part;
  double at;      // the handle's time in the song
  double wanted;  // the fade it asks for
};

class HandleTest : public testing::TestWithParam<HandleCase> {};

TEST_P(HandleTest, AsksForWholeTenthsWithinThePart) {
  const HandleCase& c = GetParam();
  const double fade = pf::FadeAtTime(c.side, c.at, c.part);
  EXPECT_DOUBLE_EQ(fade, c.wanted);
  // A fade within the limits puts the handle back where it asked from, to the
  // step.
  if (fade > 0 && fade < pf::MostFadeSeconds(c.part.end - c.part.start)) {
    EXPECT_NEAR(pf::HandleTime(c.side, fade, c.part), c.at, pf::kStepSeconds / 2 + 1e-9);
  }
}

INSTANTIATE_TEST_SUITE_P(
    Cases, HandleTest,
    testing::Values(HandleCase{"InFromStart", pf::Side::In, {20, 60}, 22.5, 2.5},
                    HandleCase{"InRoundsToTenths", pf::Side::In, {20, 60}, 23.04, 3.0},
                    HandleCase{"InRoundsUp", pf::Side::In, {20, 60}, 23.06, 3.1},
                    HandleCase{"InBeforeStartIsNone", pf::Side::In, {20, 60}, 10.0, 0.0},
                    HandleCase{"InHeldToHalf", pf::Side::In, {20, 60}, 55.0, 20.0},
                    HandleCase{"InHeldToThirty", pf::Side::In, {0, 180}, 100.0, 30.0},
                    HandleCase{"InOddPart", pf::Side::In, {0, 5}, 4.9, 2.5},
                    HandleCase{"OutFromEnd", pf::Side::Out, {20, 60}, 56.0, 4.0},
                    HandleCase{"OutAfterEndIsNone", pf::Side::Out, {20, 60}, 70.0, 0.0},
                    HandleCase{"OutHeldToHalf", pf::Side::Out, {20, 60}, 0.0, 20.0},
                    HandleCase{"OutHeldToThirty", pf::Side::Out, {0, 180}, 10.0, 30.0},
                    HandleCase{"OneSecondPart", pf::Side::Out, {3, 4}, 3.0, 0.5}),
    [](const testing::TestParamInfo<HandleCase>& test) { return test.param.name; });

TEST(PartFadesTest, AHeldFadeIsAnExactTenth) {
  // 2.3 as the nearest double, not 23 * 0.1 (2.3000000000000003).
  EXPECT_EQ(pf::HeldFade(2.31, 60), 2.3);
  EXPECT_EQ(pf::HeldFade(0.04, 60), 0.0);
  EXPECT_EQ(pf::HeldFade(std::numeric_limits<double>::quiet_NaN(), 60), 0.0);
  EXPECT_EQ(pf::HeldFade(std::numeric_limits<double>::infinity(), 60), 0.0);
}

// A stored fade longer than the part now allows is shortened for the part,
// not rounded; one within the limits is taken as it is.
TEST(PartFadesTest, StoredFadesAreHeldToThePart) {
  EXPECT_EQ(pf::FadesForPart({2.345, 1}, 60), (RowFades{2.345, 1}));
  EXPECT_EQ(pf::FadesForPart({10, 3}, 5), (RowFades{2.5, 2.5}));
  EXPECT_EQ(pf::FadesForPart({40, -2}, 180), (RowFades{30, 0}));
  EXPECT_EQ(pf::FadesForPart({std::nan(""), 1}, 0), (RowFades{0, 0}));
}

// The curve the view draws is the engine's: silent at the part's edge, full at
// the handle, a gain of one half half way.
TEST(PartFadesTest, TheCurveRisesSmoothlyFromSilence) {
  EXPECT_DOUBLE_EQ(pf::FadeGain(0, 4), 0.0);
  EXPECT_NEAR(pf::FadeGain(2, 4), 0.5, 1e-12);
  EXPECT_DOUBLE_EQ(pf::FadeGain(4, 4), 1.0);
  EXPECT_DOUBLE_EQ(pf::FadeGain(9, 4), 1.0);
  EXPECT_DOUBLE_EQ(pf::FadeGain(1, 0), 1.0);
  // Flat at both ends: no click where the fade starts or ends.
  EXPECT_LT(pf::FadeGain(0.04, 4), 0.001);
  EXPECT_GT(pf::FadeGain(3.96, 4), 0.999);
}

}  // namespace
