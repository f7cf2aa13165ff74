// TCommonLib: the facade's forwarding to its helpers.
#include "Unit_CommonLib.h"

#include <malloc.h>

#include "MediaGraph.h"

TCommonLib::TCommonLib(TAppFunc& app, TSysFunc& sys, UserInterface& ui)
    : AppPath(app.GetAppPath()),
      app_(app),
      sys_(sys),
      ui_(ui),
      processes_(app, sys, ui),
      config_(AppPath),
      source_list_(ui),
      after_batch_(app) {}

// ---- Processes ------------------------------------------------------------------

int TCommonLib::GetProcessIdByName(const std::string& exe_name) {
  return processes_.GetProcessIdByName(exe_name);
}

bool TCommonLib::TerminateProcessByName(const std::string& name) {
  EnableDebugPrivilege();
  return processes_.TerminateProcessByName(name);
}

void TCommonLib::KillEngineProcesses(const std::string& engine_path, EngineRun* runner) {
  processes_.KillEngineProcesses(engine_path, runner);
}

bool TCommonLib::EnableDebugPrivilege() { return SetPrivilege(0, "SeDebugPrivilege", true); }

bool TCommonLib::SetPrivilege(int /*token*/, const std::string& /*privilege*/, bool /*enable*/) {
  return true;
}

// ---- Support services -------------------------------------------------------------

bool TCommonLib::ShowMsg(const std::string& text, int kind) {
  return ShowMessageOfKind(ui_, text, kind);
}

void TCommonLib::ClearMemory() {
  // The working-set trim of the original platform: hand freed heap pages back
  // to the system.
  ::malloc_trim(0);
  ui_.ProcessMessages();
}

// ---- Configuration files ----------------------------------------------------------

std::vector<std::string> TCommonLib::GetConfigSections(const std::string& file_name) const {
  return config_.GetConfigSections(file_name);
}

std::string TCommonLib::ReadConfigValue(const std::string& file_name,
                                        const std::string& name) const {
  return config_.ReadConfigValue(file_name, name);
}

// ---- Preview ----------------------------------------------------------------------

void TCommonLib::SeekTo(MediaGraph& graph, int64_t milliseconds) { graph.SeekTo(milliseconds); }

// ---- Source list ------------------------------------------------------------------

void TCommonLib::SetSourceListServices(SourceListServices services) {
  source_list_.SetSourceListServices(std::move(services));
}

void TCommonLib::AddSourceFiles(SourceFileList& list, const std::vector<std::string>& names) {
  source_list_.AddSourceFiles(list, names);
}

void TCommonLib::RemoveSelectedFiles(SourceFileList& list) {
  source_list_.RemoveSelectedFiles(list);
}

bool TCommonLib::ClearFileList(SourceFileList& list) {
  return SourceListEditor::ClearFileList(list);
}

// ---- Batch conversion -------------------------------------------------------------

void TCommonLib::ShowNoFilesMessage() {
  ShowMsg("Please add media files you want to convert into the list.", 1);
}

void TCommonLib::OpenFolderInExplorer(const std::string& folder) {
  after_batch_.OpenFolderInExplorer(folder);
}

void TCommonLib::ShutdownComputer() {
  EnableShutdownPrivilege();
  PowerOffWindows();
}

bool TCommonLib::EnableShutdownPrivilege() { return SetPrivilege(0, "SeShutdownPrivilege", true); }

void TCommonLib::PowerOffWindows() {
  EnableShutdownPrivilege();
  after_batch_.PowerOff();
}
