#include <gtest/gtest.h>

#include <stdexcept>
#include <string>
#include <vector>

#include "SourceFileList.h"

namespace {

SourceRow RowFor(const std::string& name) {
  return {"True", name, "1 KB", "00:01:00", "00:00:00", "00:01:00", "00:01:00"};
}

// Records what a view would be told.
class RecordingObserver : public SourceFileList::Observer {
 public:
  std::vector<std::string> events;
  void RowsInserted(int first, int last) override {
    events.push_back("ins " + std::to_string(first) + "-" + std::to_string(last));
  }
  void RowsRemoved(int first, int last) override {
    events.push_back("del " + std::to_string(first) + "-" + std::to_string(last));
  }
  void CellChanged(int row, SourceColumn column) override {
    events.push_back("cell " + std::to_string(row) + "," +
                     std::to_string(static_cast<int>(column)));
  }
  void SelectionChanged() override { events.push_back("sel"); }
};

SourceFileList ListOf(std::initializer_list<const char*> names) {
  SourceFileList list;
  for (const char* name : names) list.AppendRow(RowFor(name));
  return list;
}

TEST(SourceFileListTest, SelectedRowsComeInListOrder) {
  auto list = ListOf({"/a.mp3", "/b.mp3", "/c.mp3"});
  list.SetSelected(2, true);
  list.SetSelected(0, true);
  EXPECT_EQ(list.SelectedRows(), (std::vector<int>{0, 2}));
}

TEST(SourceFileListTest, DeletingRowsKeepsFocusAndSelectionOnTheirRows) {
  auto list = ListOf({"/a.mp3", "/b.mp3", "/c.mp3", "/d.mp3"});
  list.SetSelected(3, true);
  list.SetFocusedRow(2);
  list.DeleteRow(0);
  EXPECT_EQ(list.Cell(0, SourceColumn::FileName), "/b.mp3");
  EXPECT_EQ(list.FocusedRow(), 1);
  EXPECT_EQ(list.SelectedRows(), (std::vector<int>{2}));
  list.DeleteRow(1);  // the focused row itself
  EXPECT_EQ(list.FocusedRow(), -1);
}

// A row's fades go with the row: deleting one before it, or clearing the
// list, leaves no fades on the wrong row.
TEST(SourceFileListTest, FadesStayWithTheirRows) {
  SourceFileList list;
  list.AppendRow(RowFor("/a.mp3"), RowFades{1, 2});
  list.AppendRow(RowFor("/b.mp3"));
  list.AppendRow(RowFor("/c.mp3"), RowFades{0.5, 0});
  EXPECT_EQ(list.Fades(1), RowFades{});
  list.SetFades(1, RowFades{3, 4});
  list.DeleteRow(0);
  EXPECT_EQ(list.Fades(0), (RowFades{3, 4}));
  EXPECT_EQ(list.Fades(1), (RowFades{0.5, 0}));
  EXPECT_THROW(list.Fades(2), std::out_of_range);
  list.Clear();
  list.AppendRow(RowFor("/d.mp3"));
  EXPECT_EQ(list.Fades(0), RowFades{});
}

TEST(SourceFileListTest, ObserverHearsEveryChange) {
  SourceFileList list;
  RecordingObserver observer;
  list.SetObserver(&observer);
  list.AppendRow(RowFor("/a.mp3"));
  list.AppendRow(RowFor("/b.mp3"));
  list.SetCell(1, SourceColumn::StartTime, "00:00:10");
  list.SetSelected(1, true);
  list.SetSelected(1, true);  // no change, nothing told
  list.DeleteRow(1);
  list.Clear();
  EXPECT_EQ(observer.events, (std::vector<std::string>{"ins 0-0", "ins 1-1", "cell 1,4", "sel",
                                                       "del 1-1", "sel", "del 0-0", "sel"}));
}

TEST(SourceFileListTest, RowsOutsideTheListAreRefused) {
  auto list = ListOf({"/a.mp3"});
  EXPECT_THROW(list.Cell(1, SourceColumn::FileName), std::out_of_range);
  EXPECT_THROW(list.SetSelected(-1, true), std::out_of_range);
  EXPECT_THROW(list.DeleteRow(5), std::out_of_range);
  EXPECT_THROW(list.SetFocusedRow(3), std::out_of_range);
}

}  // namespace
