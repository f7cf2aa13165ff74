#include "SourceFileList.h"

#include <stdexcept>

void SourceFileList::CheckRow(int row) const {
  if (row < 0 || row >= RowCount()) {
    throw std::out_of_range("Source list row " + std::to_string(row) + " does not exist");
  }
}

const std::string& SourceFileList::Cell(int row, SourceColumn column) const {
  CheckRow(row);
  return rows_[row].cells[static_cast<int>(column)];
}

void SourceFileList::SetCell(int row, SourceColumn column, const std::string& text) {
  CheckRow(row);
  rows_[row].cells[static_cast<int>(column)] = text;
  if (observer_) observer_->CellChanged(row, column);
}

const RowFades& SourceFileList::Fades(int row) const {
  CheckRow(row);
  return rows_[row].fades;
}

void SourceFileList::SetFades(int row, const RowFades& fades) {
  CheckRow(row);
  rows_[row].fades = fades;
}

int SourceFileList::AppendRow(const SourceRow& cells, const RowFades& fades) {
  rows_.push_back(Entry{cells, fades, false});
  const int row = RowCount() - 1;
  if (observer_) observer_->RowsInserted(row, row);
  return row;
}

void SourceFileList::DeleteRow(int row) {
  CheckRow(row);
  const bool was_selected = rows_[row].selected;
  rows_.erase(rows_.begin() + row);
  // The focus follows its row; it is lost with it.
  if (focused_ == row) {
    focused_ = -1;
  } else if (focused_ > row) {
    --focused_;
  }
  if (observer_) {
    observer_->RowsRemoved(row, row);
    if (was_selected) observer_->SelectionChanged();
  }
}

void SourceFileList::Clear() {
  if (rows_.empty()) return;
  const int last = RowCount() - 1;
  rows_.clear();
  focused_ = -1;
  if (observer_) {
    observer_->RowsRemoved(0, last);
    observer_->SelectionChanged();
  }
}

bool SourceFileList::IsSelected(int row) const {
  CheckRow(row);
  return rows_[row].selected;
}

void SourceFileList::SetSelected(int row, bool selected) {
  CheckRow(row);
  if (rows_[row].selected == selected) return;
  rows_[row].selected = selected;
  if (observer_) observer_->SelectionChanged();
}

void SourceFileList::ClearSelection() {
  bool changed = false;
  for (auto& entry : rows_) {
    changed = changed || entry.selected;
    entry.selected = false;
  }
  if (changed && observer_) observer_->SelectionChanged();
}

std::vector<int> SourceFileList::SelectedRows() const {
  std::vector<int> selected;
  for (int row = 0; row < RowCount(); ++row) {
    if (rows_[row].selected) selected.push_back(row);
  }
  return selected;
}

void SourceFileList::SetFocusedRow(int row) {
  if (row != -1) CheckRow(row);
  if (focused_ == row) return;
  focused_ = row;
  if (observer_) observer_->SelectionChanged();
}
