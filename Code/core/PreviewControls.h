// PreviewControls: the few controls of the main window that the preview
// player and the segment marker touch: the current-time display pnlCurTime,
// the logo panel panLogo, the hidden position ticker, and the marker bar
// (the widths of its outer images Panel2 and Panel3, the left edges of its
// handles). The main window implements it over its widgets; PreviewControlsData
// keeps the same values as plain data, with the bar's layout rules, for code
// and tests that have no window.
//
// Not owned by the controller that uses it. User-interface thread only.
#pragma once

#include <string>

#include "SegmentMarker.h"

class PreviewControls {
 public:
  virtual ~PreviewControls() = default;

  // pnlCurTime's caption.
  virtual std::string CurrentTimeText() const = 0;
  virtual void SetCurrentTimeText(const std::string& text) = 0;
  // panLogo.
  virtual bool LogoVisible() const = 0;
  virtual void SetLogoVisible(bool visible) = 0;
  // The position of the hidden ticker dstrckbrMainform.
  virtual void SetTickerPosition(int position) = 0;

  // The marker bar. Setting a width follows the bar's layout rules (the
  // handles never pass each other), so the width read back may differ from
  // the one asked for.
  virtual int StartImageWidth() const = 0;  // a, Panel2
  virtual void SetStartImageWidth(int width) = 0;
  virtual int EndImageWidth() const = 0;  // b, Panel3
  virtual void SetEndImageWidth(int width) = 0;
  virtual int StartHandleLeft() const = 0;  // Splitter1
  virtual int EndHandleLeft() const = 0;    // Splitter2
  // Paints the end handle's face again.
  virtual void RepaintEndHandle() = 0;
  // The marker has been placed for `file`: the bar shows that file's
  // waveform behind the handles.
  virtual void ShowWaveformOf(const std::string& file) = 0;
};

// Puts the marker's handles at `start` and `end` seconds of a file of
// `duration` seconds.
void PlaceMarkerHandles(PreviewControls& view, int64_t start, int64_t end, int64_t duration);

class PreviewControlsData : public PreviewControls {
 public:
  std::string CurTime = "00:00:00";
  bool Logo = true;
  int TickerPosition = 0;
  int StartWidth = 1;
  int EndWidth = 1;
  int EndHandleRepaints = 0;
  std::string WaveformFile;

  std::string CurrentTimeText() const override { return CurTime; }
  void SetCurrentTimeText(const std::string& text) override { CurTime = text; }
  bool LogoVisible() const override { return Logo; }
  void SetLogoVisible(bool visible) override { Logo = visible; }
  void SetTickerPosition(int position) override { TickerPosition = position; }
  int StartImageWidth() const override { return StartWidth; }
  void SetStartImageWidth(int width) override {
    StartWidth = segment_marker::ClampStartImageWidth(width, EndWidth);
  }
  int EndImageWidth() const override { return EndWidth; }
  void SetEndImageWidth(int width) override {
    EndWidth = segment_marker::ClampEndImageWidth(width, StartWidth);
  }
  int StartHandleLeft() const override { return segment_marker::StartHandleLeft(StartWidth); }
  int EndHandleLeft() const override { return segment_marker::EndHandleLeft(EndWidth); }
  void RepaintEndHandle() override { ++EndHandleRepaints; }
  void ShowWaveformOf(const std::string& file) override { WaveformFile = file; }
};
