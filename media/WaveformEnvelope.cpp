#include "WaveformEnvelope.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <exception>
#include <future>
#include <limits>
#include <thread>
#include <type_traits>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

#include "MediaProbe.h"

// ---------------------------------------------------------------------------
// The envelope and its pyramid.

WaveformEnvelope::WaveformEnvelope(std::vector<PeakPair> pairs, double seconds_per_pair,
                                   bool sketch, int decoders)
    : seconds_per_pair_(seconds_per_pair), sketch_(sketch), decoders_(decoders) {
  levels_.push_back(std::move(pairs));
  while (levels_.back().size() > 1) {
    const std::vector<PeakPair>& below = levels_.back();
    std::vector<PeakPair> level((below.size() + 1) / 2);
    for (size_t i = 0; i < level.size(); ++i) {
      const PeakPair& a = below[2 * i];
      const PeakPair& b = 2 * i + 1 < below.size() ? below[2 * i + 1] : a;
      level[i] = {std::min(a.min, b.min), std::max(a.max, b.max)};
    }
    levels_.push_back(std::move(level));
  }
}

const std::vector<PeakPair>& WaveformEnvelope::Pairs() const {
  static const std::vector<PeakPair> none;
  return levels_.empty() ? none : levels_[0];
}

PeakPair WaveformEnvelope::PairRange(size_t first, size_t last) const {
  last = std::min(last, PairCount());
  if (first >= last) return {};
  // Bottom-up over the levels: an odd edge is taken at its own level, the
  // even rest is the same range one level up.
  PeakPair out{std::numeric_limits<float>::max(), std::numeric_limits<float>::lowest()};
  const auto take = [&out](const PeakPair& p) {
    out.min = std::min(out.min, p.min);
    out.max = std::max(out.max, p.max);
  };
  for (size_t level = 0; first < last; ++level) {
    const std::vector<PeakPair>& pairs = levels_[level];
    if (first & 1) take(pairs[first++]);
    if (last & 1) take(pairs[--last]);
    first >>= 1;
    last >>= 1;
  }
  return out;
}

PeakPair WaveformEnvelope::Range(double t0, double t1) const {
  if (PairCount() == 0 || seconds_per_pair_ <= 0 || std::isnan(t0) || !(t1 > t0)) return {};
  const double end = static_cast<double>(PairCount());
  // Times a view computes for a pair's edge come out a hair off it; that
  // must not pull in the neighbouring pair.
  constexpr double kEdge = 1e-6;
  const double from = std::clamp(std::floor(t0 / seconds_per_pair_ + kEdge), 0.0, end);
  const double to = std::clamp(std::ceil(t1 / seconds_per_pair_ - kEdge), 0.0, end);
  if (t1 <= 0 || from >= end) return {};
  const size_t first = static_cast<size_t>(from);
  return PairRange(first, std::max(first + 1, static_cast<size_t>(to)));
}

std::vector<PeakPair> WaveformEnvelope::Slices(size_t count) const {
  std::vector<PeakPair> slices(count);
  const size_t total = PairCount();
  if (total == 0) return slices;
  for (size_t i = 0; i < count; ++i) {
    const size_t first = i * total / count;
    slices[i] = PairRange(first, std::max(first + 1, (i + 1) * total / count));
  }
  return slices;
}

std::vector<PeakPair> WaveformEnvelope::Slices(double t0, double t1, size_t count) const {
  std::vector<PeakPair> slices(count);
  const double step = (t1 - t0) / static_cast<double>(count);
  for (size_t i = 0; i < count; ++i) slices[i] = Range(t0 + step * i, t0 + step * (i + 1));
  return slices;
}

// ---------------------------------------------------------------------------
// Reading samples.

