// MarkerController: the segment marker. Places the marker bar for the
// selected rows, turns the two handles' positions into the rows' Start and
// End Time, nudges a handle on a press on the outer images, and keeps typed
// times consistent (0 <= start < end <= duration, a part of at least one
// second). It writes the marker state kept by PreviewController and reads the
// rows' segments through EngineCommandBuilder; neither is owned.
//
// One instance, owned by TCustomProc; user-interface thread only.
#pragma once

#include <cstdint>
#include <string>

#include "EngineCommandBuilder.h"
#include "PreviewController.h"
#include "SegmentMarker.h"
#include "Unit_CommonLib.h"

class MarkerController {
 public:
  MarkerController(TCommonLib& common, PreviewController& preview, EngineCommandBuilder& builder)
      : common_(common), preview_(preview), builder_(builder), Marker(preview.Marker) {}

  // Places the marker bar for the selected rows (a row whose file is loaded
  // in the preview is skipped); stops the preview for any other row.
  void SyncMarkerToSelection();
  // The start handle has moved: the selected rows take its time as Start
  // Time (held a second before each row's end), and a running preview moves
  // there.
  void SetStartTimeAndPlay();
  // The end handle has moved: the selected rows take its time as End Time
  // (held within the file and a second after the start), which also becomes
  // EndMarkerText.
  void Splitter2Moved();
  // A press on the image before the start handle (Panel2) or after the end
  // handle (Panel3): moves that handle outward by the press's nudge step.
  void NudgeStartHandle(segment_marker::MouseButton button,
                        const segment_marker::PressState& state);
  void NudgeEndHandle(segment_marker::MouseButton button, const segment_marker::PressState& state);
  // A committed cell edit: every selected row gets 0 <= start < end <=
  // duration, a part of at least one second, and Cut Time = end - start. A
  // start or end cell that is not a time hh:mm:ss is treated as cleared,
  // every row is still treated, and then ConversionError names the first
  // such cell.
  void SourceFileInfoEdited();
  // A change in the Start Time editor: a selected row that has the focus
  // loses it.
  void SourceFileStartTimeChange();
  // An edge of the part dragged or nudged in the waveform editor to `second`:
  // the selected rows take it by the
  // typed-time rules, the marker's handles follow, and once `finished` a
  // running preview moves to a new start.
  void MoveWaveformEdge(segment_marker::Edge edge, int64_t second, bool finished);
  // A suggested part (the hook analysis) for the rows holding `file`: each
  // takes `length` whole seconds from `start`, moved earlier where it would
  // run past the row's song and held to the typed-time rules; the marker's
  // handles follow for the row the marker and the waveform view show (the
  // last selected). Rows of other files are untouched. Returns whether any
  // row took it (none when the file has left the list meanwhile).
  bool SetSuggestedPart(const std::string& file, int64_t start, int64_t length);
  // A time cell in whole seconds, or `fallback` when it does not read as one.
  static int64_t CellSeconds(const SourceFileList& list, int row, SourceColumn column,
                             int64_t fallback);

 private:
  MediaGraph& PreviewGraph() const { return preview_.PreviewGraph(); }
  SourceFileList& PreviewList() const { return preview_.PreviewList(); }
  PreviewControls& PreviewView() const { return preview_.PreviewView(); }
  void StopPreview() { preview_.StopPreview(); }
  int64_t GetSegmentSeconds(const std::string& source) {
    return builder_.GetSegmentSeconds(source);
  }
  // The running preview moves to `seconds`, when the marker is placed and the
  // graph is active; a failing seek is ignored.
  void SeekRunningPreview(int64_t seconds);
  // Writes a row's Start, End and Cut Time for `part`.
  void SetPartCells(SourceFileList& list, int row, const segment_marker::Part& part);

  TCommonLib& common_;
  PreviewController& preview_;
  EngineCommandBuilder& builder_;
  // The marker state, kept by the preview controller.
  TMarkerState& Marker;
};
