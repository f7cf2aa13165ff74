#include "WaveformTimeline.h"

#include <algorithm>
#include <cmath>

namespace sm = segment_marker;

void WaveformTimeline::SetDuration(double duration) {
  duration_ = std::max(duration, 1.0);
  view_start_ = 0.0;
  seconds_per_pixel_ = CoarsestSecondsPerPixel();
}

void WaveformTimeline::SetWidth(int width) {
  const bool whole = WholeSongShown();
  width_ = std::max(width, 1);
  // A strip that showed the whole song keeps showing it when it changes size.
  if (whole) seconds_per_pixel_ = CoarsestSecondsPerPixel();
  Hold();
}

double WaveformTimeline::CoarsestSecondsPerPixel() const {
  return std::max(duration_ / width_, kFinestSecondsPerPixel);
}

bool WaveformTimeline::WholeSongShown() const {
  return seconds_per_pixel_ >= CoarsestSecondsPerPixel() * (1.0 - 1e-9);
}

void WaveformTimeline::Hold() {
  seconds_per_pixel_ =
      std::clamp(seconds_per_pixel_, kFinestSecondsPerPixel, CoarsestSecondsPerPixel());
  const double last_start = std::max(0.0, duration_ - seconds_per_pixel_ * width_);
  view_start_ = std::clamp(view_start_, 0.0, last_start);
}

void WaveformTimeline::SetZoom(double seconds_per_pixel, double anchor_x) {
  const double anchored = TimeAt(anchor_x);
  seconds_per_pixel_ =
      std::clamp(seconds_per_pixel, kFinestSecondsPerPixel, CoarsestSecondsPerPixel());
  view_start_ = anchored - anchor_x * seconds_per_pixel_;
  Hold();
}

void WaveformTimeline::ZoomAround(double x, double factor) {
  if (factor <= 0.0) return;
  SetZoom(seconds_per_pixel_ / factor, x);
}

void WaveformTimeline::PanBy(double dx) {
  view_start_ += dx * seconds_per_pixel_;
  Hold();
}

void WaveformTimeline::ScrollTo(double start) {
  view_start_ = start;
  Hold();
}

void WaveformTimeline::ZoomToPart(const sm::Part& part) {
  const double length = std::max<double>(part.end - part.start, 1.0);
  const double margin = length / 10.0;
  seconds_per_pixel_ = (length + 2 * margin) / width_;
  view_start_ = part.start - margin;
  Hold();
}

int64_t WaveformTimeline::WholeSecondAt(double seconds) {
  return static_cast<int64_t>(std::llround(std::max(seconds, 0.0)));
}

sm::Part WaveformTimeline::MoveEdge(const sm::Part& part, sm::Edge edge, int64_t second,
                                    int64_t duration) {
  sm::Part wanted = part;
  (edge == sm::Edge::Start ? wanted.start : wanted.end) = std::max<int64_t>(second, 0);
  return sm::WholePart(wanted, duration, edge);
}

sm::Part WaveformTimeline::NudgeEdge(const sm::Part& part, sm::Edge edge, int64_t delta,
                                     int64_t duration) {
  const int64_t from = edge == sm::Edge::Start ? part.start : part.end;
  return MoveEdge(part, edge, from + delta, duration);
}

WaveformTimeline::PartStep WaveformTimeline::PartPlayStep(double position, const sm::Part& part,
                                                          bool loop) {
  if (position < static_cast<double>(part.end)) return PartStep::Continue;
  return loop ? PartStep::BackToStart : PartStep::StopAtEnd;
}
