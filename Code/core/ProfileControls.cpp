#include "ProfileControls.h"

namespace {

int Slot(ListControl list) { return static_cast<int>(list); }

bool Inside(int index, std::size_t count) {
  return index >= 0 && static_cast<std::size_t>(index) < count;
}

}  // namespace

OptionList ProfileControlsData::List(ListControl list) const { return Lists[Slot(list)]; }

void ProfileControlsData::AppendItems(ListControl list, const std::vector<std::string>& items) {
  OptionList& target = At(list);
  target.Items.insert(target.Items.end(), items.begin(), items.end());
}

void ProfileControlsData::ClearItems(ListControl list) { At(list) = OptionList{}; }

void ProfileControlsData::SetItemIndex(ListControl list, int index) {
  OptionList& target = At(list);
  target.ItemIndex = Inside(index, target.Items.size()) ? index : -1;
}

bool ProfileControlsData::ListEnabled(ListControl list) const { return Enabled[Slot(list)]; }

void ProfileControlsData::SetListEnabled(ListControl list, bool enabled) {
  Enabled[Slot(list)] = enabled;
}

std::vector<std::string> ProfileControlsData::CustomProfileNames() const { return CustomNames; }

void ProfileControlsData::SetCustomProfileNames(const std::vector<std::string>& names) {
  CustomNames = names;
  CustomIndex = -1;
}

int ProfileControlsData::CustomProfileIndex() const { return CustomIndex; }

void ProfileControlsData::SelectCustomProfile(int index) {
  if (Inside(index, CustomNames.size())) {
    CustomIndex = index;
    CustomText = CustomNames[static_cast<std::size_t>(index)];
  } else {
    CustomIndex = -1;
    CustomText.clear();
  }
}

std::string ProfileControlsData::CustomProfileText() const { return CustomText; }

void ProfileControlsData::SetCustomProfileText(const std::string& text) { CustomText = text; }

bool ProfileControlsData::OptionsButtonEnabled() const { return OptionsEnabled; }

void ProfileControlsData::SetOptionsButtonEnabled(bool enabled) { OptionsEnabled = enabled; }

bool ProfileControlsData::ShowOutputDirectoryChecked() const { return ShowOutputDirectory; }

void ProfileControlsData::SetShowOutputDirectoryChecked(bool checked) {
  ShowOutputDirectory = checked;
}

bool ProfileControlsData::ShutdownChecked() const { return Shutdown; }

void ProfileControlsData::SetShutdownChecked(bool checked) { Shutdown = checked; }

std::string ProfileControlsData::OutputFolderText() const { return OutputFolder; }

void ProfileControlsData::SetOutputFolderText(const std::string& text) { OutputFolder = text; }
