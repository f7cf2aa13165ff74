// TCustomProc's user settings: the two after-batch check boxes, the output
// folder and the open dialog's folder, in Config/UserSettings.ini.
#include "IniFiles32.h"
#include "UnitCustomProc.h"

namespace {

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

void TCustomProc::LoadUserSettings() {
  ProfileControls& controls = Controls();
  const TIniFile32 ini(ConfigFile(kSettingsFile));
  controls.SetShowOutputDirectoryChecked(Checked(ini, "SHWDDir"));
  controls.SetShutdownChecked(Checked(ini, "SHUTDOWN"));
  controls.SetOutputFolderText(ini.ReadString(kSection, "OutDir", controls.OutputFolderText()));
}

void TCustomProc::SaveUserSettings() {
  ProfileControls& controls = Controls();
  TIniFile32 ini(ConfigFile(kSettingsFile));
  ini.WriteString(kSection, "SHWDDir", controls.ShowOutputDirectoryChecked() ? "1" : "0");
  ini.WriteString(kSection, "SHUTDOWN", controls.ShutdownChecked() ? "1" : "0");
  ini.WriteString(kSection, "OutDir", controls.OutputFolderText());
}

std::string TCustomProc::ReadInitDir() {
  return TIniFile32(ConfigFile(kSettingsFile)).ReadString(kSection, "InitDir", HomeFolder());
}

void TCustomProc::SaveInitDir(const std::string& chosen_file_name) {
  const std::string folder = TFileFunc::GetFilePath(chosen_file_name);
  if (folder.empty()) return;
  TIniFile32(ConfigFile(kSettingsFile)).WriteString(kSection, "InitDir", folder);
}
