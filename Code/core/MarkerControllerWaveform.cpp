// The marker's side of the waveform editor: an edge moved there becomes the
// selected rows' Start or End Time, and the marker's handles follow, the same
// way a handle dragged on the marker bar fills the cells.
#include "MarkerController.h"
#include "WaveformTimeline.h"

namespace sm = segment_marker;

void MarkerController::MoveWaveformEdge(sm::Edge edge, int64_t second, bool finished) {
  SourceFileList& list = PreviewList();
  PreviewControls& view = PreviewView();
  for (int row : list.SelectedRows()) {
    const int64_t duration = CellSeconds(list, row, SourceColumn::Duration, Marker.MarkerDuration);
    const sm::Part now{CellSeconds(list, row, SourceColumn::StartTime, 0),
                       CellSeconds(list, row, SourceColumn::EndTime, duration)};
    const sm::Part part = WaveformTimeline::MoveEdge(now, edge, second, duration);
    SetPartCells(list, row, part);
    if (edge == sm::Edge::Start) {
      Marker.PreviewStartSeconds = part.start;
      if (finished) SeekRunningPreview(part.start);
    } else {
      Marker.EndMarkerText = TCommonLib::SecondsToTimeText(part.end);
    }
    PlaceMarkerHandles(view, part.start, part.end, Marker.MarkerDuration);
  }
  if (edge == sm::Edge::End) view.RepaintEndHandle();
}
