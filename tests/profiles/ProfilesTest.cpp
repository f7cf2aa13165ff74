// Profiles, custom profiles and user settings of TCustomProc on real INI
// files in a temporary program folder, with the controls as plain data and
// the name prompt answered from a prepared list.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <cstdlib>
#include <deque>
#include <filesystem>
#include <functional>
#include <optional>
#include <ostream>
#include <stdexcept>
#include <string>
#include <tuple>
#include <vector>

#include "Errors.h"
#include "IniFiles32.h"
#include "ProfileControls.h"
#include "TempFolder.h"
#include "UnitCustomProc.h"
#include "WatchedFifo.h"

namespace fs = std::filesystem;

namespace {

using Texts = std::vector<std::string>;

// Answers the name prompt from a prepared list (no value = Cancel) and keeps
// what each prompt showed. Any other box fails the test.
class PromptAnswers : public UserInterface {
 public:
  struct Prompt {
    std::string caption, prompt, initial;
  };
  std::deque<std::optional<std::string>> Answers;
  std::vector<Prompt> Seen;

  int MessageBox(const std::string& text, MessageIcon, MessageButtons) override {
    ADD_FAILURE() << "message box: " << text;
    return IDOK;
  }
  bool BrowseForFolder(const std::string&, const std::string&, std::string&) override {
    ADD_FAILURE() << "folder browser";
    return false;
  }
  std::optional<std::string> InputBox(const std::string& caption, const std::string& prompt,
                                      const std::string& initial) override {
    Seen.push_back({caption, prompt, initial});
    if (Answers.empty()) {
      ADD_FAILURE() << "unexpected input box";
      return std::nullopt;
    }
    auto answer = Answers.front();
    Answers.pop_front();
    return answer;
  }
  void ProcessMessages() override {}
  void Pause(int) override {}
};

// What the command-line builder reads, taken from the profile controls: the
// output type and the option lists, with the real ApplyCustomProfile.
class ControlsInputs : public ConversionInputsData {
 public:
  ProfileControlsData* Controls = nullptr;
  TCustomProc* Proc = nullptr;
  int OutputTypeIndex() const override {
    return Controls->List(ListControl::OutputFiletype).ItemIndex;
  }
  OptionList Options(OptionListId list) const override {
    return Controls->List(static_cast<ListControl>(static_cast<int>(list) + 2));
  }
  void ApplyCustomProfile() override { Proc->ApplyCustomProfile(); }
};

class ProfilesTest : public testing::Test {
 protected:
  ProfilesTest()
      : app_dir_(root_.Path() + "App/"),
        app_((fs::create_directories(app_dir_ + "Config"), app_dir_)),
        common_(app_, sys_, ui_),
        proc_(common_, app_, files_, inputs_) {
    controls_.OutputFolder = "/home/someone/Tonbrix";
    inputs_.Controls = &controls_;
    inputs_.Proc = &proc_;
    inputs_.OutputFolder = root_.Path() + "Out";
    proc_.SetProfileControls(&controls_);
  }

  std::string Config(const std::string& name) const { return app_dir_ + "Config/" + name; }
  void WriteConfig(const std::string& name, const std::string& text) {
    WriteBytes(Config(name), text);
  }
  void Profiles(const std::vector<std::pair<std::string, std::string>>& profiles) {
    std::string text;
    for (const auto& [name, value] : profiles)
      text += "\r\n[" + name + "]\r\n" + name + "=" + value + "\r\n";
    WriteConfig("UserProfileInfo.ini", text);
  }
  Texts Sections(const std::string& name) const {
    Texts sections;
    TIniFile32(Config(name)).ReadSections(&sections);
    return sections;
  }
  std::string Text(ListControl list) const { return controls_.List(list).Text(); }
  void Start() {
    proc_.InitOptionLists();
    proc_.ApplyProfile();
  }
  // A choice in the main window: the list's selection, then the handler.
  void Choose(ListControl list, int index) {
    controls_.SetItemIndex(list, index);
    proc_.ApplyProfile();
  }
  // The six profile lists' selections in profile-string order.
  std::string Selections() const {
    std::string s;
    for (ListControl list :
         {ListControl::VideoSize, ListControl::Framerate, ListControl::VideoBitrate,
          ListControl::AudioBitrate, ListControl::AudioChannels, ListControl::AudioSample}) {
      if (!s.empty()) s += '|';
      s += std::to_string(controls_.List(list).ItemIndex);
    }
    return s;
  }

