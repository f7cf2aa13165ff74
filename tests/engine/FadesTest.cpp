// The fades of the kept part: the curve, how asked lengths are fitted to the
// part, and the gain at each sample.
#include <gtest/gtest.h>

#include <cmath>
#include <numbers>

#include "Fades.h"

namespace evc {
namespace {

TEST(FadeCurve, RisesSmoothlyFromSilenceToFullLevel) {
  EXPECT_DOUBLE_EQ(FadeCurve(0), 0.0);
  EXPECT_DOUBLE_EQ(FadeCurve(1), 1.0);
  EXPECT_NEAR(FadeCurve(0.5), 0.5, 1e-12);
  EXPECT_DOUBLE_EQ(FadeCurve(-1), 0.0);
  EXPECT_DOUBLE_EQ(FadeCurve(2), 1.0);
  // Flat at both ends (no click), steepest in the middle.
  EXPECT_LT(FadeCurve(0.01), 0.001);
  EXPECT_GT(FadeCurve(0.99), 0.999);
  double last = 0;
  for (int i = 1; i <= 100; ++i) {
    const double value = FadeCurve(i / 100.0);
    EXPECT_GT(value, last);
    last = value;
  }
}

struct FitCase {
  double fadeIn, fadeOut;
  int64_t part;
  int64_t wantIn, wantOut;
  size_t notes;
};
class FadePlanFit : public testing::TestWithParam<FitCase> {};
TEST_P(FadePlanFit, EachFadeIsAtMostHalfThePart) {
  const FitCase& c = GetParam();
  std::vector<std::string> notes;
  const FadePlan plan = PlanFades(c.fadeIn, c.fadeOut, c.part, 8000, notes);
  EXPECT_EQ(plan.partSamples, c.part);
  EXPECT_EQ(plan.fadeInSamples, c.wantIn);
  EXPECT_EQ(plan.fadeOutSamples, c.wantOut);
  ASSERT_EQ(notes.size(), c.notes);
  for (const std::string& note : notes) {
    EXPECT_NE(note.find("more than half"), std::string::npos) << note;
    EXPECT_EQ(note.find('='), std::string::npos) << note;  // never read as a progress line
  }
}
INSTANTIATE_TEST_SUITE_P(
    Cases, FadePlanFit,
    testing::Values(FitCase{0, 0, 80000, 0, 0, 0}, FitCase{2, 3, 80000, 16000, 24000, 0},
                    FitCase{5, 5, 80000, 40000, 40000, 0}, FitCase{30, 0, 80000, 40000, 0, 1},
                    FitCase{0, 6, 80000, 0, 40000, 1}, FitCase{10, 10, 8001, 4000, 4000, 2},
                    FitCase{0.0001, 0, 80000, 1, 0, 0}));

TEST(FadeGain, IsSampleAccurateAtBothEnds) {
  FadePlan plan{1000, 100, 200};
  // The fade-in reaches full level at its last sample, the fade-out starts
  // exactly 200 samples before the end; in between the gain is 1.
  EXPECT_NEAR(FadeGainAt(plan, 0), std::pow(std::sin(std::numbers::pi * 0.5 / 200), 2), 1e-12);
  EXPECT_GT(FadeGainAt(plan, 99), 0.999);
  EXPECT_DOUBLE_EQ(FadeGainAt(plan, 100), 1.0);
  EXPECT_DOUBLE_EQ(FadeGainAt(plan, 799), 1.0);
  EXPECT_LT(FadeGainAt(plan, 800), 1.0);
  EXPECT_GT(FadeGainAt(plan, 800), 0.999);
  EXPECT_NEAR(FadeGainAt(plan, 999), FadeGainAt(FadePlan{1000, 200, 0}, 0), 1e-12);
  // The fade-out mirrors the fade-in of the same length.
  for (int64_t i = 0; i < 200; ++i) {
    EXPECT_NEAR(FadeGainAt(plan, 999 - i), FadeGainAt(FadePlan{1000, 200, 0}, i), 1e-12);
  }
}

TEST(FadeGain, ApplyFadesTouchesOnlyTheFadesAndEveryChannel) {
  const FadePlan plan{100, 10, 20};
  std::vector<float> samples(200, 1.0f);  // two channels
  // Given in two pieces, as frames come.
  ApplyFades(plan, 0, samples.data(), 37, 2);
  ApplyFades(plan, 37, samples.data() + 74, 63, 2);
  for (int64_t i = 0; i < 100; ++i) {
    const auto want = static_cast<float>(FadeGainAt(plan, i));
    EXPECT_FLOAT_EQ(samples[i * 2], want) << i;
    EXPECT_FLOAT_EQ(samples[i * 2 + 1], want) << i;
  }
}

}  // namespace
}  // namespace evc
