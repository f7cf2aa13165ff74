// PreviewController: the preview player. Runs, pauses and stops the preview
// graph, opens a file in it (at the marker's start once the marker has been
// placed), and handles the ticker that shows the position, pauses at the end
// marker and stops at the end of the file. It keeps the marker's state
// (TMarkerState), which MarkerController writes. The media graph, the source
// list and PreviewControls are connected once at start-up and not owned.
//
// One instance, owned by TCustomProc; user-interface thread only.
#pragma once

#include <cstdint>
#include <string>

#include "MediaGraph.h"
#include "PreviewControls.h"
#include "SegmentMarker.h"
#include "SourceFileList.h"
#include "Unit_CommonLib.h"
#include "UtilityObjects.h"

class PreviewController {
 public:
  PreviewController(TCommonLib& common, TAppFunc& app) : common_(common), app_(app) {}

  // The preview graph, the source list and the preview's controls, connected
  // once at start-up; until then every operation below throws
  // std::logic_error. None of them is owned.
  void SetPreviewCollaborators(MediaGraph* graph, SourceFileList* list, PreviewControls* controls);

  // The preview was last started, not paused or stopped.
  bool IsPlaying = false;
  // MarkerReady, MarkerDuration, PreviewStartSeconds and EndMarkerText.
  TMarkerState Marker;

  // Run, Pause or Stop the preview graph when it is active; nothing at all
  // while it is inactive. A media error is caught and shows the logo.
  void ResumePreview();
  void PausePreview();
  void StopPreview();
  // Loads `file_name` in the preview graph and starts it, at
  // PreviewStartSeconds once the marker has been placed. A file that does not
  // render fully logs "Playing Video error." and plays nothing.
  void OpenPreview(const std::string& file_name);
  // The ticker, once a second while the preview runs: shows the position,
  // pauses at EndMarkerText, stops at the end of the file.
  void PreviewTimer(int64_t current_pos_ms, int64_t stop_pos_ms);

  // The connected collaborators; throw std::logic_error before they are.
  MediaGraph& PreviewGraph() const;
  SourceFileList& PreviewList() const;
  PreviewControls& PreviewView() const;

 private:
  TCommonLib& common_;
  TAppFunc& app_;
  MediaGraph* preview_graph_ = nullptr;
  SourceFileList* preview_list_ = nullptr;
  PreviewControls* preview_controls_ = nullptr;
};
