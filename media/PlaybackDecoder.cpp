#include "PlaybackDecoder.h"

#include <algorithm>
#include <cstring>
#include <limits>

extern "C" {
#include <libavutil/channel_layout.h>
#include <libavutil/opt.h>
}

#include "MediaProbe.h"

namespace {

constexpr int64_t kNoTime = std::numeric_limits<int64_t>::min();
// Half a second of output audio is buffered ahead of the sink.
constexpr int64_t kBufferUs = 500000;
// A seek lands this far before its target and decodes from there (packets
// that end earlier still are read but not decoded), so that the decoder is
// primed when the target comes (an MP3 frame borrows bits from earlier frames).
constexpr int64_t kSeekPrerollUs = 500000;
// The fade-in after a start or seek.
constexpr int64_t kFadeUs = 8000;

}  // namespace

struct PlaybackDecoder::Stream {
  AudioInput input;
  AVRational time_base{1, 1};
  int64_t start_pts = 0;
  ResamplerPtr resampler;
  // The input layout the resampler was set up for.
  AVChannelLayout resampler_layout{};
  int resampler_format = -1;
  int resampler_rate = 0;
  int64_t next_us = kNoTime;        // where the next frame starts when it has no timestamp
  int64_t drop_until_us = kNoTime;  // audio before this is decoded but not played
  int64_t fade_left = 0;            // sample frames of fade-in still to apply
  int64_t fade_total = 1;
  std::vector<uint8_t> converted;

  ~Stream() { av_channel_layout_uninit(&resampler_layout); }

  int64_t PtsToUs(int64_t pts) const {
    return av_rescale_q(pts - start_pts, time_base, AV_TIME_BASE_Q);
  }
};

PlaybackDecoder::PlaybackDecoder(std::string path, const OutputFormat& format, int64_t start_us)
    : path_(std::move(path)), format_(format) {
  // Every byte and time conversion divides by these.
  if (format_.sample_rate <= 0 || format_.channels <= 0) {
    throw MediaError("Cannot play \"" + path_ + "\": output format of " +
                     std::to_string(format_.sample_rate) + " Hz with " +
                     std::to_string(format_.channels) + " channels");
  }
  const size_t capacity = static_cast<size_t>(std::max<int64_t>(
      format_.UsToBytes(kBufferUs), static_cast<int64_t>(format_.BytesPerFrame()) * 1024));
  ring_.resize(capacity);
  seek_pending_ = true;
  seek_target_us_ = std::max<int64_t>(start_us, 0);
  thread_ = std::thread(&PlaybackDecoder::ThreadMain, this);
}

PlaybackDecoder::~PlaybackDecoder() {
  {
    std::lock_guard lock(mutex_);
    quit_ = true;
  }
  changed_.notify_all();
  thread_.join();
}

void PlaybackDecoder::Seek(int64_t position_us) {
  {
    std::lock_guard lock(mutex_);
    ++generation_;
    seek_pending_ = true;
    seek_target_us_ = std::max<int64_t>(position_us, 0);
    head_ = 0;
    size_ = 0;
  }
  changed_.notify_all();
}

size_t PlaybackDecoder::Read(uint8_t* destination, size_t max_bytes) {
  size_t taken = 0;
  {
    std::lock_guard lock(mutex_);
    size_t wanted = std::min(max_bytes, size_);
    wanted -= wanted % format_.BytesPerFrame();
    while (taken < wanted) {
      const size_t piece = std::min(wanted - taken, ring_.size() - head_);
      std::memcpy(destination + taken, ring_.data() + head_, piece);
      head_ = (head_ + piece) % ring_.size();
      size_ -= piece;
      taken += piece;
    }
  }
  if (taken > 0) changed_.notify_all();
  return taken;
}

size_t PlaybackDecoder::Available() const {
  std::lock_guard lock(mutex_);
  return size_ - size_ % format_.BytesPerFrame();
}

bool PlaybackDecoder::WaitForAudio(size_t bytes, int timeout_ms) const {
  std::unique_lock lock(mutex_);
  bytes = std::min(bytes, ring_.size());
  return changed_.wait_for(lock, std::chrono::milliseconds(timeout_ms), [&] {
    return size_ >= bytes || dead_ || (!seek_pending_ && ended_generation_ == generation_);
  });
}

std::string PlaybackDecoder::Error() const {
  std::lock_guard lock(mutex_);
  return error_;
}

bool PlaybackDecoder::Finished() const {
  std::lock_guard lock(mutex_);
  // A seek asked of a thread that has ended is never taken up: it cannot
  // hold the end back.
  return size_ == 0 && (dead_ || (!seek_pending_ && ended_generation_ == generation_));
}

