// WaveformView: the waveform editor in the preview panel. It draws a song's
// min/max envelope with a time ruler, the marked part bright and the rest
// dimmed, the part's two edges (dragged with the mouse or moved with the
// keys, in whole seconds), ticks where each second falls once zoomed in, the
// playhead and the time under the mouse. The part's fades are drawn as their
// curve over its first and last seconds and set by dragging two small handles
// in the part's top corners (the edges are dragged anywhere else on the
// strip). The wheel zooms around the mouse, a drag on the ruler or the scroll
// bar pans. A slim toolbar holds its own commands: play the part, loop, zoom
// to part, and the finishing commands (the finishing settings, suggest the
// hook), which it only announces.
//
// The view holds no song data of its own making: it draws from an
// EnvelopeSource it is handed, and loads one for a file off the window thread
// (a quick sketch, then the full envelope), dropping results of a file it no
// longer shows. The arithmetic lives in WaveformTimeline and PartFades; the view only turns
// input into its calls and paints. What the part's edges mean to the list and
// the player is its owner's business: the view says what a person asked for
// through its signals.
//
// The fades' part of the view is in WaveformViewFades.cpp. The view owns its
// toolbar buttons and its cached picture; the envelope is
// shared with the loader. User-interface thread only.
#pragma once

#include <QImage>
#include <QWidget>
#include <memory>
#include <optional>

#include "PartFades.h"
#include "SegmentMarker.h"
#include "SourceFileList.h"
#include "WaveformTimeline.h"

class QLabel;
class QScrollBar;
class QToolButton;

class WaveformView : public QWidget {
  Q_OBJECT

 public:
  static constexpr int kToolbarHeight = 20;
  static constexpr int kRulerHeight = 14;
  static constexpr int kScrollHeight = 10;
  // How near an edge (in pixels) a press grabs it.
  static constexpr int kGrabDistance = 5;
  // The side of a fade handle's square, in pixels.
  static constexpr int kFadeHandleSize = 9;

  explicit WaveformView(QWidget* parent);
  ~WaveformView() override;

  // Shows `file` (`duration` whole seconds, as the list measured it) and
  // loads its envelope; the same file again changes nothing. An empty name
  // shows nothing.
  void ShowSong(const QString& file, int64_t duration);
  QString SongFile() const { return file_; }
  // Draws from `source` from now on; `complete` says it is the full envelope
  // rather than the sketch (a null source with `complete`: the file gives
  // none, and the view says so). The timeline keeps its zoom.
  void SetEnvelope(std::shared_ptr<const EnvelopeSource> source, bool complete);
  bool EnvelopeComplete() const { return complete_; }
  bool HasEnvelope() const { return source_ != nullptr; }

  // The marked part, in whole seconds; setting it emits nothing.
  void SetPart(const segment_marker::Part& part);
  segment_marker::Part Part() const { return part_; }
  segment_marker::Edge FocusedEdge() const { return focused_edge_; }

  // The row's fades as stored; the view draws what the part allows of them.
  // Setting them emits nothing.
  void SetFades(const RowFades& fades);
  RowFades Fades() const { return fades_; }
  // The square of a fade handle, in the view's coordinates: at the top of the
  // strip, inside the part, beside the inner end of its fade.
  QRect FadeHandleRect(part_fades::Side side) const;

  // The playhead in seconds; a negative time hides it.
  void SetPlayhead(double seconds);
  double Playhead() const { return playhead_; }
  // The play-the-part button shows whether the part plays (it then pauses).
  void SetPartPlaying(bool playing);

  WaveformTimeline& Timeline() { return timeline_; }
  const WaveformTimeline& Timeline() const { return timeline_; }
  // The strip that shows the song, in the view's coordinates (its x is the
  // timeline's 0), and the ruler under it.
  QRect WaveRect() const;
  QRect RulerRect() const;
  // The text beside the toolbar: the time under the mouse.
  QString HoverText() const;

  QToolButton* PlayPartButton() const { return play_part_; }
  QToolButton* LoopButton() const { return loop_; }
  QToolButton* ZoomToPartButton() const { return zoom_to_part_; }
  QToolButton* FinishingButton() const { return finishing_; }
  QToolButton* SuggestHookButton() const { return suggest_hook_; }
  QScrollBar* ScrollBar() const { return scroll_; }

