#include "SegmentMarker.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

namespace segment_marker {

namespace {

// The width the bar gives to the file's length: W - 2 - 2 x h1 for the start,
// W - 2 - h1 - h2 for the end (both 220).
constexpr int kStartSpan = kBarWidth - 2 - 2 * kHandleWidth;
constexpr int kEndSpan = kBarWidth - 2 - kHandleWidth - kHandleWidth;

int64_t Scaled(int64_t seconds, int64_t duration, int span) {
  const int64_t scaled =
      RoundHalfEven(static_cast<double>(seconds) / static_cast<double>(duration) * span);
  // Far beyond the bar either way is the bar's edge; the layout rules decide
  // the rest.
  return std::clamp<int64_t>(scaled, -kBarWidth, kBarWidth);
}

}  // namespace

int64_t RoundHalfEven(double value) {
  const double floor = std::floor(value);
  const double fraction = value - floor;
  auto whole = static_cast<int64_t>(floor);
  if (fraction > 0.5) return whole + 1;
  if (fraction < 0.5) return whole;
  return whole % 2 == 0 ? whole : whole + 1;
}

int StartImageWidthFor(int64_t start, int64_t duration) {
  if (duration <= 0) return 1;
  return static_cast<int>(Scaled(start, duration, kStartSpan) + 1);
}

int EndImageWidthFor(int64_t end, int64_t duration) {
  if (duration <= 0) return 1;
  return static_cast<int>(kBarWidth - 2 * kHandleWidth - 1 - Scaled(end, duration, kEndSpan));
}

int ClampStartImageWidth(int wanted, int end_image_width) {
  return std::max(1, std::min(wanted, MaxStartImageWidth(end_image_width)));
}

int ClampEndImageWidth(int wanted, int start_image_width) {
  return std::max(1, std::min(wanted, MaxEndImageWidth(start_image_width)));
}

int StartPercent(int start_handle_left) {
  // C++ division truncates toward zero, as the bar's arithmetic wants.
  return ((start_handle_left + kHandleWidth - 22) * 121) / kBarWidth;
}

int EndPercent(int end_handle_left) {
  return ((end_handle_left + kHandleWidth - kHandleWidth - 22) * 121) / kBarWidth;
}

int64_t PercentOfDuration(int percent, int64_t duration) { return percent * duration / 100; }

int NudgeStep(MouseButton button, const PressState& state) {
  if (button != MouseButton::Left) return 0;
  const bool others = state.alt || state.right || state.middle;
  if (state.left && !others && state.ctrl && !state.shift) return 1;
  if (state.left && !others && state.shift && !state.ctrl) return 10;
  return 5;
}

bool CanNudge(int width, int start_image_width, int end_image_width, int step) {
  return width > step && start_image_width + end_image_width + kNudgeRoom <= kBarWidth;
}

Part WholePart(Part wanted, int64_t duration, Edge yielding) {
  const int64_t length = std::max<int64_t>(duration, 1);
  Part part{std::clamp<int64_t>(wanted.start, 0, length - 1),
            std::clamp<int64_t>(wanted.end, 1, length)};
  if (part.end - part.start >= 1) return part;
  if (yielding == Edge::End) {
    part.end = part.start + 1;
  } else {
    part.start = part.end - 1;
  }
  return part;
}

std::string CurrentTimeText(int64_t seconds) {
  char text[64];
  std::snprintf(
      text, sizeof text, "%2.2lld:%2.2lld:%2.2lld", static_cast<long long>(seconds / 3600),
      static_cast<long long>((seconds % 3600) / 60), static_cast<long long>((seconds % 3600) % 60));
  return text;
}

}  // namespace segment_marker
