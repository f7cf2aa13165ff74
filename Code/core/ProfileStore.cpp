#include "ProfileStore.h"

#include <algorithm>
#include <charconv>
#include <cstdint>
#include <limits>
#include <stdexcept>

#include "EngineCommandBuilder.h"
#include "Errors.h"
#include "IniFiles32.h"

namespace {

constexpr char kProfileFile[] = "UserProfileInfo.ini";
constexpr char kCountFile[] = "UserProfileCount.ini";

// The lists a profile string sets, field by field.
constexpr ListControl kProfileFields[6] = {
    ListControl::VideoSize,    ListControl::Framerate,     ListControl::VideoBitrate,
    ListControl::AudioBitrate, ListControl::AudioChannels, ListControl::AudioSample,
};

// The lists of the video options, disabled for the types that carry no video.
constexpr ListControl kVideoLists[4] = {ListControl::VideoSize, ListControl::VideoBitrate,
                                        ListControl::Framerate, ListControl::Aspectratio};

// A field of a profile string as an index: blanks before it, an optional sign,
// decimal digits, within 32 bits.
bool ReadIndex(const std::string& field, int& index) {
  std::size_t at = field.find_first_not_of(' ');
  if (at == std::string::npos) return false;
  if (field[at] == '+') ++at;
  const char* end = field.data() + field.size();
  int32_t value = 0;
  const auto [stop, error] = std::from_chars(field.data() + at, end, value);
  if (error != std::errc() || stop != end || at == field.size()) return false;
  index = value;
  return true;
}

// Every list of the output-type, quality and option tables, in the order the
// start-up fills them (after cbbOutputFiletype and cbbProfile).
struct OptionTable {
  ListControl list;
  std::vector<std::string> (*table)();
};
constexpr OptionTable kOptionTables[] = {
    {ListControl::Aspectratio, GetAspectRatioList},
    {ListControl::VideoBitrate, GetVideoBitrateList},
    {ListControl::AudioBitrate, GetAudioBitrateList},
    {ListControl::AudioChannels, GetAudioChannelsList},
    {ListControl::Framerate, GetFrameRateList},
    {ListControl::AudioSample, GetAudioSampleList},
    {ListControl::AudioVolumeGain, GetVolumeGainList},
    {ListControl::VideoSize, GetVideoSizeList},
};

// FillOptionList on a control: the table's items after the control's own, and
// the table's default selected.
void FillControl(ProfileControls& controls, ListControl list,
                 const std::vector<std::string>& table) {
  OptionList filled = controls.List(list);
  const std::size_t had = filled.Items.size();
  FillOptionList(filled, table);
  controls.AppendItems(list,
                       std::vector<std::string>(filled.Items.begin() + had, filled.Items.end()));
  controls.SetItemIndex(list, filled.ItemIndex);
}

std::string SuggestedProfileName(int64_t number) {
  return "UserProfileInfo" + std::to_string(number);
}

// Section names are found without regard to the case of A-Z, and a header
// with blanks inside its brackets is listed trimmed: a suggestion that matches
// a listed name either way is taken.
bool NameTaken(const std::vector<std::string>& names, const std::string& wanted) {
  const auto upper = [](char c) { return c >= 'a' && c <= 'z' ? static_cast<char>(c - 32) : c; };
  return std::any_of(names.begin(), names.end(), [&](const std::string& name) {
    return name.size() == wanted.size() &&
           std::equal(name.begin(), name.end(), wanted.begin(),
                      [&](char a, char b) { return upper(a) == upper(b); });
  });
}

// The first number from `number` on whose suggested name no profile has.
int64_t FirstFreeProfileNumber(const std::vector<std::string>& names, int64_t number) {
  while (NameTaken(names, SuggestedProfileName(number))) ++number;
  return number;
}

// The user's settings: the two after-batch check boxes, the output folder and
// the open dialog's folder.
constexpr char kSettingsFile[] = "UserSettings.ini";
constexpr char kSection[] = "USRInfo";

// Only the text "1" means checked; "true", "01" or nothing read as unchecked.
bool Checked(const TIniFile32& ini, const char* key) {
  return ini.ReadString(kSection, key, "0") == "1";
}

std::string HomeFolder() {
  std::string folder = AbsoluteFolder("~");
  if (folder.empty() || folder.back() != '/') folder += '/';
  return folder;
}

}  // namespace

ProfileControls& ProfileStore::Controls() const {
  if (profile_controls_ == nullptr) {
    throw std::logic_error("The profile controls are not connected to TCustomProc");
  }
  return *profile_controls_;
}

std::string ProfileStore::ConfigFile(const std::string& name) const {
  return common_.AppPath + "Config/" + name;
}

void ProfileStore::InitOptionLists() {
  ProfileControls& controls = Controls();
  FillControl(controls, ListControl::OutputFiletype, GetOutputTypeList());
  FillProfiles(ListControl::Profile);
  for (const OptionTable& option : kOptionTables) {
    FillControl(controls, option.list, option.table());
  }
  controls.SetCustomProfileNames(common_.GetConfigSections(kProfileFile));
  LoadUserSettings();
}

void ProfileStore::FillProfiles(ListControl list) {
  ProfileControls& controls = Controls();
  std::vector<std::string> qualities = GetQualityList();
  qualities.pop_back();  // the default-index entry
  controls.AppendItems(list, qualities);
  controls.AppendItems(list, common_.GetConfigSections(kProfileFile));
  controls.SetItemIndex(list, 2);
}

