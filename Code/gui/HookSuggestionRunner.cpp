#include "HookSuggestionRunner.h"

#include <QApplication>
#include <QThread>
#include <QToolButton>
#include <algorithm>
#include <cmath>
#include <set>

#include "ApplicationContext.h"
#include "GuiErrors.h"
#include "HookSuggester.h"
#include "MarkerController.h"
#include "UnitCustomProc.h"
#include "Unit_Convert.h"
#include "WaveformView.h"

HookSuggestionRunner::HookSuggestionRunner(TFrmMainForm& form, TApplicationContext& context,
                                           WaveformView& view)
    : QObject(&form), form_(form), context_(context), view_(view) {
  // Two songs at a time at most: the analysis of one keeps a core busy, and
  // the window and the preview need the rest.
  pool_.setMaxThreadCount(std::clamp(QThread::idealThreadCount(), 1, 2));
  idle_text_ = view_.SuggestHookButton()->text();
  idle_tip_ = view_.SuggestHookButton()->toolTip();
  connect(&view_, &WaveformView::suggestHookRequested, this,
          &HookSuggestionRunner::SuggestForSelection);
}

HookSuggestionRunner::~HookSuggestionRunner() {
  // The analyses poll the flag, so the wait is short; once it is over no
  // worker can post to this object any more.
  cancel_->store(true);
  pool_.clear();
  pool_.waitForDone();
  if (Running()) QApplication::restoreOverrideCursor();
}

void HookSuggestionRunner::SuggestForSelection() {
  if (Running()) return;  // F7 reaches here even while the button is disabled
  SourceFileList& list = form_.SourceFiles();
  std::set<std::string> seen;
  std::vector<Outcome> jobs;
  for (int row : list.SelectedRows()) {
    Outcome job;
    job.file = list.Cell(row, SourceColumn::FileName);
    if (!seen.insert(job.file).second) continue;
    const int64_t song = MarkerController::CellSeconds(list, row, SourceColumn::Duration, 0);
    const int64_t start = MarkerController::CellSeconds(list, row, SourceColumn::StartTime, 0);
    const int64_t end = MarkerController::CellSeconds(list, row, SourceColumn::EndTime, song);
    // A part that is the whole song is no choice yet (every row starts so):
    // keeping its length would suggest the whole song, so it gets 30 s.
    const bool whole_song = start == 0 && end >= song;
    const int64_t current = whole_song ? 0 : end - start;
    job.length =
        std::llround(HookLengthSeconds(static_cast<double>(current), static_cast<double>(song)));
    if (job.length < 1) job.length = 1;
    jobs.push_back(std::move(job));
  }
  if (jobs.empty()) return;

  done_ = 0;
  total_ = static_cast<int>(jobs.size());
  failures_.clear();
  QApplication::setOverrideCursor(Qt::WaitCursor);
  ShowProgress();
  for (Outcome& job : jobs) {
    pool_.start([this, job = std::move(job), cancel = cancel_]() mutable {
      try {
        job.start_ms =
            SuggestHook(job.file, static_cast<double>(job.length), cancel.get()).start_ms;
      } catch (const HookCancelled&) {
        return;  // the runner is going away
      } catch (const std::exception& error) {
        job.reason = error.what();
      }
      QMetaObject::invokeMethod(
          this, [this, job] { SongFinished(job); }, Qt::QueuedConnection);
    });
  }
}

void HookSuggestionRunner::SongFinished(const Outcome& outcome) {
  ++done_;
  if (!outcome.reason.empty()) {
    // The media library's reasons name the file; any other gets it in front.
    const bool named = outcome.reason.find(outcome.file) != std::string::npos;
    failures_.push_back(named ? outcome.reason : outcome.file + ": " + outcome.reason);
  } else if (context_.CustomProc != nullptr) {
    RunHandler(context_.Ui, [&] {
      // Whole seconds, the nearest to the analysis's start (which lies on a beat).
      const int64_t start = (outcome.start_ms + 500) / 1000;
      context_.CustomProc->SetSuggestedPart(outcome.file, start, outcome.length);
    });
  }
  if (done_ < total_) {
    ShowProgress();
    return;
  }
  EndRun();
}

void HookSuggestionRunner::ShowProgress() {
  QToolButton* button = view_.SuggestHookButton();
  button->setEnabled(false);
  // The song under way: the first one while none has finished.
  const QString count = QString("%1/%2…").arg(std::min(done_ + 1, total_)).arg(total_);
  button->setText(count);
  button->setToolTip("Suggesting " + count);
  button->setAccessibleName("Suggesting " + count);
}

void HookSuggestionRunner::EndRun() {
  total_ = 0;
  QToolButton* button = view_.SuggestHookButton();
  button->setText(idle_text_);
  button->setToolTip(idle_tip_);
  button->setAccessibleName(idle_tip_);
  button->setEnabled(true);
  QApplication::restoreOverrideCursor();
  emit suggestionsFinished();
  if (failures_.empty()) return;
  std::string text = "The hook could not be suggested for these songs; their parts are kept.";
  for (const std::string& failure : failures_) text += "\n" + failure;
  context_.Ui.MessageBox(text, MessageIcon::Warning, MessageButtons::Ok);
}
