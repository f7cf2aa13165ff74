#include "OutputFolder.h"

#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <vector>

#include "UnitCustomProc.h"

namespace {

// True when a folder can be created inside `folder`. The probe folder gets a
// fresh unique name (mkdtemp), so it can never be one the person already had,
// and only the folder made here is removed again.
bool CanCreateFolderIn(const std::string& folder) {
  std::string pattern = folder;
  if (pattern.empty() || pattern.back() != '/') pattern += '/';
  pattern += ".tonbrix-write-probe-XXXXXX";
  std::vector<char> name(pattern.begin(), pattern.end());
  name.push_back('\0');
  if (::mkdtemp(name.data()) == nullptr) return false;
  ::rmdir(name.data());  // a failed removal is ignored
  return true;
}

void CreateIfMissing(const std::string& folder) {
  std::error_code error;
  if (!std::filesystem::is_directory(folder, error))
    std::filesystem::create_directories(folder, error);  // failures are ignored
}

}  // namespace

std::string SelectOutputFolder(TCommonLib& common, const std::string& current) {
  std::string chosen;
  std::string accepted;
  if (BrowseForFolder(common.Ui(), "Please select output folder:", "", chosen)) {
    chosen = AbsoluteFolder(chosen);
    std::error_code error;
    if (!std::filesystem::is_directory(chosen, error)) {
      common.ShowMsg("The path is invalid.", 1);
    } else if (CanCreateFolderIn(chosen)) {
      accepted = chosen;
    } else {
      common.ShowMsg("This is a read-only path.", 1);
    }
  }
  // The folder kept is shown as it was written ("~/Ringtones" stays so), but
  // never created relative to wherever the program was started.
  const std::string& result = accepted.empty() ? current : accepted;
  if (!result.empty()) CreateIfMissing(AbsoluteFolder(result));
  return result;
}
