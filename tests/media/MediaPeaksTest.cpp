// The waveform envelope: quiet and loud parts land in the right slices, and
// bad files raise an error instead of crashing.
#include <gtest/gtest.h>

#include "MediaFixtures.h"
#include "MediaGraph.h"
#include "MediaPeaks.h"

using media_fixtures::Fixtures;

class PeaksOnsetTest : public testing::TestWithParam<const char*> {};

TEST_P(PeaksOnsetTest, SilenceThenToneShowInTheirSlices) {
  // 8 s of audio in 16 slices of half a second: silent up to 5 s, then a
  // tone at half amplitude. The slice around the onset may hold a bit of
  // either, depending on the codec's delay.
  const std::vector<PeakPair> peaks = ComputePeaks(Fixtures::Get().Path(GetParam()), 16);
  ASSERT_EQ(peaks.size(), 16u);
  for (size_t i = 0; i < 9; ++i) {
    EXPECT_LT(peaks[i].max, 0.02f) << "slice " << i;
    EXPECT_GT(peaks[i].min, -0.02f) << "slice " << i;
  }
  for (size_t i = 11; i < 16; ++i) {
    EXPECT_NEAR(peaks[i].max, 0.5f, 0.08f) << "slice " << i;
    EXPECT_NEAR(peaks[i].min, -0.5f, 0.08f) << "slice " << i;
  }
}

INSTANTIATE_TEST_SUITE_P(Formats, PeaksOnsetTest,
                         testing::Values("onset.wav", "onset.mp3", "onset.ogg"),
                         [](const auto& info) { return std::string(info.param).substr(6); });

TEST(ComputePeaks, MoreSlicesThanBlocksRepeatBlocks) {
  // 8 s at 44.1 kHz are ~1378 blocks; 5000 slices still each get a value.
  const std::vector<PeakPair> peaks = ComputePeaks(Fixtures::Get().Path("onset.wav"), 5000);
  ASSERT_EQ(peaks.size(), 5000u);
  EXPECT_NEAR(peaks[4990].max, 0.5f, 0.05f);
  EXPECT_LT(peaks.front().max, 0.02f);
}

TEST(ComputePeaks, NoSlicesAskedGivesNone) {
  EXPECT_TRUE(ComputePeaks(Fixtures::Get().Path("onset.wav"), 0).empty());
}

TEST(ComputePeaks, AZeroLengthWavGivesFlatSlices) {
  const std::vector<PeakPair> peaks = ComputePeaks(Fixtures::Get().Path("zero.wav"), 4);
  ASSERT_EQ(peaks.size(), 4u);
  for (const PeakPair& p : peaks) {
    EXPECT_EQ(p.min, 0.0f);
    EXPECT_EQ(p.max, 0.0f);
  }
}

class PeaksBadFileTest : public testing::TestWithParam<const char*> {};

TEST_P(PeaksBadFileTest, RaisesAMediaError) {
  EXPECT_THROW(ComputePeaks(Fixtures::Get().Path(GetParam()), 10), MediaError);
}

INSTANTIATE_TEST_SUITE_P(BadFiles, PeaksBadFileTest,
                         testing::Values("empty.mp3", "text.mp3", "truncated.m4a",
                                         "video_only.mkv"),
                         [](const auto& info) {
                           std::string name = info.param;
                           for (char& c : name) {
                             if (!isalnum(static_cast<unsigned char>(c))) c = '_';
                           }
                           return name;
                         });

TEST(ComputePeaks, ATruncatedMp3GivesTheEnvelopeOfWhatIsThere) {
  const std::vector<PeakPair> peaks = ComputePeaks(Fixtures::Get().Path("truncated.mp3"), 3);
  EXPECT_EQ(peaks.size(), 3u);
}
