#include "BatchRunner.h"

#include <charconv>
#include <climits>
#include <cmath>
#include <stdexcept>
#include <string_view>
#include <utility>

#include "Errors.h"
#include "TextHelpers.h"

namespace {

// The pauses around each engine start and the wait loop's step.
constexpr int kPauseBeforeEngineMs = 2000;
constexpr int kPauseAfterEngineMs = 3000;
constexpr int kEngineWaitStepMs = 100;

// The engine prints this many whole seconds while it knows no time yet.
constexpr const char kNoTimeYet[] = "10000000000";

// A file the engine cannot convert ends its output with one line that starts
// so and gives the reason. The engine may write the line in several pieces
// (the prefix, then the reason), and a reason that names a long path is
// longer than a chunk, so lines are put together from every piece read.
constexpr std::string_view kEngineReasonPrefix = "evc.exe: ";
// A reason line longer than this keeps its beginning and its end (where the
// system's own words stand) around kCutMark.
constexpr std::size_t kLongestReasonLine = 64 * 1024;
constexpr std::string_view kCutMark = " ... ";

// A progress bar keeps its position inside its range.
int Clamp(int64_t value, int min, int max) {
  if (max < min) return min;
  if (value < min) return min;
  if (value > max) return max;
  return static_cast<int>(value);
}

bool ReadInteger(const std::string& text, int& value) {
  const char* end = text.data() + text.size();
  auto [at, error] = std::from_chars(text.data(), end, value);
  return error == std::errc() && at == end;
}

std::string WithoutTrailingSlash(std::string folder) {
  if (folder.size() > 1 && folder.back() == '/') folder.pop_back();
  return folder;
}

}  // namespace

BatchRunner::BatchRunner(TCommonLib& common, TAppFunc& app, EngineCommandBuilder& builder)
    : common_(common), app_(app), builder_(builder) {}

BatchWindows& BatchRunner::Windows() const {
  if (batch_windows_ == nullptr) {
    throw std::logic_error("The batch conversion has no windows connected");
  }
  return *batch_windows_;
}

void BatchRunner::ConvertAll(const SourceFileList& list) {
  BatchWindows& windows = Windows();
  if (BatchRunning()) return;  // the main window is disabled meanwhile
  batch_list_ = &list;
  CurrentIndex = 0;
  TotalCount = 0;
  for (int row = 0; row < list.RowCount(); ++row) {
    if (list.Cell(row, SourceColumn::CheckStatus) == "True") ++TotalCount;
  }

  try {
    if (list.RowCount() == 0) {
      common_.ShowNoFilesMessage();
    } else {
      RowIndex = 0;
      // The row count is read again on every pass.
      while (RowIndex <= list.RowCount() - 1) {
        if (list.Cell(RowIndex, SourceColumn::CheckStatus) == "True") {
          RunJob(list.Cell(RowIndex, SourceColumn::FileName));
        }
        ++RowIndex;
      }
      if (!StopRequested) {
        if (windows.ShowOutputDirectoryWhenDone()) {
          common_.OpenFolderInExplorer(common_.ConvertParameter.OutputFolder);
        }
        if (windows.ShutdownWhenDone()) {
          common_.ShutdownComputer();
          batch_list_ = nullptr;
          windows.EndApplication();
          return;
        }
      }
      StopRequested = false;
    }
  } catch (...) {
    // A job that could not be built ends the batch; the windows come back as
    // after any batch and the error is reported once, by the caller.
    FreeWorker();
    StopRequested = false;
    EndBatch();
    throw;
  }
  EndBatch();
}

void BatchRunner::EndBatch() {
  batch_list_ = nullptr;
  BatchWindows& windows = Windows();
  windows.HideProgressWindow();
  windows.SetMainWindowEnabled(true);
}

