// TCommonLib's part of the batch: the empty-list warning and the after-job
// actions (the output folder in the file manager, the power-off request).
#include "PowerSwitch.h"
#include "Unit_CommonLib.h"

void TCommonLib::ShowNoFilesMessage() {
  ShowMsg("Please add media files you want to convert into the list.", 1);
}

void TCommonLib::OpenFolderInExplorer(const std::string& folder) {
  if (!folder_opener_) {
    app_.WriteLog("Explorer " + folder);
    return;
  }
  folder_opener_(folder);
}

void TCommonLib::ShutdownComputer() {
  EnableShutdownPrivilege();
  PowerOffWindows();
}

bool TCommonLib::EnableShutdownPrivilege() {
  // Linux has no shutdown privilege to switch on: logind decides whether the
  // user may power the machine off.
  return SetPrivilege(0, "SeShutdownPrivilege", true);
}

void TCommonLib::PowerOffWindows() {
  EnableShutdownPrivilege();
  if (power_ == nullptr) {
    app_.WriteLog("Power off is not available.");
    return;
  }
  power_->PowerOff();
}
