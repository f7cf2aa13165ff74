#include "MarkerController.h"

#include <algorithm>
#include <cstdlib>
#include <optional>

#include "Errors.h"
#include "WaveformTimeline.h"

namespace sm = segment_marker;

// A time cell in whole seconds; a cell that does not read as a time gives
// `fallback`.
int64_t MarkerController::CellSeconds(const SourceFileList& list, int row, SourceColumn column,
                                      int64_t fallback) {
  int64_t seconds = fallback;
  try {
    TCommonLib::ReadTimeTolerant(list.Cell(row, column), seconds);
  } catch (const ConversionError&) {
    seconds = fallback;
  }
  return seconds;
}

void MarkerController::SeekRunningPreview(int64_t seconds) {
  MediaGraph& graph = PreviewGraph();
  if (!Marker.MarkerReady || !graph.Active()) return;
  try {
    TCommonLib::SeekTo(graph, seconds * 1000);
  } catch (const MediaError&) {
    // The next play starts from wherever the graph is; nothing to show.
  }
}

void MarkerController::SyncMarkerToSelection() {
  SourceFileList& list = PreviewList();
  PreviewControls& view = PreviewView();
  // A cell that is not three ":" pieces keeps what the previous row of this
  // call read (0 for the first).
  int64_t start = 0;
  int64_t end = 0;
  int64_t duration = 0;
  for (int row : list.SelectedRows()) {
    const std::string file = list.Cell(row, SourceColumn::FileName);
    if (file == common_.PreviewFile) continue;
    StopPreview();
    TCommonLib::ReadTimeTolerant(list.Cell(row, SourceColumn::Duration), duration);
    TCommonLib::ReadTimeTolerant(list.Cell(row, SourceColumn::StartTime), start);
    TCommonLib::ReadTimeTolerant(list.Cell(row, SourceColumn::EndTime), end);
    Marker.MarkerDuration = duration;
    Marker.MarkerReady = false;
    PlaceMarkerHandles(view, start, end, duration);
    Marker.MarkerReady = true;
    view.ShowWaveformOf(file);
  }
}

void MarkerController::SetStartTimeAndPlay() {
  SourceFileList& list = PreviewList();
  PreviewControls& view = PreviewView();
  common_.Ui().ProcessMessages();
  if (view.EndHandleLeft() - view.StartHandleLeft() < sm::kHandleGap) {
    view.SetStartImageWidth(view.StartImageWidth() - 1);
  }
  const int p = sm::StartPercent(view.StartHandleLeft());
  const int64_t start = sm::PercentOfDuration(p, Marker.MarkerDuration);
  Marker.PreviewStartSeconds = start;
  for (int row : list.SelectedRows()) {
    // The handles may meet, and a pixel may round to no time at all: the
    // start then stops a second before the row's end.
    const int64_t duration = CellSeconds(list, row, SourceColumn::Duration, Marker.MarkerDuration);
    const int64_t end = CellSeconds(list, row, SourceColumn::EndTime, duration);
    const sm::Part part = sm::WholePart({start, end}, duration, sm::Edge::Start);
    Marker.PreviewStartSeconds = part.start;
    SetPartCells(list, row, part);
    SeekRunningPreview(part.start);
  }
}

void MarkerController::Splitter2Moved() {
  SourceFileList& list = PreviewList();
  PreviewControls& view = PreviewView();
  common_.Ui().ProcessMessages();
  if (view.EndHandleLeft() - view.StartHandleLeft() < sm::kHandleGap) {
    view.SetEndImageWidth(view.EndImageWidth() - 1);
  }
  const int q = sm::EndPercent(view.EndHandleLeft());
  const int64_t end = sm::PercentOfDuration(q, Marker.MarkerDuration);
  for (int row : list.SelectedRows()) {
    // The far right reads one percent past the file, and the handles may
    // meet: the end stays within the file and a second after the start.
    const int64_t duration = CellSeconds(list, row, SourceColumn::Duration, Marker.MarkerDuration);
    const int64_t start = CellSeconds(list, row, SourceColumn::StartTime, 0);
    const sm::Part part = sm::WholePart({start, end}, duration, sm::Edge::End);
    Marker.EndMarkerText = TCommonLib::SecondsToTimeText(part.end);
    SetPartCells(list, row, part);
  }
  view.RepaintEndHandle();
}

// Start Time, End Time and Cut Time of a row for `part`; the cut is read back
// from the row the way the command line reads it.
void MarkerController::SetPartCells(SourceFileList& list, int row,
                                    const segment_marker::Part& part) {
  list.SetCell(row, SourceColumn::StartTime, TCommonLib::SecondsToTimeText(part.start));
  list.SetCell(row, SourceColumn::EndTime, TCommonLib::SecondsToTimeText(part.end));
  list.SetCell(
      row, SourceColumn::ConvertDuration,
      TCommonLib::SecondsToTimeText(GetSegmentSeconds(list.Cell(row, SourceColumn::FileName))));
}

