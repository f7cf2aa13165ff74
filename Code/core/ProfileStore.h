// ProfileStore: the Options window's lists and profiles, and the user's
// settings. Fills the output-type, quality and option lists at start-up,
// applies the built-in profile of an output type or a custom profile to the
// option lists, keeps the custom profiles in Config/UserProfileInfo.ini (with
// the name counter in Config/UserProfileCount.ini), and the two after-batch
// check boxes, the output folder and the open dialog's folder in
// Config/UserSettings.ini. Works on ProfileControls, which it does not own.
//
// One instance, owned by TCustomProc; user-interface thread only.
#pragma once

#include <string>

#include "ProfileControls.h"
#include "Unit_CommonLib.h"

class ProfileStore {
 public:
  explicit ProfileStore(TCommonLib& common) : common_(common) {}

  // The controls it works on, connected once at start-up by the main window;
  // until then every operation below throws std::logic_error.
  void SetProfileControls(ProfileControls* controls) { profile_controls_ = controls; }

  // Fills cbbOutputFiletype, cbbProfile, the eight option lists and the custom
  // profile box, then LoadUserSettings.
  void InitOptionLists();
  // Appends the five qualities and the custom profile names to `list` (not
  // cleared) and selects "Normal Quality".
  void FillProfiles(ListControl list);
  // Applies the chosen output type and profile to the option lists.
  void ApplyProfile();
  // The stored profile string of the entry selected in cbbCustomProfile; empty
  // when none is selected.
  std::string ReadCustomProfile();
  // Applies the custom profile selected in cbbCustomProfile. A stored field
  // that is no integer changes no list: the profile's entry is deselected (so
  // later conversions are not stopped by it again) and ConversionError names
  // the profile and the field.
  void ApplyCustomProfile();
  // The Options window's Add, Save and Delete. Throw FileError when a file
  // under Config/ cannot be written.
  void AddCustomProfile();
  void SaveCustomProfile();
  void DeleteCustomProfile();
  // Config/UserSettings.ini: the two check boxes and the output folder.
  // SaveUserSettings throws FileError when the file cannot be written.
  void LoadUserSettings();
  void SaveUserSettings();
  // The open dialog's folder ($HOME/ by default), and storing the folder of the
  // file the dialog returned (nothing for a name without a folder).
  std::string ReadInitDir();
  void SaveInitDir(const std::string& chosen_file_name);

 private:
  ProfileControls& Controls() const;
  std::string ConfigFile(const std::string& name) const;
  // The selected indexes of the six profile lists joined by "|".
  std::string CurrentProfileString() const;

  TCommonLib& common_;
  ProfileControls* profile_controls_ = nullptr;
};
