// TCustomProc: the program's controller, as the windows and the tests see it.
// A facade: each operation forwards to the collaborator that does the work,
// and each public field is a reference into that collaborator's state.
//
//   EngineCommandBuilder  the engine command line of a source file
//   BatchRunner           the batch conversion, the progress window, Stop
//   ProfileStore          the option lists, the profiles, the user settings
//   PreviewController     the preview player and the marker's state
//   MarkerController      the segment marker and the typed times
//
// The interfaces the collaborators read the windows through sit beside them:
// ConversionInputs, BatchWindows, ProfileControls, PreviewControls.
//
// One instance for the whole run, created at start-up; it owns its
// collaborators. Every member is used on the user-interface thread only.
#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>

#include "BatchRunner.h"
#include "BatchWindows.h"
#include "ConversionInputs.h"
#include "EngineCommand.h"
#include "EngineCommandBuilder.h"
#include "FinishingSettings.h"
#include "MarkerController.h"
#include "MediaGraph.h"
#include "PreviewController.h"
#include "PreviewControls.h"
#include "ProfileControls.h"
#include "ProfileStore.h"
#include "SegmentMarker.h"
#include "SourceFileList.h"
#include "Unit_CommonLib.h"
#include "UtilityObjects.h"

class TCustomProc {
 public:
  // The finishing defaults and the loudness setting (Config/Finishing.ini),
  // read at start-up. Declared before the collaborators, which may read it.
  FinishingSettings Finishing;

 private:
  // Declared first: the public fields below refer into them.
  EngineCommandBuilder builder_;
  BatchRunner batch_;
  ProfileStore profiles_;
  PreviewController preview_;
  MarkerController marker_;

 public:
  TCustomProc(TCommonLib& common, TAppFunc& app, TFileFunc& files, ConversionInputs& inputs);
  // The fields refer into its own collaborators.
  TCustomProc(const TCustomProc&) = delete;
  TCustomProc& operator=(const TCustomProc&) = delete;

  // ---- Engine command line (EngineCommandBuilder.h) ----
  std::string& StartTime;
  std::string& Duration;
  std::string& CommandLine;
  EngineCommand& LastCommand;

  std::string BuildCommandLine(const std::string& source) {
    return builder_.BuildCommandLine(source);
  }
  std::string GetSegmentStart(const std::string& source) {
    return builder_.GetSegmentStart(source);
  }
  std::string GetSegmentDuration(const std::string& source) {
    return builder_.GetSegmentDuration(source);
  }
  int64_t GetSegmentSeconds(const std::string& source) {
    return builder_.GetSegmentSeconds(source);
  }
  std::string GetOutputFolder() { return builder_.GetOutputFolder(); }
  static std::optional<EngineCommand> AssembleCommandLine(
      const TConvertParameterStruct& p, const std::function<std::string()>& output_path) {
    return EngineCommandBuilder::AssembleCommandLine(p, output_path);
  }

  // ---- Batch conversion (BatchRunner.h) ----
  int& CurrentIndex;
  int& TotalCount;
  int& RowIndex;
  int& RefreshCount;
  bool& StopRequested;
  ConvertingProgress& Progress;

  void SetBatchWindows(BatchWindows* windows) { batch_.SetBatchWindows(windows); }
  void ConvertAll(const SourceFileList& list) { batch_.ConvertAll(list); }
  bool BatchRunning() const { return batch_.BatchRunning(); }
  void EngineOutputCallback(const std::string& chunk) { batch_.EngineOutputCallback(chunk); }
  void EngineOutputRead(const std::string& piece) { batch_.EngineOutputRead(piece); }
  void EngineOutputEnded() { batch_.EngineOutputEnded(); }
  void actRefreshProgressExecute() { batch_.actRefreshProgressExecute(); }
  void ProgressFormShow() { batch_.ProgressFormShow(); }
  void btnStop1Click() { batch_.btnStop1Click(); }
  void ProgressFormClose() { batch_.ProgressFormClose(); }

  // ---- Profiles and user settings (ProfileStore.h) ----
  void SetProfileControls(ProfileControls* controls) { profiles_.SetProfileControls(controls); }
  void InitOptionLists() { profiles_.InitOptionLists(); }
  void FillProfiles(ListControl list = ListControl::Profile) { profiles_.FillProfiles(list); }
  void ApplyProfile() { profiles_.ApplyProfile(); }
  std::string ReadCustomProfile() { return profiles_.ReadCustomProfile(); }
  void ApplyCustomProfile() { profiles_.ApplyCustomProfile(); }
  void AddCustomProfile() { profiles_.AddCustomProfile(); }
  void SaveCustomProfile() { profiles_.SaveCustomProfile(); }
  void DeleteCustomProfile() { profiles_.DeleteCustomProfile(); }
  void LoadUserSettings() { profiles_.LoadUserSettings(); }
  void SaveUserSettings() { profiles_.SaveUserSettings(); }
  std::string ReadInitDir() { return profiles_.ReadInitDir(); }
  void SaveInitDir(const std::string& chosen_file_name) { profiles_.SaveInitDir(chosen_file_name); }

  // ---- Preview player (PreviewController.h) ----
  void SetPreviewCollaborators(MediaGraph* graph, SourceFileList* list, PreviewControls* controls) {
    preview_.SetPreviewCollaborators(graph, list, controls);
  }
  bool& IsPlaying;
  TMarkerState& Marker;

  void ResumePreview() { preview_.ResumePreview(); }
  void PausePreview() { preview_.PausePreview(); }
  void StopPreview() { preview_.StopPreview(); }
  void OpenPreview(const std::string& file_name) { preview_.OpenPreview(file_name); }
  void PreviewTimer(int64_t current_pos_ms, int64_t stop_pos_ms) {
    preview_.PreviewTimer(current_pos_ms, stop_pos_ms);
  }

  // ---- Segment marker (MarkerController.h) ----
  void SyncMarkerToSelection() { marker_.SyncMarkerToSelection(); }
  void SetStartTimeAndPlay() { marker_.SetStartTimeAndPlay(); }
  void Splitter2Moved() { marker_.Splitter2Moved(); }
  void NudgeStartHandle(segment_marker::MouseButton button,
                        const segment_marker::PressState& state) {
    marker_.NudgeStartHandle(button, state);
  }
  void NudgeEndHandle(segment_marker::MouseButton button, const segment_marker::PressState& state) {
    marker_.NudgeEndHandle(button, state);
  }
  void SourceFileInfoEdited() { marker_.SourceFileInfoEdited(); }
  void SourceFileStartTimeChange() { marker_.SourceFileStartTimeChange(); }
  // An edge of the part moved in the waveform editor.
  void MoveWaveformEdge(segment_marker::Edge edge, int64_t second, bool finished) {
    marker_.MoveWaveformEdge(edge, second, finished);
  }
  // A suggested part for the rows of `file` (MarkerController.h).
  bool SetSuggestedPart(const std::string& file, int64_t start, int64_t length) {
    return marker_.SetSuggestedPart(file, start, length);
  }
};
