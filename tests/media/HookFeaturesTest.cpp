// The hook analysis's ears: FFmpeg's FFT gives the pitch class of a tone, the
// onset envelope finds the tempo of a click track, a time is moved onto the
// nearest click, and the novelty curve peaks where a song changes.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <numbers>

#include "HookBeats.h"
#include "HookBoundaries.h"
#include "HookFeatures.h"
#include "HookSimilarity.h"

namespace {

constexpr int kRate = 11025;

MonoAudio Tone(double hz, double seconds) {
  MonoAudio audio;
  audio.rate = kRate;
  audio.samples.resize(static_cast<size_t>(seconds * kRate));
  for (size_t i = 0; i < audio.samples.size(); ++i) {
    audio.samples[i] = 0.5f * static_cast<float>(std::sin(2 * std::numbers::pi * hz * i / kRate));
  }
  return audio;
}

// Short clicks every `period` seconds from `first` on, over a quiet hum.
MonoAudio Clicks(double period, double first, double seconds) {
  MonoAudio audio = Tone(100, seconds);
  for (float& s : audio.samples) s *= 0.02f;
  for (double t = first; t < seconds; t += period) {
    const size_t at = static_cast<size_t>(t * kRate);
    for (size_t i = 0; i < 200 && at + i < audio.samples.size(); ++i) {
      audio.samples[at + i] +=
          ((i * 7919) % 13 < 6 ? 0.8f : -0.8f) * std::exp(-static_cast<float>(i) / 60.0f);
    }
  }
  return audio;
}

}  // namespace

struct PitchCase {
  double hz;
  int pitch_class;  // C = 0
};

class ChromaTest : public testing::TestWithParam<PitchCase> {};

TEST_P(ChromaTest, AToneLandsInItsPitchClass) {
  const HookFeatures f = ExtractHookFeatures(Tone(GetParam().hz, 3));
  ASSERT_GT(f.frames, 4u);
  const size_t middle = f.frames / 2;
  const float* chroma = f.Chroma(middle);
  const int strongest =
      static_cast<int>(std::max_element(chroma, chroma + kChromaClasses) - chroma);
  EXPECT_EQ(strongest, GetParam().pitch_class);
  EXPECT_NEAR(f.energy_db[middle], 10 * std::log10(0.125), 0.5);  // a 0.5 sine: mean power 1/8
}

INSTANTIATE_TEST_SUITE_P(Tones, ChromaTest,
                         testing::Values(PitchCase{440.0, 9}, PitchCase{261.63, 0},
                                         PitchCase{196.0, 7}, PitchCase{1244.5, 3}));

TEST(HookFeatures, FramesCoverTheWholeSongAndStayFewForLongOnes) {
  const HookFeatures f = ExtractHookFeatures(Tone(440, 2000));  // a long recording
  EXPECT_LE(f.frames, kMaxAnalysisFrames);
  EXPECT_GE(f.frames * f.frame_seconds, 2000.0);
  EXPECT_EQ(f.chroma.size(), f.frames * kChromaClasses);
}

TEST(HookBeats, TheTempoOfAClickTrackIsFound) {
  const HookFeatures f = ExtractHookFeatures(Clicks(0.5, 0.25, 20));
  const double period = BeatPeriodSteps(f.onset, f.onset_seconds) * f.onset_seconds;
  EXPECT_NEAR(period, 0.5, 0.05);
}

TEST(HookBeats, ATimeMovesOntoTheNearestClick) {
  const HookFeatures f = ExtractHookFeatures(Clicks(0.5, 0.25, 20));
  const double period = BeatPeriodSteps(f.onset, f.onset_seconds);
  EXPECT_NEAR(SnapToBeat(10.1, f.onset, f.onset_seconds, period), 10.25, 0.06);
  EXPECT_NEAR(SnapToBeat(9.9, f.onset, f.onset_seconds, period), 9.75, 0.06);
}

TEST(HookBeats, ASteadyToneHasNoBeatAndNothingMoves) {
  const HookFeatures f = ExtractHookFeatures(Tone(440, 10));
  EXPECT_DOUBLE_EQ(
      SnapToBeat(4.321, f.onset, f.onset_seconds, BeatPeriodSteps(f.onset, f.onset_seconds)),
      4.321);
}

TEST(HookBoundaries, NoveltyPeaksWhereTheSoundChanges) {
  // 10 s of A, then 10 s of a C major chord, then 10 s of A again.
  MonoAudio audio = Tone(440, 30);
  for (size_t i = 10 * kRate; i < 20 * kRate; ++i) {
    double v = 0;
    for (double hz : {261.63, 329.63, 392.0})
      v += 0.3 * std::sin(2 * std::numbers::pi * hz * i / kRate);
    audio.samples[i] = static_cast<float>(v);
  }
  const HookFeatures f = ExtractHookFeatures(audio);
  const SimilarityMatrix s = ComputeSimilarity(f);
  const size_t kernel = static_cast<size_t>(std::round(3.0 / f.frame_seconds));
  const std::vector<size_t> peaks = NoveltyPeaks(NoveltyCurve(s, kernel), kernel);
  ASSERT_EQ(peaks.size(), 2u);
  EXPECT_NEAR(peaks[0] * f.frame_seconds, 10.0, 0.3);
  EXPECT_NEAR(peaks[1] * f.frame_seconds, 20.0, 0.3);
}
