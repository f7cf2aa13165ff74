// WaveformEditor: keeps the main window's waveform view, the source list's
// Start/End cells, the marker bar and the preview player in step. The view
// shows the song of the selected row (the logo returns when no row is
// selected); an edge moved in the view goes through TCustomProc into the
// cells and the marker, and any change of the cells (typed, or written by a
// marker handle) moves the view's edges. The fade handles dragged in the view
// set the fades of the row it shows, and the view shows each row's fades as
// it is selected. While the preview plays its song,
// the playhead follows the preview graph's position, a click in the view
// seeks, and "play the part" plays from Start and stops at End, or jumps
// back to Start while Loop is on. The toolbar's finishing commands (the
// finishing settings, suggest the hook) are made here and run by
// FinishingCommands.
//
// A child object of the main window; the view, the controller, the list and
// the graph belong to the window and the program. User-interface thread only.
#pragma once

#include <QObject>
#include <QTimer>

#include "SegmentMarker.h"
#include "SourceFileList.h"

class FinishingCommands;
class MediaGraph;
class TCustomProc;
class TFrmMainForm;
class TApplicationContext;
class WaveformView;

class WaveformEditor : public QObject {
  Q_OBJECT

 public:
  // How often the playhead and the part's end are checked while playing.
  static constexpr int kPlayheadInterval = 30;
  // How often it looks whether the preview started meanwhile.
  static constexpr int kIdleInterval = 200;

  WaveformEditor(TFrmMainForm& form, TApplicationContext& context, MediaGraph& graph);

  // Play the part from Start, or pause / resume it while it is the part
  // that plays.
  void PlayPart();
  // Whether the preview plays the part now (rather than the whole song).
  bool PlayingPart() const { return part_mode_; }
  // Follows the preview: the playhead, and the part's end while the part
  // plays. Runs on its own timer and before the preview's own ticker.
  void PreviewTick();
  // Shows the song of the selected row, with its part, or the logo.
  void Refresh();
  // The finishing settings and the suggested hook (the toolbar's commands).
  FinishingCommands& Finishing() const { return *finishing_; }

 private:
  void EdgeMoved(segment_marker::Part part, segment_marker::Edge edge, bool finished);
  void FadesChanged(RowFades fades);
  void SeekTo(double seconds);
  // The preview has the view's song loaded.
  bool PreviewHoldsSong() const;
  double PositionSeconds() const;

  TFrmMainForm& form_;
  TApplicationContext& context_;
  MediaGraph& graph_;
  WaveformView& view_;
  QTimer ticker_;
  bool part_mode_ = false;
  bool part_paused_ = false;
  FinishingCommands* finishing_;
};