namespace {

// Sample frames gathered per piece of the sketch, and the packets read at
// most for one piece.
constexpr int kSketchFrames = 2048;
constexpr int kSketchPackets = 24;
// Files shorter than this are read by one decoder: a second one would mostly
// open the file and prime itself.
constexpr double kMinSplitSeconds = 4.0;
// A part's decoder starts this long before the part, so that what it gives
// from the part's first sample on equals what a decoder that read everything
// before gives: MP3's bit reservoir, the codecs' overlapping transforms and
// Opus's pre-roll all reach back far less.
constexpr double kPrimeSeconds = 0.5;

// An empty accumulator: any sample makes min <= max.
constexpr PeakPair kUntouched{2.0f, -2.0f};

void Join(PeakPair& into, const PeakPair& p) {
  into.min = std::min(into.min, p.min);
  into.max = std::max(into.max, p.max);
}

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

// Min/max of `count` values in the decoder's own format, converted once:
// every conversion above keeps the order of values, so this equals the
// min/max of the converted samples.
template <typename T>
void Extend(const T* values, size_t count, PeakPair& into) {
  if (count == 0) return;
  T low = values[0];
  T high = values[0];
  size_t i = 1;
#if defined(__SSE2__)
  // Most decoders give floats; four lanes at a time is most of the scan's
  // cost gone (the compiler will not do it itself, for the sake of NaNs).
  if constexpr (std::is_same_v<T, float>) {
    if (count >= 8) {
      __m128 lows = _mm_loadu_ps(values);
      __m128 highs = lows;
      for (i = 4; i + 4 <= count; i += 4) {
        const __m128 v = _mm_loadu_ps(values + i);
        lows = _mm_min_ps(lows, v);
        highs = _mm_max_ps(highs, v);
      }
      alignas(16) float l[4];
      alignas(16) float h[4];
      _mm_store_ps(l, lows);
      _mm_store_ps(h, highs);
      low = std::min({l[0], l[1], l[2], l[3]});
      high = std::max({h[0], h[1], h[2], h[3]});
    }
  }
#endif
  for (; i < count; ++i) {
    low = values[i] < low ? values[i] : low;
    high = values[i] > high ? values[i] : high;
  }
  Join(into, {std::clamp(Level(low), -1.0f, 1.0f), std::clamp(Level(high), -1.0f, 1.0f)});
}

// Planar frames hold one run per channel, packed ones a single run.
template <typename T, bool Planar>
void ExtendAs(const AVFrame& frame, int from, int to, PeakPair& into) {
  const int channels = frame.ch_layout.nb_channels;
  if constexpr (Planar) {
    for (int c = 0; c < channels; ++c)
      Extend(reinterpret_cast<const T*>(frame.extended_data[c]) + from, to - from, into);
  } else {
    Extend(
        reinterpret_cast<const T*>(frame.extended_data[0]) + static_cast<size_t>(from) * channels,
        static_cast<size_t>(to - from) * channels, into);
  }
}

// Joins sample frames [from, to) of `frame`, all channels, into `into`.
void ExtendBySamples(const AVFrame& frame, int from, int to, PeakPair& into) {
  switch (static_cast<AVSampleFormat>(frame.format)) {
    case AV_SAMPLE_FMT_FLTP:
      return ExtendAs<float, true>(frame, from, to, into);
    case AV_SAMPLE_FMT_FLT:
      return ExtendAs<float, false>(frame, from, to, into);
    case AV_SAMPLE_FMT_S16P:
      return ExtendAs<int16_t, true>(frame, from, to, into);
    case AV_SAMPLE_FMT_S16:
      return ExtendAs<int16_t, false>(frame, from, to, into);
    case AV_SAMPLE_FMT_S32P:
      return ExtendAs<int32_t, true>(frame, from, to, into);
    case AV_SAMPLE_FMT_S32:
      return ExtendAs<int32_t, false>(frame, from, to, into);
    case AV_SAMPLE_FMT_DBLP:
      return ExtendAs<double, true>(frame, from, to, into);
    case AV_SAMPLE_FMT_DBL:
      return ExtendAs<double, false>(frame, from, to, into);
    case AV_SAMPLE_FMT_U8P:
      return ExtendAs<uint8_t, true>(frame, from, to, into);
    case AV_SAMPLE_FMT_U8:
      return ExtendAs<uint8_t, false>(frame, from, to, into);
    case AV_SAMPLE_FMT_S64P:
      return ExtendAs<int64_t, true>(frame, from, to, into);
    case AV_SAMPLE_FMT_S64:
      return ExtendAs<int64_t, false>(frame, from, to, into);
    default:
      return;  // no decoder gives anything else
  }
}

// Sends one packet (null: the end) and hands every frame the decoder has
// ready to `take`. A damaged packet is skipped; the decoder picks up at the
// next one.
template <typename Take>
void DecodePacket(AVCodecContext* decoder, const AVPacket* packet, AVFrame* frame, Take&& take) {
  if (avcodec_send_packet(decoder, packet) < 0) return;
  while (avcodec_receive_frame(decoder, frame) >= 0) {
    take(*frame);
    av_frame_unref(frame);
  }
}

AudioInput OpenDecodable(const std::string& path, const std::atomic<bool>& abort) {
  AudioInput input = OpenAudioInput(path, &abort);
  if (input.render_result != kRenderOk)
    throw MediaError("No audio that can be decoded in \"" + path + "\"");
  return input;
}

// One packet of the input's audio stream into `packet`; false at the end of
// the file, a damaged tail (the envelope is of what was read) or an abort.
// Throws when a read took too long.
bool ReadAudioPacket(AudioInput& input, AVPacket* packet, const std::atomic<bool>& abort) {
  for (;;) {
    input.ArmDeadline();
    const int err = av_read_frame(input.format.get(), packet);
    if (err == AVERROR_EXIT && !abort)
      throw MakeMediaError("Reading took too long in", input.path, err);
    if (err < 0) return false;
    if (packet->stream_index == input.stream_index) return true;
    av_packet_unref(packet);
  }
}

// Runs `read`; a failure that the abort caused (a libav call cut short)
// means no value rather than an error. An envelope finished before the abort
// came is still given: no value always means the reading stopped short.
template <typename Read>
std::optional<WaveformEnvelope> UnlessAborted(const std::atomic<bool>& abort, Read&& read) {
  try {
    return read();
  } catch (const MediaError&) {
    if (abort) return std::nullopt;
    throw;
  }
}

// ---------------------------------------------------------------------------
// The full envelope, in parts.

// Where each part's decoder puts its samples: fine pairs from sample frame
// `begin` (a pair boundary) up to `end`.
class PartPairs {
 public:
  PartPairs(int64_t begin, int64_t end, int64_t frames_per_pair)
      : begin_(begin), end_(end), frames_per_pair_(frames_per_pair) {
    if (end != kOpenEnd)
      pairs_.assign(static_cast<size_t>((end - begin) / frames_per_pair), kUntouched);
  }
  static constexpr int64_t kOpenEnd = std::numeric_limits<int64_t>::max();

