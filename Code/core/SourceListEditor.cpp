#include "SourceListEditor.h"

#include <sys/stat.h>

#include <algorithm>
#include <cerrno>
#include <stdexcept>
#include <unordered_set>

#include "Errors.h"
#include "MediaGraph.h"
#include "SourceFileList.h"
#include "TextHelpers.h"
#include "TimeText.h"

namespace {

constexpr const char* kSourceExtensions[] = {".aac", ".ac3", ".m4a", ".mp2", ".mp3",
                                             ".ogg", ".tta", ".wav", ".wma"};

// The part of the name from its last "." after the last "/", lower case.
std::string LowerExtension(const std::string& file_name) {
  const std::size_t slash = file_name.rfind('/');
  const std::size_t dot = file_name.rfind('.');
  if (dot == std::string::npos || (slash != std::string::npos && dot < slash)) return {};
  std::string extension = file_name.substr(dot);
  for (char& c : extension) {
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  }
  return extension;
}

// stat follows a symbolic link to what it names.
bool IsRegularFile(const std::string& file_name) {
  struct stat info {};
  return ::stat(file_name.c_str(), &info) == 0 && S_ISREG(info.st_mode);
}

bool HasRow(const SourceFileList& list, const std::string& file_name) {
  for (int row = 0; row < list.RowCount(); ++row) {
    if (list.Cell(row, SourceColumn::FileName) == file_name) return true;
  }
  return false;
}

}  // namespace

void SourceListEditor::SetSourceListServices(SourceListServices services) {
  source_services_ = std::move(services);
}

bool SourceListEditor::IsSourceFileName(const std::string& file_name) {
  const std::string extension = LowerExtension(file_name);
  return std::find(std::begin(kSourceExtensions), std::end(kSourceExtensions), extension) !=
         std::end(kSourceExtensions);
}

int64_t SourceListEditor::GetFileSize(const std::string& file_name) {
  // The size comes from the file's entry; the file is not opened, so neither
  // a file another program is writing nor a FIFO can hold the window.
  struct stat info {};
  if (::stat(file_name.c_str(), &info) != 0) {
    throw MakeFileError("Cannot read the size of file", file_name, errno);
  }
  return static_cast<int64_t>(info.st_size);
}

int64_t SourceListEditor::GetMediaDuration(const std::string& file_name, MediaGraph& graph) {
  try {
    graph.Clear();
    graph.SetActive(true);
    graph.RenderFile(file_name);  // a file without sound measures 0 below
    const int64_t milliseconds = graph.Duration();
    graph.SetActive(false);
    return milliseconds / 1000;
  } catch (const std::exception&) {
    // The graph may stay active; the next probe clears it and renders again.
    return 0;
  }
}

void SourceListEditor::AddSourceFiles(SourceFileList& list, const std::vector<std::string>& names) {
  if (!source_services_.NewMediaGraph) {
    throw std::logic_error("The source list has no media service connected");
  }
  const std::unique_ptr<MediaGraph> graph = source_services_.NewMediaGraph();
  for (const std::string& name : names) {
    // Hundreds of files take a while: the busy window's spinner keeps turning.
    ui_.ProcessMessages();
    if (HasRow(list, name)) continue;
    if (!IsSourceFileName(name)) continue;
    // Only a regular file can be a song. A FIFO named x.mp3 would hold the
    // probe until someone writes to it, and a device such as /dev/zero never
    // ends: they are told apart by their entry, before anything opens them,
    // and get the dialog of any file that cannot be measured.
    const std::string duration = IsRegularFile(name)
                                     ? time_text::SecondsToTimeText(GetMediaDuration(name, *graph))
                                     : "00:00:00";
    if (duration == "00:00:00") {
      if (source_services_.ShowCodeErrorForm) source_services_.ShowCodeErrorForm();
      continue;
    }
    // The size is read before the row exists: a file whose size cannot be
    // read must not leave a half-filled row behind.
    const std::string size = text_helpers::FormatFileSize(GetFileSize(name));
    const RowFades fades =
        source_services_.DefaultFades ? source_services_.DefaultFades() : RowFades{};
    list.AppendRow({"True", name, size, duration, "00:00:00", duration, duration}, fades);
  }
  if (list.RowCount() > 0) {
    list.SetSelected(0, true);
    if (source_services_.SyncMarkerToSelection) source_services_.SyncMarkerToSelection();
  }
}

std::vector<std::string> SourceListEditor::OpenSourceFiles(SourceFileDialog& dialog,
                                                           bool drop_repeats,
                                                           const std::string& folder) {
  dialog.SetInitialDir(folder);
  std::vector<std::string> names = dialog.Execute();
  return drop_repeats ? RemoveDuplicates(names) : names;
}

std::vector<std::string> SourceListEditor::RemoveDuplicates(const std::vector<std::string>& texts) {
  std::vector<std::string> unique;
  std::unordered_set<std::string> seen;
  for (const std::string& text : texts) {
    if (seen.insert(text).second) unique.push_back(text);
  }
  return unique;
}

void SourceListEditor::RemoveSelectedFiles(SourceFileList& list) {
  if (list.SelectedRows().empty()) return;
  ui_.ProcessMessages();
  // The row before the focused one, found again by its position among the
  // rows that stay. Pending events ran above and run between deletions, so
  // the list is read afresh each time.
  const int focused = list.FocusedRow();
  int remembered = focused > 0 ? focused - 1 : -1;
  while (true) {
    const std::vector<int> selected = list.SelectedRows();
    if (selected.empty()) break;
    ui_.ProcessMessages();
    const std::vector<int> still = list.SelectedRows();
    if (still.empty()) break;
    const int row = still.front();
    list.DeleteRow(row);
    if (row == remembered) {
      remembered = -1;
    } else if (remembered > row) {
      --remembered;
    }
  }
  if (remembered >= 0 && remembered < list.RowCount()) {
    list.SetFocusedRow(remembered);
    list.SetSelected(remembered, true);
  }
}

bool SourceListEditor::ClearFileList(SourceFileList& list) {
  try {
    list.Clear();
    return true;
  } catch (const std::exception&) {
    return false;
  }
}
