#include "FfmpegMediaGraph.h"

#include <QtGlobal>
#include <algorithm>

namespace {

// How often the audio output is fed from the decoder's buffer.
constexpr int kPumpIntervalMs = 10;
// A device is first given this much audio at once: a sound server that starts
// (or restarts after a seek) on a trickle underruns and then waits to refill
// its whole buffer, which stalls the sound and the clock. The wait for it is
// bounded; decoding the start of a file normally takes a few milliseconds.
constexpr int64_t kPrefillUs = 250000;
constexpr int kPrefillWaitMs = 300;

}  // namespace

FfmpegMediaGraph::FfmpegMediaGraph(Output output) : output_choice_(output) {
  ticker_.setInterval(kDefaultTimerInterval);
  pump_.setInterval(kPumpIntervalMs);
  pump_.setTimerType(Qt::PreciseTimer);
  QObject::connect(&ticker_, &QTimer::timeout, &ticker_, [this] { Tick(); });
  QObject::connect(&pump_, &QTimer::timeout, &pump_, [this] { Pump(); });
}

FfmpegMediaGraph::~FfmpegMediaGraph() {
  StopTimers();
  ReleasePlayback();
}

void FfmpegMediaGraph::RequireActive(const char* operation) const {
  if (!active_) {
    throw MediaError(std::string("Cannot ") + operation + ": the media graph is not active");
  }
}

void FfmpegMediaGraph::SetActive(bool active) {
  if (active == active_) return;
  if (active) {
    active_ = true;
    return;
  }
  Clear();
  active_ = false;
}

void FfmpegMediaGraph::Clear() {
  if (!active_) return;
  StopTimers();
  ReleasePlayback();
  state_ = GraphState::Stopped;
  rendered_ = false;
  file_.clear();
  info_ = MediaInfo{};
  anchor_us_ = 0;
  ended_ = false;
}

int FfmpegMediaGraph::RenderFile(const std::string& path) {
  if (!active_) {
    throw MediaError("Cannot render \"" + path + "\": the media graph is not active");
  }
  // A new file replaces what the graph held.
  Clear();
  try {
    info_ = ProbeMedia(path);
  } catch (const MediaError&) {
    throw;
  } catch (const std::exception& e) {
    throw MediaError("Cannot render \"" + path + "\": " + e.what());
  }
  rendered_ = true;
  file_ = path;
  return info_.render_result;
}

int64_t FfmpegMediaGraph::Duration() { return Playable() ? info_.duration_ms : 0; }

void FfmpegMediaGraph::Run() {
  RequireActive("run the media graph");
  if (state_ == GraphState::Running) return;
  try {
    if (Playable() && !output_) {
      OpenPlayback();
    } else if (output_) {
      output_->Resume();
    }
  } catch (const MediaError&) {
    ReleasePlayback();
    throw;
  } catch (const std::exception& e) {
    ReleasePlayback();
    throw MediaError("Cannot play \"" + file_ + "\": " + e.what());
  }
  state_ = GraphState::Running;
  Prefill();
  pump_.start();
  ticker_.start();
}

void FfmpegMediaGraph::Pause() {
  RequireActive("pause the media graph");
  StopTimers();
  if (state_ == GraphState::Running && output_) output_->Suspend();
  state_ = GraphState::Paused;
}

void FfmpegMediaGraph::Stop() {
  RequireActive("stop the media graph");
  StopTimers();
  if (output_) anchor_us_ = PositionUs();
  ReleasePlayback();
  state_ = GraphState::Stopped;
}

int64_t FfmpegMediaGraph::CurrentPosition() {
  if (output_ && decoder_ && state_ == GraphState::Running) Pump();
  return PositionUs() * 10;
}

void FfmpegMediaGraph::SeekTo(int64_t position_ms) {
  if (!active_ || !Playable()) return;
  const int64_t target_us = std::clamp<int64_t>(position_ms, 0, info_.duration_ms) * 1000;
  anchor_us_ = target_us;
  ended_ = false;
  if (decoder_) decoder_->Seek(target_us);
  if (output_) {
    try {
      output_->Restart();
    } catch (const MediaError&) {
      SwitchToSilentOutput();
    }
    if (state_ == GraphState::Running) Prefill();
  }
}

void FfmpegMediaGraph::Prefill() {
  if (!decoder_ || !output_ || output_->IsSilent()) return;
  decoder_->WaitForAudio(static_cast<size_t>(format_.UsToBytes(kPrefillUs)), kPrefillWaitMs);
  Pump();
}

void FfmpegMediaGraph::OpenPlayback() {
  format_ = OutputFormat{};
  format_.sample_rate = info_.sample_rate;
  format_.channels = std::min(info_.channels, 2);
  if (output_choice_ == Output::DefaultDevice) output_ = OpenDeviceOutput(format_);
  if (!output_) output_ = MakeSilentOutput(format_);
  decoder_ = std::make_unique<PlaybackDecoder>(file_, format_, anchor_us_);
}

void FfmpegMediaGraph::ReleasePlayback() {
  decoder_.reset();
  output_.reset();
}

void FfmpegMediaGraph::StopTimers() {
  ticker_.stop();
  pump_.stop();
}

void FfmpegMediaGraph::SwitchToSilentOutput() {
  // The audio that the failed device still held is played again on the
  // silent output, from where the device had got to.
  anchor_us_ = PositionUs();
  output_ = MakeSilentOutput(format_);
  if (state_ != GraphState::Running) output_->Suspend();
  if (decoder_ && !ended_) decoder_->Seek(anchor_us_);
}

int64_t FfmpegMediaGraph::PositionUs() const {
  int64_t position = anchor_us_ + (output_ ? output_->PlayedUs() : 0);
  if (ended_) position = std::max(position, info_.duration_ms * 1000);
  return position;
}

void FfmpegMediaGraph::Pump() {
  if (!output_ || !decoder_) return;
  if (output_->Broken()) SwitchToSilentOutput();
  const size_t wanted = std::min(output_->FreeBytes(), decoder_->Available());
  if (wanted > 0) {
    transfer_.resize(wanted);
    const size_t got = decoder_->Read(transfer_.data(), wanted);
    output_->Write(transfer_.data(), got);
  }
  if (!ended_ && decoder_->Finished() && output_->Drained()) ended_ = true;
}

void FfmpegMediaGraph::Tick() {
  Pump();
  if (!on_timer_) return;
  // A copy: the handler may replace itself or empty the graph.
  const TimerHandler handler = on_timer_;
  try {
    handler(*this, CurrentPosition() / 10000, Duration());
  } catch (const std::exception& e) {
    // Nothing above a Qt timer can take an exception; the tick is abandoned.
    qWarning("Tonbrix: the preview ticker's handler failed: %s", e.what());
  }
}
