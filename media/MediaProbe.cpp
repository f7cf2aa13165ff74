#include "MediaProbe.h"

#include <sys/stat.h>

#include <algorithm>
#include <cerrno>
#include <limits>

extern "C" {
#include <libavutil/opt.h>
}

namespace {

int InterruptCallback(void* opaque) {
  auto* state = static_cast<InterruptState*>(opaque);
  if (state->abort && state->abort->load(std::memory_order_relaxed)) return 1;
  if (state->read_allowance > 0 && state->format && state->format->pb &&
      state->format->pb->bytes_read - state->read_mark > state->read_allowance) {
    state->read_limit_reached = true;
    return 1;
  }
  return std::chrono::steady_clock::now() > state->deadline ? 1 : 0;
}

// The file's own kind, read without opening it (stat follows a symbolic link
// to what it names).
void RequireRegularFile(const std::string& path) {
  struct stat info {};
  if (::stat(path.c_str(), &info) != 0) throw MakeMediaError("Cannot open", path, AVERROR(errno));
  if (!S_ISREG(info.st_mode)) {
    throw MediaError("Cannot open \"" + path + "\": not a regular file");
  }
}

// A call that ended because it read its budget without finding sound.
MediaError NothingFoundError(const std::string& what, const std::string& path, int64_t budget) {
  return MediaError(what + " \"" + path + "\": no sound found in " + std::to_string(budget >> 20) +
                    " MB");
}

// Counts the length of the stream from its packets, without decoding. Used
// when the container tells no reliable length. Returns -1 when nothing could be
// counted.
int64_t CountDurationMs(AudioInput& input) {
  AVStream* stream = input.Stream();
  PacketPtr packet = MakePacket();
  int64_t summed = 0;
  bool every_packet_timed = true;
  int64_t first_pts = std::numeric_limits<int64_t>::max();
  int64_t end_pts = std::numeric_limits<int64_t>::min();
  input.ArmDeadline();
  input.LimitReading(kReadWithoutPacketLimit);
  for (;;) {
    const int err = av_read_frame(input.format.get(), packet.get());
    if (err < 0) {
      // The end of the file, a damaged tail, or megabytes in which no packet
      // begins (a file padded with zeros): what has been counted so far is
      // the length that can be played. Only the deadline leaves it uncounted.
      if (err == AVERROR_EXIT && !input.interrupt->read_limit_reached) {
        input.LimitReading(0);
        return -1;
      }
      break;
    }
    input.MarkProgress();
    if (packet->stream_index == input.stream_index) {
      if (packet->duration > 0) {
        summed += packet->duration;
      } else {
        every_packet_timed = false;
      }
      if (packet->pts != AV_NOPTS_VALUE) {
        first_pts = std::min(first_pts, packet->pts);
        end_pts = std::max(end_pts, packet->pts + std::max<int64_t>(packet->duration, 0));
      }
    }
    av_packet_unref(packet.get());
  }
  input.LimitReading(0);
  int64_t length = -1;
  if (every_packet_timed && summed > 0) {
    length = summed;
  } else if (end_pts > first_pts) {
    length = end_pts - first_pts;
  }
  if (length < 0) return -1;
  return av_rescale_q(length, stream->time_base, AVRational{1, 1000});
}

}  // namespace

