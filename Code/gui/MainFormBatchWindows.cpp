#include "MainFormBatchWindows.h"

#include <QCheckBox>

#include "UiThreadDispatch.h"
#include "Unit_Convert.h"
#include "Unit_Converting.h"
#include "Unit_Option.h"

MainFormBatchWindows::MainFormBatchWindows(TFrmMainForm& form) : QObject(&form), form_(form) {}

void MainFormBatchWindows::ShowProgressWindow() {
  // Shown over the disabled main window, not modal: the batch's own loop
  // keeps the events running.
  if (form_.frmConverting == nullptr) return;
  form_.frmConverting->show();
  form_.frmConverting->raise();
}

void MainFormBatchWindows::HideProgressWindow() {
  if (form_.frmConverting != nullptr) form_.frmConverting->hide();
}

void MainFormBatchWindows::SetMainWindowEnabled(bool enabled) {
  form_.setEnabled(enabled);
  // The progress and Options windows are the main window's children: they
  // stay usable.
  if (form_.frmConverting != nullptr) form_.frmConverting->setEnabled(true);
  if (form_.frmOption != nullptr) form_.frmOption->setEnabled(true);
}

void MainFormBatchWindows::ProgressChanged() {
  if (form_.frmConverting != nullptr) form_.frmConverting->Refresh();
}

bool MainFormBatchWindows::ShowOutputDirectoryWhenDone() const {
  return form_.chkShowOutputDirectory->isChecked();
}

bool MainFormBatchWindows::ShutdownWhenDone() const { return form_.chkShutdown->isChecked(); }

void MainFormBatchWindows::EndApplication() { form_.Context().EndAtOnce(); }

OutputProcedure MainFormBatchWindows::ToUiThread(OutputProcedure procedure) {
  // The progress window lives as long as the process, so it outlives every
  // worker.
  QObject* receiver = form_.frmConverting != nullptr ? static_cast<QObject*>(form_.frmConverting)
                                                     : static_cast<QObject*>(&form_);
  return PostToUiThread(receiver, std::move(procedure));
}