bool PlaybackDecoder::Push(const uint8_t* data, size_t bytes, uint64_t generation) {
  std::unique_lock lock(mutex_);
  while (bytes > 0) {
    changed_.wait(lock, [&] { return quit_ || generation_ != generation || size_ < ring_.size(); });
    if (quit_ || generation_ != generation) return false;
    const size_t tail = (head_ + size_) % ring_.size();
    const size_t piece = std::min({bytes, ring_.size() - size_, ring_.size() - tail});
    std::memcpy(ring_.data() + tail, data, piece);
    size_ += piece;
    data += piece;
    bytes -= piece;
    changed_.notify_all();
  }
  return true;
}

void PlaybackDecoder::ThreadMain() {
  // A file that breaks while playing simply ends; the graph sees Finished()
  // and the reason stays readable through Error().
  std::string error;
  try {
    DecodeLoop();
  } catch (const std::exception& e) {
    error = e.what();
  } catch (...) {
    error = "Decoding stopped: unknown failure";
  }
  {
    std::lock_guard lock(mutex_);
    error_ = std::move(error);
    dead_ = true;
    seek_pending_ = false;
  }
  changed_.notify_all();
}

namespace {

// Sets up (or keeps) the resampler that turns `frame` into the output format.
bool PrepareResampler(ResamplerPtr& resampler, AVChannelLayout& layout, int& format, int& rate,
                      const AVFrame& frame, const OutputFormat& out) {
  if (resampler && format == frame.format && rate == frame.sample_rate &&
      av_channel_layout_compare(&layout, &frame.ch_layout) == 0) {
    return true;
  }
  resampler.reset();
  AVChannelLayout out_layout;
  av_channel_layout_default(&out_layout, out.channels);
  SwrContext* raw = nullptr;
  // FFmpeg 5.1 declares the input layout non-const; swr only reads it.
  int err =
      swr_alloc_set_opts2(&raw, &out_layout, out.is_float ? AV_SAMPLE_FMT_FLT : AV_SAMPLE_FMT_S16,
                          out.sample_rate, const_cast<AVChannelLayout*>(&frame.ch_layout),
                          static_cast<AVSampleFormat>(frame.format), frame.sample_rate, 0, nullptr);
  av_channel_layout_uninit(&out_layout);
  ResamplerPtr owner(raw);
  if (err < 0 || swr_init(owner.get()) < 0) return false;
  av_channel_layout_uninit(&layout);
  // Without its copy the next frame could not be compared: leave the frame
  // out rather than keep a resampler whose input is unknown.
  if (av_channel_layout_copy(&layout, &frame.ch_layout) < 0) return false;
  format = frame.format;
  rate = frame.sample_rate;
  resampler = std::move(owner);
  return true;
}

void ApplyFade(uint8_t* data, int frames, const OutputFormat& out, int64_t& fade_left,
               int64_t fade_total) {
  for (int f = 0; f < frames && fade_left > 0; ++f, --fade_left) {
    const float gain = static_cast<float>(fade_total - fade_left) / static_cast<float>(fade_total);
    for (int c = 0; c < out.channels; ++c) {
      const int i = f * out.channels + c;
      if (out.is_float) {
        reinterpret_cast<float*>(data)[i] *= gain;
      } else {
        auto* s = reinterpret_cast<int16_t*>(data) + i;
        *s = static_cast<int16_t>(*s * gain);
      }
    }
  }
}

}  // namespace

