// MainFormBatchWindows: the batch's view of the windows (BatchWindows) over
// the main window: the progress window, the main window's enabled state and
// its two check boxes ("show the output folder", "shut down when done").
// A child QObject of the main window, which it reads and does not own; the
// main window hands it to TCustomProc. User-interface thread only.
#pragma once

#include <QObject>

#include "BatchWindows.h"

class TFrmMainForm;

class MainFormBatchWindows : public QObject, public BatchWindows {
 public:
  explicit MainFormBatchWindows(TFrmMainForm& form);

  void ShowProgressWindow() override;
  void HideProgressWindow() override;
  void SetMainWindowEnabled(bool enabled) override;
  void ProgressChanged() override;
  bool ShowOutputDirectoryWhenDone() const override;
  bool ShutdownWhenDone() const override;
  void EndApplication() override;
  OutputProcedure ToUiThread(OutputProcedure procedure) override;

 private:
  TFrmMainForm& form_;
};
