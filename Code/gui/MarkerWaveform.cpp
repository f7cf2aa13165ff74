#include "MarkerWaveform.h"

#include <algorithm>
#include <cstdint>

#include "LibavPtr.h"
#include "MediaProbe.h"

namespace marker_waveform {

namespace {

// Sample frames gathered per piece of the sketch, and the packets read at
// most for one piece.
constexpr int kSketchFrames = 2048;
constexpr int kSketchPackets = 24;
// The full envelope is first gathered in blocks of this many sample frames.
constexpr int kBlockFrames = 256;

template <typename T>
float Level(T v) {
  if constexpr (std::is_same_v<T, float>) return v;
  if constexpr (std::is_same_v<T, double>) return static_cast<float>(v);
  if constexpr (std::is_same_v<T, int16_t>) return v * (1.0f / 32768.0f);
  if constexpr (std::is_same_v<T, int32_t>) return static_cast<float>(v * (1.0 / 2147483648.0));
  if constexpr (std::is_same_v<T, uint8_t>) return (static_cast<int>(v) - 128) * (1.0f / 128.0f);
  if constexpr (std::is_same_v<T, int64_t>)
    return static_cast<float>(static_cast<double>(v) / 9223372036854775808.0);
}

// Calls `add(min, max)` once per sample frame of `frame` (over its channels).
template <typename T, bool Planar, typename Add>
void ScanAs(const AVFrame& frame, Add&& add) {
  const int channels = frame.ch_layout.nb_channels;
  for (int i = 0; i < frame.nb_samples; ++i) {
    float low = 1.0f;
    float high = -1.0f;
    for (int c = 0; c < channels; ++c) {
      const T v = Planar ? reinterpret_cast<const T*>(frame.extended_data[c])[i]
                         : reinterpret_cast<const T*>(frame.extended_data[0])[i * channels + c];
      const float level = std::clamp(Level<T>(v), -1.0f, 1.0f);
      low = std::min(low, level);
      high = std::max(high, level);
    }
    add(low, high);
  }
}

template <typename Add>
void Scan(const AVFrame& frame, Add&& add) {
  switch (static_cast<AVSampleFormat>(frame.format)) {
    case AV_SAMPLE_FMT_FLTP:
      return ScanAs<float, true>(frame, add);
    case AV_SAMPLE_FMT_FLT:
      return ScanAs<float, false>(frame, add);
    case AV_SAMPLE_FMT_S16P:
      return ScanAs<int16_t, true>(frame, add);
    case AV_SAMPLE_FMT_S16:
      return ScanAs<int16_t, false>(frame, add);
    case AV_SAMPLE_FMT_S32P:
      return ScanAs<int32_t, true>(frame, add);
    case AV_SAMPLE_FMT_S32:
      return ScanAs<int32_t, false>(frame, add);
    case AV_SAMPLE_FMT_DBLP:
      return ScanAs<double, true>(frame, add);
    case AV_SAMPLE_FMT_DBL:
      return ScanAs<double, false>(frame, add);
    case AV_SAMPLE_FMT_U8P:
      return ScanAs<uint8_t, true>(frame, add);
    case AV_SAMPLE_FMT_U8:
      return ScanAs<uint8_t, false>(frame, add);
    case AV_SAMPLE_FMT_S64P:
      return ScanAs<int64_t, true>(frame, add);
    case AV_SAMPLE_FMT_S64:
      return ScanAs<int64_t, false>(frame, add);
    default:
      return;
  }
}

// Sends one packet and scans every frame the decoder gives back; `add` may
// return false to say it has had enough.
template <typename Add>
void Decode(AVCodecContext* decoder, const AVPacket* packet, AVFrame* frame, Add&& add) {
  if (avcodec_send_packet(decoder, packet) < 0) return;  // a damaged packet is skipped
  while (avcodec_receive_frame(decoder, frame) >= 0) {
    Scan(*frame, add);
    av_frame_unref(frame);
  }
}

std::optional<AudioInput> Open(const std::string& path, const std::atomic<bool>& abort) {
  try {
    AudioInput input = OpenAudioInput(path, &abort);
    if (input.render_result != kRenderOk) return std::nullopt;
    return input;
  } catch (const MediaError&) {
    return std::nullopt;
  }
}

}  // namespace

std::optional<std::vector<PeakPair>> Sketch(const std::string& path, size_t count,
                                            const std::atomic<bool>& abort) {
  std::optional<AudioInput> input = Open(path, abort);
  if (!input || count == 0) return std::nullopt;
  AVFormatContext* format = input->format.get();
  if (format->duration == AV_NOPTS_VALUE || format->duration <= 0) return std::nullopt;
  const int64_t start = format->start_time == AV_NOPTS_VALUE ? 0 : format->start_time;
  AVCodecContext* decoder = input->decoder.get();
  PacketPtr packet = MakePacket();
  FramePtr frame = MakeFrame();
  std::vector<PeakPair> slices(count);
  for (size_t i = 0; i < count; ++i) {
    if (abort) return std::nullopt;
    const int64_t at =
        start + static_cast<int64_t>(static_cast<double>(format->duration) * i / count);
    input->ArmDeadline();
    if (av_seek_frame(format, -1, at, AVSEEK_FLAG_BACKWARD) < 0) return std::nullopt;
    avcodec_flush_buffers(decoder);
    PeakPair slice{1.0f, -1.0f};
    int frames = 0;
    for (int read = 0; read < kSketchPackets && frames < kSketchFrames; ++read) {
      input->ArmDeadline();
      if (av_read_frame(format, packet.get()) < 0) break;
      if (packet->stream_index == input->stream_index) {
        Decode(decoder, packet.get(), frame.get(), [&](float low, float high) {
          slice.min = std::min(slice.min, low);
          slice.max = std::max(slice.max, high);
          ++frames;
        });
      }
      av_packet_unref(packet.get());
    }
    slices[i] = frames > 0 ? slice : PeakPair{};
  }
  return slices;
}

std::optional<std::vector<PeakPair>> Full(const std::string& path, size_t count,
                                          const std::atomic<bool>& abort) {
  std::optional<AudioInput> input = Open(path, abort);
  if (!input || count == 0) return std::nullopt;
  AVCodecContext* decoder = input->decoder.get();
  PacketPtr packet = MakePacket();
  FramePtr frame = MakeFrame();
  std::vector<PeakPair> blocks;
  PeakPair block{1.0f, -1.0f};
  int filled = 0;
  const auto add = [&](float low, float high) {
    block.min = std::min(block.min, low);
    block.max = std::max(block.max, high);
    if (++filled == kBlockFrames) {
      blocks.push_back(block);
      block = {1.0f, -1.0f};
      filled = 0;
    }
  };
  for (;;) {
    if (abort) return std::nullopt;
    input->ArmDeadline();
    if (av_read_frame(input->format.get(), packet.get()) < 0) break;
    if (packet->stream_index == input->stream_index)
      Decode(decoder, packet.get(), frame.get(), add);
    av_packet_unref(packet.get());
  }
  Decode(decoder, nullptr, frame.get(), add);
  if (filled > 0) blocks.push_back(block);
  if (blocks.empty()) return std::nullopt;
  std::vector<PeakPair> slices(count);
  for (size_t i = 0; i < count; ++i) {
    const size_t first = i * blocks.size() / count;
    const size_t last = std::max(first + 1, (i + 1) * blocks.size() / count);
    PeakPair slice{1.0f, -1.0f};
    for (size_t b = first; b < last && b < blocks.size(); ++b) {
      slice.min = std::min(slice.min, blocks[b].min);
      slice.max = std::max(slice.max, blocks[b].max);
    }
    slices[i] = slice;
  }
  return slices;
}

}  // namespace marker_waveform
