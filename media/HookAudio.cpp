#include "HookAudio.h"

#include "LibavPtr.h"
#include "MediaProbe.h"

namespace {

// The resampler that turns the decoder's frames into mono float at the
// analysis rate. A stream may change its layout or rate midway (a chained Ogg),
// so it is made again whenever the frames change.
class MonoResampler {
 public:
  explicit MonoResampler(int rate) : rate_(rate) {}
  ~MonoResampler() { av_channel_layout_uninit(&layout_); }
  MonoResampler(const MonoResampler&) = delete;
  MonoResampler& operator=(const MonoResampler&) = delete;

  // Appends the converted frame to `out`. False when the frame cannot be
  // converted (it is then left out).
  bool Convert(const AVFrame& frame, std::vector<float>& out) {
    if (!Prepare(frame)) return false;
    return Run(const_cast<const uint8_t**>(frame.extended_data), frame.nb_samples, out);
  }

  // Appends what the resampler still holds back.
  void Flush(std::vector<float>& out) {
    if (context_) Run(nullptr, 0, out);
  }

 private:
  bool Prepare(const AVFrame& frame) {
    if (context_ && format_ == frame.format && in_rate_ == frame.sample_rate &&
        av_channel_layout_compare(&layout_, &frame.ch_layout) == 0) {
      return true;
    }
    context_.reset();
    AVChannelLayout mono = AV_CHANNEL_LAYOUT_MONO;
    SwrContext* raw = nullptr;
    // FFmpeg 5.1 declares the input layout non-const; swr only reads it.
    const int err = swr_alloc_set_opts2(
        &raw, &mono, AV_SAMPLE_FMT_FLT, rate_, const_cast<AVChannelLayout*>(&frame.ch_layout),
        static_cast<AVSampleFormat>(frame.format), frame.sample_rate, 0, nullptr);
    ResamplerPtr owner(raw);
    if (err < 0 || swr_init(owner.get()) < 0) return false;
    av_channel_layout_uninit(&layout_);
    if (av_channel_layout_copy(&layout_, &frame.ch_layout) < 0) return false;
    format_ = frame.format;
    in_rate_ = frame.sample_rate;
    context_ = std::move(owner);
    return true;
  }

  bool Run(const uint8_t** in, int in_count, std::vector<float>& out) {
    const int capacity = swr_get_out_samples(context_.get(), in_count);
    if (capacity <= 0) return true;
    const size_t old_size = out.size();
    out.resize(old_size + static_cast<size_t>(capacity));
    auto* target = reinterpret_cast<uint8_t*>(out.data() + old_size);
    const int produced = swr_convert(context_.get(), &target, capacity, in, in_count);
    out.resize(old_size + static_cast<size_t>(std::max(produced, 0)));
    return produced >= 0;
  }

  int rate_;
  ResamplerPtr context_;
  AVChannelLayout layout_{};
  int format_ = -1;
  int in_rate_ = 0;
};

// Takes every frame the decoder has ready. False when the decoder failed.
bool ReceiveFrames(AVCodecContext* decoder, AVFrame* frame, MonoResampler& resampler,
                   std::vector<float>& out) {
  for (;;) {
    const int err = avcodec_receive_frame(decoder, frame);
    if (err == AVERROR(EAGAIN) || err == AVERROR_EOF) return true;
    if (err < 0) return false;
    resampler.Convert(*frame, out);
    av_frame_unref(frame);
  }
}

}  // namespace

MonoAudio DecodeMonoAudio(const std::string& path, int rate, const std::atomic<bool>* cancel) {
  ThrowIfCancelled(cancel);
  AudioInput input = [&] {
    try {
      return OpenAudioInput(path, cancel);
    } catch (const MediaError&) {
      // The cancel flag interrupts the opening too; that is no fault of the file.
      ThrowIfCancelled(cancel);
      throw;
    }
  }();
  if (input.render_result != kRenderOk) {
    throw MediaError("No audio that can be decoded in \"" + path + "\"");
  }
  MonoAudio audio;
  audio.rate = rate;
  // Room for the stream's announced length, so the vector grows once.
  const AVStream* stream = input.Stream();
  if (stream->duration != AV_NOPTS_VALUE && stream->duration > 0) {
    const double seconds = static_cast<double>(stream->duration) * av_q2d(stream->time_base);
    if (seconds > 0 && seconds < 4 * 3600)
      audio.samples.reserve(static_cast<size_t>(seconds * rate) + rate);
  }

  AVCodecContext* decoder = input.decoder.get();
  PacketPtr packet = MakePacket();
  FramePtr frame = MakeFrame();
  MonoResampler resampler(rate);
  for (;;) {
    ThrowIfCancelled(cancel);
    input.ArmDeadline();
    const int err = av_read_frame(input.format.get(), packet.get());
    if (err == AVERROR_EXIT) {
      ThrowIfCancelled(cancel);
      throw MakeMediaError("Reading took too long in", path, err);
    }
    if (err < 0) break;  // the end, or a damaged tail: the song is what was read
    if (packet->stream_index == input.stream_index) {
      // A damaged packet is skipped; the decoder picks up at the next one.
      if (avcodec_send_packet(decoder, packet.get()) >= 0 &&
          !ReceiveFrames(decoder, frame.get(), resampler, audio.samples)) {
        avcodec_flush_buffers(decoder);
      }
    }
    av_packet_unref(packet.get());
  }
  if (avcodec_send_packet(decoder, nullptr) >= 0) {
    ReceiveFrames(decoder, frame.get(), resampler, audio.samples);
  }
  resampler.Flush(audio.samples);
  if (audio.samples.empty()) throw MediaError("No sound in \"" + path + "\"");
  return audio;
}
