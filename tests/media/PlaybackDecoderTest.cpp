// The preview's decoder: where a start or seek lands, that no audio from
// before a seek is heard after it, the fade-in that keeps a seek from
// clicking, and the end of damaged files.
#include <gtest/gtest.h>

#include <chrono>
#include <cmath>
#include <thread>
#include <vector>

#include "MediaFixtures.h"
#include "MediaGraph.h"
#include "PlaybackDecoder.h"

using media_fixtures::Fixtures;
using media_fixtures::kOnsetMs;

namespace {

const OutputFormat kFormat{44100, 2, false};

// Reads `ms` of audio (waiting for the decoder as needed) as the samples of
// the first channel, -1..1.
std::vector<float> ReadMs(PlaybackDecoder& decoder, int64_t ms) {
  const size_t wanted = static_cast<size_t>(kFormat.UsToBytes(ms * 1000));
  std::vector<uint8_t> bytes(wanted);
  size_t got = 0;
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
  while (got < wanted && !decoder.Finished() && std::chrono::steady_clock::now() < deadline) {
    const size_t n = decoder.Read(bytes.data() + got, wanted - got);
    if (n == 0) std::this_thread::sleep_for(std::chrono::milliseconds(1));
    got += n;
  }
  std::vector<float> left;
  const auto* samples = reinterpret_cast<const int16_t*>(bytes.data());
  for (size_t i = 0; i < got / 2; i += kFormat.channels) left.push_back(samples[i] / 32768.0f);
  return left;
}

// Milliseconds into `samples` where the sound starts, or -1.
int64_t OnsetMs(const std::vector<float>& samples) {
  for (size_t i = 0; i < samples.size(); ++i) {
    if (std::fabs(samples[i]) > 0.05f) return static_cast<int64_t>(i) * 1000 / kFormat.sample_rate;
  }
  return -1;
}

float PeakOf(const std::vector<float>& samples, size_t from, size_t to) {
  float peak = 0;
  for (size_t i = from; i < std::min(to, samples.size()); ++i) {
    peak = std::max(peak, std::fabs(samples[i]));
  }
  return peak;
}

}  // namespace

class DecoderSeekTest : public testing::TestWithParam<const char*> {};

TEST_P(DecoderSeekTest, StartsWhereAsked) {
  // Start 300 ms before the tone: the tone is heard 300 ms in.
  PlaybackDecoder decoder(Fixtures::Get().Path(GetParam()), kFormat, (kOnsetMs - 300) * 1000);
  const int64_t onset = OnsetMs(ReadMs(decoder, 600));
  EXPECT_NEAR(static_cast<double>(onset), 300.0, 60.0);
}

TEST_P(DecoderSeekTest, ASeekDropsTheAudioBufferedBeforeIt) {
  // Fill the buffer with the tone, then jump back into the silence: nothing
  // of the tone may follow.
  PlaybackDecoder decoder(Fixtures::Get().Path(GetParam()), kFormat, (kOnsetMs + 500) * 1000);
  ASSERT_GT(PeakOf(ReadMs(decoder, 100), 0, 1u << 20), 0.3f);
  std::this_thread::sleep_for(std::chrono::milliseconds(50));  // let it refill
  decoder.Seek(1000 * 1000);
  const std::vector<float> after = ReadMs(decoder, 1000);
  ASSERT_EQ(after.size(), 44100u);
  EXPECT_LT(PeakOf(after, 0, after.size()), 0.01f);
}

TEST_P(DecoderSeekTest, ASeekForwardLandsInTheToneAndFadesIn) {
  PlaybackDecoder decoder(Fixtures::Get().Path(GetParam()), kFormat, 0);
  ReadMs(decoder, 200);
  decoder.Seek((kOnsetMs + 1000) * 1000);
  const std::vector<float> after = ReadMs(decoder, 100);
  ASSERT_EQ(after.size(), 4410u);
  // The first millisecond is still quiet (no click), 20 ms on it is full.
  EXPECT_LT(PeakOf(after, 0, 44), 0.15f);
  EXPECT_GT(PeakOf(after, 882, 4410), 0.4f);
}

INSTANTIATE_TEST_SUITE_P(Formats, DecoderSeekTest,
                         testing::Values("onset.wav", "onset.mp3", "onset.ogg"),
                         [](const auto& test) {
                           return std::string(test.param).substr(6);  // after "onset."
                         });

TEST(PlaybackDecoder, ReachesTheEndAndReportsIt) {
  PlaybackDecoder decoder(Fixtures::Get().Path("onset.wav"), kFormat, 7500 * 1000);
  const std::vector<float> rest = ReadMs(decoder, 2000);
  EXPECT_NEAR(static_cast<double>(rest.size()), 0.5 * 44100, 10);
  EXPECT_TRUE(decoder.Finished());
  // A seek after the end starts over.
  decoder.Seek(7000 * 1000);
  EXPECT_FALSE(decoder.Finished());
  EXPECT_NEAR(static_cast<double>(ReadMs(decoder, 2000).size()), 44100, 10);
  EXPECT_EQ(decoder.Error(), "");
}

// Every byte and time figure of the decoder divides by the rate or the frame
// size: a format without them is refused before any thread starts.
class DecoderFormatTest : public testing::TestWithParam<OutputFormat> {};

static std::string FormatCaseName(size_t index) {
  constexpr const char* kNames[] = {"NoRate", "NoChannels", "NegativeRate"};
  return kNames[index];
}

TEST_P(DecoderFormatTest, RefusesAFormatWithoutRateOrChannels) {
  try {
    PlaybackDecoder decoder(Fixtures::Get().Path("onset.wav"), GetParam(), 0);
    FAIL() << "the decoder took the format";
  } catch (const MediaError& e) {
    EXPECT_NE(std::string(e.what()).find("onset.wav"), std::string::npos) << e.what();
  }
}

INSTANTIATE_TEST_SUITE_P(Unusable, DecoderFormatTest,
                         testing::Values(OutputFormat{0, 2, false}, OutputFormat{44100, 0, false},
                                         OutputFormat{-8000, 1, true}),
                         [](const auto& test) { return FormatCaseName(test.index); });

class DecoderBadFileTest : public testing::TestWithParam<const char*> {};

TEST_P(DecoderBadFileTest, FinishesWithoutCrashing) {
  PlaybackDecoder decoder(Fixtures::Get().Path(GetParam()), kFormat, 0);
  ReadMs(decoder, 15000);
  EXPECT_TRUE(decoder.Finished());
  // A seek after the decoding gave up finishes at once as well (the preview
  // would otherwise run on over nothing).
  decoder.Seek(1000 * 1000);
  ReadMs(decoder, 15000);
  EXPECT_TRUE(decoder.Finished());
}

INSTANTIATE_TEST_SUITE_P(BadFiles, DecoderBadFileTest,
                         testing::Values("empty.mp3", "text.mp3", "zero.wav", "truncated.mp3",
                                         "truncated.m4a", "video_only.mkv"),
                         [](const auto& test) {
                           std::string name = test.param;
                           for (char& c : name) {
                             if (!isalnum(static_cast<unsigned char>(c))) c = '_';
                           }
                           return name;
                         });