void MarkerController::NudgeStartHandle(sm::MouseButton button, const sm::PressState& state) {
  PreviewControls& view = PreviewView();
  const int step = sm::NudgeStep(button, state);
  if (step == 0) return;
  const int a = view.StartImageWidth();
  if (!sm::CanNudge(a, a, view.EndImageWidth(), step)) return;
  view.SetStartImageWidth(a - step);
  SetStartTimeAndPlay();
}

void MarkerController::NudgeEndHandle(sm::MouseButton button, const sm::PressState& state) {
  PreviewControls& view = PreviewView();
  const int step = sm::NudgeStep(button, state);
  if (step == 0) return;
  const int b = view.EndImageWidth();
  if (!sm::CanNudge(b, view.StartImageWidth(), b, step)) return;
  view.SetEndImageWidth(b - step);
  Splitter2Moved();
}

void MarkerController::SourceFileInfoEdited() {
  SourceFileList& list = PreviewList();
  std::optional<ConversionError> first_error;
  // A start or end cell that does not read as hh:mm:ss is put back as if it
  // had been cleared, so that the row ends consistent like every other one;
  // the first such cell is reported once all rows are treated.
  const auto read = [&](int row, SourceColumn column, const std::string& fallback) -> int64_t {
    try {
      return TCommonLib::ReadTimeFixed(list.Cell(row, column));
    } catch (const ConversionError& error) {
      if (!first_error) first_error = error;
      list.SetCell(row, column, fallback);
      return TCommonLib::ReadTimeFixed(fallback);
    }
  };
  for (int row : list.SelectedRows()) {
    const std::string d = list.Cell(row, SourceColumn::Duration);
    int64_t D = 0;
    try {
      D = TCommonLib::ReadTimeFixed(d);
    } catch (const ConversionError& error) {
      // The duration is the program's own text; a row without a readable
      // one is left as it is.
      if (!first_error) first_error = error;
      continue;
    }
    // A cleared start is the beginning of the file, a cleared end its end.
    if (list.Cell(row, SourceColumn::StartTime).empty()) {
      list.SetCell(row, SourceColumn::StartTime, "00:00:00");
    }
    if (list.Cell(row, SourceColumn::EndTime).empty()) {
      list.SetCell(row, SourceColumn::EndTime, d);
    }
    const int64_t S = read(row, SourceColumn::StartTime, "00:00:00");
    const int64_t E = read(row, SourceColumn::EndTime, d);
    // A start at or past the end of the file is moved into its last second,
    // an end at or before the start to a second after it, and an end past the
    // file to its end: the engine is never asked for an empty cut.
    const sm::Part part = sm::WholePart({S, E}, D, sm::Edge::End);
    SetPartCells(list, row, part);
    SeekRunningPreview(part.start);
  }
  if (first_error) throw *first_error;
}

void MarkerController::SourceFileStartTimeChange() {
  SourceFileList& list = PreviewList();
  const int focused = list.FocusedRow();
  if (focused >= 0 && list.IsSelected(focused)) list.SetFocusedRow(-1);
}

// An edge moved in the waveform editor becomes the selected rows' Start or End
// Time, and the marker's handles follow, the way a dragged handle fills the cells.
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

// The suggestion lands like a typed part: whole seconds within the song, the
// Cut Time read back, and the marker placed as a dragged handle places it.
bool MarkerController::SetSuggestedPart(const std::string& file, int64_t start, int64_t length) {
  SourceFileList& list = PreviewList();
  const std::vector<int> selected = list.SelectedRows();
  bool taken = false;
  for (int row = 0; row < list.RowCount(); ++row) {
    if (list.Cell(row, SourceColumn::FileName) != file) continue;
    const int64_t duration = CellSeconds(list, row, SourceColumn::Duration, 0);
    if (duration <= 0) continue;  // no length to hold a part within
    const int64_t wanted = std::clamp<int64_t>(length, 1, duration);
    const int64_t first = std::clamp<int64_t>(start, 0, duration - wanted);
    const sm::Part part = sm::WholePart({first, first + wanted}, duration, sm::Edge::End);
    SetPartCells(list, row, part);
    taken = true;
    if (selected.empty() || selected.back() != row || !Marker.MarkerReady) continue;
    Marker.PreviewStartSeconds = part.start;
    Marker.EndMarkerText = TCommonLib::SecondsToTimeText(part.end);
    PreviewControls& view = PreviewView();
    PlaceMarkerHandles(view, part.start, part.end, Marker.MarkerDuration);
    view.RepaintEndHandle();
  }
  return taken;
}