  TempFolder root_;
  std::string app_dir_;
  TAppFunc app_;
  TSysFunc sys_;
  PromptAnswers ui_;
  TCommonLib common_;
  TFileFunc files_;
  ControlsInputs inputs_;
  TCustomProc proc_;
  ProfileControlsData controls_;
};

TEST_F(ProfilesTest, AFreshStartShowsMp3NormalQualityWithTheDefaultOptions) {
  Start();
  const OptionList types = controls_.List(ListControl::OutputFiletype);
  ASSERT_EQ(types.Items.size(), 7u);
  EXPECT_EQ(types.Text(), "MP3 Audio Files (*.mp3)");
  EXPECT_EQ(controls_.List(ListControl::Profile).Items,
            (Texts{"Low Quality", "Acceptable Quality", "Normal Quality", "Excellent Quality",
                   "Superb Quality"}));
  EXPECT_EQ(Text(ListControl::Profile), "Normal Quality");
  EXPECT_EQ(Text(ListControl::AudioBitrate), "128");
  EXPECT_EQ(Text(ListControl::AudioChannels), "2 channels, Stereo");
  EXPECT_EQ(Text(ListControl::AudioSample), "44100");
  EXPECT_EQ(Text(ListControl::AudioVolumeGain), "200");
  EXPECT_EQ(Text(ListControl::Aspectratio), "4:3");
  EXPECT_EQ(controls_.List(ListControl::AudioVolumeGain).Items.size(), 21u);
  EXPECT_TRUE(controls_.CustomNames.empty());
  EXPECT_EQ(controls_.CustomIndex, -1);
  // No settings file: both boxes unchecked, the output folder as designed.
  EXPECT_FALSE(controls_.ShowOutputDirectory);
  EXPECT_FALSE(controls_.Shutdown);
  EXPECT_EQ(controls_.OutputFolder, "/home/someone/Tonbrix");
  // Starting writes nothing.
  EXPECT_TRUE(fs::is_empty(app_dir_ + "Config"));
}

TEST_F(ProfilesTest, StartListsTheStoredCustomProfilesAfterTheQualities) {
  Profiles({{"Ring", "1|1|2|5|1|2"}, {"Alarm", "0|0|0|0|0|0"}});
  Start();
  const OptionList profiles = controls_.List(ListControl::Profile);
  ASSERT_EQ(profiles.Items.size(), 7u);
  EXPECT_EQ(profiles.Items[5], "Ring");
  EXPECT_EQ(profiles.Items[6], "Alarm");
  EXPECT_EQ(profiles.ItemIndex, 2);
  EXPECT_EQ(controls_.CustomNames, (Texts{"Ring", "Alarm"}));
  EXPECT_EQ(controls_.CustomIndex, -1);
}

// A walk through output types and qualities, with the option texts and the
// enabled states after every step.
struct Step {
  int type;
  int quality;
  const char* bitrate;
  const char* channels;
  const char* sample;
  const char* video_size;  // cbbVideoSize after the step
  bool profile_enabled;    // cbbProfile and btnOptions
  bool video_enabled;
};
struct Walk {
  const char* name;
  std::vector<Step> steps;
};

void PrintTo(const Walk& walk, std::ostream* out) { *out << walk.name; }

class BuiltInProfileTest : public ProfilesTest, public testing::WithParamInterface<Walk> {};

TEST_P(BuiltInProfileTest, OptionsAndEnabledStatesFollowTypeAndQuality) {
  Start();
  int n = 0;
  for (const Step& step : GetParam().steps) {
    SCOPED_TRACE("step " + std::to_string(n++));
    Choose(ListControl::Profile, step.quality);
    Choose(ListControl::OutputFiletype, step.type);
    EXPECT_EQ(Text(ListControl::AudioBitrate), step.bitrate);
    EXPECT_EQ(Text(ListControl::AudioChannels), step.channels);
    EXPECT_EQ(Text(ListControl::AudioSample), step.sample);
    EXPECT_EQ(Text(ListControl::VideoSize), step.video_size);
    EXPECT_EQ(controls_.ListEnabled(ListControl::Profile), step.profile_enabled);
    EXPECT_EQ(controls_.OptionsEnabled, step.profile_enabled);
    for (ListControl video : {ListControl::VideoSize, ListControl::VideoBitrate,
                              ListControl::Framerate, ListControl::Aspectratio}) {
      EXPECT_EQ(controls_.ListEnabled(video), step.video_enabled);
    }
    // The volume and the aspect ratio belong to no profile.
    EXPECT_EQ(Text(ListControl::AudioVolumeGain), "200");
    EXPECT_EQ(Text(ListControl::Aspectratio), "4:3");
  }
}

INSTANTIATE_TEST_SUITE_P(
    Walks, BuiltInProfileTest,
    testing::Values(Walk{"Mp3SuperbThenOggThenMp3",
                         {{0, 4, "224", "2 channels, Stereo", "48000", "176x144", true, true},
                          {5, 4, "224", "1 channel, Mono", "22050", "176x144", false, false},
                          {0, 4, "224", "2 channels, Stereo", "48000", "176x144", true, true}}},
                    Walk{"WavLow",
                         {{6, 0, "48", "1 channel, Mono", "22050", "176x144", true, false}}},
                    Walk{"AmrNormalThenAacExcellent",
                         {{1, 2, "128", "1 channel, Mono", "22050", "176x144", true, true},
                          {2, 3, "192", "2 channels, Stereo", "44100", "176x144", true, true}}}),
    [](const testing::TestParamInfo<Walk>& test) { return std::string(test.param.name); });

TEST_F(ProfilesTest, OggLeavesTheVideoSelectionsAsTheyWere) {
  Start();
  controls_.SetItemIndex(ListControl::VideoSize, 4);
  controls_.SetItemIndex(ListControl::Framerate, 0);
  Choose(ListControl::OutputFiletype, 5);
  EXPECT_EQ(Text(ListControl::VideoSize), "160x120");
  EXPECT_EQ(Text(ListControl::Framerate), "11");
  Choose(ListControl::OutputFiletype, 0);
  EXPECT_EQ(Selections(), "1|1|2|5|1|2");
}

TEST_F(ProfilesTest, ACustomProfileChosenInTheMainWindowSurvivesAnOutputTypeChange) {
  Profiles({{"Ring", "0|0|0|0|0|0"}, {"Loud", "4|0|4|8|0|3"}});
  Start();
  Choose(ListControl::Profile, 6);
  EXPECT_EQ(controls_.CustomIndex, 1);
  EXPECT_EQ(controls_.CustomText, "Loud");
  EXPECT_EQ(Selections(), "4|0|4|8|0|3");

  // A change of output type re-applies the profile and leaves the enabled
  // states alone, even for OGG.
  controls_.SetItemIndex(ListControl::AudioBitrate, 0);
  Choose(ListControl::OutputFiletype, 5);
  EXPECT_EQ(Selections(), "4|0|4|8|0|3");
  EXPECT_TRUE(controls_.ListEnabled(ListControl::Profile));
  EXPECT_TRUE(controls_.OptionsEnabled);
  EXPECT_TRUE(controls_.ListEnabled(ListControl::VideoSize));
}

TEST_F(ProfilesTest, ChoosingTheFirstCustomEntryRightAfterStartAppliesTheFirstProfile) {
  Profiles({{"Ring", "0|0|1|3|0|1"}, {"Loud", "4|0|4|8|0|3"}});
  Start();
  Choose(ListControl::Profile, 5);
  EXPECT_EQ(Selections(), "0|0|1|3|0|1");
  EXPECT_EQ(proc_.ReadCustomProfile(), "0|0|1|3|0|1");
}

// Stored custom values and the selections they leave, starting from MP3
// "Normal Quality" (1|1|2|5|1|2).
struct StoredValue {
  const char* name;
  const char* value;
  const char* selections;
};
void PrintTo(const StoredValue& value, std::ostream* out) { *out << "'" << value.value << "'"; }

class CustomValueTest : public ProfilesTest, public testing::WithParamInterface<StoredValue> {};

TEST_P(CustomValueTest, TheStoredValueSetsTheListsItNames) {
  Profiles({{"P", GetParam().value}});
  Start();
  controls_.SelectCustomProfile(0);
  proc_.ApplyCustomProfile();
  EXPECT_EQ(Selections(), GetParam().selections);
}

INSTANTIATE_TEST_SUITE_P(
    Values, CustomValueTest,
    testing::Values(StoredValue{"SixFields", "0|0|4|8|0|3", "0|0|4|8|0|3"},
                    StoredValue{"FiveFieldsApplyNothing", "1|1|2|5|1", "1|1|2|5|1|2"},
                    StoredValue{"SevenFieldsApplyNothing", "0|0|0|0|0|0|0", "1|1|2|5|1|2"},
                    StoredValue{"AnEmptyFieldLeavesItsList", "0|0||0|0|0", "0|0|2|0|0|0"},
                    StoredValue{"AnIndexPastTheEndSelectsNothing", "1|1|2|99|1|2", "1|1|2|-1|1|2"},
                    StoredValue{"MinusOneSelectsNothing", "1|1|2|-1|1|2", "1|1|2|-1|1|2"},
                    StoredValue{"ATrailingBarIsNoField", "0|0|0|0|0|0|", "0|0|0|0|0|0"},
                    StoredValue{"EmptyAppliesNothing", "", "1|1|2|5|1|2"}),
    [](const testing::TestParamInfo<StoredValue>& test) { return std::string(test.param.name); });

TEST_F(ProfilesTest, AFieldThatIsNoNumberIsReportedOnceAndChangesNoList) {
  Profiles({{"Edited", "0|0|none|8|0|3"}});
  Start();
  Choose(ListControl::Profile, 4);  // Superb: 1|1|4|8|1|3
  controls_.SelectCustomProfile(0);
  try {
    proc_.ApplyCustomProfile();
    FAIL() << "no error for 'none'";
  } catch (const ConversionError& error) {
    EXPECT_NE(std::string(error.what()).find("'none'"), std::string::npos) << error.what();
    EXPECT_NE(std::string(error.what()).find("Edited"), std::string::npos) << error.what();
  }
  EXPECT_EQ(Selections(), "1|1|4|8|1|3");
  // The profile is no longer the selected one, so the next conversion builds
  // its line from the lists as they are instead of failing again.
  EXPECT_EQ(controls_.CustomIndex, -1);
  EXPECT_EQ(controls_.CustomText, "Edited");
  EXPECT_NO_THROW(proc_.ApplyCustomProfile());
  ControlsInputs& in = inputs_;
  in.Rows.push_back(
      {"True", root_.Path() + "song.mp3", "1 MB", "00:01:00", "00:00:00", "00:00:30", "00:00:30"});
  const std::string line = proc_.BuildCommandLine(root_.Path() + "song.mp3");
  EXPECT_NE(line.find(" -ab 224 -vol 200 -ac 2 -ar 48000"), std::string::npos) << line;
}

TEST_F(ProfilesTest, AddCancelAddSuggestsTheNextNumberAndCancelStoresNoProfile) {
  Start();
  ui_.Answers = {std::nullopt, std::string("UserProfileInfo2")};
  proc_.AddCustomProfile();
  EXPECT_FALSE(fs::exists(Config("UserProfileInfo.ini")));
  EXPECT_EQ(ReadBytes(Config("UserProfileCount.ini")), "\r\n[count]\r\ncount=1\r\n");
  proc_.AddCustomProfile();
  ASSERT_EQ(ui_.Seen.size(), 2u);
  EXPECT_EQ(ui_.Seen[0].caption, "Tonbrix");
  EXPECT_EQ(ui_.Seen[0].prompt, "Plese input a name");
  EXPECT_EQ(ui_.Seen[0].initial, "UserProfileInfo1");
  EXPECT_EQ(ui_.Seen[1].initial, "UserProfileInfo2");
  EXPECT_EQ(ReadBytes(Config("UserProfileInfo.ini")),
            "\r\n[UserProfileInfo2]\r\nUserProfileInfo2=1|1|2|5|1|2\r\n");
}

TEST_F(ProfilesTest, TheSuggestionCountsOnFromTheStoredCounter) {
  WriteConfig("UserProfileCount.ini", "[count]\r\ncount=41\r\n");
  Start();
  ui_.Answers = {std::nullopt};
  proc_.AddCustomProfile();
  ASSERT_EQ(ui_.Seen.size(), 1u);
  EXPECT_EQ(ui_.Seen[0].initial, "UserProfileInfo42");
}

TEST_F(ProfilesTest, AddingUnderAnExistingNameReplacesItsValueInPlace) {
  Profiles({{"Ring", "0|0|0|0|0|0"}, {"Loud", "4|0|4|8|0|3"}});
  Start();
  ui_.Answers = {std::string("Ring")};
  proc_.AddCustomProfile();
  EXPECT_EQ(Sections("UserProfileInfo.ini"), (Texts{"Ring", "Loud"}));
  EXPECT_EQ(common_.ReadConfigValue("UserProfileInfo.ini", "Ring"), "1|1|2|5|1|2");
  EXPECT_EQ(common_.ReadConfigValue("UserProfileInfo.ini", "Loud"), "4|0|4|8|0|3");
}

TEST_F(ProfilesTest, AListWithoutSelectionIsStoredAsMinusOne) {
  Start();
  controls_.SetItemIndex(ListControl::Framerate, -1);
  ui_.Answers = {std::string("Mine")};
  proc_.AddCustomProfile();
  EXPECT_EQ(common_.ReadConfigValue("UserProfileInfo.ini", "Mine"), "1|-1|2|5|1|2");
}

TEST_F(ProfilesTest, SaveStoresUnderTheTypedNameAndLeavesTheCounter) {
  Profiles({{"Ring", "0|0|0|0|0|0"}});
  Start();
  controls_.SetCustomProfileText("Typed");
  proc_.SaveCustomProfile();
  EXPECT_EQ(Sections("UserProfileInfo.ini"), (Texts{"Ring", "Typed"}));
  EXPECT_EQ(common_.ReadConfigValue("UserProfileInfo.ini", "Typed"), "1|1|2|5|1|2");
  EXPECT_FALSE(fs::exists(Config("UserProfileCount.ini")));

  controls_.SetCustomProfileText("");
  const std::string before = ReadBytes(Config("UserProfileInfo.ini"));
  proc_.SaveCustomProfile();
  EXPECT_EQ(ReadBytes(Config("UserProfileInfo.ini")), before);
}

TEST_F(ProfilesTest, DeletingTheOnlyProfileLeavesNoSection) {
  Profiles({{"Ring", "0|0|0|0|0|0"}});
  Start();
  controls_.SelectCustomProfile(0);
  proc_.DeleteCustomProfile();
  EXPECT_TRUE(Sections("UserProfileInfo.ini").empty());
  EXPECT_TRUE(common_.GetConfigSections("UserProfileInfo.ini").empty());
}

TEST_F(ProfilesTest, DeleteNeedsAListEntryAndANameThatExists) {
  Profiles({{"Ring", "0|0|0|0|0|0"}});
  Start();
  const std::string before = ReadBytes(Config("UserProfileInfo.ini"));
  controls_.SetCustomProfileText("Nobody");
  proc_.DeleteCustomProfile();
  EXPECT_EQ(ReadBytes(Config("UserProfileInfo.ini")), before);
  // With an empty list the box's text is not erased even when it names one.
  controls_.SetCustomProfileNames({});
  controls_.SetCustomProfileText("Ring");
  proc_.DeleteCustomProfile();
  EXPECT_EQ(Sections("UserProfileInfo.ini"), (Texts{"Ring"}));
}

TEST_F(ProfilesTest, WithoutConnectedControlsEveryOperationFailsClearly) {
  TCustomProc unconnected(common_, app_, files_, inputs_);
  EXPECT_THROW(unconnected.InitOptionLists(), std::logic_error);
  EXPECT_THROW(unconnected.ApplyProfile(), std::logic_error);
  EXPECT_THROW(unconnected.ApplyCustomProfile(), std::logic_error);
  EXPECT_THROW(unconnected.SaveUserSettings(), std::logic_error);
}

// ---- The command line after a profile ---------------------------------------------

TEST_F(ProfilesTest, TheCommandLineCarriesTheAmrLowQualityFragments) {
  Start();
  Choose(ListControl::Profile, 0);
  Choose(ListControl::OutputFiletype, 1);
  const std::string song = root_.Path() + "song.mp3";
  inputs_.Rows.push_back({"True", song, "1 MB", "00:01:00", "00:00:10", "00:00:40", ""});
  const std::string line = proc_.BuildCommandLine(song);
  EXPECT_NE(line.find(" -acodec amr_nb -s 176x144 -b 40 -ab 48 -vol 200 -ac 1 -ar 8000 -ss "
                      "00:00:10 -t 30 \""),
            std::string::npos)
      << line;
  EXPECT_NE(line.find("song.amr\""), std::string::npos) << line;
}

TEST_F(ProfilesTest, TheCommandLineCarriesTheCustomProfileSelectedInTheOptionsWindow) {
  Profiles({{"Ring", "4|0|1|7|0|3"}});
  Start();
  const std::string song = root_.Path() + "song.mp3";
  inputs_.Rows.push_back({"True", song, "1 MB", "00:01:00", "00:00:00", "00:01:00", ""});
  // The profile is selected in the Options window; the lists are then changed
  // by hand. The build applies the profile again before reading them.
  controls_.SelectCustomProfile(0);
  controls_.SetItemIndex(ListControl::AudioBitrate, 0);
  const std::string line = proc_.BuildCommandLine(song);
  EXPECT_NE(line.find(" -acodec mp3 -vn -ab 192 -vol 200 -ac 1 -ar 48000 -ss 00:00:00 -t 60 \""),
            std::string::npos)
      << line;
  EXPECT_EQ(Text(ListControl::VideoSize), "160x120");
}

// ---- User settings ---------------------------------------------------------------

TEST_F(ProfilesTest, ClosingWritesTheThreeKeysInOrderIntoANewFile) {
  Start();
  controls_.ShowOutputDirectory = true;
  controls_.OutputFolder = "/home/someone/Ringtones";
  proc_.SaveUserSettings();
  EXPECT_EQ(ReadBytes(Config("UserSettings.ini")),
            "\r\n[USRInfo]\r\nSHWDDir=1\r\nSHUTDOWN=0\r\nOutDir=/home/someone/Ringtones\r\n");
}

TEST_F(ProfilesTest, SavingKeepsTheOpenDialogFolderAndTheKeyOrderOfTheFile) {
  WriteConfig("UserSettings.ini", "\r\n[USRInfo]\r\nInitDir=/music/\r\nOutDir=/old\r\n");
  Start();
  controls_.Shutdown = true;
  proc_.SaveUserSettings();
  EXPECT_EQ(ReadBytes(Config("UserSettings.ini")),
            "\r\n[USRInfo]\r\nInitDir=/music/\r\nOutDir=/old\r\nSHWDDir=0\r\nSHUTDOWN=1\r\n");
}

struct StoredSettings {
  const char* name;
  const char* file;
  bool show_output_directory;
  bool shutdown;
  const char* output_folder;
};
void PrintTo(const StoredSettings& settings, std::ostream* out) { *out << settings.name; }

class LoadSettingsTest : public ProfilesTest, public testing::WithParamInterface<StoredSettings> {};

TEST_P(LoadSettingsTest, OnlyOneMeansCheckedAndAnEmptyFolderKeepsTheDefault) {
  WriteConfig("UserSettings.ini", GetParam().file);
  Start();
  EXPECT_EQ(controls_.ShowOutputDirectory, GetParam().show_output_directory);
  EXPECT_EQ(controls_.Shutdown, GetParam().shutdown);
  EXPECT_EQ(controls_.OutputFolder, GetParam().output_folder);
}

INSTANTIATE_TEST_SUITE_P(
    Files, LoadSettingsTest,
    testing::Values(StoredSettings{"Checked",
                                   "[USRInfo]\nSHWDDir=1\nSHUTDOWN=1\nOutDir=/data/Out\n", true,
                                   true, "/data/Out"},
                    StoredSettings{"TrueIsUnchecked", "[USRInfo]\nSHWDDir=true\nSHUTDOWN=01\n",
                                   false, false, "/home/someone/Tonbrix"},
                    StoredSettings{"EmptyOutDirKeepsTheDefault", "[USRInfo]\nSHWDDir=1\nOutDir=\n",
                                   true, false, "/home/someone/Tonbrix"},
                    StoredSettings{"LowerCaseHeaderIsFound", "[usrinfo]\nSHUTDOWN=1\nOutDir=/x\n",
                                   false, true, "/x"},
                    StoredSettings{"LowerCaseKeyIsNot", "[USRInfo]\nshwddir=1\noutdir=/x\n", false,
                                   false, "/home/someone/Tonbrix"}),
    [](const testing::TestParamInfo<StoredSettings>& test) {
      return std::string(test.param.name);
    });

TEST_F(ProfilesTest, TheOpenDialogFolderDefaultsToHomeAndFollowsTheChosenFile) {
  const char* home = std::getenv("HOME");
  ASSERT_NE(home, nullptr);
  const std::string expected = std::string(home) + (std::string(home).back() == '/' ? "" : "/");
  EXPECT_EQ(proc_.ReadInitDir(), expected);

  proc_.SaveInitDir("/data/Music/a.mp3");
  EXPECT_EQ(proc_.ReadInitDir(), "/data/Music/");
  EXPECT_EQ(ReadBytes(Config("UserSettings.ini")), "\r\n[USRInfo]\r\nInitDir=/data/Music/\r\n");

  // A name without a folder writes nothing.
  proc_.SaveInitDir("a.mp3");
  proc_.SaveInitDir("");
  EXPECT_EQ(proc_.ReadInitDir(), "/data/Music/");
}

TEST_F(ProfilesTest, WithoutAConfigFolderReadingGivesDefaultsAndWritingFails) {
  fs::remove_all(app_dir_ + "Config");
  Start();
  EXPECT_EQ(controls_.OutputFolder, "/home/someone/Tonbrix");
  EXPECT_EQ(controls_.List(ListControl::Profile).Items.size(), 5u);
  EXPECT_THROW(proc_.SaveUserSettings(), FileError);
  ui_.Answers = {std::string("X")};
  EXPECT_THROW(proc_.AddCustomProfile(), FileError);
  // The program never makes the folder itself.
  EXPECT_FALSE(fs::exists(app_dir_ + "Config"));
}

// ---- Suggested names that exist already --------------------------------------------

// The counter file lost, damaged or behind: the suggestion passes over every
// name a profile has (in any letter case), so OK with it adds a profile and
// never replaces one.
struct LostCounter {
  const char* name;
  const char* count_file;  // nullptr: no file at all
};
void PrintTo(const LostCounter& c, std::ostream* out) { *out << c.name; }

class LostCounterTest : public ProfilesTest, public testing::WithParamInterface<LostCounter> {};

TEST_P(LostCounterTest, TheSuggestionSkipsNamesThatExistAndOkAddsAProfile) {
  Profiles({{"UserProfileInfo1", "0|0|0|0|0|0"},
            {"userprofileinfo2", "4|0|4|8|0|3"},
            {"UserProfileInfo4", "1|1|1|1|1|1"}});
  if (GetParam().count_file) WriteConfig("UserProfileCount.ini", GetParam().count_file);
  Start();
  ui_.Answers = {std::string("UserProfileInfo3")};
  proc_.AddCustomProfile();
  ASSERT_EQ(ui_.Seen.size(), 1u);
  EXPECT_EQ(ui_.Seen[0].initial, "UserProfileInfo3");
  EXPECT_EQ(Sections("UserProfileInfo.ini"), (Texts{"UserProfileInfo1", "userprofileinfo2",
                                                    "UserProfileInfo4", "UserProfileInfo3"}));
  EXPECT_EQ(common_.ReadConfigValue("UserProfileInfo.ini", "UserProfileInfo1"), "0|0|0|0|0|0");
  EXPECT_EQ(common_.ReadConfigValue("UserProfileInfo.ini", "UserProfileInfo4"), "1|1|1|1|1|1");
  // The counter goes on from the name suggested.
  EXPECT_EQ(TIniFile32(Config("UserProfileCount.ini")).ReadString("count", "count", ""), "3");

  // The next suggestion passes over 4 as well.
  ui_.Answers = {std::nullopt};
  proc_.AddCustomProfile();
  EXPECT_EQ(ui_.Seen[1].initial, "UserProfileInfo5");
}

INSTANTIATE_TEST_SUITE_P(Counters, LostCounterTest,
                         testing::Values(LostCounter{"Missing", nullptr},
                                         LostCounter{"NoNumber", "[count]\r\ncount=many\r\n"},
                                         LostCounter{"Behind", "[count]\r\ncount=0\r\n"},
                                         LostCounter{"OtherSection", "[Count2]\r\ncount=9\r\n"}),
                         [](const testing::TestParamInfo<LostCounter>& test) {
                           return std::string(test.param.name);
                         });

// ---- Configuration files that are not regular files ------------------------------

// A FIFO without a writer under the name of each configuration file: the
// start-up reads it as missing (defaults, no custom profiles) instead of
// waiting for a writer, writing to it is a FileError instead of a wait for a
// reader, and it is never opened.
class FifoConfigTest : public ProfilesTest, public testing::WithParamInterface<const char*> {};

TEST_P(FifoConfigTest, StartUpGoesOnAsWithoutTheFileAndWritingFails) {
  const std::string name = GetParam();
  if (name != "UserProfileInfo.ini") Profiles({{"Ring", "0|0|0|0|0|0"}});
  WatchedFifo fifo(Config(name));
  Start();
  EXPECT_EQ(controls_.OutputFolder, "/home/someone/Tonbrix");
  EXPECT_FALSE(controls_.ShowOutputDirectory);
  EXPECT_EQ(controls_.List(ListControl::Profile).Items.size(),
            name == "UserProfileInfo.ini" ? 5u : 6u);
  EXPECT_EQ(Text(ListControl::AudioBitrate), "128");

  // Every operation on the files either works or fails with a FileError.
  const auto works_or_fails = [](const std::function<void()>& operation) {
    try {
      operation();
    } catch (const FileError&) {
    }
  };
  works_or_fails([&] { proc_.SaveUserSettings(); });
  works_or_fails([&] { proc_.SaveInitDir("/data/Music/a.mp3"); });
  works_or_fails([&] { EXPECT_FALSE(proc_.ReadInitDir().empty()); });
  ui_.Answers = {std::string("Mine")};
  works_or_fails([&] { proc_.AddCustomProfile(); });
  controls_.SetCustomProfileText("Mine");
  works_or_fails([&] { proc_.SaveCustomProfile(); });
  EXPECT_THROW(TIniFile32(Config(name)).WriteString("s", "k", "v"), FileError);

  EXPECT_FALSE(fifo.OpenedForReading());
  EXPECT_FALSE(fifo.OpenedForWriting());
  struct stat info {};
  ASSERT_EQ(::lstat(Config(name).c_str(), &info), 0);
  EXPECT_TRUE(S_ISFIFO(info.st_mode));
}

INSTANTIATE_TEST_SUITE_P(Files, FifoConfigTest,
                         testing::Values("UserSettings.ini", "UserProfileInfo.ini",
                                         "UserProfileCount.ini"),
                         [](const testing::TestParamInfo<const char*>& test) {
                           std::string name = test.param;
                           return name.substr(0, name.find('.'));
                         });

// ---- Relative output folders -------------------------------------------------------

// Sets HOME and the working folder for one test and puts both back.
class HomeAndWorkingFolder {
 public:
  HomeAndWorkingFolder(const std::string& home, const std::string& working)
      : old_working_(fs::current_path()) {
    if (const char* old = std::getenv("HOME")) old_home_ = old;
    ::setenv("HOME", home.c_str(), 1);
    fs::current_path(working);
  }
  ~HomeAndWorkingFolder() {
    fs::current_path(old_working_);
    if (old_home_) {
      ::setenv("HOME", old_home_->c_str(), 1);
    } else {
      ::unsetenv("HOME");
    }
  }