  // The frame's samples that fall in the part, the first at sample `at`.
  void Add(const AVFrame& frame, int64_t at) {
    const int64_t from = std::max(at, begin_);
    const int64_t to = std::min(at + frame.nb_samples, end_);
    for (int64_t s = from; s < to;) {
      const size_t index = static_cast<size_t>((s - begin_) / frames_per_pair_);
      const int64_t pair_end =
          std::min(to, begin_ + (static_cast<int64_t>(index) + 1) * frames_per_pair_);
      if (index >= pairs_.size()) pairs_.resize(index + 1, kUntouched);
      ExtendBySamples(frame, static_cast<int>(s - at), static_cast<int>(pair_end - at),
                      pairs_[index]);
      s = pair_end;
    }
  }
  bool Reached(int64_t at) const { return at >= end_; }
  const std::vector<PeakPair>& Pairs() const { return pairs_; }

 private:
  int64_t begin_;
  int64_t end_;
  int64_t frames_per_pair_;
  std::vector<PeakPair> pairs_;
};

// The timestamp every part counts sample positions from: that of the first
// frame the whole file gives, found by the first part. No value when the
// first part gave no frame (nothing to place, or it stopped).
using Origin = std::optional<int64_t>;

struct PartJob {
  const std::string* path = nullptr;
  const std::atomic<bool>* abort = nullptr;
  const std::atomic<bool>* stop = nullptr;  // another part failed
  int64_t begin = 0;                        // sample frames
  int64_t end = PartPairs::kOpenEnd;
  int64_t frames_per_pair = 1;
  std::promise<Origin>* origin_out = nullptr;  // the first part tells it
  std::shared_future<Origin> origin_in;        // the others wait for it
};

struct PartResult {
  int64_t begin = 0;
  std::vector<PeakPair> pairs;
  bool placed = true;    // false: without timestamps the part cannot be placed
  bool stopped = false;  // the abort, or another part's failure, ended it early
};

// Tells the origin exactly once, even when the first part leaves by an
// exception, so that no other part waits for ever.
class OriginTeller {
 public:
  explicit OriginTeller(std::promise<Origin>* promise) : promise_(promise) {}
  ~OriginTeller() { Tell(std::nullopt); }
  bool Waiting() const { return promise_ != nullptr; }
  void Tell(Origin origin) {
    if (promise_ == nullptr) return;
    promise_->set_value(origin);
    promise_ = nullptr;
  }

