// HookSuggestionRunner: "Suggest the hook" for the selected rows of the main
// window's list. Each selected song is analysed by the media library's
// SuggestHook on a small thread pool of its own (never on the window thread),
// and each result sets that song's rows' Start/End in whole seconds through
// TCustomProc, the way a typed part is set, so the cells, the marker bar and
// the waveform view agree. The part keeps the row's length when that is at
// least 5 s (and not the whole song, which every new row has), else 30 s,
// never past the song.
//
// Results are matched to rows by file name when they arrive: a row removed
// meanwhile (or a cleared list) simply takes nothing, and a song that cannot
// be analysed keeps its part while the others go on; the failures are named
// in one message box at the end. While it runs, the toolbar button is
// disabled and shows the progress ("3/20…", its tip "Suggesting 3/20…") and
// the program shows its wait cursor.
//
// A child of the main window; the view, the list and TCustomProc belong to
// the program. Its pool belongs to it: going away cancels the analyses and
// waits for them, so no result outlives it. User-interface thread only.
#pragma once

#include <QObject>
#include <QString>
#include <QThreadPool>
#include <atomic>
#include <memory>
#include <string>
#include <vector>

class TApplicationContext;
class TFrmMainForm;
class WaveformView;

class HookSuggestionRunner : public QObject {
  Q_OBJECT

 public:
  HookSuggestionRunner(TFrmMainForm& form, TApplicationContext& context, WaveformView& view);
  ~HookSuggestionRunner() override;

  // Starts the analysis of the selected rows' songs; does nothing while one
  // runs or when no row is selected.
  void SuggestForSelection();
  bool Running() const { return total_ > 0; }
  // Songs analysed (or failed) so far, and in all, of the present run.
  int Done() const { return done_; }
  int Total() const { return total_; }

 signals:
  // Every song of the run has been treated.
  void suggestionsFinished();

 private:
  struct Outcome {
    std::string file;
    int64_t length = 0;  // whole seconds
    int64_t start_ms = -1;
    std::string reason;  // why it failed; empty on success
  };
  void SongFinished(const Outcome& outcome);
  void ShowProgress();
  void EndRun();

  TFrmMainForm& form_;
  TApplicationContext& context_;
  WaveformView& view_;
  QThreadPool pool_;
  std::shared_ptr<std::atomic<bool>> cancel_ = std::make_shared<std::atomic<bool>>(false);
  int done_ = 0;
  int total_ = 0;
  std::vector<std::string> failures_;
  // The button's own caption and tip, given back when a run ends.
  QString idle_text_;
  QString idle_tip_;
};
