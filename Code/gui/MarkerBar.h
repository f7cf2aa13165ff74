// TMarkerBar: the segment marker bar Panel1 (260 x 19) under the preview. From
// left to right: Panel2 (the file before the segment, its width a places the
// start handle), Splitter1 (the start handle), Panel4 (the segment),
// Splitter2 (the end handle), Panel3 (the file after the segment, width b).
// The handles follow the mouse while dragged and never pass each other; a
// handle's moved signal comes once the drag ends. Their faces are imgL and
// imgR with black shown in the handle's background colour.
//
// Behind the handles the bar draws the waveform of the file the marker was
// placed for, the parts outside the segment dimmed. The waveform is computed
// off the user-interface thread: first a quick sketch from short pieces spread
// over the file, then the full envelope; a request for another file makes the
// older results be dropped, so nothing ever waits for a file being read.
//
// The bar owns its child widgets; imgL and imgR belong to the window. The
// computations run on one worker thread shared by all bars; a bar that goes
// away stops its request and never hears of it again. User-interface thread
// only.
#pragma once

#include <QLabel>
#include <QPointer>
#include <QWidget>
#include <atomic>
#include <memory>
#include <vector>

#include "WaveformEnvelope.h"

class TMarkerBar : public QWidget {
  Q_OBJECT

 public:
  // The waveform is kept at this many slices per bar pixel (enough for 2x).
  static constexpr int kSlicesPerPixel = 2;

  TMarkerBar(QLabel* imgL, QLabel* imgR, QWidget* parent);
  ~TMarkerBar() override;

  QLabel* Panel2;
  QWidget* Splitter1;
  QLabel* Panel4;
  QWidget* Splitter2;
  QLabel* Panel3;

  // a and b; setting one keeps the layout rules (see SegmentMarker.h).
  int StartImageWidth() const { return Panel2->width(); }
  void SetStartImageWidth(int width);
  int EndImageWidth() const { return Panel3->width(); }
  void SetEndImageWidth(int width);

  // Shows the waveform of `file` once it is computed; the same file again
  // changes nothing. An empty name shows none.
  void ShowWaveformOf(const QString& file);
  QString WaveformFile() const { return waveform_file_; }
  // The slices shown now (empty until the first result of the file arrives)
  // and whether they are the full envelope rather than the quick sketch.
  const std::vector<PeakPair>& Waveform() const { return peaks_; }
  bool WaveformComplete() const { return complete_; }

 signals:
  // A drag of a handle ended with the handle moved (Splitter1Moved,
  // Splitter2Moved).
  void startHandleMoved();
  void endHandleMoved();
  // A mouse press on an outer image: the button pressed, the buttons and keys
  // held, and whether it is the second press of a double click.
  void startImagePressed(Qt::MouseButton button, Qt::MouseButtons buttons,
                         Qt::KeyboardModifiers modifiers, bool double_click);
  void endImagePressed(Qt::MouseButton button, Qt::MouseButtons buttons,
                       Qt::KeyboardModifiers modifiers, bool double_click);
  // New slices of the waveform are shown.
  void waveformChanged();
  // The handles have a new place (a drag, a nudge, the marker placed for a
  // row); their faces want painting again.
  void handlesMoved();

 protected:
  void paintEvent(QPaintEvent* event) override;
  void resizeEvent(QResizeEvent* event) override;

 private:
  class Handle;
  class Image;
  friend class Handle;
  friend class Image;

  // Places the five children for the present a and b.
  void Layout();
  void StartWaveform(const QString& file);
  void TakeWaveform(unsigned generation, std::vector<PeakPair> peaks, bool complete);

  QString waveform_file_;
  std::vector<PeakPair> peaks_;
  bool complete_ = false;
  unsigned generation_ = 0;
  // How the worker reaches the bar, and the stop flag of the request under way.
  struct WaveformLink;
  std::shared_ptr<WaveformLink> link_;
  std::shared_ptr<std::atomic<bool>> abort_;
};