void BatchRunner::RunJob(const std::string& source) {
  BatchWindows& windows = Windows();
  UserInterface& ui = common_.Ui();

  builder_.CommandLine = builder_.BuildCommandLine(source);
  app_.WriteLog("parameter: " + builder_.CommandLine);
  RefreshCount = 0;
  Progress.FilePosition = 0;
  windows.ProgressChanged();
  windows.ShowProgressWindow();
  windows.SetMainWindowEnabled(false);

  ui.ProcessMessages();
  ui.Pause(kPauseBeforeEngineMs);
  ui.ProcessMessages();
  // Stop (or Yes on the close box) during the pause: the person asked for
  // no more ringtones, so this one's engine is not started.
  if (StopRequested || RowIndex >= batch_list_->RowCount()) {
    ++CurrentIndex;
    return;
  }

  if (worker_ != nullptr) worker_->Terminate();
  engine_line_.clear();
  engine_reason_.clear();
  TSysFunc& processes = common_.SysFunc();
  worker_ = processes.Env().StartEngine(
      builder_.LastCommand, WithoutTrailingSlash(common_.AppPath),
      windows.ToUiThread([this](const std::string& chunk) { EngineOutputCallback(chunk); }),
      windows.ToUiThread([this](const std::string& piece) { EngineOutputRead(piece); }));

  ui.ProcessMessages();
  ui.Pause(kPauseAfterEngineMs);
  // The job lasts while its own engine runs, and while a process of this
  // user named "evc.exe" or "revc.exe" does (an engine the last one left
  // behind). Another user's process cannot be this program's engine and
  // never holds the batch.
  while (!worker_->EngineFinished() || processes.GetSameUserProcessIdByName("evc.exe") != 0 ||
         processes.GetSameUserProcessIdByName("revc.exe") != 0) {
    ui.Pause(kEngineWaitStepMs);
    ui.ProcessMessages();
  }
  FreeWorker();
  // The worker has ended: what it read is queued for this thread. It is taken
  // now, so that the job's last line counts for this job and not the next.
  ui.ProcessMessages();
  EngineOutputEnded();
  ++CurrentIndex;
}

void BatchRunner::FreeWorker() {
  // Waits for the worker's read loop to end: its final read, without the
  // pause that follows a chunk.
  worker_.reset();
}

void BatchRunner::EngineOutputCallback(const std::string& chunk) {
  Progress.Status = chunk;
  Progress.CurFileName = common_.ConvertParameter.SourceFile;
  actRefreshProgressExecute();
  // The status bar shows the engine's reason whole, not the end of it that
  // this chunk may hold; the bars were moved by the chunk itself.
  if (!engine_reason_.empty()) Progress.Status = std::exchange(engine_reason_, {});
  Windows().ProgressChanged();
}

void BatchRunner::EngineOutputRead(const std::string& piece) {
  std::size_t begin = 0;
  while (begin < piece.size()) {
    const std::size_t end = piece.find_first_of("\r\n", begin);
    const std::size_t stop = end == std::string::npos ? piece.size() : end;
    // Only a line that may still turn out to be a reason is kept: progress
    // lines and the libraries' chatter are passed over.
    const bool may_be_reason = engine_line_.size() >= kEngineReasonPrefix.size()
                                   ? std::string_view(engine_line_).starts_with(kEngineReasonPrefix)
                                   : kEngineReasonPrefix.starts_with(engine_line_);
    if (may_be_reason) {
      engine_line_.append(piece, begin, stop - begin);
      if (engine_line_.size() > kLongestReasonLine) {
        const std::size_t keep = (kLongestReasonLine - kCutMark.size()) / 2;
        engine_line_.replace(keep, engine_line_.size() - 2 * keep, kCutMark);
      }
    }
    if (end == std::string::npos) break;
    EngineLineEnded();
    begin = end + 1;
  }
}

void BatchRunner::EngineOutputEnded() {
  EngineLineEnded();
  if (!engine_reason_.empty() && batch_windows_ != nullptr) {
    Progress.Status = std::exchange(engine_reason_, {});
    batch_windows_->ProgressChanged();
  }
}

// The status bar shows the engine's reason only while the progress window is
// up; the log keeps it, so a file missing from the output folder can be told.
void BatchRunner::EngineLineEnded() {
  std::string line = std::exchange(engine_line_, {});
  if (!line.starts_with(kEngineReasonPrefix)) return;
  app_.WriteLog("Convert error. ->" + line);
  engine_reason_ = std::move(line);
}