  // Fits the part in the strip.
  void ZoomToPart();

  // Paints the picture of the song for the present zoom once more, as after
  // a change of data (benchmarks time it).
  void DropCachedPicture() { cache_ = QImage(); }

 signals:
  // An edge was moved by the mouse or the keys; `finished` once the drag or
  // key press is over. The part is already held to the typed-time rules.
  void edgeMoved(segment_marker::Part part, segment_marker::Edge edge, bool finished);
  // A fade handle was dragged: the row's fades, the dragged one in steps of
  // 0.1 s within what the part allows; `finished` once the mouse is released.
  void fadesChanged(RowFades fades, bool finished);
  // A click away from the edges: play from there, if the song plays.
  void seekRequested(double seconds);
  // Play the part, or pause it while it plays (button and Space).
  void playPartRequested();
  // The finishing settings window (button and F6).
  void finishingSettingsRequested();
  // Suggest the hook of the selected rows (button and F7).
  void suggestHookRequested();
  void envelopeChanged();

 protected:
  void paintEvent(QPaintEvent* event) override;
  void resizeEvent(QResizeEvent* event) override;
  void mousePressEvent(QMouseEvent* event) override;
  void mouseMoveEvent(QMouseEvent* event) override;
  void mouseReleaseEvent(QMouseEvent* event) override;
  void leaveEvent(QEvent* event) override;
  void wheelEvent(QWheelEvent* event) override;
  void keyPressEvent(QKeyEvent* event) override;
  bool focusNextPrevChild(bool next) override;
  void focusInEvent(QFocusEvent* event) override;
  void focusOutEvent(QFocusEvent* event) override;

 private:
  enum class Drag { None, StartEdge, EndEdge, FadeIn, FadeOut, Pan };
  void TimelineChanged();
  void SyncScrollBar();
  void StartLoading(const QString& file);
  void RenderWave(qreal dpr);
  void PaintRuler(QPainter& painter) const;
  void PaintSecondTicks(QPainter& painter, const QRect& wave) const;
  void MoveEdgeTo(segment_marker::Edge edge, int64_t second, bool finished);
  // Fades and their handles (WaveformViewFades.cpp).
  void PaintFades(QPainter& painter, const QRect& wave) const;
  void PaintFadeHandles(QPainter& painter) const;
  // The fade handle under `at`, if any (the nearer one when both are).
  std::optional<part_fades::Side> FadeHandleAt(QPoint at) const;
  void MoveFadeTo(part_fades::Side side, double x, bool finished);
  // The fades the part allows of the stored ones.
  RowFades ShownFades() const;
  static QString FadeText(part_fades::Side side, double seconds);
  int64_t SongSeconds() const;

  WaveformTimeline timeline_;
  std::shared_ptr<const EnvelopeSource> source_;
  bool complete_ = false;
  QString file_;
  int64_t duration_ = 0;
  segment_marker::Part part_;
  RowFades fades_;
  // Between the press and the dragged handle's inner end, so the handle does
  // not jump under the mouse.
  double fade_grab_offset_ = 0.0;
  segment_marker::Edge focused_edge_ = segment_marker::Edge::Start;
  double playhead_ = -1.0;
  double hover_ = -1.0;
  Drag drag_ = Drag::None;
  double drag_last_x_ = 0.0;

  // The song's picture for the present zoom, device pixels; redrawn only
  // when the zoom, the size or the data change.
  QImage cache_;
  struct CacheKey {
    double start = -1, spp = -1;
    QSize size;
    qreal dpr = 0;
    const EnvelopeSource* source = nullptr;
    bool operator==(const CacheKey&) const = default;
  } cache_key_;

  // The loader's link back to the view: cut when the view goes or shows
  // another file, so late results are dropped.
  struct Link;
  std::shared_ptr<Link> link_;

  QToolButton* play_part_;
  QToolButton* loop_;
  QToolButton* zoom_to_part_;
  QToolButton* finishing_;
  QToolButton* suggest_hook_;
  QLabel* hover_label_;
  QScrollBar* scroll_;
  bool syncing_scroll_ = false;
};
