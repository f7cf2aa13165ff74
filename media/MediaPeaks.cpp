#include "MediaPeaks.h"

#include <algorithm>
#include <cstdint>

#include "MediaProbe.h"

namespace {

// The envelope is gathered in blocks of this many sample frames first, then
// reduced to the slices asked for; the file's length need not be known ahead.
constexpr int kBlockFrames = 256;

class PeakCollector {
 public:
  void Add(float value) {
    low_ = std::min(low_, value);
    high_ = std::max(high_, value);
  }
  // One sample frame (all channels) has been added.
  void EndFrame() {
    if (++filled_ == kBlockFrames) Flush();
  }
  void Flush() {
    if (filled_ == 0) return;
    blocks_.push_back({low_, high_});
    low_ = 1.0f;
    high_ = -1.0f;
    filled_ = 0;
  }
  const std::vector<PeakPair>& Blocks() const { return blocks_; }

 private:
  std::vector<PeakPair> blocks_;
  float low_ = 1.0f;
  float high_ = -1.0f;
  int filled_ = 0;
};

template <typename T>
float ToFloat(T v);
template <>
float ToFloat<float>(float v) {
  return v;
}
template <>
float ToFloat<double>(double v) {
  return static_cast<float>(v);
}
template <>
float ToFloat<int16_t>(int16_t v) {
  return v * (1.0f / 32768.0f);
}
template <>
float ToFloat<int32_t>(int32_t v) {
  return static_cast<float>(v * (1.0 / 2147483648.0));
}
template <>
float ToFloat<uint8_t>(uint8_t v) {
  return (static_cast<int>(v) - 128) * (1.0f / 128.0f);
}
template <>
float ToFloat<int64_t>(int64_t v) {
  return static_cast<float>(static_cast<double>(v) / 9223372036854775808.0);
}

template <typename T, bool Planar>
void Scan(const AVFrame& frame, int channels, PeakCollector& peaks) {
  for (int i = 0; i < frame.nb_samples; ++i) {
    for (int c = 0; c < channels; ++c) {
      const T v = Planar ? reinterpret_cast<const T*>(frame.extended_data[c])[i]
                         : reinterpret_cast<const T*>(frame.extended_data[0])[i * channels + c];
      peaks.Add(std::clamp(ToFloat<T>(v), -1.0f, 1.0f));
    }
    peaks.EndFrame();
  }
}

void ScanFrame(const AVFrame& frame, PeakCollector& peaks) {
  const int channels = frame.ch_layout.nb_channels;
  switch (static_cast<AVSampleFormat>(frame.format)) {
    case AV_SAMPLE_FMT_FLTP:
      return Scan<float, true>(frame, channels, peaks);
    case AV_SAMPLE_FMT_FLT:
      return Scan<float, false>(frame, channels, peaks);
    case AV_SAMPLE_FMT_S16P:
      return Scan<int16_t, true>(frame, channels, peaks);
    case AV_SAMPLE_FMT_S16:
      return Scan<int16_t, false>(frame, channels, peaks);
    case AV_SAMPLE_FMT_S32P:
      return Scan<int32_t, true>(frame, channels, peaks);
    case AV_SAMPLE_FMT_S32:
      return Scan<int32_t, false>(frame, channels, peaks);
    case AV_SAMPLE_FMT_DBLP:
      return Scan<double, true>(frame, channels, peaks);
    case AV_SAMPLE_FMT_DBL:
      return Scan<double, false>(frame, channels, peaks);
    case AV_SAMPLE_FMT_U8P:
      return Scan<uint8_t, true>(frame, channels, peaks);
    case AV_SAMPLE_FMT_U8:
      return Scan<uint8_t, false>(frame, channels, peaks);
    case AV_SAMPLE_FMT_S64P:
      return Scan<int64_t, true>(frame, channels, peaks);
    case AV_SAMPLE_FMT_S64:
      return Scan<int64_t, false>(frame, channels, peaks);
    default:
      return;  // no decoder gives anything else
  }
}

// Takes every frame the decoder has ready. False when the decoder failed.
bool ReceiveFrames(AVCodecContext* decoder, AVFrame* frame, PeakCollector& peaks) {
  for (;;) {
    const int err = avcodec_receive_frame(decoder, frame);
    if (err == AVERROR(EAGAIN) || err == AVERROR_EOF) return true;
    if (err < 0) return false;
    ScanFrame(*frame, peaks);
    av_frame_unref(frame);
  }
}

std::vector<PeakPair> Reduce(const std::vector<PeakPair>& blocks, size_t count) {
  std::vector<PeakPair> slices(count);
  if (blocks.empty()) return slices;
  const size_t total = blocks.size();
  for (size_t i = 0; i < count; ++i) {
    const size_t first = i * total / count;
    const size_t last = std::max(first + 1, (i + 1) * total / count);
    PeakPair slice{1.0f, -1.0f};
    for (size_t b = first; b < last; ++b) {
      slice.min = std::min(slice.min, blocks[b].min);
      slice.max = std::max(slice.max, blocks[b].max);
    }
    slices[i] = slice;
  }
  return slices;
}

}  // namespace

std::vector<PeakPair> ComputePeaks(const std::string& path, size_t count) {
  try {
    AudioInput input = OpenAudioInput(path);
    if (input.render_result != kRenderOk) {
      throw MediaError("No audio that can be decoded in \"" + path + "\"");
    }
    AVCodecContext* decoder = input.decoder.get();
    PacketPtr packet = MakePacket();
    FramePtr frame = MakeFrame();
    PeakCollector peaks;
    for (;;) {
      input.ArmDeadline();
      const int err = av_read_frame(input.format.get(), packet.get());
      if (err == AVERROR_EXIT) throw MakeMediaError("Reading took too long in", path, err);
      if (err < 0) break;  // the end, or a damaged tail: the envelope of what was read
      if (packet->stream_index == input.stream_index) {
        // A damaged packet is skipped; the decoder picks up at the next one.
        if (avcodec_send_packet(decoder, packet.get()) >= 0) {
          if (!ReceiveFrames(decoder, frame.get(), peaks)) avcodec_flush_buffers(decoder);
        }
      }
      av_packet_unref(packet.get());
    }
    if (avcodec_send_packet(decoder, nullptr) >= 0) ReceiveFrames(decoder, frame.get(), peaks);
    peaks.Flush();
    return Reduce(peaks.Blocks(), count);
  } catch (const MediaError&) {
    throw;
  } catch (const std::exception& e) {
    throw MediaError("Cannot compute the waveform of \"" + path + "\": " + e.what());
  }
}
