// ProfileControls: the controls that the profiles and the user settings read
// and write, without the windows: the main window's output type and profile
// lists, the Options window's eight option lists and custom profile box, the
// Options button's enabled state, the two after-batch check boxes and the
// output folder box. The windows implement it thinly over their widgets;
// ProfileControlsData implements it over plain data for tests and tools.
//
// Setting a selection through this interface never runs the control's change
// handler. Every call is made on the user-interface thread.
#pragma once

#include <string>
#include <vector>

#include "FormatTables.h"

// The application title: the caption of the name prompt and of every box.
inline constexpr char kApplicationTitle[] = "Tonbrix";

// The list controls the profiles fill and select.
enum class ListControl : int {
  OutputFiletype,   // cbbOutputFiletype (main window)
  Profile,          // cbbProfile (main window)
  AudioBitrate,     // cbbAudioBitrate (Options window)
  AudioSample,      // cbbAudioSample
  AudioChannels,    // cbbAudioChannels
  AudioVolumeGain,  // cbbAudioVolumeGain
  VideoSize,        // cbbVideoSize (hidden)
  VideoBitrate,     // cbbVideoBitrate (hidden)
  Framerate,        // cbbFramerate (hidden)
  Aspectratio,      // cbbAspectratio (hidden)
};
inline constexpr int kListControlCount = 10;

class ProfileControls {
 public:
  virtual ~ProfileControls() = default;

  // ---- list controls ----------------------------------------------------------
  // The items and the selected index (-1 for none).
  virtual OptionList List(ListControl list) const = 0;
  // Adds items after those the list holds; the selection stays.
  virtual void AppendItems(ListControl list, const std::vector<std::string>& items) = 0;
  // Removes every item; nothing is selected afterwards.
  virtual void ClearItems(ListControl list) = 0;
  // Selects an item; an index outside the items selects nothing.
  virtual void SetItemIndex(ListControl list, int index) = 0;
  virtual bool ListEnabled(ListControl list) const = 0;
  virtual void SetListEnabled(ListControl list, bool enabled) = 0;

  // ---- the custom profile box cbbCustomProfile ------------------------------------
  // A list of names with a free edit text. Replacing the list keeps the text
  // and selects no entry; selecting an entry puts its name into the text;
  // selecting -1 (or an index outside the list) selects nothing and clears
  // the text.
  virtual std::vector<std::string> CustomProfileNames() const = 0;
  virtual void SetCustomProfileNames(const std::vector<std::string>& names) = 0;
  virtual int CustomProfileIndex() const = 0;
  virtual void SelectCustomProfile(int index) = 0;
  virtual std::string CustomProfileText() const = 0;
  virtual void SetCustomProfileText(const std::string& text) = 0;

  // ---- the main window ----------------------------------------------------------
  virtual bool OptionsButtonEnabled() const = 0;  // btnOptions
  virtual void SetOptionsButtonEnabled(bool enabled) = 0;
  virtual bool ShowOutputDirectoryChecked() const = 0;  // chkShowOutputDirectory
  virtual void SetShowOutputDirectoryChecked(bool checked) = 0;
  virtual bool ShutdownChecked() const = 0;  // chkShutdown
  virtual void SetShutdownChecked(bool checked) = 0;
  virtual std::string OutputFolderText() const = 0;  // edtOutputFolder
  virtual void SetOutputFolderText(const std::string& text) = 0;
};

// ProfileControls over plain data. A fresh instance holds empty lists, all
// of them enabled, both check boxes unchecked and an empty output folder.
class ProfileControlsData : public ProfileControls {
 public:
  OptionList Lists[kListControlCount];
  bool Enabled[kListControlCount] = {true, true, true, true, true, true, true, true, true, true};
  std::vector<std::string> CustomNames;
  int CustomIndex = -1;
  std::string CustomText;
  bool OptionsEnabled = true;
  bool ShowOutputDirectory = false;
  bool Shutdown = false;
  std::string OutputFolder;

  OptionList& At(ListControl list) { return Lists[static_cast<int>(list)]; }

  OptionList List(ListControl list) const override;
  void AppendItems(ListControl list, const std::vector<std::string>& items) override;
  void ClearItems(ListControl list) override;
  void SetItemIndex(ListControl list, int index) override;
  bool ListEnabled(ListControl list) const override;
  void SetListEnabled(ListControl list, bool enabled) override;
  std::vector<std::string> CustomProfileNames() const override;
  void SetCustomProfileNames(const std::vector<std::string>& names) override;
  int CustomProfileIndex() const override;
  void SelectCustomProfile(int index) override;
  std::string CustomProfileText() const override;
  void SetCustomProfileText(const std::string& text) override;
  bool OptionsButtonEnabled() const override;
  void SetOptionsButtonEnabled(bool enabled) override;
  bool ShowOutputDirectoryChecked() const override;
  void SetShowOutputDirectoryChecked(bool checked) override;
  bool ShutdownChecked() const override;
  void SetShutdownChecked(bool checked) override;
  std::string OutputFolderText() const override;
  void SetOutputFolderText(const std::string& text) override;
};