void PlaybackDecoder::DecodeLoop() {
  Stream s;
  s.input = OpenAudioInput(path_, &quit_);
  if (s.input.render_result != kRenderOk) return;
  AVCodecContext* decoder = s.input.decoder.get();
  AVFormatContext* container = s.input.format.get();
  AVStream* stream = s.input.Stream();
  s.time_base = stream->time_base;
  s.start_pts = stream->start_time != AV_NOPTS_VALUE ? stream->start_time : 0;
  s.fade_total = std::max<int64_t>(1, format_.sample_rate * kFadeUs / 1000000);

  PacketPtr packet = MakePacket();
  FramePtr frame = MakeFrame();
  bool anything_read = false;
  uint64_t generation = 0;

  // Converts one decoded frame, without the part before the seek target, and
  // queues it. False when it is stale.
  auto deliver = [&](AVFrame& f) -> bool {
    // A damaged frame can claim no rate; it can be neither timed nor
    // resampled, so it is left out like one that cannot be converted.
    if (f.sample_rate <= 0 || f.nb_samples <= 0) return true;
    int64_t frame_us = s.next_us;
    if (f.best_effort_timestamp != AV_NOPTS_VALUE) frame_us = s.PtsToUs(f.best_effort_timestamp);
    if (frame_us == kNoTime) frame_us = std::max<int64_t>(s.drop_until_us, 0);
    s.next_us = frame_us + static_cast<int64_t>(f.nb_samples) * 1000000 / f.sample_rate;
    int skip = 0;
    if (s.drop_until_us != kNoTime && s.drop_until_us > frame_us) {
      const int64_t late = (s.drop_until_us - frame_us) * f.sample_rate / 1000000;
      if (late >= f.nb_samples) return true;
      skip = static_cast<int>(late);
    }
    s.drop_until_us = kNoTime;
    if (!PrepareResampler(s.resampler, s.resampler_layout, s.resampler_format, s.resampler_rate, f,
                          format_)) {
      return true;  // a frame that cannot be converted is left out
    }
    const int channels = f.ch_layout.nb_channels;
    const bool planar = av_sample_fmt_is_planar(static_cast<AVSampleFormat>(f.format));
    const int sample_bytes = av_get_bytes_per_sample(static_cast<AVSampleFormat>(f.format));
    std::vector<const uint8_t*> in(planar ? channels : 1);
    for (size_t p = 0; p < in.size(); ++p) {
      in[p] =
          f.extended_data[p] + static_cast<size_t>(skip) * sample_bytes * (planar ? 1 : channels);
    }
    const int in_count = f.nb_samples - skip;
    const int capacity = swr_get_out_samples(s.resampler.get(), in_count);
    if (capacity <= 0) return true;
    s.converted.resize(static_cast<size_t>(capacity) * format_.BytesPerFrame());
    uint8_t* out = s.converted.data();
    const int produced = swr_convert(s.resampler.get(), &out, capacity, in.data(), in_count);
    if (produced <= 0) return true;
    ApplyFade(out, produced, format_, s.fade_left, s.fade_total);
    return Push(out, static_cast<size_t>(produced) * format_.BytesPerFrame(), generation);
  };

  auto receive_all = [&]() {
    for (;;) {
      const int err = avcodec_receive_frame(decoder, frame.get());
      if (err < 0) return;  // EAGAIN, the end, or a damaged frame
      deliver(*frame);
      av_frame_unref(frame.get());
    }
  };

  for (;;) {
    int64_t target_us = 0;
    bool seek = false;
    {
      std::lock_guard lock(mutex_);
      if (quit_) return;
      if (seek_pending_) {
        seek = true;
        seek_pending_ = false;
        target_us = seek_target_us_;
        generation = generation_;
      }
    }
    if (seek) {
      if (anything_read || target_us > 0) {
        // Land a little early: a decoder that starts cold gives silence or
        // garbage for its first frames (an MP3 one needs its bit reservoir).
        const int64_t land_us = std::max<int64_t>(target_us - kSeekPrerollUs, 0);
        const int64_t ts = av_rescale_q(land_us, AV_TIME_BASE_Q, s.time_base) + s.start_pts;
        s.input.ArmDeadline();
        if (av_seek_frame(container, s.input.stream_index, ts, AVSEEK_FLAG_BACKWARD) < 0) {
          s.input.ArmDeadline();
          const int sought =
              avformat_seek_file(container, s.input.stream_index, INT64_MIN, ts, ts, 0);
          // Reading on from wherever the file stands would play the wrong
          // part of the song: the playback ends instead, saying why.
          if (sought < 0) throw MakeMediaError("Cannot seek in", path_, sought);
        }
        avcodec_flush_buffers(decoder);
      }
      s.resampler.reset();  // its delay line holds audio from before the seek
      s.next_us = kNoTime;
      s.drop_until_us = target_us;
      s.fade_left = s.fade_total;
    }

    s.input.ArmDeadline();
    const int err = av_read_frame(container, packet.get());
    if (err < 0) {
      if (quit_) return;
      // The end of the file (or an unreadable tail): play out what the
      // decoder and resampler still hold, then wait for a seek or the end.
      if (avcodec_send_packet(decoder, nullptr) >= 0) receive_all();
      if (s.resampler) {
        const int capacity = swr_get_out_samples(s.resampler.get(), 0);
        if (capacity > 0) {
          s.converted.resize(static_cast<size_t>(capacity) * format_.BytesPerFrame());
          uint8_t* out = s.converted.data();
          const int produced = swr_convert(s.resampler.get(), &out, capacity, nullptr, 0);
          if (produced > 0) {
            Push(out, static_cast<size_t>(produced) * format_.BytesPerFrame(), generation);
          }
        }
      }
      std::unique_lock lock(mutex_);
      if (generation_ == generation) ended_generation_ = generation;
      changed_.notify_all();
      changed_.wait(lock, [&] { return quit_ || seek_pending_; });
      anything_read = true;
      continue;
    }
    anything_read = true;
    if (packet->stream_index == s.input.stream_index) {
      bool decode = true;
      if (s.drop_until_us != kNoTime && packet->pts != AV_NOPTS_VALUE) {
        const int64_t end_us = s.PtsToUs(packet->pts + std::max<int64_t>(packet->duration, 0));
        decode = end_us >= s.drop_until_us - kSeekPrerollUs;
      }
      if (decode && avcodec_send_packet(decoder, packet.get()) >= 0) receive_all();
    }
    av_packet_unref(packet.get());
  }
}
