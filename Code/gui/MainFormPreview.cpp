// The main window's preview player and segment marker: the Play, Pause and
// Stop buttons, the preview graph's ticker, the marker bar's handles and
// images, and the list's committed edits; each hands its work to TCustomProc.
#include <QLabel>
#include <QSlider>

#include "GuiErrors.h"
#include "MainFormPreviewControls.h"
#include "MarkerBar.h"
#include "PictureButton.h"
#include "SourceListView.h"
#include "Unit_Convert.h"
#include "WaveformEditor.h"

namespace {

namespace sm = segment_marker;

sm::PressState PressStateOf(Qt::MouseButtons buttons, Qt::KeyboardModifiers modifiers,
                            bool double_click) {
  sm::PressState state;
  state.ctrl = modifiers.testFlag(Qt::ControlModifier);
  state.shift = modifiers.testFlag(Qt::ShiftModifier);
  state.alt = modifiers.testFlag(Qt::AltModifier);
  state.left = buttons.testFlag(Qt::LeftButton);
  state.right = buttons.testFlag(Qt::RightButton);
  state.middle = buttons.testFlag(Qt::MiddleButton);
  state.double_click = double_click;
  return state;
}

sm::MouseButton ButtonOf(Qt::MouseButton button) {
  switch (button) {
    case Qt::LeftButton:
      return sm::MouseButton::Left;
    case Qt::RightButton:
      return sm::MouseButton::Right;
    case Qt::MiddleButton:
      return sm::MouseButton::Middle;
    default:
      return sm::MouseButton::Other;
  }
}

}  // namespace

TMarkerBar* TFrmMainForm::MarkerBar() const { return static_cast<TMarkerBar*>(Panel1); }

void TFrmMainForm::BuildPreviewHandlers() {
  preview_controls_ = std::make_unique<MainFormPreviewControls>(*this);
  connect(btnPlay, &QAbstractButton::clicked, this, &TFrmMainForm::btnPlayClick);
  connect(btnPause, &QAbstractButton::clicked, this, &TFrmMainForm::btnPauseClick);
  connect(btnStop, &QAbstractButton::clicked, this, &TFrmMainForm::btnStopClick);
  TMarkerBar* bar = MarkerBar();
  connect(bar, &TMarkerBar::startHandleMoved, this, &TFrmMainForm::SetStartTimeAndPlay);
  connect(bar, &TMarkerBar::endHandleMoved, this, &TFrmMainForm::Splitter2Moved);
  connect(bar, &TMarkerBar::startImagePressed, this, &TFrmMainForm::Panel2MouseDown);
  connect(bar, &TMarkerBar::endImagePressed, this, &TFrmMainForm::Panel3MouseDown);
  if (FilterGraph != nullptr) {
    FilterGraph->SetTimerInterval(MediaGraph::kDefaultTimerInterval);
    FilterGraph->SetOnTimer([this](MediaGraph& sender, int64_t current, int64_t stop) {
      dstrckbrMainformTimer(sender, current, stop);
    });
  }
}

void TFrmMainForm::WirePreview(TCustomProc& proc) {
  if (FilterGraph != nullptr) waveform_editor_ = new WaveformEditor(*this, context_, *FilterGraph);
  proc.SetPreviewCollaborators(FilterGraph.get(), &SourceFiles(), preview_controls_.get());
  connect(dxTreeSourceFileInfo, &TSourceListView::dxTreeSourceFileInfoEdited, this,
          &TFrmMainForm::dxTreeSourceFileInfoEdited);
  connect(dxTreeSourceFileInfo, &TSourceListView::dxtrlSourceFileStartTimeChange, this,
          &TFrmMainForm::dxtrlSourceFileStartTimeChange);
  // The waveform of a file that has left the list is not shown any more.
  const auto forget_gone_waveform = [this] {
    const std::string shown = MarkerBar()->WaveformFile().toStdString();
    SourceFileList& list = SourceFiles();
    for (int row = 0; row < list.RowCount(); ++row) {
      if (list.Cell(row, SourceColumn::FileName) == shown) return;
    }
    MarkerBar()->ShowWaveformOf(QString());
  };
  SourceListModel* model = dxTreeSourceFileInfo->Model();
  connect(model, &QAbstractItemModel::rowsRemoved, this, forget_gone_waveform);
  connect(model, &QAbstractItemModel::modelReset, this, forget_gone_waveform);
}

