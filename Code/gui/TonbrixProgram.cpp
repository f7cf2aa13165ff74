#include "TonbrixProgram.h"

#include <QApplication>

#include "AppTheme.h"
#include "InitFileForm.h"
#include "Unit_Convert.h"
#include "Unit_Converting.h"
#include "Unit_Option.h"

TonbrixProgram::TonbrixProgram(TApplicationContext& context,
                               std::unique_ptr<MediaGraph> preview_graph)
    : context_(context) {
  // Before the first window, so that every window is made in the one look.
  ApplyTonbrixTheme(*qApp);
  main_form_ = std::make_unique<TFrmMainForm>(context, std::move(preview_graph));
  order_.push_back(main_form_.get());
  converting_ = new TfrmConverting(main_form_.get());
  order_.push_back(converting_);
  option_ = new TfrmOption(main_form_.get());
  order_.push_back(option_);
  init_file_ = new TFrmInitFileForm(context.Ui, main_form_.get());
  order_.push_back(init_file_);
  main_form_->SetWindows(converting_, option_, init_file_);
}

TonbrixProgram::~TonbrixProgram() = default;

void TonbrixProgram::ShowMainWindow() { main_form_->ShowMainForm(); }

int TonbrixProgram::Run() {
  ShowMainWindow();
  if (context_.Terminated) return 0;
  return QApplication::exec();
}
