// TCommonLib's text helpers and engine command-line fragments.
#include <gtest/gtest.h>

#include <cstdint>
#include <limits>
#include <string>
#include <vector>

#include "Errors.h"
#include "Unit_CommonLib.h"

namespace {

using Items = std::vector<std::string>;

// ---- SplitString ----------------------------------------------------------------

struct SplitCase {
  std::string text;
  char separator;
  Items expected;
};

class SplitStringTest : public testing::TestWithParam<SplitCase> {};

TEST_P(SplitStringTest, GivesThePiecesBetweenSeparators) {
  const SplitCase& c = GetParam();
  EXPECT_EQ(TCommonLib::SplitString(c.text, c.separator), c.expected);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, SplitStringTest,
    testing::Values(SplitCase{"", ':', {}}, SplitCase{"00:01:02", ':', {"00", "01", "02"}},
                    SplitCase{"12", ':', {"12"}}, SplitCase{"a::b", ':', {"a", "", "b"}},
                    SplitCase{":a", ':', {"", "a"}}, SplitCase{"a:", ':', {"a"}},
                    SplitCase{":", ':', {""}}, SplitCase{"::", ':', {"", ""}},
                    SplitCase{"1|0|none|2|0|0", '|', {"1", "0", "none", "2", "0", "0"}},
                    SplitCase{"size= 234kB time=14.91 bitrate",
                              '=',
                              {"size", " 234kB time", "14.91 bitrate"}}));

// ---- TextToNumber ---------------------------------------------------------------

struct NumberCase {
  std::string text;
  double expected;
};

class TextToNumberTest : public testing::TestWithParam<NumberCase> {};

TEST_P(TextToNumberTest, KeepsDigitsFirstPointAndFirstSigns) {
  EXPECT_DOUBLE_EQ(TCommonLib::TextToNumber(GetParam().text), GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(Cases, TextToNumberTest,
                         testing::Values(NumberCase{" 12.5 s", 12.5}, NumberCase{"1.2.3", 1.23},
                                         NumberCase{"5-3", 53}, NumberCase{"--7", -7},
                                         NumberCase{"+-3", 3}, NumberCase{"abc", 0},
                                         NumberCase{"", 0}, NumberCase{"+", 0}, NumberCase{"-", 0},
                                         NumberCase{"7", 7}, NumberCase{"\t42\r\n", 42},
                                         NumberCase{"-.5", -0.5}, NumberCase{"1.", 1},
                                         NumberCase{"3-", 3}, NumberCase{"+05", 5},
                                         NumberCase{"00", 0}, NumberCase{"14.91", 14.91},
                                         // The point is "." whatever the locale; a "," is dropped.
                                         NumberCase{"1,5", 15}));

class TextToNumberErrorTest : public testing::TestWithParam<std::string> {};

TEST_P(TextToNumberErrorTest, RaisesAConversionErrorNamingTheText) {
  try {
    TCommonLib::TextToNumber(GetParam());
    FAIL() << "no error for \"" << GetParam() << "\"";
  } catch (const ConversionError& error) {
    EXPECT_NE(std::string(error.what()).find("\"" + GetParam() + "\""), std::string::npos)
        << error.what();
  }
}

INSTANTIATE_TEST_SUITE_P(Cases, TextToNumberErrorTest,
                         testing::Values(".", "+.", "-.", "a.b", "+-.", " . ",
                                         std::string(400, '9')));

// ---- SecondsToTimeText and FormatTimeField --------------------------------------

struct TimeTextCase {
  int64_t seconds;
  std::string expected;
};

class SecondsToTimeTextTest : public testing::TestWithParam<TimeTextCase> {};

TEST_P(SecondsToTimeTextTest, WritesHoursMinutesSeconds) {
  EXPECT_EQ(TCommonLib::SecondsToTimeText(GetParam().seconds), GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, SecondsToTimeTextTest,
    testing::Values(TimeTextCase{0, "00:00:00"}, TimeTextCase{-1, "00:00:00"},
                    TimeTextCase{std::numeric_limits<int64_t>::min(), "00:00:00"},
                    TimeTextCase{1, "00:00:01"}, TimeTextCase{59, "00:00:59"},
                    TimeTextCase{60, "00:01:00"}, TimeTextCase{3599, "00:59:59"},
                    TimeTextCase{3600, "01:00:00"}, TimeTextCase{3725, "01:02:05"},
                    TimeTextCase{86399, "23:59:59"}, TimeTextCase{360000, "100:00:00"},
                    TimeTextCase{std::numeric_limits<int64_t>::max(), "2562047788015215:30:07"}));

struct FieldCase {
  int64_t width;
  int64_t divisor;
  int64_t value;
  std::string expected;
};

class FormatTimeFieldTest : public testing::TestWithParam<FieldCase> {};

TEST_P(FormatTimeFieldTest, DividesAndPads) {
  const FieldCase& c = GetParam();
  EXPECT_EQ(TCommonLib::FormatTimeField(c.width, c.divisor, c.value), c.expected);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, FormatTimeFieldTest,
    testing::Values(FieldCase{2, 3600000, 3725000, "01"}, FieldCase{2, 60000, 125000, "02"},
                    FieldCase{2, 1000, 5999, "05"}, FieldCase{2, 1, 123, "123"},
                    FieldCase{4, 10, 5, "0000"}, FieldCase{0, 1, 7, "7"},
                    FieldCase{3, 1, -5, "-005"},
                    FieldCase{2, -1, std::numeric_limits<int64_t>::min(), "9223372036854775808"}));

TEST(FormatTimeField, RefusesADivisorOfZero) {
  EXPECT_THROW(TCommonLib::FormatTimeField(2, 0, 5), std::invalid_argument);
}

// ---- FormatFileSize -------------------------------------------------------------

struct SizeCase {
  int64_t bytes;
  std::string expected;
};

class FormatFileSizeTest : public testing::TestWithParam<SizeCase> {};

TEST_P(FormatFileSizeTest, CutsToTwoDecimals) {
  EXPECT_EQ(TCommonLib::FormatFileSize(GetParam().bytes), GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, FormatFileSizeTest,
    testing::Values(SizeCase{0, "0 B"}, SizeCase{-5, "0 B"}, SizeCase{1023, "1023 B"},
                    SizeCase{1024, "1 KB"}, SizeCase{1536, "1.5 KB"},
                    SizeCase{1048575, "1023.99 KB"}, SizeCase{1048576, "1 MB"},
                    SizeCase{5000000, "4.76 MB"}, SizeCase{1073741823, "1023.99 MB"},
                    SizeCase{1073741824, "1 GB"}, SizeCase{3000000000, "2.79 GB"},
                    SizeCase{std::numeric_limits<int64_t>::max(), "8589934591.99 GB"}));

// ---- The three readings of a time text ------------------------------------------

struct ReadingCase {
  std::string text;
  bool read;         // false: the text has the wrong number of pieces
  int64_t expected;  // seconds, or the untouched seed when not read
};

constexpr int64_t kSeed = 4242;

class ReadTimeStrictTest : public testing::TestWithParam<ReadingCase> {};

TEST_P(ReadTimeStrictTest, ReadsExactlyThreeIntegers) {
  int64_t seconds = kSeed;
  EXPECT_EQ(TCommonLib::ReadTimeStrict(GetParam().text, seconds), GetParam().read);
  EXPECT_EQ(seconds, GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, ReadTimeStrictTest,
    testing::Values(ReadingCase{"00:01:02", true, 62}, ReadingCase{"01:00:00", true, 3600},
                    ReadingCase{"1:2:3", true, 3723}, ReadingCase{"100:00:00", true, 360000},
                    ReadingCase{"00:00:-5", true, -5}, ReadingCase{"00:00:75", true, 75},
                    ReadingCase{"12", false, kSeed}, ReadingCase{"", false, kSeed},
                    ReadingCase{"00:01:", false, kSeed}, ReadingCase{"a:b:c:d", false, kSeed}));

class ReadTimeStrictErrorTest : public testing::TestWithParam<std::string> {};

TEST_P(ReadTimeStrictErrorTest, RaisesAConversionErrorNamingTheValue) {
  int64_t seconds = kSeed;
  try {
    TCommonLib::ReadTimeStrict(GetParam(), seconds);
    FAIL() << "no error for \"" << GetParam() << "\"";
  } catch (const ConversionError& error) {
    EXPECT_NE(std::string(error.what()).find('"'), std::string::npos) << error.what();
  }
  EXPECT_EQ(seconds, kSeed);
}

INSTANTIATE_TEST_SUITE_P(Cases, ReadTimeStrictErrorTest,
                         testing::Values("00:xx:00", "00: 1:00", "00:1.5:00", "00::05", "0x1:00:00",
                                         "+-1:00:00", "9999999999999999:00:00",
                                         "99999999999999999999:00:00"));

TEST(ReadTimeStrict, TheErrorNamesThePieceThatIsNoNumber) {
  int64_t seconds = 0;
  try {
    TCommonLib::ReadTimeStrict("00:xx:00", seconds);
    FAIL();
  } catch (const ConversionError& error) {
    EXPECT_STREQ(error.what(), "\"xx\" is not a valid integer");
  }
}

class ReadTimeTolerantTest : public testing::TestWithParam<ReadingCase> {};

TEST_P(ReadTimeTolerantTest, ReadsAtLeastThreeNumbersCutTowardZero) {
  int64_t seconds = kSeed;
  EXPECT_EQ(TCommonLib::ReadTimeTolerant(GetParam().text, seconds), GetParam().read);
  EXPECT_EQ(seconds, GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, ReadTimeTolerantTest,
    testing::Values(ReadingCase{"00:01:02", true, 62}, ReadingCase{"1.9:2:3.7", true, 3723},
                    ReadingCase{"a:b:c", true, 0}, ReadingCase{"00:01:02:99", true, 62},
                    ReadingCase{" 01 : 02 : 03 ", true, 3723}, ReadingCase{"-1:00:00", true, -3600},
                    ReadingCase{"12:30", false, kSeed}, ReadingCase{"", false, kSeed}));

TEST(ReadTimeTolerant, RaisesAConversionErrorForAPieceThatIsNoNumberAndForOverflow) {
  int64_t seconds = kSeed;
  EXPECT_THROW(TCommonLib::ReadTimeTolerant("x.:00:00", seconds), ConversionError);
  EXPECT_THROW(TCommonLib::ReadTimeTolerant("99999999999999999999:00:00", seconds),
               ConversionError);
  EXPECT_THROW(TCommonLib::ReadTimeTolerant("9999999999999999:00:00", seconds), ConversionError);
  EXPECT_EQ(seconds, kSeed);
}

struct FixedCase {
  std::string text;
  int64_t expected;
};

class ReadTimeFixedTest : public testing::TestWithParam<FixedCase> {};

TEST_P(ReadTimeFixedTest, ReadsThreeTwoDigitFields) {
  EXPECT_EQ(TCommonLib::ReadTimeFixed(GetParam().text), GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(Cases, ReadTimeFixedTest,
                         testing::Values(FixedCase{"00:00:00", 0}, FixedCase{"01:02:03", 3723},
                                         FixedCase{"99:59:59", 359999}, FixedCase{"00-01-02", 62},
                                         FixedCase{"00:00:30 trailing", 30}));

class ReadTimeFixedErrorTest : public testing::TestWithParam<std::string> {};

TEST_P(ReadTimeFixedErrorTest, RaisesAConversionErrorNamingTheText) {
  try {
    TCommonLib::ReadTimeFixed(GetParam());
    FAIL() << "no error for \"" << GetParam() << "\"";
  } catch (const ConversionError& error) {
    EXPECT_NE(std::string(error.what()).find("\"" + GetParam() + "\""), std::string::npos)
        << error.what();
  }
}

INSTANTIATE_TEST_SUITE_P(Cases, ReadTimeFixedErrorTest,
                         testing::Values("", "1:02:03", "01:02:3", "ab:cd:ef", "01:-2:03",
                                         "100:00:00"));

// ---- Command-line fragments -----------------------------------------------------

using Builder = std::string (*)(const Items&, int);

struct FragmentCase {
  const char* name;
  Builder build;
  Items items;
  int index;
  std::string expected;
};

class FragmentTest : public testing::TestWithParam<FragmentCase> {};

TEST_P(FragmentTest, MakesTheFragmentOrItsFallback) {
  EXPECT_EQ(GetParam().build(GetParam().items, GetParam().index), GetParam().expected);
}

const Items kSome = {"first", "", "second"};

INSTANTIATE_TEST_SUITE_P(
    Cases, FragmentTest,
    testing::Values(
        FragmentCase{
            "Codec", TCommonLib::GetCodecOption, {"-acodec mp3 -vn"}, 0, " -acodec mp3 -vn"},
        FragmentCase{"CodecNone", TCommonLib::GetCodecOption, {}, -1, " -vcodec xvid -acodec mp3"},
        FragmentCase{"VideoBitrate", TCommonLib::GetVideoBitrateOption, kSome, 2, " -b second"},
        FragmentCase{"VideoBitrateEmpty", TCommonLib::GetVideoBitrateOption, kSome, 1, " -b 512"},
        FragmentCase{"VideoSize", TCommonLib::GetVideoSizeOption, {"176x144"}, 0, " -s 176x144"},
        FragmentCase{"VideoSizeNone", TCommonLib::GetVideoSizeOption, kSome, -1, " -s 320x240"},
        FragmentCase{"FrameRate", TCommonLib::GetFrameRateOption, {"15"}, 0, " -r 15"},
        FragmentCase{"FrameRateBeyond", TCommonLib::GetFrameRateOption, kSome, 3, " -r 25"},
        FragmentCase{"Aspect", TCommonLib::GetAspectOption, {"16:9"}, 0, " -aspect 16:9"},
        FragmentCase{"AspectNone", TCommonLib::GetAspectOption, {}, -1, " -aspect 4:3"},
        FragmentCase{"AudioBitrate", TCommonLib::GetAudioBitrateOption, {"128"}, 0, " -ab 128"},
        FragmentCase{"AudioBitrateNone", TCommonLib::GetAudioBitrateOption, {}, -1, " -ab 64"},
        FragmentCase{"Volume", TCommonLib::GetVolumeOption, {"100"}, 0, " -vol 100"},
        FragmentCase{"VolumeNone", TCommonLib::GetVolumeOption, {"100"}, -1, " "},
        FragmentCase{
            "Channels", TCommonLib::GetAudioChannelsOption, {"1 channel, Mono"}, 0, " -ac 1"},
        FragmentCase{"ChannelsNone", TCommonLib::GetAudioChannelsOption, {}, -1, " -ac 2"},
        FragmentCase{"SampleRate", TCommonLib::GetSampleRateOption, {"22050"}, 0, " -ar 22050"},
        FragmentCase{"SampleRateNone", TCommonLib::GetSampleRateOption, {}, -1, " -ar 44100"},
        FragmentCase{"Format", TCommonLib::GetFormatOption, {"mp4"}, 0, " -f mp4"},
        FragmentCase{"FormatWordNone", TCommonLib::GetFormatOption, {"none"}, 0, ""},
        FragmentCase{"FormatMissing", TCommonLib::GetFormatOption, {}, -1, ""},
        FragmentCase{"Extension", TCommonLib::GetOutputExtension, {".amr"}, 0, ".amr"},
        FragmentCase{"ExtensionNone", TCommonLib::GetOutputExtension, {}, -1, ".avi"}),
    [](const testing::TestParamInfo<FragmentCase>& test) { return std::string(test.param.name); });

}  // namespace