 private:
  fs::path old_working_;
  std::optional<std::string> old_home_;
};

struct RelativeFolder {
  const char* name;
  const char* stored;    // OutDir in the settings file
  const char* expected;  // below the home folder, ending in "/"
};
void PrintTo(const RelativeFolder& c, std::ostream* out) { *out << c.name; }

class RelativeFolderTest : public ProfilesTest,
                           public testing::WithParamInterface<RelativeFolder> {};

// The program runs from some folder while the engine runs in the program
// folder: a folder that is not absolute is made absolute, in the home folder,
// before it is created and before it goes into the command line.
TEST_P(RelativeFolderTest, IsMadeAbsoluteBeforeItIsCreatedAndPutOnTheLine) {
  const std::string home = root_.Path() + "home";
  const std::string started_in = root_.Path() + "started here";
  fs::create_directories(home);
  fs::create_directories(started_in);
  HomeAndWorkingFolder environment(home, started_in);
  WriteConfig("UserSettings.ini", std::string("[USRInfo]\r\nOutDir=") + GetParam().stored + "\r\n");
  Start();
  EXPECT_EQ(controls_.OutputFolder, GetParam().stored);  // shown and kept as written
  inputs_.OutputFolder = controls_.OutputFolder;
  inputs_.Rows.push_back(
      {"True", root_.Path() + "song.mp3", "1 MB", "00:00:10", "00:00:00", "00:00:10", "00:00:10"});

  const std::string line = proc_.BuildCommandLine(root_.Path() + "song.mp3");

  const std::string expected = home + "/" + GetParam().expected;
  EXPECT_EQ(common_.ConvertParameter.OutputFolder, expected);
  EXPECT_EQ(proc_.LastCommand.Arguments.back(), expected + "song.mp3");
  EXPECT_NE(line.find(" \"" + expected + "song.mp3\""), std::string::npos) << line;
  EXPECT_TRUE(fs::is_directory(expected));
  EXPECT_TRUE(fs::is_empty(started_in)) << "a folder was made where the program was started";
  proc_.SaveUserSettings();
  EXPECT_NE(ReadBytes(Config("UserSettings.ini")).find(std::string("OutDir=") + GetParam().stored),
            std::string::npos);
}

INSTANTIATE_TEST_SUITE_P(
    Folders, RelativeFolderTest,
    testing::Values(RelativeFolder{"TildeSlash", "~/Ringtones", "Ringtones/"},
                    RelativeFolder{"TildeAlone", "~", ""},
                    RelativeFolder{"TildeWithTrailingSlash", "~/Ring tones/", "Ring tones/"},
                    RelativeFolder{"Relative", "Ringtones/Mine", "Ringtones/Mine/"},
                    RelativeFolder{"DotRelative", "./Out", "./Out/"},
                    RelativeFolder{"TildeOfNobody", "~nobody-by-that-name/x",
                                   "~nobody-by-that-name/x/"}),
    [](const testing::TestParamInfo<RelativeFolder>& test) {
      return std::string(test.param.name);
    });

TEST(AbsoluteFolder, JoinsTheHomeFolderWithOneSlash) {
  for (const auto& [home, folder, expected] :
       std::vector<std::tuple<std::string, std::string, std::string>>{
           {"/", "~/Ringtones", "/Ringtones"},
           {"/", "~", "/"},
           {"/", "Ringtones", "/Ringtones"},
           {"/home/x/", "~/Ringtones", "/home/x/Ringtones"},
           {"/home/x//", "Ringtones", "/home/x/Ringtones"},
           {"/home/x/", "~", "/home/x"}}) {
    HomeAndWorkingFolder environment(home, fs::current_path().string());
    EXPECT_EQ(AbsoluteFolder(folder), expected) << home << " " << folder;
  }
}

TEST(AbsoluteFolder, LeavesAbsoluteAndEmptyFoldersAsTheyAre) {
  EXPECT_EQ(AbsoluteFolder("/data/Out"), "/data/Out");
  EXPECT_EQ(AbsoluteFolder("/data/~/Out"), "/data/~/Out");
  EXPECT_EQ(AbsoluteFolder(""), "");
}

}  // namespace
