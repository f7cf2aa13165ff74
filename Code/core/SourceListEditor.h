// SourceListEditor: the operations on the list of source files: adding files
// with their size and duration (probed through a throwaway media graph), the
// open dialog's names, removing and clearing rows. The lists it works on and
// the user interface are not owned. User-interface thread only.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "SourceFileList.h"
#include "UserInterface.h"

class MediaGraph;

// The open dialog as the list operations see it. The application implements
// it with QFileDialog; tests with prepared names.
class SourceFileDialog {
 public:
  virtual ~SourceFileDialog() = default;
  virtual void SetInitialDir(const std::string& folder) = 0;
  // Runs the dialog: the chosen full names in the dialog's order, or nothing
  // when the person cancelled.
  virtual std::vector<std::string> Execute() = 0;
};

// What the list operations need beyond the list. NewMediaGraph makes the
// throwaway graph of one AddSourceFiles call; the others may stay empty.
struct SourceListServices {
  std::function<std::unique_ptr<MediaGraph>()> NewMediaGraph;
  std::function<void()> ShowCodeErrorForm;      // the codec-missing dialog, modal
  std::function<void()> SyncMarkerToSelection;  // the marker follows the selection
  // The fades a new row starts with (the finishing settings' defaults, read
  // when the row is added); empty: none.
  std::function<RowFades()> DefaultFades;
};

class SourceListEditor {
 public:
  explicit SourceListEditor(UserInterface& ui) : ui_(ui) {}

  void SetSourceListServices(SourceListServices services);

  // Appends a row, with the default fades, for each name that is new (exact
  // comparison), has a source extension and a duration of at least one
  // second; a file without one gets the codec-missing dialog and no row.
  // Then the first row is selected and the marker follows. Throws FileError,
  // without adding that row, when a file's size cannot be read; throws
  // std::logic_error without services.
  void AddSourceFiles(SourceFileList& list, const std::vector<std::string>& names);
  // Runs the dialog in `folder`; the chosen names (repeats dropped when
  // `drop_repeats`), empty when cancelled.
  static std::vector<std::string> OpenSourceFiles(SourceFileDialog& dialog, bool drop_repeats,
                                                  const std::string& folder);
  // Each text once, first occurrences in their order.
  static std::vector<std::string> RemoveDuplicates(const std::vector<std::string>& texts);
  // Deletes the selected rows; the row just before the focused one becomes
  // focused and selected unless it went too.
  void RemoveSelectedFiles(SourceFileList& list);
  // Deletes every row; false when that failed.
  static bool ClearFileList(SourceFileList& list);
  // Size in bytes; throws FileError naming the file when it cannot be read.
  static int64_t GetFileSize(const std::string& file_name);
  // Whole seconds (cut toward zero) as `graph` measures the file; 0 on any
  // failure.
  static int64_t GetMediaDuration(const std::string& file_name, MediaGraph& graph);
  // The extension test of adding: ".mp3" and the other source types, any case.
  static bool IsSourceFileName(const std::string& file_name);

 private:
  UserInterface& ui_;
  SourceListServices source_services_;
};