void TFrmMainForm::btnPlayClick() {
  RunHandler(context_.Ui, [this] {
    if (context_.CustomProc == nullptr) return;
    TCustomProc& proc = *context_.CustomProc;
    if (!context_.CommonLib->PreviewFile.empty()) {
      if (!proc.IsPlaying) proc.ResumePreview();
      return;
    }
    // Every selected file is opened in turn; the last one keeps playing.
    // The names are taken first: opening lets the window's events run.
    std::vector<std::string> files;
    SourceFileList& list = SourceFiles();
    for (int row : list.SelectedRows()) files.push_back(list.Cell(row, SourceColumn::FileName));
    for (const std::string& file : files) proc.OpenPreview(file);
  });
}

void TFrmMainForm::btnPauseClick() {
  RunHandler(context_.Ui, [this] {
    if (context_.CustomProc == nullptr) return;
    if (!context_.CommonLib->PreviewFile.empty() && context_.CustomProc->IsPlaying) {
      context_.CustomProc->PausePreview();
    }
  });
}

void TFrmMainForm::btnStopClick() {
  RunHandler(context_.Ui, [this] {
    if (context_.CustomProc != nullptr) context_.CustomProc->StopPreview();
  });
}

void TFrmMainForm::dstrckbrMainformTimer(MediaGraph&, int64_t current_pos, int64_t stop_pos) {
  // The part's end is looked at first: a looping part goes back to its
  // start before the ticker could pause at the end marker.
  if (waveform_editor_ != nullptr) waveform_editor_->PreviewTick();
  RunHandler(context_.Ui, [&] {
    if (context_.CustomProc != nullptr) context_.CustomProc->PreviewTimer(current_pos, stop_pos);
  });
}

void TFrmMainForm::SetStartTimeAndPlay() {
  RunHandler(context_.Ui, [this] {
    if (context_.CustomProc != nullptr) context_.CustomProc->SetStartTimeAndPlay();
  });
}

void TFrmMainForm::Splitter2Moved() {
  RunHandler(context_.Ui, [this] {
    if (context_.CustomProc != nullptr) context_.CustomProc->Splitter2Moved();
  });
}

void TFrmMainForm::Panel2MouseDown(Qt::MouseButton button, Qt::MouseButtons buttons,
                                   Qt::KeyboardModifiers modifiers, bool double_click) {
  RunHandler(context_.Ui, [&] {
    if (context_.CustomProc == nullptr) return;
    context_.CustomProc->NudgeStartHandle(ButtonOf(button),
                                          PressStateOf(buttons, modifiers, double_click));
  });
}

void TFrmMainForm::Panel3MouseDown(Qt::MouseButton button, Qt::MouseButtons buttons,
                                   Qt::KeyboardModifiers modifiers, bool double_click) {
  RunHandler(context_.Ui, [&] {
    if (context_.CustomProc == nullptr) return;
    context_.CustomProc->NudgeEndHandle(ButtonOf(button),
                                        PressStateOf(buttons, modifiers, double_click));
  });
}

void TFrmMainForm::dxTreeSourceFileInfoEdited() {
  RunHandler(context_.Ui, [this] {
    if (context_.CustomProc != nullptr) context_.CustomProc->SourceFileInfoEdited();
  });
}

void TFrmMainForm::dxtrlSourceFileStartTimeChange() {
  RunHandler(context_.Ui, [this] {
    if (context_.CustomProc != nullptr) context_.CustomProc->SourceFileStartTimeChange();
  });
}
