#include "PreviewController.h"

#include <stdexcept>

void PreviewController::SetPreviewCollaborators(MediaGraph* graph, SourceFileList* list,
                                                PreviewControls* controls) {
  preview_graph_ = graph;
  preview_list_ = list;
  preview_controls_ = controls;
}

MediaGraph& PreviewController::PreviewGraph() const {
  if (preview_graph_ == nullptr) {
    throw std::logic_error(
        "The preview has no media graph: SetPreviewCollaborators was not called");
  }
  return *preview_graph_;
}

SourceFileList& PreviewController::PreviewList() const {
  if (preview_list_ == nullptr) {
    throw std::logic_error(
        "The preview has no source list: SetPreviewCollaborators was not called");
  }
  return *preview_list_;
}

PreviewControls& PreviewController::PreviewView() const {
  if (preview_controls_ == nullptr) {
    throw std::logic_error("The preview has no controls: SetPreviewCollaborators was not called");
  }
  return *preview_controls_;
}

void PreviewController::ResumePreview() {
  MediaGraph& graph = PreviewGraph();
  PreviewControls& view = PreviewView();
  try {
    if (!graph.Active()) return;
    graph.Run();
    IsPlaying = true;
    view.SetLogoVisible(false);
  } catch (const MediaError&) {
    view.SetLogoVisible(true);
  }
}

void PreviewController::PausePreview() {
  MediaGraph& graph = PreviewGraph();
  PreviewControls& view = PreviewView();
  try {
    if (!graph.Active()) return;
    graph.Pause();
    IsPlaying = false;
    view.SetLogoVisible(false);
  } catch (const MediaError&) {
    view.SetLogoVisible(true);
  }
}

void PreviewController::StopPreview() {
  MediaGraph& graph = PreviewGraph();
  PreviewControls& view = PreviewView();
  try {
    if (!graph.Active()) return;
    graph.Stop();
    graph.SetActive(false);
    graph.Clear();
    common_.PreviewFile.clear();
    view.SetCurrentTimeText(segment_marker::CurrentTimeText(0));
    IsPlaying = false;
    view.SetLogoVisible(true);
    view.SetTickerPosition(0);
  } catch (const MediaError&) {
    view.SetLogoVisible(true);
  }
}

void PreviewController::OpenPreview(const std::string& file_name) {
  MediaGraph& graph = PreviewGraph();
  PreviewControls& view = PreviewView();
  // Dropping what was loaded, activating and rendering end quietly on an
  // error: nothing is shown.
  int result = kRenderOk;
  bool rendered = false;
  try {
    graph.SetActive(false);
    graph.Clear();
    graph.SetActive(true);
    try {
      result = graph.RenderFile(file_name);
      common_.PreviewFile = file_name;
      rendered = true;
    } catch (const MediaError&) {
      common_.PreviewFile.clear();
    }
    if (!rendered || result != kRenderOk) {
      app_.WriteLog("Playing Video error.");
      graph.Clear();
      return;
    }
  } catch (const MediaError&) {
    return;
  }

  try {
    PausePreview();
    ResumePreview();
    common_.Ui().Pause(10);
    common_.Ui().ProcessMessages();
    // The window's events may have stopped the preview meanwhile; a seek then
    // has no file to act on.
    if (Marker.MarkerReady && graph.Active()) {
      TCommonLib::SeekTo(graph, Marker.PreviewStartSeconds * 1000);
    }
    IsPlaying = true;
    view.SetLogoVisible(false);
  } catch (const MediaError&) {
    view.SetLogoVisible(true);
  }
}

void PreviewController::PreviewTimer(int64_t current_pos_ms, int64_t stop_pos_ms) {
  MediaGraph& graph = PreviewGraph();
  PreviewControls& view = PreviewView();
  try {
    const int64_t seconds = graph.CurrentPosition() / 10'000'000;
    view.SetCurrentTimeText(segment_marker::CurrentTimeText(seconds));
    if (view.CurrentTimeText() == Marker.EndMarkerText) {
      TCommonLib::SeekTo(graph, 0);
      PausePreview();
    }
    if (current_pos_ms >= stop_pos_ms && graph.Active()) {
      TCommonLib::SeekTo(graph, 0);
      StopPreview();
    }
  } catch (const MediaError&) {
    view.SetLogoVisible(true);
  }
}
