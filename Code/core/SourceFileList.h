// SourceFileList: the rows of the source list dxTreeSourceFileInfo, seven text
// cells each and the row's fades (not shown as a cell), together with which
// rows are selected and which row has the focus. It is the one place where
// the rows live: the list window shows it and forwards the person's selection
// to it, and everything that reads or changes rows (adding files, removing
// them, the segment marker, the typed-time rules, the batch) works on it, so
// all of that runs without a window.
//
// Used on the user-interface thread only. Row indexes count from 0 in list
// order; an observer hears of every change so that a view can follow.
#pragma once

#include <array>
#include <string>
#include <vector>

// The cells of a row, in column order.
enum class SourceColumn : int {
  CheckStatus = 0,      // dxtrlchkCheckStatus, "True" or "False"
  FileName = 1,         // dxtrlSourceFileName, the full path
  FileSize = 2,         // dxtrlSourceFileSize
  Duration = 3,         // dxtrlSourceFileDuration
  StartTime = 4,        // dxtrlSourceFileStartTime, hh:mm:ss
  EndTime = 5,          // dxtrlSourceFileEndTime, hh:mm:ss
  ConvertDuration = 6,  // dxtrlstclConvertDuration (Cut Time)
};
inline constexpr int kSourceColumnCount = 7;

using SourceRow = std::array<std::string, kSourceColumnCount>;

// The fades of a row's part, in seconds; 0 is no fade. Kept with the row so
// that they go when it goes; set in the waveform editor, read by the command
// line of the row.
struct RowFades {
  double FadeInSeconds = 0;
  double FadeOutSeconds = 0;
  bool operator==(const RowFades&) const = default;
};

class SourceFileList {
 public:
  // Hears of every change, after it happened.
  class Observer {
   public:
    virtual ~Observer() = default;
    virtual void RowsInserted(int first, int last) = 0;
    virtual void RowsRemoved(int first, int last) = 0;
    virtual void CellChanged(int row, SourceColumn column) = 0;
    virtual void SelectionChanged() = 0;
  };

  int RowCount() const { return static_cast<int>(rows_.size()); }
  const std::string& Cell(int row, SourceColumn column) const;
  void SetCell(int row, SourceColumn column, const std::string& text);

  // Appends a row with `fades`; returns its index.
  int AppendRow(const SourceRow& cells, const RowFades& fades = {});
  void DeleteRow(int row);
  void Clear();

  // The row's fades; setting them tells the observer nothing, as they are
  // no cell of the list.
  const RowFades& Fades(int row) const;
  void SetFades(int row, const RowFades& fades);

  bool IsSelected(int row) const;
  void SetSelected(int row, bool selected);
  void ClearSelection();
  // The selected rows in list order.
  std::vector<int> SelectedRows() const;

  // The focused row, -1 for none.
  int FocusedRow() const { return focused_; }
  void SetFocusedRow(int row);

  // The observer is not owned; nullptr for none.
  void SetObserver(Observer* observer) { observer_ = observer; }

 private:
  struct Entry {
    SourceRow cells;
    RowFades fades;
    bool selected = false;
  };
  void CheckRow(int row) const;

  std::vector<Entry> rows_;
  int focused_ = -1;
  Observer* observer_ = nullptr;
};