AudioInput OpenAudioInput(const std::string& path, const std::atomic<bool>* abort) {
  RequireRegularFile(path);
  AudioInput input;
  input.path = path;
  input.interrupt = std::make_unique<InterruptState>();
  input.interrupt->abort = abort;
  input.ArmDeadline();

  AVFormatContext* raw = avformat_alloc_context();
  if (!raw) throw MakeMediaError("Cannot open", path, AVERROR(ENOMEM));
  raw->interrupt_callback.callback = InterruptCallback;
  raw->interrupt_callback.opaque = input.interrupt.get();
  // libav's own defaults, written out so that the probing stays bounded
  // whatever they become: how much the format guess and the stream analysis
  // may read, and how much of the stream's time the analysis may cover.
  raw->format_probesize = 1 << 20;
  raw->probesize = 5000000;
  raw->max_analyze_duration = 5 * AV_TIME_BASE;
  // Local files only: nothing in a name may reach a network or another
  // protocol, and the "file:" prefix keeps a ":" in the name from being
  // taken for one.
  int err = av_opt_set(raw, "protocol_whitelist", "file", 0);
  if (err < 0) {
    avformat_free_context(raw);
    throw MakeMediaError("Cannot open", path, err);
  }
  input.interrupt->format = raw;
  input.LimitReading(kOpenReadLimit);
  // On failure avformat_open_input frees the context itself.
  err = avformat_open_input(&raw, ("file:" + path).c_str(), nullptr, nullptr);
  if (err < 0) {
    input.interrupt->format = nullptr;
    if (input.interrupt->read_limit_reached)
      throw NothingFoundError("Cannot open", path, kOpenReadLimit);
    throw MakeMediaError("Cannot open", path, err);
  }
  input.format.reset(raw);

  input.ArmDeadline();
  input.LimitReading(kStreamInfoReadLimit);
  err = avformat_find_stream_info(raw, nullptr);
  const bool nothing_found = input.interrupt->read_limit_reached;
  input.LimitReading(0);
  // Streams that the budget left without their parameters come out below as
  // having no decoder.
  if (err < 0) {
    if (nothing_found)
      throw NothingFoundError("Cannot read the streams of", path, kStreamInfoReadLimit);
    throw MakeMediaError("Cannot read the streams of", path, err);
  }

  const AVCodec* codec = nullptr;
  const int index = av_find_best_stream(raw, AVMEDIA_TYPE_AUDIO, -1, -1, &codec, 0);
  if (index < 0) {
    // AVERROR_DECODER_NOT_FOUND: there is audio, but nothing here decodes it.
    input.render_result =
        index == AVERROR_DECODER_NOT_FOUND ? kRenderNoDecoder : kRenderNoAudioStream;
    return input;
  }
  input.stream_index = index;
  input.render_result = kRenderNoDecoder;
  if (!codec) return input;

  CodecContextPtr decoder(avcodec_alloc_context3(codec));
  if (!decoder) throw MakeMediaError("Cannot set up a decoder for", path, AVERROR(ENOMEM));
  AVStream* stream = raw->streams[index];
  if (avcodec_parameters_to_context(decoder.get(), stream->codecpar) < 0) return input;
  decoder->pkt_timebase = stream->time_base;
  if (avcodec_open2(decoder.get(), codec, nullptr) < 0) return input;
  if (decoder->sample_rate <= 0 || decoder->ch_layout.nb_channels <= 0) return input;
  input.decoder = std::move(decoder);
  input.render_result = kRenderOk;
  return input;
}

int64_t MeasureDurationMs(AudioInput& input, bool* counted) {
  if (counted) *counted = false;
  AVStream* stream = input.Stream();
  if (!stream) return 0;
  AVFormatContext* format = input.format.get();

  int64_t told = -1;
  if (stream->duration != AV_NOPTS_VALUE && stream->duration > 0) {
    told = av_rescale_q(stream->duration, stream->time_base, AVRational{1, 1000});
  } else if (format->duration != AV_NOPTS_VALUE && format->duration > 0) {
    told = format->duration / 1000;
  }
  // A length that libavformat only guessed from the bitrate (an MP3 without a
  // Xing/LAME or VBRI header, raw AAC and AC3 streams) is wrong for VBR audio,
  // and no length at all happens too: then the packets are counted, which
  // reads the file once but decodes nothing.
  if (told >= 0 && format->duration_estimation_method != AVFMT_DURATION_FROM_BITRATE) {
    return told;
  }
  const int64_t count = CountDurationMs(input);
  if (count < 0) return std::max<int64_t>(told, 0);
  if (counted) *counted = true;
  return count;
}

MediaInfo ProbeMedia(const std::string& path) {
  AudioInput input = OpenAudioInput(path);
  MediaInfo info;
  info.render_result = input.render_result;
  if (input.render_result != kRenderOk) return info;
  info.sample_rate = input.decoder->sample_rate;
  info.channels = input.decoder->ch_layout.nb_channels;
  const AVStream* stream = input.Stream();
  if (stream->start_time != AV_NOPTS_VALUE) {
    info.start_time_us = av_rescale_q(stream->start_time, stream->time_base, AV_TIME_BASE_Q);
  }
  info.duration_ms = MeasureDurationMs(input, &info.duration_counted);
  return info;
}
