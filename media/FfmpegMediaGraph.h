// FfmpegMediaGraph: the media graph of Tonbrix, on the FFmpeg libraries and
// Qt Multimedia. Rendering a file probes it in-process (no audio device is
// opened); running it decodes on a thread of its own and plays through
// QAudioSink on the default audio output, or through a silent output that
// keeps real time when the machine has no audio device.
//
// Ownership: the creator owns the graph; the graph owns its decoder thread,
// its audio output and its timers. Threads: create and use a graph on one
// thread that runs a Qt event loop (the user-interface thread); the ticker and
// the feeding of the audio output are timers of that thread. Probing
// (Clear, SetActive, RenderFile, Duration) works without an event loop.
#pragma once

#include <QTimer>
#include <memory>
#include <string>
#include <vector>

#include "AudioOutput.h"
#include "MediaGraph.h"
#include "MediaProbe.h"
#include "PlaybackDecoder.h"

class FfmpegMediaGraph final : public MediaGraph {
 public:
  enum class Output {
    DefaultDevice,  // the system's default output; silent when there is none
    Silent,         // always the silent output
  };

  explicit FfmpegMediaGraph(Output output = Output::DefaultDevice);
  ~FfmpegMediaGraph() override;
  FfmpegMediaGraph(const FfmpegMediaGraph&) = delete;
  FfmpegMediaGraph& operator=(const FfmpegMediaGraph&) = delete;

  bool Active() const override { return active_; }
  void SetActive(bool active) override;
  void Clear() override;
  int RenderFile(const std::string& path) override;
  int64_t Duration() override;
  void Run() override;
  void Pause() override;
  void Stop() override;
  GraphState State() const override { return state_; }
  int64_t CurrentPosition() override;
  void SeekTo(int64_t position_ms) override;
  void SetOnTimer(TimerHandler handler) override { on_timer_ = std::move(handler); }
  int TimerInterval() const override { return ticker_.interval(); }
  void SetTimerInterval(int milliseconds) override { ticker_.setInterval(milliseconds); }

  // While playing: whether the sound goes to the silent output (no device, or
  // the device failed). False while nothing plays.
  bool PlayingSilently() const { return output_ && output_->IsSilent(); }

 private:
  bool Playable() const { return rendered_ && info_.render_result == kRenderOk; }
  void RequireActive(const char* operation) const;
  void OpenPlayback();
  void ReleasePlayback();
  void StopTimers();
  void SwitchToSilentOutput();
  int64_t PositionUs() const;
  void Pump();
  void Prefill();
  void Tick();

  const Output output_choice_;
  bool active_ = false;
  GraphState state_ = GraphState::Stopped;
  bool rendered_ = false;
  std::string file_;
  MediaInfo info_;
  int64_t anchor_us_ = 0;  // position of the first sample given to the output
  bool ended_ = false;     // the end of the file has been played

  OutputFormat format_;
  // The decoder is declared after the output so that it stops first.
  std::unique_ptr<AudioOutput> output_;
  std::unique_ptr<PlaybackDecoder> decoder_;
  std::vector<uint8_t> transfer_;

  QTimer ticker_;
  QTimer pump_;
  TimerHandler on_timer_;
};
