// The output format and quality tables, the built-in profile strings and
// FillOptionList.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "Errors.h"
#include "FormatTables.h"
#include "Unit_CommonLib.h"

namespace {

using Items = std::vector<std::string>;

struct TableCase {
  const char* name;
  Items (*accessor)();
  Items expected;  // default-index entry included where the table has one
};

class TableTest : public testing::TestWithParam<TableCase> {};

TEST_P(TableTest, HoldsItsTextsInOrder) { EXPECT_EQ(GetParam().accessor(), GetParam().expected); }

INSTANTIATE_TEST_SUITE_P(
    Tables, TableTest,
    testing::Values(
        TableCase{"OutputType",
                  GetOutputTypeList,
                  {"MP3 Audio Files (*.mp3)", "AMR Audio Files (*.amr)", "AAC Audio Files (*.aac)",
                   "AC3 Audio Files (*.ac3)", "M4A MPEG Audio Files (*.m4a)",
                   "OGG Audio Files (*.ogg)", "WAV Audio Files", "0"}},
        TableCase{"Quality",
                  GetQualityList,
                  {"Low Quality", "Acceptable Quality", "Normal Quality", "Excellent Quality",
                   "Superb Quality", "2"}},
        TableCase{"AudioBitrate",
                  GetAudioBitrateList,
                  {"16", "32", "48", "64", "80", "128", "160", "192", "224", "2"}},
        TableCase{"AudioSample", GetAudioSampleList, {"22050", "32000", "44100", "48000", "2"}},
        TableCase{
            "AudioChannels", GetAudioChannelsList, {"1 channel, Mono", "2 channels, Stereo", "1"}},
        TableCase{"VolumeGain",
                  GetVolumeGainList,
                  {"0",   "25",  "50",  "75",  "100", "125", "150", "175", "200", "225", "250",
                   "275", "300", "325", "350", "375", "400", "425", "450", "475", "500", "8"}},
        TableCase{"VideoSize",
                  GetVideoSizeList,
                  {"352x288", "176x144", "128x96", "320x240", "160x120", "1"}},
        TableCase{"VideoBitrate", GetVideoBitrateList, {"40", "80", "128", "256", "512", "2"}},
        TableCase{"FrameRate", GetFrameRateList, {"11", "15", "1"}},
        TableCase{"AspectRatio", GetAspectRatioList, {"4:3", "16:9", "0"}},
        TableCase{"AudioCodec",
                  GetAudioCodecList,
                  {"-acodec mp3 -vn", "-acodec amr_nb", "-acodec aac -vn", "-acodec ac3 -vn",
                   "-acodec aac -vn", "-acodec vorbis -vn", "-acodec pcm_s16le -vn"}},
        TableCase{"Extension",
                  GetExtensionList,
                  {".mp3", ".amr", ".aac", ".ac3", ".m4a", ".ogg", ".wav"}},
        TableCase{
            "Format", GetFormatList, {"none", "none", "none", "none", "none", "none", "none"}}),
    [](const testing::TestParamInfo<TableCase>& test) { return std::string(test.param.name); });

// ---- FillOptionList -------------------------------------------------------------

struct FillCase {
  const char* name;
  Items (*accessor)();
  std::size_t count;
  std::string selected;
};

class FillOptionListTest : public testing::TestWithParam<FillCase> {};

TEST_P(FillOptionListTest, AddsTheItemsAndSelectsTheDefault) {
  OptionList list;
  FillOptionList(list, GetParam().accessor());
  Items expected = GetParam().accessor();
  expected.pop_back();  // the default index is never shown as an item
  EXPECT_EQ(list.Items, expected);
  EXPECT_EQ(list.Items.size(), GetParam().count);
  EXPECT_EQ(list.Text(), GetParam().selected);
}

INSTANTIATE_TEST_SUITE_P(
    Lists, FillOptionListTest,
    testing::Values(FillCase{"OutputType", GetOutputTypeList, 7, "MP3 Audio Files (*.mp3)"},
                    FillCase{"Quality", GetQualityList, 5, "Normal Quality"},
                    FillCase{"AudioBitrate", GetAudioBitrateList, 9, "48"},
                    FillCase{"AudioSample", GetAudioSampleList, 4, "44100"},
                    FillCase{"AudioChannels", GetAudioChannelsList, 2, "2 channels, Stereo"},
                    FillCase{"VolumeGain", GetVolumeGainList, 21, "200"},
                    FillCase{"VideoSize", GetVideoSizeList, 5, "176x144"},
                    FillCase{"VideoBitrate", GetVideoBitrateList, 5, "128"},
                    FillCase{"FrameRate", GetFrameRateList, 2, "15"},
                    FillCase{"AspectRatio", GetAspectRatioList, 2, "4:3"}),
    [](const testing::TestParamInfo<FillCase>& test) { return std::string(test.param.name); });

// The list is not cleared, and the default index counts from its first item:
// a quality list that already holds two custom profiles selects the second of
// them rather than "Normal Quality".
TEST(FillOptionList, AppendsAfterExistingItemsAndCountsFromTheFirstItem) {
  OptionList list;
  list.Items = {"my profile", "loud"};
  list.ItemIndex = 0;
  FillOptionList(list, GetQualityList());
  EXPECT_EQ(list.Items.size(), 7u);
  EXPECT_EQ(list.Items[2], "Low Quality");
  EXPECT_EQ(list.ItemIndex, 2);
  EXPECT_EQ(list.Text(), "Low Quality");
}

TEST(FillOptionList, ADefaultBeyondTheItemsSelectsNothing) {
  OptionList list;
  FillOptionList(list, {"a", "b", "5"});
  EXPECT_EQ(list.Items, (Items{"a", "b"}));
  EXPECT_EQ(list.ItemIndex, -1);
  EXPECT_EQ(list.Text(), "");
}

TEST(FillOptionList, AnEmptyTableChangesNothing) {
  OptionList list;
  list.Items = {"kept"};
  list.ItemIndex = 0;
  FillOptionList(list, {});
  EXPECT_EQ(list.Items, Items{"kept"});
  EXPECT_EQ(list.ItemIndex, 0);
}

TEST(FillOptionList, ADefaultThatIsNoNumberIsAConversionError) {
  OptionList list;
  EXPECT_THROW(FillOptionList(list, {"a", "b", "x1"}), ConversionError);
  EXPECT_THROW(FillOptionList(list, {"a", ""}), ConversionError);
}

// ---- Codec options ----------------------------------------------------------------

TEST(AudioCodecList, M4aSharesAacAndOnlyAmrLacksNoVideo) {
  const Items codecs = GetAudioCodecList();
  EXPECT_EQ(codecs[4], codecs[2]);
  for (std::size_t type = 0; type < codecs.size(); ++type) {
    EXPECT_EQ(codecs[type].rfind("-acodec", 0), 0u) << codecs[type];
    EXPECT_EQ(codecs[type].find("-vn") == std::string::npos, type == 1) << codecs[type];
  }
}

// ---- Default profile strings ------------------------------------------------------

struct ProfileCase {
  int type;
  Items expected;
};

class DefaultProfileTest : public testing::TestWithParam<ProfileCase> {};

const Items kStereo = {"1|0|0|2|0|0", "1|0|1|4|1|1", "1|1|2|5|1|2", "1|1|3|7|1|2", "1|1|4|8|1|3"};
const Items kMono = {"1|0|0|2|0|0", "1|0|1|4|0|0", "1|1|2|5|0|0", "1|1|3|7|0|0", "1|1|4|8|0|0"};

TEST_P(DefaultProfileTest, HoldsTheFiveStringsOfTheType) {
  EXPECT_EQ(GetDefaultProfileList(GetParam().type), GetParam().expected);
}

// Each string splits into six fields, each "none" or a valid index of its
// list (video size, frame rate, video bitrate, audio bitrate, channels,
// sample rate).
TEST_P(DefaultProfileTest, EveryFieldIsAValidIndexOfItsList) {
  const std::size_t sizes[6] = {GetVideoSizeList().size() - 1,     GetFrameRateList().size() - 1,
                                GetVideoBitrateList().size() - 1,  GetAudioBitrateList().size() - 1,
                                GetAudioChannelsList().size() - 1, GetAudioSampleList().size() - 1};
  for (const std::string& profile : GetDefaultProfileList(GetParam().type)) {
    const Items fields = TCommonLib::SplitString(profile, '|');
    ASSERT_EQ(fields.size(), 6u) << profile;
    for (std::size_t i = 0; i < 6; ++i) {
      if (fields[i] == "none") continue;
      const int index = std::stoi(fields[i]);
      EXPECT_GE(index, 0) << profile;
      EXPECT_LT(static_cast<std::size_t>(index), sizes[i]) << profile << " field " << i;
    }
  }
}

INSTANTIATE_TEST_SUITE_P(
    Types, DefaultProfileTest,
    testing::Values(
        ProfileCase{0, kStereo}, ProfileCase{1, kMono}, ProfileCase{2, kStereo},
        ProfileCase{3, kMono}, ProfileCase{4, kStereo},
        ProfileCase{5,
                    {"none|none|none|2|0|0", "none|none|none|4|0|0", "none|none|none|5|0|0",
                     "none|none|none|7|0|0", "none|none|none|8|0|0"}},
        ProfileCase{6,
                    {"none|none|none|2|0|0", "none|none|none|4|1|1", "none|none|none|5|1|2",
                     "none|none|none|7|1|2", "none|none|none|8|1|3"}}));

TEST(DefaultProfile, AnIndexOutsideTheTypesGivesNoStrings) {
  EXPECT_TRUE(GetDefaultProfileList(-1).empty());
  EXPECT_TRUE(GetDefaultProfileList(7).empty());
}

}  // namespace
