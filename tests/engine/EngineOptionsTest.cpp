// The engine's command-line parser: every line shape Tonbrix builds, legacy
// value meanings, missing values, and the one-line reasons for bad lines.
#include <gtest/gtest.h>

#include <sstream>

#include "EngineOptions.h"

namespace evc {
namespace {

std::vector<std::string> Words(const std::string& line) {
  std::istringstream in(line);
  std::vector<std::string> words;
  for (std::string word; in >> word;) words.push_back(word);
  return words;
}

TEST(EngineOptions, ReadsTheAudioShape) {
  const EngineOptions o = ParseEngineOptions(
      Words("-y -i /music/song.mp3 -acodec mp3 -vn -ab 128 -vol 200 -ac 2 -ar 44100 "
            "-ss 00:00:30 -t 30 /out/song.mp3"));
  EXPECT_TRUE(o.overwrite);
  EXPECT_EQ(o.input, "/music/song.mp3");
  EXPECT_EQ(o.output, "/out/song.mp3");
  EXPECT_EQ(o.audioCodec, "mp3");
  EXPECT_TRUE(o.noVideo);
  EXPECT_EQ(o.audioBitrate, 128000);
  EXPECT_EQ(o.volumePercent, 200);
  EXPECT_EQ(o.channels, 2);
  EXPECT_EQ(o.sampleRate, 44100);
  EXPECT_EQ(o.startSeconds, 30.0);
  EXPECT_EQ(o.durationSeconds, 30.0);
}

TEST(EngineOptions, ReadsTheNarrowBandAndVideoShapes) {
  const EngineOptions amr = ParseEngineOptions(
      Words("-y -i /m/a.wav -acodec amr_nb -s 176x144 -b 128 -ab 16 -vol 100 -ac 1 -ar 8000 "
            "-ss 00:01:00 -t 5 /o/a.amr"));
  EXPECT_EQ(amr.audioCodec, "amr_nb");
  EXPECT_EQ(amr.videoSize, "176x144");
  EXPECT_EQ(amr.videoBitrate, 128000);
  EXPECT_EQ(amr.audioBitrate, 16000);
  EXPECT_EQ(amr.startSeconds, 60.0);

  const EngineOptions video = ParseEngineOptions(
      Words("-y -i /m/a.wav -vcodec xvid -acodec mp3 -b 512 -s 320x240 -r 25 -aspect 4:3 "
            "-ab 64 -ac 2 -ar 44100 -target vcd /o/a.avi"));
  EXPECT_EQ(video.videoCodec, "xvid");
  EXPECT_EQ(video.frameRate, 25.0);
  EXPECT_EQ(video.aspect, "4:3");
  EXPECT_EQ(video.target, "vcd");
}

TEST(EngineOptions, PathsWithBlanksQuotesAndEqualsStayWhole) {
  const EngineOptions o = ParseEngineOptions(
      {"-y", "-i", "/music/My \"Best\" Song=1.mp3", "-acodec", "mp3", "/out/Über Song.mp3"});
  EXPECT_EQ(o.input, "/music/My \"Best\" Song=1.mp3");
  EXPECT_EQ(o.output, "/out/Über Song.mp3");
}

TEST(EngineOptions, OptionsComeInAnyOrderAndBlanksAreSkipped) {
  const EngineOptions o =
      ParseEngineOptions({"-ar", "8000", " ", "", "-i", "in.wav", "-y", "-vol", "50", "out.wav"});
  EXPECT_EQ(o.sampleRate, 8000);
  EXPECT_EQ(o.volumePercent, 50);
  EXPECT_TRUE(o.overwrite);
}

TEST(EngineOptions, ABlankVolumeItemIsNoOption) {
  // The volume fragment without an item is a single blank: no -vol at all.
  const EngineOptions o = ParseEngineOptions({"-y", "-i", "in.mp3", " ", "-ac", "2", "out.mp3"});
  EXPECT_FALSE(o.volumePercent.has_value());
  EXPECT_EQ(o.channels, 2);
  EXPECT_EQ(o.output, "out.mp3");
}

// A value left out used to be skipped, so "-ab -t 3" lost the bitrate and
// "-t OUT" the cut without a word.
struct LeftOutCase {
  std::string line;
  std::string reasonPart;
};
class EngineOptionsLeftOut : public testing::TestWithParam<LeftOutCase> {};
TEST_P(EngineOptionsLeftOut, IsRefusedWithAReason) {
  try {
    ParseEngineOptions(Words(GetParam().line));
    FAIL() << "accepted";
  } catch (const OptionError& error) {
    EXPECT_NE(std::string(error.what()).find(GetParam().reasonPart), std::string::npos)
        << error.what();
  }
}
INSTANTIATE_TEST_SUITE_P(
    Cases, EngineOptionsLeftOut,
    testing::Values(LeftOutCase{"-y -i in.mp3 -ab -t 3 out.mp3", "no value for -ab"},
                    LeftOutCase{"-y -i in.mp3 -ss 00:00:10 -t out.mp3", "no value for -t"},
                    LeftOutCase{"-y -i in.mp3 -vol -ac 2 out.mp3", "no value for -vol"},
                    LeftOutCase{"-y -i in.mp3 -ac 2 -ar out.mp3", "no value for -ar"},
                    LeftOutCase{"-y -i -acodec mp3 out.mp3", "no value for -i"}));

struct BitrateCase {
  std::string text;
  int64_t bitsPerSecond;
};
class EngineOptionsBitrate : public testing::TestWithParam<BitrateCase> {};
TEST_P(EngineOptionsBitrate, BelowAThousandIsKilobits) {
  const EngineOptions o = ParseEngineOptions({"-i", "a", "-ab", GetParam().text, "b.mp3"});
  EXPECT_EQ(o.audioBitrate, GetParam().bitsPerSecond);
}
INSTANTIATE_TEST_SUITE_P(Cases, EngineOptionsBitrate,
                         testing::Values(BitrateCase{"128", 128000}, BitrateCase{"16", 16000},
                                         BitrateCase{"999", 999000}, BitrateCase{"1000", 1000},
                                         BitrateCase{"12200", 12200}, BitrateCase{"192k", 192000},
                                         // Decimals, as the AMR-NB modes are named.
                                         BitrateCase{"12.2", 12200}, BitrateCase{"7.95", 7950},
                                         BitrateCase{"12.2k", 12200},
                                         BitrateCase{"12200.4", 12200}));

struct TimeCase {
  std::string text;
  std::optional<double> seconds;
};
class EngineOptionsTime : public testing::TestWithParam<TimeCase> {};
TEST_P(EngineOptionsTime, ReadsTimes) {
  EXPECT_EQ(ParseTimeText(GetParam().text), GetParam().seconds);
}
INSTANTIATE_TEST_SUITE_P(
    Cases, EngineOptionsTime,
    testing::Values(TimeCase{"00:00:30", 30.0}, TimeCase{"01:02:03", 3723.0},
                    TimeCase{"100:00:00", 360000.0}, TimeCase{"02:30", 150.0}, TimeCase{"45", 45.0},
                    TimeCase{"1.5", 1.5}, TimeCase{"00:00:01.25", 1.25}, TimeCase{"", std::nullopt},
                    TimeCase{"-5", std::nullopt}, TimeCase{"00:-1:00", std::nullopt},
                    TimeCase{"00:61:00", std::nullopt}, TimeCase{"1:2:3:4", std::nullopt},
                    TimeCase{"abc", std::nullopt}, TimeCase{"1e3", std::nullopt},
                    TimeCase{"nan", std::nullopt}));

struct BadLine {
  std::vector<std::string> arguments;
  std::string reasonPart;
};
class EngineOptionsBad : public testing::TestWithParam<BadLine> {};
TEST_P(EngineOptionsBad, GivesAOneLineReason) {
  try {
    ParseEngineOptions(GetParam().arguments);
    FAIL() << "accepted";
  } catch (const OptionError& error) {
    const std::string reason = error.what();
    EXPECT_NE(reason.find(GetParam().reasonPart), std::string::npos) << reason;
    EXPECT_EQ(reason.find('\n'), std::string::npos) << reason;
  }
}
INSTANTIATE_TEST_SUITE_P(
    Cases, EngineOptionsBad,
    testing::Values(BadLine{{"-i", "a.mp3", "-foo", "1", "b.mp3"}, "unknown option '-foo'"},
                    BadLine{{"-i", "a.mp3", "-ab", "fast", "b.mp3"}, "-ab"},
                    BadLine{{"-i", "a.mp3", "-ab", "0", "b.mp3"}, "-ab"},
                    BadLine{{"-i", "a.mp3", "-ab", "0.0001", "b.mp3"}, "-ab"},
                    BadLine{{"-i", "a.mp3", "-ab", "1.2.3", "b.mp3"}, "-ab"},
                    BadLine{{"-i", "a.mp3", "-vol", "-5", "b.mp3"}, "-vol"},
                    BadLine{{"-i", "a.mp3", "-ac", "0", "b.mp3"}, "-ac"},
                    BadLine{{"-i", "a.mp3", "-ar", "44.1", "b.mp3"}, "-ar"},
                    BadLine{{"-i", "a.mp3", "-t", "0", "b.mp3"}, "above zero"},
                    BadLine{{"-i", "a.mp3", "-t", "-30", "b.mp3"}, "above zero"},
                    BadLine{{"-i", "a.mp3", "-ss", "soon", "b.mp3"}, "-ss"},
                    BadLine{{"-i", "a.mp3", "-acodec", "flac", "b.mp3"}, "unknown audio codec"},
                    BadLine{{"-i", "a.mp3", "-f", "avi", "b.mp3"}, "unknown output format"},
                    BadLine{{"-i", "a.mp3", "-s", "big", "b.mp3"}, "-s"},
                    BadLine{{"-i", "a.mp3", "-aspect", "wide", "b.mp3"}, "-aspect"},
                    BadLine{{"-acodec", "mp3", "b.mp3"}, "no input"},
                    BadLine{{"-i", "a.mp3", "-y"}, "no output"},
                    BadLine{{"-i", "a.mp3", "b.mp3", "c.mp3"}, "unexpected argument 'b.mp3'"},
                    BadLine{{"-i", "a.mp3", "-fadein", "31", "b.mp3"}, "for -fadein"},
                    BadLine{{"-i", "a.mp3", "-fadein", "-1", "b.mp3"}, "for -fadein"},
                    BadLine{{"-i", "a.mp3", "-fadein", "1,5", "b.mp3"}, "for -fadein"},
                    BadLine{{"-i", "a.mp3", "-fadeout", "30.01", "b.mp3"}, "for -fadeout"},
                    BadLine{{"-i", "a.mp3", "-fadeout", "nan", "b.mp3"}, "for -fadeout"},
                    BadLine{{"-i", "a.mp3", "-fadeout", "b.mp3"}, "no value for -fadeout"},
                    BadLine{{"-i", "a.mp3", "-loudnorm", "14", "b.mp3"}, "for -loudnorm"},
                    BadLine{{"-i", "a.mp3", "-loudnorm", "-31", "b.mp3"}, "for -loudnorm"},
                    BadLine{{"-i", "a.mp3", "-loudnorm", "-4.9", "b.mp3"}, "for -loudnorm"},
                    BadLine{{"-i", "a.mp3", "-loudnorm", "--14", "b.mp3"}, "for -loudnorm"},
                    BadLine{{"-i", "a.mp3", "-loudnorm", "-1e1", "b.mp3"}, "for -loudnorm"},
                    BadLine{{"-i", "a.mp3", "-loudnorm", "-", "b.mp3"}, "for -loudnorm"}));

TEST(EngineOptions, ReadsTheFinishingOptionsOnlyWhenGiven) {
  const EngineOptions plain = ParseEngineOptions(Words("-i a.mp3 -vol 150 b.mp3"));
  EXPECT_FALSE(plain.fadeInSeconds);
  EXPECT_FALSE(plain.fadeOutSeconds);
  EXPECT_FALSE(plain.loudnessTarget);
  const EngineOptions o =
      ParseEngineOptions(Words("-i a.mp3 -ss 10 -t 30 -fadein 0 -fadeout 2.5 -loudnorm -14 b.mp3"));
  EXPECT_EQ(o.fadeInSeconds, 0.0);
  EXPECT_EQ(o.fadeOutSeconds, 2.5);
  EXPECT_EQ(o.loudnessTarget, -14.0);
  EXPECT_EQ(ParseEngineOptions(Words("-i a -fadein 30 -loudnorm -30 b")).loudnessTarget, -30.0);
  EXPECT_EQ(ParseEngineOptions(Words("-i a -fadein 30 -loudnorm -5 b")).fadeInSeconds, 30.0);
  EXPECT_EQ(ParseEngineOptions(Words("-i a -loudnorm -23.5 b")).loudnessTarget, -23.5);
}

TEST(EngineOptions, UsageNamesEveryOption) {
  const std::string usage = UsageText();
  for (const char* option : {"-y",  "-i",      "-acodec", "-vcodec", "-vn",      "-b ",      "-s ",
                             "-r ", "-aspect", "-ab",     "-vol",    "-ac",      "-ar",      "-f ",
                             "-ss", "-t ",     "-target", "-fadein", "-fadeout", "-loudnorm"}) {
    EXPECT_NE(usage.find(option), std::string::npos) << option;
  }
  EXPECT_NE(usage.find("without effect"), std::string::npos);
  EXPECT_NE(usage.find("replaces the gain of -vol"), std::string::npos);
}

}  // namespace
}  // namespace evc
