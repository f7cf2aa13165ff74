#include "AfterBatchActions.h"

#include "PowerSwitch.h"

void AfterBatchActions::OpenFolderInExplorer(const std::string& folder) {
  if (!folder_opener_) {
    app_.WriteLog("Explorer " + folder);
    return;
  }
  folder_opener_(folder);
}

void AfterBatchActions::PowerOff() {
  if (power_ == nullptr) {
    app_.WriteLog("Power off is not available.");
    return;
  }
  power_->PowerOff();
}
