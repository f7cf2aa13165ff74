// TonbrixProgram: what program entry does after the application object
// exists. It gives the application its one look (AppTheme.h), creates the four
// long-lived windows hidden, in their order (the main window, the progress
// window, the Options window, the busy window), shows the main window, whose
// show handler runs the splash and the set-up steps, and runs the message loop
// until the application is asked to end.
//
// Owned by main(); the windows it creates live as long as it does. User-
// interface thread only.
#pragma once

#include <QWidget>
#include <memory>
#include <vector>

#include "ApplicationContext.h"
#include "MediaGraph.h"

class TFrmInitFileForm;
class TFrmMainForm;
class TfrmConverting;
class TfrmOption;

class TonbrixProgram {
 public:
  TonbrixProgram(TApplicationContext& context, std::unique_ptr<MediaGraph> preview_graph);
  ~TonbrixProgram();

  // Shows the main window (splash, set-up steps) and runs the message loop.
  // Returns the process's exit code; the loop is skipped when the start-up
  // already asked the application to end.
  int Run();

  // The start-up part of Run, without the message loop.
  void ShowMainWindow();

  TFrmMainForm& MainForm() { return *main_form_; }
  TfrmConverting& Converting() { return *converting_; }
  TfrmOption& Option() { return *option_; }
  TFrmInitFileForm& InitFileForm() { return *init_file_; }

  // The long-lived windows in the order they were created.
  const std::vector<QWidget*>& CreationOrder() const { return order_; }

 private:
  TApplicationContext& context_;
  std::unique_ptr<TFrmMainForm> main_form_;
  // Owned by the main window (Qt parent), destroyed with it.
  TfrmConverting* converting_;
  TfrmOption* option_;
  TFrmInitFileForm* init_file_;
  std::vector<QWidget*> order_;
};
