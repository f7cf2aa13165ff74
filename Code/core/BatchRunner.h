// BatchRunner: the batch conversion. Runs one engine after the other for the
// checked rows of the source list, turns the engine's output into the
// progress window's bars and its reason lines into the log, and handles Stop
// and the progress window's close box. It owns the run of the current engine
// (an EngineRun: TAdvanceSystem on the machine), started and looked for
// through the ProcessEnv of TCommonLib's process look-up; the windows
// (BatchWindows), the list and the command-line builder are not owned.
//
// One instance, owned by TCustomProc; user-interface thread only (the
// worker's output reaches it through BatchWindows::ToUiThread).
#pragma once

#include <memory>
#include <string>

#include "BatchWindows.h"
#include "EngineCommandBuilder.h"
#include "ProcessEnv.h"
#include "SourceFileList.h"
#include "Unit_CommonLib.h"
#include "UtilityObjects.h"

class BatchRunner {
 public:
  BatchRunner(TCommonLib& common, TAppFunc& app, EngineCommandBuilder& builder);

  // Jobs finished in the running batch (the 0-based number of the current
  // one), checked rows counted at its start, the list row it is at, and the
  // progress refreshes seen in the current job.
  int CurrentIndex = 0;
  int TotalCount = 0;
  int RowIndex = 0;
  int RefreshCount = 0;
  // Set by Stop; lives until the end of the batch.
  bool StopRequested = false;
  // What the progress window shows; the window mirrors it on ProgressChanged.
  ConvertingProgress Progress;

  // Connects the windows the batch drives; ConvertAll and the progress
  // handlers throw std::logic_error until then. Not owned.
  void SetBatchWindows(BatchWindows* windows) { batch_windows_ = windows; }

  // Converts every row of `list` whose first cell reads "True", one engine run
  // after the other, with the progress window up and the main window
  // disabled; then the after-job actions unless Stop was pressed. Runs the
  // window events nested inside its pauses. An error while building a job
  // ends the batch with the windows restored and goes on to the caller.
  void ConvertAll(const SourceFileList& list);
  bool BatchRunning() const { return batch_list_ != nullptr; }

  // One chunk of engine output, on the user-interface thread.
  void EngineOutputCallback(const std::string& chunk);
  // Every piece of the job's engine output, in order, each before the chunk
  // that ends with it (the chunks skip pieces of a backlog). A line that
  // begins with the engine's "evc.exe: " gives its reason for refusing the
  // job: the whole line, however long and in however many pieces it came, is
  // logged as "Convert error. ->" + line and shown in the status bar in place
  // of the chunk that ended it.
  void EngineOutputRead(const std::string& piece);
  // The job's engine has ended and all its output was read: a reason line
  // without a final line break counts as well.
  void EngineOutputEnded();
  // Moves the bars from the status text (the latest chunk).
  void actRefreshProgressExecute();
  // The progress window's show handler: file name, counter, empty bars.
  void ProgressFormShow();
  // Stop: asks "Are you sure you want to stop the work ? "; on Yes ends the
  // engine and makes the current job the last, without after-job actions.
  void btnStop1Click();
  // The progress window's close box: asks "Are you sure to stop processing ?";
  // on Yes ends the engine and makes the current job the last. The window
  // hides whatever the answer.
  void ProgressFormClose();

 private:
  BatchWindows& Windows() const;
  void RunJob(const std::string& source);
  void FreeWorker();
  void EndBatch();
  // A complete line of engine output: logged and kept for the status bar when
  // it is the engine's reason.
  void EngineLineEnded();

  TCommonLib& common_;
  TAppFunc& app_;
  EngineCommandBuilder& builder_;
  std::string engine_line_;    // the job's output since its last line break
  std::string engine_reason_;  // a reason line the status bar has not shown yet
  BatchWindows* batch_windows_ = nullptr;
  const SourceFileList* batch_list_ = nullptr;
  std::unique_ptr<EngineRun> worker_;
};
