// The engine's loudness meter against the calibration of BS.1770 (a 1 kHz
// sine), its gating, its allowance for fades, and the true-peak limiter's
// delay compensation and ceiling. The decoded outputs of evc.exe are measured
// with FFmpeg's own ebur128 filter in FinishingTest.
#include <gtest/gtest.h>

#include <cmath>
#include <numbers>
#include <random>

#include "Loudness.h"

namespace evc {
namespace {

std::vector<float> Sine(int rate, int channels, double seconds, double amplitude, double hz) {
  std::vector<float> samples;
  const auto frames = static_cast<int64_t>(seconds * rate);
  for (int64_t i = 0; i < frames; ++i) {
    const auto value =
        static_cast<float>(amplitude * std::sin(2 * std::numbers::pi * hz * i / rate));
    for (int c = 0; c < channels; ++c) samples.push_back(value);
  }
  return samples;
}

double Measure(const std::vector<float>& samples, int rate, int channels,
               const FadePlan& fades = {}) {
  LoudnessMeter meter(rate, std::vector<double>(channels, 1.0));
  // In uneven pieces, as the filter graph delivers them.
  size_t at = 0;
  for (int piece = 1; at < samples.size(); piece = piece % 997 + 113) {
    const size_t frames = std::min<size_t>(piece, (samples.size() - at) / channels);
    meter.Add(samples.data() + at, static_cast<int>(frames));
    at += frames * channels;
  }
  meter.Finish();
  FadePlan plan = fades;
  if (plan.partSamples == 0) plan.partSamples = meter.samples();
  return meter.Integrated(plan).value_or(-999);
}

struct SineCase {
  int rate, channels;
  double amplitude, want;
};
class LoudnessOfASine : public testing::TestWithParam<SineCase> {};
TEST_P(LoudnessOfASine, MatchesTheCalibration) {
  // A full-scale 1 kHz sine in one channel reads -3.01 LUFS; two channels add 3 dB.
  const SineCase& c = GetParam();
  const double lufs = Measure(Sine(c.rate, c.channels, 10, c.amplitude, 1000), c.rate, c.channels);
  EXPECT_NEAR(lufs, c.want, c.rate == 8000 ? 0.3 : 0.05);
}
INSTANTIATE_TEST_SUITE_P(Cases, LoudnessOfASine,
                         testing::Values(SineCase{48000, 2, 0.1, -20.0},
                                         SineCase{44100, 2, 0.1, -20.0},
                                         SineCase{48000, 1, 1.0, -3.01},
                                         SineCase{22050, 1, 0.5, -9.03},
                                         SineCase{8000, 1, 0.1, -23.01}));

TEST(LoudnessMeter, GatesOutSilenceAndGivesNothingForSilenceAlone) {
  std::vector<float> toneThenSilence = Sine(48000, 2, 10, 0.1, 1000);
  toneThenSilence.resize(toneThenSilence.size() * 2, 0.0f);
  // The three blocks across the edge still pass the relative gate: -20.06.
  EXPECT_NEAR(Measure(toneThenSilence, 48000, 2), -20.06, 0.02);

  LoudnessMeter silent(48000, {1.0, 1.0});
  const std::vector<float> silence(96000 * 2, 0.0f);
  silent.Add(silence.data(), 96000);
  silent.Finish();
  EXPECT_FALSE(silent.Integrated(FadePlan{96000, 0, 0}));
  EXPECT_FALSE(silent.GainFor(-14, FadePlan{96000, 0, 0}, -1));
}

TEST(LoudnessMeter, AllowsForFadesKnownOnlyAtTheEnd) {
  // Noise, so that every block counts; the allowance for the fades must
  // match measuring the faded samples themselves.
  std::mt19937 random(7);
  std::normal_distribution<float> noise(0.0f, 0.1f);
  std::vector<float> samples(44100 * 12 * 2);
  for (float& s : samples) s = noise(random);
  const FadePlan fades{44100 * 12, 44100 * 3, 44100 * 4};
  std::vector<float> faded = samples;
  ApplyFades(fades, 0, faded.data(), 44100 * 12, 2);
  const double direct = Measure(faded, 44100, 2);
  const double allowed = Measure(samples, 44100, 2, fades);
  EXPECT_NEAR(allowed, direct, 0.05);
  EXPECT_LT(allowed, Measure(samples, 44100, 2) - 0.3);  // the fades do take loudness away
}

TEST(TruePeakLimiter, PassesQuietAudioUnchangedAndInStep) {
  const std::vector<float> tone = Sine(44100, 2, 1, 0.5, 440);
  TruePeakLimiter limiter(44100, 2, -1.0);
  std::vector<float> out;
  for (size_t at = 0; at < tone.size(); at += 2 * 500) {
    limiter.Process(tone.data() + at,
                    static_cast<int>(std::min<size_t>(500, (tone.size() - at) / 2)), out);
  }
  limiter.Flush(out);
  ASSERT_EQ(out.size(), tone.size());
  for (size_t i = 0; i < tone.size(); ++i) ASSERT_FLOAT_EQ(out[i], tone[i]) << i;
}

TEST(TruePeakLimiter, HoldsPeaksBetweenSamplesUnderTheCeiling) {
  // A sine at a quarter of the rate, phased so that its samples miss the
  // crests by 45 degrees: the samples read 0.707 of the true peak.
  const int rate = 48000;
  std::vector<float> samples;
  for (int i = 0; i < rate; ++i) {
    const double t = static_cast<double>(i) / rate;
    const double burst = (i / 4800) % 2 ? 1.0 : 0.2;  // loud and quiet 100 ms stretches
    samples.push_back(static_cast<float>(
        burst * 1.2 * std::sin(2 * std::numbers::pi * (rate / 4.0) * t + std::numbers::pi / 4)));
  }
  TruePeakLimiter limiter(rate, 1, -1.0);
  std::vector<float> out;
  limiter.Process(samples.data(), static_cast<int>(samples.size()), out);
  limiter.Flush(out);
  ASSERT_EQ(out.size(), samples.size());
  // Rebuilt with the sine's own shape: the true peak of each crest pair.
  const double ceiling = std::pow(10.0, -1.0 / 20.0);
  for (size_t i = 100; i + 100 < out.size(); ++i) {
    const double truePeak = std::hypot(out[i], out[i + 1]);  // exact for a quarter-rate sine
    ASSERT_LE(truePeak, ceiling * 1.02) << i;
  }
  // The quiet stretches, far from any loud one, are left alone.
  for (size_t i = 2000; i < 2400; ++i) ASSERT_FLOAT_EQ(out[i], samples[i]) << i;
}

TEST(LoudnessMeter, GainForMakesUpForTheLimiter) {
  // Quiet noise with strong short clicks: the plain gain to -14 LUFS drives
  // the clicks far over the ceiling; the gain found must still meet the
  // target once the real limiter has done its work.
  const int rate = 44100;
  std::mt19937 random(3);
  std::normal_distribution<float> noise(0.0f, 0.02f);
  std::vector<float> samples(static_cast<size_t>(rate) * 12 * 2);
  for (size_t i = 0; i < samples.size(); ++i) {
    const size_t frame = i / 2;
    const double click = frame % 11025 < 200 ? 0.9 * std::exp(-double(frame % 11025) / 60.0) : 0;
    samples[i] = noise(random) + static_cast<float>(click);
  }
  LoudnessMeter meter(rate, {1.0, 1.0});
  meter.Add(samples.data(), rate * 12);
  meter.Finish();
  const FadePlan none{rate * 12, 0, 0};
  const auto gainDb = meter.GainFor(-14, none, -1.0);
  ASSERT_TRUE(gainDb);
  EXPECT_GT(*gainDb, -14 - *meter.Integrated(none));  // some make-up was needed

  std::vector<float> gained = samples;
  for (float& s : gained) s *= static_cast<float>(std::pow(10.0, *gainDb / 20));
  TruePeakLimiter limiter(rate, 2, -1.0);
  std::vector<float> out;
  limiter.Process(gained.data(), rate * 12, out);
  limiter.Flush(out);
  EXPECT_NEAR(Measure(out, rate, 2), -14.0, 0.3);
}

}  // namespace
}  // namespace evc