void ProfileStore::ApplyProfile() {
  ProfileControls& controls = Controls();
  const int profile = controls.List(ListControl::Profile).ItemIndex;
  if (profile >= 5) {
    controls.SelectCustomProfile(profile - 5);
    ApplyCustomProfile();
    return;
  }
  const int type = controls.List(ListControl::OutputFiletype).ItemIndex;
  if (type < 0 || type > 6) return;

  // OGG offers no choice of profile; WAV and OGG carry no video.
  const bool choices = type != 5;
  const bool video = type != 5 && type != 6;
  controls.SetListEnabled(ListControl::Profile, choices);
  controls.SetOptionsButtonEnabled(choices);
  for (ListControl list : kVideoLists) controls.SetListEnabled(list, video);

  if (profile < 0) return;  // an empty profile list has nothing to apply
  const std::vector<std::string> profiles = GetDefaultProfileList(type);
  const std::vector<std::string> fields =
      TCommonLib::SplitString(profiles[static_cast<std::size_t>(profile)], '|');
  for (std::size_t i = 0; i < fields.size() && i < 6; ++i) {
    if (fields[i] == "none") continue;
    int index = -1;
    if (ReadIndex(fields[i], index)) controls.SetItemIndex(kProfileFields[i], index);
  }
}

std::string ProfileStore::ReadCustomProfile() {
  ProfileControls& controls = Controls();
  const int selected = controls.CustomProfileIndex();
  const std::vector<std::string> names = controls.CustomProfileNames();
  if (selected < 0 || static_cast<std::size_t>(selected) >= names.size()) return {};
  return common_.ReadConfigValue(kProfileFile, names[static_cast<std::size_t>(selected)]);
}

void ProfileStore::ApplyCustomProfile() {
  ProfileControls& controls = Controls();
  const std::string profile = ReadCustomProfile();
  if (profile.empty()) return;
  const std::vector<std::string> fields = TCommonLib::SplitString(profile, '|');
  if (fields.size() != 6) return;

  // Every field is read before any list changes, so a hand-edited value that
  // is no number leaves all eight lists as they were.
  int indexes[6] = {};
  for (std::size_t i = 0; i < 6; ++i) {
    if (fields[i].empty()) continue;
    if (!ReadIndex(fields[i], indexes[i])) {
      const std::string name = controls.CustomProfileText();
      // Deselected, so that the next conversion does not stop on it again;
      // the name stays in the box for the person to see.
      controls.SelectCustomProfile(-1);
      controls.SetCustomProfileText(name);
      throw ConversionError("The custom profile \"" + name + "\" holds '" + fields[i] +
                            "', which is not a valid integer value");
    }
  }
  for (std::size_t i = 0; i < 6; ++i) {
    if (!fields[i].empty()) controls.SetItemIndex(kProfileFields[i], indexes[i]);
  }
}

std::string ProfileStore::CurrentProfileString() const {
  std::string profile;
  for (std::size_t i = 0; i < 6; ++i) {
    if (i > 0) profile += '|';
    profile += std::to_string(Controls().List(kProfileFields[i]).ItemIndex);
  }
  return profile;
}

void ProfileStore::AddCustomProfile() {
  int64_t next = 1;
  {
    TIniFile32 count(ConfigFile(kCountFile));
    // The counter only says how many names were suggested; when it was lost
    // or edited, the number it gives may name a profile that exists, and OK
    // would replace that profile. Such numbers are passed over.
    next = FirstFreeProfileNumber(common_.GetConfigSections(kProfileFile),
                                  int64_t{count.ReadInteger("count", "count", 0)} + 1);
    // Written as text: past the 32-bit range it reads back as 0 next time.
    count.WriteString("count", "count", std::to_string(next));
  }
  const std::optional<std::string> name =
      common_.Ui().InputBox(kApplicationTitle, "Plese input a name", SuggestedProfileName(next));
  if (!name) return;
  TIniFile32(ConfigFile(kProfileFile)).WriteString(*name, *name, CurrentProfileString());
}

void ProfileStore::SaveCustomProfile() {
  const std::string name = Controls().CustomProfileText();
  if (name.empty()) return;
  TIniFile32(ConfigFile(kProfileFile)).WriteString(name, name, CurrentProfileString());
}

void ProfileStore::DeleteCustomProfile() {
  ProfileControls& controls = Controls();
  if (controls.CustomProfileNames().empty()) return;
  TIniFile32(ConfigFile(kProfileFile)).EraseSection(controls.CustomProfileText());
}

// ---- User settings ---------------------------------------------------------

void ProfileStore::LoadUserSettings() {
  ProfileControls& controls = Controls();
  const TIniFile32 ini(ConfigFile(kSettingsFile));
  controls.SetShowOutputDirectoryChecked(Checked(ini, "SHWDDir"));
  controls.SetShutdownChecked(Checked(ini, "SHUTDOWN"));
  controls.SetOutputFolderText(ini.ReadString(kSection, "OutDir", controls.OutputFolderText()));
}

void ProfileStore::SaveUserSettings() {
  ProfileControls& controls = Controls();
  TIniFile32 ini(ConfigFile(kSettingsFile));
  ini.WriteString(kSection, "SHWDDir", controls.ShowOutputDirectoryChecked() ? "1" : "0");
  ini.WriteString(kSection, "SHUTDOWN", controls.ShutdownChecked() ? "1" : "0");
  ini.WriteString(kSection, "OutDir", controls.OutputFolderText());
}

std::string ProfileStore::ReadInitDir() {
  return TIniFile32(ConfigFile(kSettingsFile)).ReadString(kSection, "InitDir", HomeFolder());
}

void ProfileStore::SaveInitDir(const std::string& chosen_file_name) {
  const std::string folder = TFileFunc::GetFilePath(chosen_file_name);
  if (folder.empty()) return;
  TIniFile32(ConfigFile(kSettingsFile)).WriteString(kSection, "InitDir", folder);
}
