// Choosing the container and encoder values: what the output name and -f
// decide, and values an encoder cannot take moved to the nearest it supports.
#include <gtest/gtest.h>

#include "OutputPlan.h"

namespace evc {
namespace {

EngineOptions Options(const std::string& output, const std::string& codec = "",
                      std::optional<int64_t> bitrate = std::nullopt,
                      std::optional<int> rate = std::nullopt,
                      std::optional<int> channels = std::nullopt) {
  EngineOptions o;
  o.input = "in.mp3";
  o.output = output;
  o.audioCodec = codec;
  o.audioBitrate = bitrate;
  o.sampleRate = rate;
  o.channels = channels;
  return o;
}

struct ContainerCase {
  std::string output;
  std::string format;
  std::string muxer;
  std::string codec;
};
class OutputPlanContainer : public testing::TestWithParam<ContainerCase> {};
TEST_P(OutputPlanContainer, FollowsTheExtensionOrTheFormatOption) {
  EngineOptions o = Options(GetParam().output);
  o.format = GetParam().format;
  const OutputPlan plan = PlanOutput(o, 44100, 2);
  EXPECT_EQ(plan.muxer, GetParam().muxer);
  EXPECT_EQ(plan.codec, GetParam().codec);
}
INSTANTIATE_TEST_SUITE_P(Cases, OutputPlanContainer,
                         testing::Values(ContainerCase{"/o/a.mp3", "", "mp3", "mp3"},
                                         ContainerCase{"/o/a.aac", "", "adts", "aac"},
                                         ContainerCase{"/o/a.m4a", "", "ipod", "aac"},
                                         ContainerCase{"/o/a.AC3", "", "ac3", "ac3"},
                                         ContainerCase{"/o/a.ogg", "", "ogg", "vorbis"},
                                         ContainerCase{"/o/a.wav", "", "wav", "pcm_s16le"},
                                         ContainerCase{"/o/a.amr", "", "amr", "amr_nb"},
                                         ContainerCase{"/o/a.tone", "wav", "wav", "pcm_s16le"},
                                         ContainerCase{"/o/a.mp3", "adts", "adts", "aac"}));

TEST(OutputPlan, RefusesWhatItCannotWrite) {
  EXPECT_THROW(PlanOutput(Options("/o/a.xyz"), 44100, 2), OptionError);
  EXPECT_THROW(PlanOutput(Options("/o.d/noextension"), 44100, 2), OptionError);
  EXPECT_THROW(PlanOutput(Options("/o/a.ac3", "vorbis"), 44100, 2), OptionError);
  EXPECT_THROW(PlanOutput(Options("/o/a.amr", "mp3"), 44100, 2), OptionError);
}

struct FitCase {
  std::string output;
  std::string codec;
  int64_t bitrate;
  int rate;
  int channels;
  int64_t fittedBitrate;
  int fittedRate;
  int fittedChannels;
  bool noted;
};
class OutputPlanFit : public testing::TestWithParam<FitCase> {};
TEST_P(OutputPlanFit, MovesToTheNearestSupportedValue) {
  const FitCase& c = GetParam();
  const OutputPlan plan =
      PlanOutput(Options(c.output, c.codec, c.bitrate, c.rate, c.channels), 44100, 2);
  EXPECT_EQ(plan.bitrate, c.fittedBitrate);
  EXPECT_EQ(plan.sampleRate, c.fittedRate);
  EXPECT_EQ(plan.channels, c.fittedChannels);
  EXPECT_EQ(!plan.notes.empty(), c.noted);
  for (const std::string& note : plan.notes) EXPECT_EQ(note.find('='), std::string::npos);
}
INSTANTIATE_TEST_SUITE_P(Cases, OutputPlanFit,
                         testing::Values(
                             // The built-in profiles' hard cases.
                             FitCase{"a.ac3", "ac3", 48000, 22050, 1, 48000, 32000, 1, true},
                             FitCase{"a.mp3", "mp3", 224000, 22050, 1, 160000, 22050, 1, true},
                             FitCase{"a.mp3", "mp3", 224000, 44100, 2, 224000, 44100, 2, false},
                             FitCase{"a.mp3", "mp3", 128000, 11025, 2, 64000, 11025, 2, true},
                             FitCase{"a.mp3", "mp3", 128000, 44100, 6, 128000, 44100, 2, true},
                             FitCase{"a.ac3", "ac3", 100000, 48000, 2, 96000, 48000, 2, true},
                             FitCase{"a.m4a", "aac", 224000, 22050, 1, 132300, 22050, 1, true},
                             FitCase{"a.wav", "pcm_s16le", 128000, 22050, 1, 0, 22050, 1, false},
                             // AMR-NB: 8000 Hz mono, the mode nearest below the asked bitrate.
                             FitCase{"a.amr", "amr_nb", 16000, 8000, 1, 12200, 8000, 1, true},
                             FitCase{"a.amr", "amr_nb", 12200, 8000, 1, 12200, 8000, 1, false},
                             FitCase{"a.amr", "amr_nb", 7000, 8000, 1, 6700, 8000, 1, true},
                             FitCase{"a.amr", "amr_nb", 1000, 8000, 1, 4750, 8000, 1, true},
                             FitCase{"a.amr", "amr_nb", 16000, 44100, 2, 12200, 8000, 1, true},
                             // libvorbis refuses an average bitrate above 50000 Hz.
                             FitCase{"a.ogg", "vorbis", 128000, 96000, 2, 128000, 48000, 2, true},
                             FitCase{"a.ogg", "vorbis", 128000, 192000, 2, 128000, 48000, 2, true},
                             // AC-3 cannot allocate its bits for many channels at the
                             // lowest rates.
                             FitCase{"a.ac3", "ac3", 24000, 48000, 6, 64000, 48000, 6, true},
                             FitCase{"a.ac3", "ac3", 32000, 48000, 6, 64000, 48000, 6, true},
                             FitCase{"a.ac3", "ac3", 32000, 48000, 2, 32000, 48000, 2, false}));

TEST(OutputPlan, WithoutOptionsTheSourceValuesStay) {
  const OutputPlan plan = PlanOutput(Options("a.ogg"), 48000, 2);
  EXPECT_EQ(plan.sampleRate, 48000);
  EXPECT_EQ(plan.channels, 2);
  EXPECT_TRUE(plan.notes.empty());
}

}  // namespace
}  // namespace evc