 private:
  std::promise<Origin>* promise_;
};

PartResult DecodePart(const PartJob& job) {
  OriginTeller teller(job.origin_out);
  AudioInput input = OpenDecodable(*job.path, *job.abort);
  AVCodecContext* decoder = input.decoder.get();
  const AVRational time_base = input.Stream()->time_base;
  const AVRational per_sample{1, decoder->sample_rate};
  const auto to_samples = [&](int64_t ts) { return av_rescale_q(ts, time_base, per_sample); };
  const bool first_part = job.origin_out != nullptr;

  int64_t origin = 0;  // the first frame's timestamp, in samples
  if (!first_part) {
    const Origin told = job.origin_in.get();
    if (!told) return {{}, {}, false};
    origin = to_samples(*told);
  }
  PartPairs pairs(job.begin, job.end, job.frames_per_pair);
  // Samples are counted from the first frame on, as one decoder reading the
  // whole file counts them; a later part takes its first count from the
  // first frame it gets that carries a timestamp (the decoder is still
  // priming there), so that a gap in the timestamps never moves samples.
  std::optional<int64_t> next;
  if (first_part) next = 0;
  bool done = false;
  bool unplaceable = false;
  const auto take = [&](const AVFrame& frame) {
    const int64_t ts = frame.best_effort_timestamp;
    if (first_part && teller.Waiting()) teller.Tell(ts == AV_NOPTS_VALUE ? Origin{} : ts);
    if (!next) {
      if (ts == AV_NOPTS_VALUE) return;
      next = to_samples(ts) - origin;
      // The first frame must come before the part, or its first samples
      // would be missing; a damaged timestamp must not place the part far
      // away. One decoder then reads the file.
      if (*next > job.begin) {
        unplaceable = true;
        done = true;
        return;
      }
    }
    pairs.Add(frame, *next);
    *next += frame.nb_samples;
    if (pairs.Reached(*next)) done = true;
  };

  // Packets before the part's priming stretch are read but not decoded: the
  // timestamps stay those of a reading from the start, unlike after a seek,
  // which for MP3 only estimates where it landed.
  const int64_t prime_from = job.begin - static_cast<int64_t>(kPrimeSeconds * decoder->sample_rate);
  bool decoding = first_part;
  bool timed = first_part;  // a packet told where it is
  PacketPtr packet = MakePacket();
  FramePtr frame = MakeFrame();
  while (!done) {
    if (*job.abort || *job.stop) return {{}, {}, true, true};
    if (!ReadAudioPacket(input, packet.get(), *job.abort)) break;
    if (!decoding) {
      const int64_t ts = packet->pts != AV_NOPTS_VALUE ? packet->pts : packet->dts;
      timed = timed || ts != AV_NOPTS_VALUE;
      decoding = ts != AV_NOPTS_VALUE && to_samples(ts) - origin >= prime_from;
    }
    if (decoding) DecodePacket(decoder, packet.get(), frame.get(), take);
    av_packet_unref(packet.get());
  }
  if (*job.abort) return {{}, {}, true, true};
  if (unplaceable) return {{}, {}, false};
  if (!done && decoding) DecodePacket(decoder, nullptr, frame.get(), take);
  // A part that met the end of the file before its priming stretch simply
  // has no samples; one that decoded but could not count, or never knew
  // where it was, cannot be placed.
  const bool placed = timed && (!decoding || next.has_value());
  return {job.begin, pairs.Pairs(), placed};
}

// The file's length in sample frames as the container tells it; 0 unknown.
int64_t EstimatedSamples(const AudioInput& input) {
  const AVStream* stream = input.Stream();
  const int rate = input.decoder->sample_rate;
  if (stream->duration > 0 && stream->duration != AV_NOPTS_VALUE)
    return av_rescale_q(stream->duration, stream->time_base, {1, rate});
  const int64_t duration = input.format->duration;
  if (duration > 0 && duration != AV_NOPTS_VALUE) return av_rescale(duration, rate, AV_TIME_BASE);
  return 0;
}

// Whether decoders that start at different packets give the same samples
// from their priming on: so for lossless codecs, whose frames stand alone,
// and for MP3 (floating point), Vorbis and Opus, whose state reaches back a
// frame or two. Not for AAC, whose noise substitution draws from a random
// generator that runs through the whole file, nor for the fixed-point
// MPEG audio decoders, whose rounding carries its error forward. The
// timestamps must also name single samples exactly.
bool SplitsExactly(const AudioInput& input) {
  const AVCodecContext* decoder = input.decoder.get();
  const AVRational time_base = input.Stream()->time_base;
  if (time_base.num <= 0 || time_base.den % (int64_t{decoder->sample_rate} * time_base.num) != 0)
    return false;
  const AVCodecDescriptor* descriptor = avcodec_descriptor_get(decoder->codec_id);
  if (descriptor && (descriptor->props & AV_CODEC_PROP_LOSSLESS)) return true;
  const AVSampleFormat format = decoder->sample_fmt;
  switch (decoder->codec_id) {
    case AV_CODEC_ID_MP3:
      return format == AV_SAMPLE_FMT_FLTP || format == AV_SAMPLE_FMT_FLT;
    case AV_CODEC_ID_VORBIS:
    case AV_CODEC_ID_OPUS:
      return true;
    default:
      return false;
  }
}

int PartCount(int asked, const AudioInput& input, int64_t samples) {
  if (samples < static_cast<int64_t>(kMinSplitSeconds * input.decoder->sample_rate)) return 1;
  if (!SplitsExactly(input)) return 1;
  if (asked > 0) return asked;
  return static_cast<int>(std::clamp(std::thread::hardware_concurrency(), 1u, 4u));
}

// What the full envelope needs to know before it starts its decoders.
struct FilePlan {
  int rate = 0;
  int64_t samples = 0;  // estimated; 0 unknown
  int parts = 1;
};

FilePlan PlanFile(const std::string& path, const std::atomic<bool>& abort, int asked) {
  const AudioInput input = OpenDecodable(path, abort);
  FilePlan plan;
  plan.rate = input.decoder->sample_rate;
  plan.samples = EstimatedSamples(input);
  plan.parts = PartCount(asked, input, plan.samples);
  return plan;
}

// Runs the parts, the first on this thread; the first failure is rethrown.
std::vector<PartResult> RunParts(std::vector<PartJob>& jobs, std::atomic<bool>& stop) {
  std::vector<PartResult> results(jobs.size());
  std::vector<std::exception_ptr> failures(jobs.size());
  const auto run = [&](size_t i) {
    try {
      results[i] = DecodePart(jobs[i]);
    } catch (...) {
      failures[i] = std::current_exception();
      stop = true;
    }
  };
  {
    std::vector<std::jthread> threads;
    for (size_t i = 1; i < jobs.size(); ++i) threads.emplace_back(run, i);
    run(0);
  }
  for (const std::exception_ptr& failure : failures)
    if (failure) std::rethrow_exception(failure);
  return results;
}

std::optional<std::vector<PartResult>> DecodeInParts(const std::string& path,
                                                     const std::atomic<bool>& abort, int parts,
                                                     int64_t frames_per_pair, int64_t samples) {
  std::promise<Origin> origin;
  const std::shared_future<Origin> told = origin.get_future().share();
  std::atomic<bool> stop{false};
  std::vector<PartJob> jobs(static_cast<size_t>(parts));
  for (int i = 0; i < parts; ++i) {
    PartJob& job = jobs[static_cast<size_t>(i)];
    job.path = &path;
    job.abort = &abort;
    job.stop = &stop;
    job.frames_per_pair = frames_per_pair;
    // Parts meet at pair boundaries, so every pair is gathered by one part.
    job.begin = samples * i / parts / frames_per_pair * frames_per_pair;
    job.end = i + 1 == parts ? PartPairs::kOpenEnd
                             : samples * (i + 1) / parts / frames_per_pair * frames_per_pair;
    if (i == 0) {
      job.origin_out = &origin;
    } else {
      job.origin_in = told;
    }
  }
  std::vector<PartResult> results = RunParts(jobs, stop);
  const auto stopped = [](const PartResult& r) { return r.stopped; };
  if (std::any_of(results.begin(), results.end(), stopped)) return std::nullopt;
  return results;
}

// The parts' pairs in one row, up to the last pair any sample reached.
std::vector<PeakPair> JoinParts(const std::vector<PartResult>& results, int64_t frames_per_pair) {
  std::vector<PeakPair> pairs;
  for (const PartResult& part : results) {
    const size_t first = static_cast<size_t>(part.begin / frames_per_pair);
    for (size_t i = 0; i < part.pairs.size(); ++i) {
      if (part.pairs[i].min > part.pairs[i].max) continue;
      if (first + i >= pairs.size()) pairs.resize(first + i + 1, kUntouched);
      Join(pairs[first + i], part.pairs[i]);
    }
  }
  for (PeakPair& p : pairs)
    if (p.min > p.max) p = {};
  return pairs;
}

}  // namespace

