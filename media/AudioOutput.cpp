#include "AudioOutput.h"

#include <QAudioDevice>
#include <QAudioFormat>
#include <QAudioSink>
#include <QElapsedTimer>
#include <QIODevice>
#include <QMediaDevices>
#include <algorithm>

#include "MediaGraph.h"

namespace {

// The device keeps about this much audio queued.
constexpr int64_t kDeviceBufferUs = 200000;
// A silent output that was starved (the decoder fell behind) catches up by at
// most this much, as a device's own buffer would.
constexpr int64_t kSilentSlackUs = 100000;

class DeviceOutput final : public AudioOutput {
 public:
  DeviceOutput(const QAudioDevice& device, const QAudioFormat& qformat, const OutputFormat& format)
      : sink_(std::make_unique<QAudioSink>(device, qformat)), format_(format) {
    sink_->setBufferSize(static_cast<qsizetype>(format_.UsToBytes(kDeviceBufferUs)));
  }
  ~DeviceOutput() override { sink_->stop(); }

  // False when the device does not start (QAudio::OpenError without a sound
  // server, for one).
  bool Start() {
    io_ = sink_->start();
    written_ = 0;
    return io_ != nullptr && sink_->error() == QAudio::NoError;
  }

  void Suspend() override { sink_->suspend(); }
  void Resume() override { sink_->resume(); }
  void Restart() override {
    const bool suspended = sink_->state() == QAudio::SuspendedState;
    sink_->stop();
    if (!Start()) throw MediaError("Cannot restart the audio output");
    if (suspended) sink_->suspend();
  }
  size_t FreeBytes() override {
    if (!io_ || sink_->state() == QAudio::SuspendedState) return 0;
    const qsizetype free = sink_->bytesFree();
    return free > 0 ? static_cast<size_t>(free) : 0;
  }
  void Write(const uint8_t* data, size_t bytes) override {
    if (!io_) return;
    const qint64 done = io_->write(reinterpret_cast<const char*>(data), static_cast<qint64>(bytes));
    if (done > 0) written_ += done;
  }
  int64_t PlayedUs() override {
    return std::min<int64_t>(sink_->processedUSecs(), format_.BytesToUs(written_));
  }
  bool Drained() override {
    return sink_->state() == QAudio::IdleState || sink_->bytesFree() >= sink_->bufferSize();
  }
  bool Broken() override {
    const QAudio::Error error = sink_->error();
    return error == QAudio::OpenError || error == QAudio::IOError || error == QAudio::FatalError;
  }
  bool IsSilent() const override { return false; }

 private:
  std::unique_ptr<QAudioSink> sink_;
  QIODevice* io_ = nullptr;  // owned by the sink
  OutputFormat format_;
  int64_t written_ = 0;
};

class SilentOutput final : public AudioOutput {
 public:
  explicit SilentOutput(const OutputFormat& format) : format_(format) { clock_.start(); }

  void Suspend() override {
    if (!running_) return;
    earlier_us_ += clock_.nsecsElapsed() / 1000;
    running_ = false;
  }
  void Resume() override {
    if (running_) return;
    clock_.restart();
    running_ = true;
  }
  void Restart() override {
    earlier_us_ = 0;
    consumed_ = 0;
    clock_.restart();
  }
  size_t FreeBytes() override {
    const int64_t run_us = earlier_us_ + (running_ ? clock_.nsecsElapsed() / 1000 : 0);
    const int64_t due = format_.UsToBytes(run_us);
    int64_t free = due - consumed_;
    const int64_t slack = format_.UsToBytes(kSilentSlackUs);
    if (free > slack) {
      // Starved: the time without audio is not made up later.
      earlier_us_ -= format_.BytesToUs(free - slack);
      free = slack;
    }
    free -= free % format_.BytesPerFrame();
    return free > 0 ? static_cast<size_t>(free) : 0;
  }
  void Write(const uint8_t* /*data*/, size_t bytes) override {
    consumed_ += static_cast<int64_t>(bytes);
  }
  int64_t PlayedUs() override { return format_.BytesToUs(consumed_); }
  bool Drained() override { return true; }
  bool Broken() override { return false; }
  bool IsSilent() const override { return true; }

 private:
  OutputFormat format_;
  QElapsedTimer clock_;
  bool running_ = true;
  int64_t earlier_us_ = 0;  // running time before the last resume
  int64_t consumed_ = 0;    // bytes taken since the last restart
};

// The Qt format for `format` if the device takes it; otherwise the device's
// preferred format, with `format` changed to match.
bool ChooseFormat(const QAudioDevice& device, OutputFormat& format, QAudioFormat& qformat) {
  qformat.setSampleRate(format.sample_rate);
  qformat.setChannelCount(format.channels);
  qformat.setSampleFormat(format.is_float ? QAudioFormat::Float : QAudioFormat::Int16);
  if (device.isFormatSupported(qformat)) return true;
  qformat = device.preferredFormat();
  if (qformat.sampleRate() <= 0 || qformat.channelCount() <= 0) return false;
  qformat.setChannelCount(std::min(qformat.channelCount(), 2));
  if (qformat.sampleFormat() != QAudioFormat::Float) qformat.setSampleFormat(QAudioFormat::Int16);
  if (!device.isFormatSupported(qformat)) return false;
  format.sample_rate = qformat.sampleRate();
  format.channels = qformat.channelCount();
  format.is_float = qformat.sampleFormat() == QAudioFormat::Float;
  return true;
}

}  // namespace

std::unique_ptr<AudioOutput> OpenDeviceOutput(OutputFormat& format) {
  const QAudioDevice device = QMediaDevices::defaultAudioOutput();
  if (device.isNull()) return nullptr;
  OutputFormat chosen = format;
  QAudioFormat qformat;
  if (!ChooseFormat(device, chosen, qformat)) return nullptr;
  auto output = std::make_unique<DeviceOutput>(device, qformat, chosen);
  if (!output->Start()) return nullptr;
  format = chosen;
  return output;
}

std::unique_ptr<AudioOutput> MakeSilentOutput(const OutputFormat& format) {
  return std::make_unique<SilentOutput>(format);
}
