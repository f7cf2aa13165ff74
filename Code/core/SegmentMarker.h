// SegmentMarker: the arithmetic of the segment marker bar and the preview
// state that the marker writes. The bar stands for the whole file: the width
// a of the image before the start handle and the width b of the image after
// the end handle place the two handles, and the handles' positions turn back
// into start and end times in whole percent of the file.
//
// Plain functions and one plain state record; no window, no media. Used on the
// user-interface thread (the functions themselves are pure and may be called
// from any thread).
#pragma once

#include <cstdint>
#include <string>

namespace segment_marker {

// Panel1, the bar: 260 x 19, the handles Splitter1 and Splitter2 19 wide.
inline constexpr int kBarWidth = 260;
inline constexpr int kBarHeight = 19;
inline constexpr int kHandleWidth = 19;
// The nudges stop while the two outer images and the handles would leave
// fewer than this many pixels between them.
inline constexpr int kNudgeRoom = 45;
// A handle moved so close to the other one that their left edges are less
// than this apart gives back one pixel.
inline constexpr int kHandleGap = 20;

// Rounds to the nearest integer, halves to the even neighbour.
int64_t RoundHalfEven(double value);

// a for a start of `start` seconds in a file of `duration` seconds:
// rounded(start / duration x 220) + 1. A duration of 0 (a file that reads as
// shorter than a second) places the start at the far left.
int StartImageWidthFor(int64_t start, int64_t duration);
// b for an end of `end` seconds: 221 - rounded(end / duration x 220). A
// duration of 0 places the end at the far right.
int EndImageWidthFor(int64_t end, int64_t duration);

// Where the handles' left edges are for the image widths a and b.
constexpr int StartHandleLeft(int start_image_width) { return start_image_width; }
constexpr int EndHandleLeft(int end_image_width) {
  return kBarWidth - end_image_width - kHandleWidth;
}

// The layout rules of the bar: an outer image is at least 1 pixel wide and
// the segment image between the handles keeps at least 1 pixel, so the
// handles never pass each other. The widest a beside b, and the other way.
constexpr int MaxStartImageWidth(int end_image_width) {
  return kBarWidth - 2 * kHandleWidth - 1 - end_image_width;
}
constexpr int MaxEndImageWidth(int start_image_width) {
  return kBarWidth - 2 * kHandleWidth - 1 - start_image_width;
}
// `wanted` held to the rules beside the other image's width.
int ClampStartImageWidth(int wanted, int end_image_width);
int ClampEndImageWidth(int wanted, int start_image_width);

// The start percentage p = ((left of Splitter1 + h1 - 22) x 121) div W and
// the end percentage q = ((left of Splitter2 + h2 - h1 - 22) x 121) div W.
// With the end handle at the far right q is 101.
int StartPercent(int start_handle_left);
int EndPercent(int end_handle_left);
// percent x duration div 100, in whole seconds.
int64_t PercentOfDuration(int percent, int64_t duration);

// The mouse press on an outer image of the bar: the button pressed and the
// shift keys and buttons held at that moment.
enum class MouseButton { Left, Right, Middle, Other };
struct PressState {
  bool ctrl = false;
  bool shift = false;
  bool alt = false;
  bool left = false;  // the left button is down (it is, for a left press)
  bool right = false;
  bool middle = false;
  bool double_click = false;
};
// The nudge in pixels: 1 for Ctrl and the left button alone, 10 for Shift and
// the left button alone (a double click counts as the same state), 5 for any
// other state of a left press; 0 for any other button.
int NudgeStep(MouseButton button, const PressState& state);
// Whether an outer image of width `width` may shrink by `step`: it is wider
// than the step and the two images leave room for the handles.
bool CanNudge(int width, int start_image_width, int end_image_width, int step);

// The part of a file that a row keeps: whole seconds from the start.
struct Part {
  int64_t start = 0;
  int64_t end = 0;
};
// Which edge of the part gives way when the two would meet or cross.
enum class Edge { Start, End };
// `wanted` held to what the engine can cut: the part lies within a file of
// `duration` seconds (a file reads as at least one second long) and lasts at
// least one second. Where the edges meet or cross, `yielding` is moved to one
// second from the other; the other edge stays where it was put.
Part WholePart(Part wanted, int64_t duration, Edge yielding);

// The current-time display's text for whole seconds: "%2.2d:%2.2d:%2.2d" of
// hours, minutes and seconds.
std::string CurrentTimeText(int64_t seconds);

}  // namespace segment_marker

// What the marker writes for the preview. The state lives for the whole run.
struct TMarkerState {
  // The marker has been placed for a row at least once; false again only
  // while a later placement is under way. Only then is PreviewStartSeconds
  // applied to a newly opened preview.
  bool MarkerReady = false;
  // Duration in whole seconds of the row the marker was last placed for.
  int64_t MarkerDuration = 0;
  // Where a newly opened preview starts; written by the start handle.
  int64_t PreviewStartSeconds = 0;
  // The time text at which a running preview pauses; written by the end
  // handle, not tied to a file. Empty never matches.
  std::string EndMarkerText;
};