std::optional<WaveformEnvelope> FullEnvelope(const std::string& path,
                                             const std::atomic<bool>& abort, int parts) {
  return UnlessAborted(abort, [&]() -> std::optional<WaveformEnvelope> {
    const FilePlan plan = PlanFile(path, abort, parts);
    const int rate = plan.rate;
    const int64_t samples = plan.samples;
    // A whole number of sample frames per pair, so that pairs never share a
    // sample and the parts meet between two pairs.
    const int64_t frames_per_pair = std::max(1, rate / WaveformEnvelope::kPairsPerSecond);
    std::optional<std::vector<PartResult>> results =
        DecodeInParts(path, abort, plan.parts, frames_per_pair, samples);
    // A part that could not tell where its samples belong: one decoder reads
    // the whole file instead.
    int decoders = plan.parts;
    const auto unplaced = [](const PartResult& r) { return !r.placed; };
    if (results && std::any_of(results->begin(), results->end(), unplaced)) {
      decoders = 1;
      results = DecodeInParts(path, abort, decoders, frames_per_pair, samples);
    }
    if (!results) return std::nullopt;
    return WaveformEnvelope(JoinParts(*results, frames_per_pair),
                            static_cast<double>(frames_per_pair) / rate, false, decoders);
  });
}

std::optional<WaveformEnvelope> SketchEnvelope(const std::string& path,
                                               const std::atomic<bool>& abort) {
  return UnlessAborted(abort, [&]() -> std::optional<WaveformEnvelope> {
    AudioInput input = OpenDecodable(path, abort);
    AVFormatContext* format = input.format.get();
    if (format->duration == AV_NOPTS_VALUE || format->duration <= 0)
      throw MediaError("The length of \"" + path + "\" is not known before reading it whole");
    const int64_t start = format->start_time == AV_NOPTS_VALUE ? 0 : format->start_time;
    AVCodecContext* decoder = input.decoder.get();
    PacketPtr packet = MakePacket();
    FramePtr frame = MakeFrame();
    std::vector<PeakPair> pieces(WaveformEnvelope::kSketchPieces);
    for (size_t i = 0; i < pieces.size(); ++i) {
      if (abort) return std::nullopt;
      const int64_t at =
          start + av_rescale(format->duration, static_cast<int64_t>(i), pieces.size());
      input.ArmDeadline();
      const int err = av_seek_frame(format, -1, at, AVSEEK_FLAG_BACKWARD);
      if (err < 0) throw MakeMediaError("Cannot seek in", path, err);
      avcodec_flush_buffers(decoder);
      PeakPair piece = kUntouched;
      int frames = 0;
      for (int read = 0; read < kSketchPackets && frames < kSketchFrames; ++read) {
        if (!ReadAudioPacket(input, packet.get(), abort)) {
          if (abort) return std::nullopt;
          break;
        }
        DecodePacket(decoder, packet.get(), frame.get(), [&](const AVFrame& f) {
          ExtendBySamples(f, 0, f.nb_samples, piece);
          frames += f.nb_samples;
        });
        av_packet_unref(packet.get());
      }
      pieces[i] = frames > 0 ? piece : PeakPair{};
    }
    const double seconds = static_cast<double>(format->duration) / AV_TIME_BASE;
    return WaveformEnvelope(std::move(pieces), seconds / WaveformEnvelope::kSketchPieces, true);
  });
}