void BatchRunner::actRefreshProgressExecute() {
  ++RefreshCount;
  if (RefreshCount <= 1) return;  // the first chunk of a job only reaches the status bar

  ConvertingProgress& p = Progress;
  // The overall bar and the counter use the per-file values of the previous
  // refresh. A per-file maximum of -1 (a negative segment) would divide by
  // zero: that step is then skipped and the refresh goes on.
  p.TotalMax = static_cast<int>(std::min<int64_t>(int64_t{TotalCount} * 100, INT_MAX));
  const int64_t divisor = int64_t{p.FileMax} + 1;
  if (divisor != 0) {
    const int64_t position = int64_t{p.FilePosition} * 100 / divisor + int64_t{CurrentIndex} * 100;
    p.TotalPosition = Clamp(position, 0, p.TotalMax);
    p.Persent = "Current: " + std::to_string(CurrentIndex + 1) +
                " , Total: " + std::to_string(TotalCount) + ".";
  }

  p.FileMin = 0;
  int seconds = 0;
  if (!ReadInteger(builder_.Duration, seconds))
    return;  // no segment known: nothing to measure against
  p.FileMax = seconds;

  if (p.Status.empty()) return;
  const std::vector<std::string> pieces = TCommonLib::SplitString(p.Status, '=');
  const TConvertParameterStruct& parameter = common_.ConvertParameter;
  const bool audio = text_helpers::TrimBlanks(parameter.CodecOption).substr(0, 7) == "-acodec" &&
                     parameter.OutputExtension != ".3gp";
  std::string time_piece;
  if (audio) {
    if (pieces.size() < 4) return;
    time_piece = pieces[2];
  } else {
    if (pieces.size() < 5) return;
    time_piece = pieces[4];
  }
  const std::vector<std::string> parts = TCommonLib::SplitString(time_piece, '.');
  if (parts.empty() || parts[0] == kNoTimeYet) return;
  try {
    const double value = std::trunc(TCommonLib::TextToNumber(parts[0]));
    if (!std::isfinite(value)) return;
    const int64_t whole = value > 1e15    ? int64_t{1} << 50
                          : value < -1e15 ? -(int64_t{1} << 50)
                                          : static_cast<int64_t>(value);
    p.FilePosition = Clamp(whole, p.FileMin, p.FileMax);
  } catch (const ConversionError&) {
    // Text in another layout moves nothing.
  }
}

void BatchRunner::ProgressFormShow() {
  Progress.CurFileName = common_.ConvertParameter.SourceFile;
  Progress.Persent = "Current: 1, Total: " + std::to_string(TotalCount);
  Progress.FileMin = 0;
  Progress.FileMax = 1;
  Progress.FilePosition = 0;
  Progress.TotalMax = 1;
  Progress.TotalPosition = 0;
}

void BatchRunner::btnStop1Click() {
  BatchWindows& windows = Windows();
  if (common_.Ui().MessageBox("Are you sure you want to stop the work ? ", MessageIcon::None,
                              MessageButtons::YesNo) != IDYES) {
    return;
  }
  StopRequested = true;
  windows.HideProgressWindow();
  windows.SetMainWindowEnabled(true);
  if (batch_list_ != nullptr) RowIndex = batch_list_->RowCount() + 10;
  common_.KillEngineProcesses(common_.ConvertParameter.ConverterPath, worker_.get());
  if (worker_ != nullptr) worker_->Terminate();
  Progress.FilePosition = 0;
  Progress.TotalMax = 0;
  Progress.TotalPosition = 0;
  Progress.Persent = "Current: 1, Total: ...";
  windows.ProgressChanged();
}

void BatchRunner::ProgressFormClose() {
  BatchWindows& windows = Windows();
  if (common_.Ui().MessageBox("Are you sure to stop processing ?", MessageIcon::None,
                              MessageButtons::YesNo) != IDYES) {
    return;
  }
  windows.HideProgressWindow();
  windows.SetMainWindowEnabled(true);
  if (batch_list_ != nullptr) RowIndex = batch_list_->RowCount() + 10;
  common_.KillEngineProcesses(common_.ConvertParameter.ConverterPath, worker_.get());
}
