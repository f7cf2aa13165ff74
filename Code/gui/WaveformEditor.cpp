#include "WaveformEditor.h"

#include <QLabel>
#include <QScopeGuard>
#include <QToolButton>

#include "FinishingCommands.h"
#include "GuiErrors.h"
#include "SourceListView.h"
#include "UnitCustomProc.h"
#include "Unit_Convert.h"
#include "WaveformView.h"

namespace sm = segment_marker;
using Step = WaveformTimeline::PartStep;

WaveformEditor::WaveformEditor(TFrmMainForm& form, TApplicationContext& context, MediaGraph& graph)
    : QObject(&form), form_(form), context_(context), graph_(graph), view_(*form.WaveformView1) {
  SourceListModel* model = form.dxTreeSourceFileInfo->Model();
  connect(model, &SourceListModel::listSelectionChanged, this, &WaveformEditor::Refresh);
  connect(model, &QAbstractItemModel::dataChanged, this, &WaveformEditor::Refresh);
  connect(model, &QAbstractItemModel::rowsRemoved, this, &WaveformEditor::Refresh);
  connect(model, &QAbstractItemModel::modelReset, this, &WaveformEditor::Refresh);
  connect(&view_, &WaveformView::edgeMoved, this, &WaveformEditor::EdgeMoved);
  connect(&view_, &WaveformView::fadesChanged, this,
          [this](RowFades fades, bool) { FadesChanged(fades); });
  connect(&view_, &WaveformView::seekRequested, this, &WaveformEditor::SeekTo);
  connect(&view_, &WaveformView::playPartRequested, this, &WaveformEditor::PlayPart);
  connect(&ticker_, &QTimer::timeout, this, &WaveformEditor::PreviewTick);
  // The finishing commands of the view's toolbar.
  finishing_ = new FinishingCommands(form, context, view_);
  ticker_.start(kPlayheadInterval);
  Refresh();
}

void WaveformEditor::Refresh() {
  SourceFileList& list = form_.SourceFiles();
  const std::vector<int> rows = list.SelectedRows();
  if (rows.empty()) {
    view_.hide();
    return;
  }
  // The marker is placed for the last selected row; the view shows the same.
  const int row = rows.back();
  const int64_t duration = MarkerController::CellSeconds(list, row, SourceColumn::Duration, 0);
  const sm::Part part{MarkerController::CellSeconds(list, row, SourceColumn::StartTime, 0),
                      MarkerController::CellSeconds(list, row, SourceColumn::EndTime, duration)};
  view_.ShowSong(QString::fromStdString(list.Cell(row, SourceColumn::FileName)), duration);
  view_.SetPart(part);
  view_.SetFades(list.Fades(row));
  view_.show();
  view_.raise();
}

void WaveformEditor::EdgeMoved(sm::Part part, sm::Edge edge, bool finished) {
  RunHandler(context_.Ui, [&] {
    const int64_t second = edge == sm::Edge::Start ? part.start : part.end;
    context_.CustomProc->MoveWaveformEdge(edge, second, finished);
  });
}

// The row the view shows is the last selected one; its fades follow the
// handles while they move.
void WaveformEditor::FadesChanged(RowFades fades) {
  RunHandler(context_.Ui, [&] {
    SourceFileList& list = form_.SourceFiles();
    const std::vector<int> rows = list.SelectedRows();
    if (rows.empty()) return;
    const int row = rows.back();
    if (QString::fromStdString(list.Cell(row, SourceColumn::FileName)) != view_.SongFile()) return;
    list.SetFades(row, fades);
  });
}

bool WaveformEditor::PreviewHoldsSong() const {
  return !view_.SongFile().isEmpty() && graph_.Active() &&
         context_.CommonLib->PreviewFile == view_.SongFile().toStdString();
}

double WaveformEditor::PositionSeconds() const { return graph_.CurrentPosition() / 1e7; }

void WaveformEditor::SeekTo(double seconds) {
  RunHandler(context_.Ui, [&] {
    if (!PreviewHoldsSong() || !context_.CustomProc->IsPlaying) return;
    TCommonLib::SeekTo(graph_, static_cast<int64_t>(seconds * 1000));
    view_.SetPlayhead(seconds);
  });
}

void WaveformEditor::PlayPart() {
  RunHandler(context_.Ui, [&] {
    TCustomProc& proc = *context_.CustomProc;
    if (view_.SongFile().isEmpty() || view_.isHidden()) return;
    if (part_mode_ && PreviewHoldsSong()) {
      if (proc.IsPlaying) {
        proc.PausePreview();
        part_paused_ = true;
      } else {
        part_paused_ = false;
        proc.ResumePreview();
        ticker_.start(kPlayheadInterval);
      }
      return;
    }
    if (!PreviewHoldsSong()) proc.OpenPreview(view_.SongFile().toStdString());
    if (!PreviewHoldsSong()) return;  // the song does not play
    part_mode_ = true;
    part_paused_ = false;
    TCommonLib::SeekTo(graph_, view_.Part().start * 1000);
    if (!proc.IsPlaying) proc.ResumePreview();
    view_.SetPlayhead(static_cast<double>(view_.Part().start));
    ticker_.start(kPlayheadInterval);
  });
}

void WaveformEditor::PreviewTick() {
  RunHandler(context_.Ui, [&] {
    if (context_.CustomProc == nullptr) return;
    TCustomProc& proc = *context_.CustomProc;
    const bool holds = PreviewHoldsSong();
    // Quick while the song plays, for a smooth playhead; slow otherwise.
    const int interval = holds && proc.IsPlaying ? kPlayheadInterval : kIdleInterval;
    if (ticker_.interval() != interval) ticker_.setInterval(interval);
    // Whatever happens below, the button ends up telling what it will do.
    const auto show_mode = qScopeGuard([&] { view_.SetPartPlaying(part_mode_ && proc.IsPlaying); });
    if (!holds) {
      part_mode_ = false;
      view_.SetPlayhead(-1.0);
      return;
    }
    // Play, Pause or Stop of the player itself ends the part's play.
    if (!proc.IsPlaying && !part_paused_) part_mode_ = false;
    const double position = PositionSeconds();
    view_.SetPlayhead(position);
    if (!part_mode_ || !proc.IsPlaying) return;
    const sm::Part part = view_.Part();
    switch (WaveformTimeline::PartPlayStep(position, part, view_.LoopButton()->isChecked())) {
      case Step::Continue:
        break;
      case Step::BackToStart:
        TCommonLib::SeekTo(graph_, part.start * 1000);
        view_.SetPlayhead(static_cast<double>(part.start));
        break;
      case Step::StopAtEnd:
        proc.PausePreview();
        // What was heard went up to a tick past End; the song waits at End,
        // so the playhead, the time shown and a later Play all agree on it.
        TCommonLib::SeekTo(graph_, part.end * 1000);
        part_mode_ = false;
        view_.SetPlayhead(static_cast<double>(part.end));
        form_.pnlCurTime->setText(QString::fromStdString(sm::CurrentTimeText(part.end)));
        break;
    }
  });
}
