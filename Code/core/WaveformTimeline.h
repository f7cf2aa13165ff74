// WaveformTimeline: the arithmetic behind the waveform editor, with no window.
// It maps time to x and back for a strip of a given width, zooms around a
// point (from the whole song down to kFinestSecondsPerPixel), pans, fits the
// marked part, moves the part's edges in whole seconds with the same rules as
// typed times (segment_marker::WholePart), and decides what playing the part
// does at each position (go on, stop at End, or jump back to Start).
//
// EnvelopeSource: what the editor draws from (the media library's envelope
// behind a narrow interface).
//
// Plain values; the caller owns them. User-interface thread in practice; no
// shared state.
#pragma once

#include <cstdint>
#include <vector>

#include "WaveformEnvelope.h"  // PeakPair
#include "SegmentMarker.h"

class WaveformTimeline {
 public:
  // The closest zoom: beats are visible at this many seconds per pixel.
  static constexpr double kFinestSecondsPerPixel = 0.025;

  // A new song of `duration` seconds: the whole song is shown.
  void SetDuration(double duration);
  // The strip's width in pixels; the time at its left edge stays put, the
  // zoom is held to what the new width allows.
  void SetWidth(int width);
  double Duration() const { return duration_; }
  int Width() const { return width_; }

  // The shown window: its first second and its zoom.
  double ViewStart() const { return view_start_; }
  double SecondsPerPixel() const { return seconds_per_pixel_; }
  double ViewEnd() const { return view_start_ + seconds_per_pixel_ * width_; }
  // The widest zoom shows the whole song in the strip.
  double CoarsestSecondsPerPixel() const;
  bool WholeSongShown() const;

  double TimeAt(double x) const { return view_start_ + x * seconds_per_pixel_; }
  double XAt(double seconds) const { return (seconds - view_start_) / seconds_per_pixel_; }

  // Zooms by `factor` (> 1 closer, < 1 further) keeping the time at `x` under
  // x, as far as the zoom limits and the song's ends allow.
  void ZoomAround(double x, double factor);
  void SetZoom(double seconds_per_pixel, double anchor_x);
  // Pans by `dx` pixels (positive shows later times), held within the song.
  void PanBy(double dx);
  // Shows from `start` on at the present zoom, held within the song.
  void ScrollTo(double start);
  // Fits `part` with a margin of a tenth of its length on either side.
  void ZoomToPart(const segment_marker::Part& part);

  // Whole seconds for a time under the mouse: the nearest second.
  static int64_t WholeSecondAt(double seconds);
  // `edge` of `part` put at `second` in a song of `duration` whole seconds;
  // the moved edge gives way when the two would meet or cross.
  static segment_marker::Part MoveEdge(const segment_marker::Part& part, segment_marker::Edge edge,
                                       int64_t second, int64_t duration);
  // `edge` moved by `delta` seconds, held by the same rules.
  static segment_marker::Part NudgeEdge(const segment_marker::Part& part, segment_marker::Edge edge,
                                        int64_t delta, int64_t duration);

  // Playing the part: what to do at `position` seconds.
  enum class PartStep { Continue, StopAtEnd, BackToStart };
  static PartStep PartPlayStep(double position, const segment_marker::Part& part, bool loop);

 private:
  void Hold();
  double duration_ = 1.0;
  int width_ = 1;
  double view_start_ = 0.0;
  double seconds_per_pixel_ = 1.0;
};

// What the waveform editor draws from: the song's length and the min/max
// over a time range. Read on the user-interface thread only.
class EnvelopeSource {
 public:
  virtual ~EnvelopeSource() = default;
  virtual double Duration() const = 0;
  // Min and max over [t0, t1); false where the range holds none of the song.
  virtual bool Range(double t0, double t1, PeakPair& out) const = 0;
};
