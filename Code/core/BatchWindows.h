// BatchWindows: the windows as the batch runner drives them (the progress
// window, the main window's enabled state and its two after-batch check
// boxes), and ConvertingProgress, what the progress window shows. The main
// window implements BatchWindows; tests implement it without windows. Not
// owned by the runner. User-interface thread only.
#pragma once

#include <string>

#include "AdvanceSystem.h"

// What the progress window TfrmConverting shows, written by the batch.
struct ConvertingProgress {
  std::string CurFileName;                         // lblCurFileName
  std::string Persent = "Current: 1, Total: ...";  // lblPersent, the job counter
  std::string Status;                              // statState's panel: the latest chunk
  int FileMin = 0;                                 // ProgressBar1, the per-file bar
  int FileMax = 100;
  int FilePosition = 0;
  int TotalMax = 100;  // pbTotal, the overall bar
  int TotalPosition = 0;
};

// The windows as the batch drives them. The main window implements it over
// the progress window, its own enabled state and its two check boxes; tests
// implement it without windows. User-interface thread only.
class BatchWindows {
 public:
  virtual ~BatchWindows() = default;
  // Shows the progress window; when it was hidden, its show handler runs first.
  virtual void ShowProgressWindow() = 0;
  virtual void HideProgressWindow() = 0;
  virtual void SetMainWindowEnabled(bool enabled) = 0;
  // TCustomProc::Progress changed.
  virtual void ProgressChanged() = 0;
  virtual bool ShowOutputDirectoryWhenDone() const = 0;  // chkShowOutputDirectory
  virtual bool ShutdownWhenDone() const = 0;             // chkShutdown
  // Ends the application at once (after the power-off request).
  virtual void EndApplication() = 0;
  // Wraps `procedure` so that calls from the worker thread only queue the
  // chunk and the procedure runs on the user-interface thread, chunk by chunk
  // in order, whenever window events run.
  virtual OutputProcedure ToUiThread(OutputProcedure procedure) = 0;
};
