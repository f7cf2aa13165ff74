#include "Converter.h"

#include <sys/stat.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

#include "AmrNbEncoder.h"
#include "Fades.h"
#include "FrameQueue.h"
#include "LibavOwners.h"
#include "Loudness.h"
#include "OutputPlan.h"
#include "PartFinisher.h"
#include "ProgressLine.h"
#include "SourceInput.h"
#include "TemporaryOutput.h"

extern "C" {
#include <libavfilter/buffersink.h>
#include <libavfilter/buffersrc.h>
#include <libavutil/channel_layout.h>
#include <libavutil/opt.h>
}

namespace evc {

std::string ShownText(std::string text) {
  std::replace(text.begin(), text.end(), '=', '-');
  return text;
}

namespace {

// Cut edges fade over 5 ms: long enough to remove the click of a cut inside a
// loud passage, far too short to be heard as a fade.
constexpr double kFadeSeconds = 0.005;
// The seek lands this far before the start, so that the decoder has refilled
// its bit reservoir (MP3) when the kept audio begins; atrim drops the rest.
constexpr double kSeekPrerollSeconds = 0.2;
constexpr auto kProgressInterval = std::chrono::milliseconds(500);
// Frames waiting between the two threads (about 1.5 s of audio, under 1 MB):
// enough that the encoder keeps working while a busy machine holds the
// decoding thread back for tens of milliseconds, few enough to keep memory
// flat.
constexpr size_t kQueuedFrames = 64;
// The resampler's limit (SWR_CH_MAX).
constexpr int kMostChannels = 64;
// A copied tag value is cut to this many bytes: a title is a line, and a
// ringtone of seconds must not carry megabytes of text from its source.
constexpr size_t kMostTagBytes = 1024;

void Check(int result, const std::string& what) {
  if (result < 0) throw JobError(what + ": " + AvErrorText(result));
}

std::string Number(double value) {
  char text[64];
  std::snprintf(text, sizeof text, "%.6f", value);
  return text;
}

std::string LayoutText(const AVChannelLayout& layout) {
  char text[128] = {};
  av_channel_layout_describe(&layout, text, sizeof text);
  return text;
}

struct OwnedLayout {
  AVChannelLayout value;
  ~OwnedLayout() { av_channel_layout_uninit(&value); }
};

// At most kMostTagBytes, cut at a UTF-8 character boundary.
std::string CappedTag(const char* value) {
  std::string text(value, strnlen(value, kMostTagBytes + 1));
  if (text.size() <= kMostTagBytes) return text;
  size_t cut = kMostTagBytes;
  while (cut > 0 && (static_cast<unsigned char>(text[cut]) & 0xC0) == 0x80) --cut;
  text.resize(cut);
  return text;
}

AVChannelLayout UsableLayout(const AVChannelLayout& layout) {
  AVChannelLayout usable{};
  if (layout.order == AV_CHANNEL_ORDER_UNSPEC || layout.nb_channels <= 0) {
    av_channel_layout_default(&usable, std::max(layout.nb_channels, 1));
  } else {
    Check(av_channel_layout_copy(&usable, &layout), "cannot copy the source's channel layout");
  }
  return usable;
}

// Any of these makes the engine read the kept part twice: once to learn its
// exact length (where the fade-out starts) and loudness, then to convert it.
bool FinishesThePart(const EngineOptions& options) {
  return options.fadeInSeconds.value_or(0) > 0 || options.fadeOutSeconds.value_or(0) > 0 ||
         options.loudnessTarget.has_value();
}

// What the first reading found out about the kept part.
struct PartMeasurement {
  FadePlan fades;
  std::optional<double> loudness;  // LUFS, faded; nullopt: silent or too short
  std::optional<double> gainDb;    // to the target, through the limiter
  std::vector<std::string> notes;
};

// The weight of each channel in the loudness sum (BS.1770): the LFE channel
// counts for nothing, surround channels for 1.41, the others for 1.
std::vector<double> LoudnessWeights(const AVChannelLayout& layout) {
  std::vector<double> weights;
  for (int c = 0; c < layout.nb_channels; ++c) {
    switch (av_channel_layout_channel_from_index(&layout, static_cast<unsigned>(c))) {
      case AV_CHAN_LOW_FREQUENCY:
      case AV_CHAN_LOW_FREQUENCY_2:
        weights.push_back(0.0);
        break;
      case AV_CHAN_SIDE_LEFT:
      case AV_CHAN_SIDE_RIGHT:
      case AV_CHAN_BACK_LEFT:
      case AV_CHAN_BACK_RIGHT:
        weights.push_back(1.41);
        break;
      default:
        weights.push_back(1.0);
    }
  }
  return weights;
}

class Conversion {
 public:
  // `measured`: what the first reading found out; null when the part is
  // converted as it stands (or this is the first reading).
  Conversion(const EngineOptions& options, std::ostream& console,
             const PartMeasurement* measured = nullptr)
      : options_(options), console_(console), measured_(measured) {}

  // The first reading of a finished part: decodes the kept part as the
  // encoder would get it, without writing anything.
  PartMeasurement MeasurePart() {
    OpenInput();
    if (S_ISFIFO(sourceFile_->info().st_mode)) {
      throw OptionError(
          "-fadein, -fadeout and -loudnorm read the source twice: it cannot be a pipe");
    }
    PlanTheOutput();
    encoderFormat_ = AV_SAMPLE_FMT_FLT;
    av_channel_layout_default(&encoderLayout_, OutputChannels());
    const int rate = OutputRate();
    meter_.emplace(rate, LoudnessWeights(encoderLayout_));
    SeekInput();
    ConvertPackets();
    FlushDecoding();
    meter_->Finish();
    PartMeasurement measured;
    measured.fades =
        PlanFades(options_.fadeInSeconds.value_or(0), options_.fadeOutSeconds.value_or(0),
                  meter_->samples(), rate, measured.notes);
    if (options_.loudnessTarget) {
      measured.loudness = meter_->Integrated(measured.fades);
      measured.gainDb = meter_->GainFor(*options_.loudnessTarget, measured.fades,
                                        TruePeakCeilingFor(plan_.codec));
    }
    return measured;
  }

  void Run() {
    OpenInput();
    PlanTheOutput();
    PrintHeader();
    OpenOutput();
    SeekInput();
    StartEncodeThread();
    ConvertPackets();
    FlushEverything();
    FinishOutput();
  }

 private:
  void OpenInput() {
    sourceFile_ = std::make_unique<SourceInput>(options_.input);
    AVFormatContext* raw = avformat_alloc_context();
    if (!raw) throw JobError("out of memory for reading " + ShownText(options_.input));
    raw->pb = sourceFile_->io();
    raw->flags |= AVFMT_FLAG_CUSTOM_IO;
    // A playlist or a reference inside the source never makes the library
    // open another file or an address: the engine reads the one it opened.
    raw->io_open = RefuseNestedOpen;
    // The probe reads the first MB at most; the stream analysis stops after
    // 5 MB or 5 s of packets, so that a source which is not audio ends soon.
    raw->format_probesize = 1 << 20;
    raw->probesize = 5'000'000;
    raw->max_analyze_duration = 5 * AV_TIME_BASE;
    const int opened = avformat_open_input(&raw, options_.input.c_str(), nullptr, nullptr);
    if (opened < 0) throw JobError(sourceFile_->OpenFailureReason(opened));
    input_.reset(raw);
    const int found = avformat_find_stream_info(input_.get(), nullptr);
    if (found < 0 && !sourceFile_->stopReason().empty())
      throw JobError(sourceFile_->stopReason());
    Check(found, "cannot read the streams of " + ShownText(options_.input));

    for (unsigned i = 0; i < input_->nb_streams; ++i) {
      AVStream* stream = input_->streams[i];
      const bool audio = stream->codecpar->codec_type == AVMEDIA_TYPE_AUDIO &&
                         !(stream->disposition & AV_DISPOSITION_ATTACHED_PIC);
      if (audio && !inStream_) {
        inStream_ = stream;
      } else {
        stream->discard = AVDISCARD_ALL;  // video and cover pictures are never read
      }
    }
    if (!inStream_) throw JobError("no audio in " + ShownText(options_.input));

    const AVCodec* codec = avcodec_find_decoder(inStream_->codecpar->codec_id);
    if (!codec) {
      throw JobError("no decoder for the " +
                            std::string(avcodec_get_name(inStream_->codecpar->codec_id)) +
                            " audio of " + ShownText(options_.input));
    }
    decoder_.reset(avcodec_alloc_context3(codec));
    if (!decoder_) throw JobError("out of memory for the decoder");
    Check(avcodec_parameters_to_context(decoder_.get(), inStream_->codecpar),
          "cannot set up the " + std::string(codec->name) + " decoder");
    decoder_->pkt_timebase = inStream_->time_base;
    Check(avcodec_open2(decoder_.get(), codec, nullptr),
          "cannot open the " + std::string(codec->name) + " decoder");
    // A start past a known end fails before any file is made.
    if (StartsPastTheEnd() && input_->duration > 0 &&
        *options_.startSeconds * AV_TIME_BASE >= static_cast<double>(input_->duration)) {
      throw JobError(PastTheEndReason());
    }
    if (decoder_->sample_rate <= 0 || decoder_->ch_layout.nb_channels <= 0) {
      if (!sourceFile_->stopReason().empty()) throw JobError(sourceFile_->stopReason());
      throw JobError("cannot tell the sample rate and channels of " +
                            ShownText(options_.input));
    }
    if (decoder_->ch_layout.nb_channels > kMostChannels) {
      throw JobError("the audio of " + ShownText(options_.input) + " has " +
                            std::to_string(decoder_->ch_layout.nb_channels) +
                            " channels; the engine converts at most " +
                            std::to_string(kMostChannels));
    }
    RefuseLengthBelowOneSample();
  }

  static int RefuseNestedOpen(AVFormatContext*, AVIOContext**, const char*, int, AVDictionary**) {
    return AVERROR(EPERM);
  }

  // atrim counts the length in samples of the source, rounded: a length that
  // rounds to none would mean no limit at all, the whole file.
  void RefuseLengthBelowOneSample() const {
    if (!options_.durationSeconds) return;
    const double samples =
        std::strtod(Number(*options_.durationSeconds).c_str(), nullptr) * decoder_->sample_rate;
    if (std::llround(samples) < 1) {
      throw OptionError(
          "bad value for -t: the length must be above zero (it is less than one "
          "sample at " +
          std::to_string(decoder_->sample_rate) + " Hz)");
    }
  }

  bool StartsPastTheEnd() const { return options_.startSeconds && *options_.startSeconds > 0; }
  std::string PastTheEndReason() const {
    return "nothing to convert: the start lies beyond the end of " + ShownText(options_.input);
  }

  void PlanTheOutput() {
    plan_ = PlanOutput(options_, decoder_->sample_rate, decoder_->ch_layout.nb_channels);
    if (measured_) AddFinishingNotes();
  }

  int OutputRate() const {
    return plan_.codec == "amr_nb" ? AmrNbEncoder::kSampleRate : plan_.sampleRate;
  }
  int OutputChannels() const { return plan_.codec == "amr_nb" ? 1 : plan_.channels; }

  void AddFinishingNotes() {
    plan_.notes.insert(plan_.notes.end(), measured_->notes.begin(), measured_->notes.end());
    if (!options_.loudnessTarget) return;
    char note[160];
    if (options_.volumePercent && *options_.volumePercent != 100) {
      plan_.notes.push_back("-loudnorm sets the gain; -vol is not applied");
    }
    if (measured_->loudness) {
      std::snprintf(note, sizeof note, "the part measures %.2f LUFS; gain %+.2f dB to %.2f LUFS",
                    *measured_->loudness, measured_->gainDb.value_or(0), *options_.loudnessTarget);
    } else {
      std::snprintf(note, sizeof note, "the part is silent or under 0.4 s; its level stays");
    }
    plan_.notes.push_back(note);
  }

  void PrintHeader() {
    const double seconds =
        input_->duration > 0 ? static_cast<double>(input_->duration) / AV_TIME_BASE : 0.0;
    char line[256];
    std::snprintf(line, sizeof line, " (%s, %d Hz, %d channels, %.2f s)", decoder_->codec->name,
                  decoder_->sample_rate, decoder_->ch_layout.nb_channels, seconds);
    console_ << "Input: " << ShownText(options_.input) << line << "\n";
    std::snprintf(line, sizeof line, " (%s in %s, %d Hz, %d channels", plan_.codec.c_str(),
                  plan_.muxer.c_str(), plan_.sampleRate, plan_.channels);
    console_ << "Output: " << ShownText(options_.output) << line;
    if (plan_.bitrate > 0) {
      std::snprintf(line, sizeof line, ", %g kbit/s", static_cast<double>(plan_.bitrate) / 1000.0);
      console_ << line;
    }
    console_ << ")\n";
    if (options_.startSeconds || options_.durationSeconds) {
      std::snprintf(line, sizeof line, "Segment: from %.2f s", options_.startSeconds.value_or(0));
      console_ << line;
      if (options_.durationSeconds) {
        std::snprintf(line, sizeof line, ", %.2f s long", *options_.durationSeconds);
        console_ << line;
      }
      console_ << "\n";
    }
    for (const std::string& note : plan_.notes) console_ << "Note: " << note << "\n";
    console_.flush();
  }

  void OpenOutput() {
    temporary_ = std::make_unique<TemporaryOutput>(options_.output, options_.overwrite,
                                                   &sourceFile_->info());
    AVFormatContext* raw = nullptr;
    Check(avformat_alloc_output_context2(&raw, nullptr, plan_.muxer.c_str(),
                                         temporary_->path().c_str()),
          "cannot set up the " + plan_.muxer + " container");
    output_.reset(raw);

    if (plan_.codec == "amr_nb") {
      OpenAmrEncoder();
    } else {
      OpenLibavEncoder();
    }
    CopyTags();
    Check(avio_open(&output_->pb, temporary_->path().c_str(), AVIO_FLAG_WRITE),
          "cannot write " + ShownText(options_.output));
    Check(avformat_write_header(output_.get(), nullptr),
          "cannot write the start of " + ShownText(options_.output));
  }

  void OpenAmrEncoder() {
    amr_ = std::make_unique<AmrNbEncoder>(AmrMode{plan_.amrMode, static_cast<int>(plan_.bitrate)});
    encoderFormat_ = AV_SAMPLE_FMT_S16;
    encoderTimeBase_ = {1, AmrNbEncoder::kSampleRate};
    frameSize_ = AmrNbEncoder::kFrameSamples;
    av_channel_layout_default(&encoderLayout_, 1);
    outStream_ = avformat_new_stream(output_.get(), nullptr);
    if (!outStream_) throw JobError("out of memory for the output stream");
    outStream_->codecpar->codec_type = AVMEDIA_TYPE_AUDIO;
    outStream_->codecpar->codec_id = AV_CODEC_ID_AMR_NB;
    outStream_->codecpar->sample_rate = AmrNbEncoder::kSampleRate;
    outStream_->codecpar->bit_rate = plan_.bitrate;
    outStream_->codecpar->frame_size = AmrNbEncoder::kFrameSamples;
    av_channel_layout_default(&outStream_->codecpar->ch_layout, 1);
    outStream_->time_base = encoderTimeBase_;
  }

  void OpenLibavEncoder() {
    const AVCodec* codec = avcodec_find_encoder_by_name(plan_.encoderName.c_str());
    if (!codec) throw JobError("this system's FFmpeg has no " + plan_.encoderName);

    // The decoders of compressed audio give planar float; an encoder that takes
    // it needs no sample format conversion.
    encoderFormat_ = AV_SAMPLE_FMT_NONE;
    for (const AVSampleFormat* f = codec->sample_fmts; f && *f != AV_SAMPLE_FMT_NONE; ++f) {
      if (*f == AV_SAMPLE_FMT_FLTP) encoderFormat_ = *f;
    }
    if (encoderFormat_ == AV_SAMPLE_FMT_NONE) {
      encoderFormat_ = codec->sample_fmts ? codec->sample_fmts[0] : AV_SAMPLE_FMT_S16;
    }
    av_channel_layout_default(&encoderLayout_, plan_.channels);
    for (const AVChannelLayout* l = codec->ch_layouts; l && l->nb_channels; ++l) {
      if (l->nb_channels == plan_.channels) {
        av_channel_layout_uninit(&encoderLayout_);
        Check(av_channel_layout_copy(&encoderLayout_, l),
              "cannot copy the encoder's channel layout");
        break;
      }
    }

    std::vector<int64_t> bitrates = {plan_.bitrate};
    if (plan_.codec == "vorbis") {
      // libvorbis takes an average bitrate only within limits that depend on
      // the rate and channels and that it does not publish: try the nearest.
      std::vector<int64_t> ladder = {32000,  48000,  64000,  80000,  96000,  112000, 128000,
                                     160000, 192000, 224000, 256000, 320000, 400000, 500000};
      std::stable_sort(ladder.begin(), ladder.end(), [&](int64_t a, int64_t b) {
        return std::llabs(a - plan_.bitrate) < std::llabs(b - plan_.bitrate);
      });
      bitrates.insert(bitrates.end(), ladder.begin(), ladder.end());
    }
    int opened = AVERROR(EINVAL);
    for (int64_t bitrate : bitrates) {
      encoder_.reset(avcodec_alloc_context3(codec));
      if (!encoder_) throw JobError("out of memory for the encoder");
      encoder_->sample_fmt = encoderFormat_;
      encoder_->sample_rate = plan_.sampleRate;
      Check(av_channel_layout_copy(&encoder_->ch_layout, &encoderLayout_),
            "cannot copy the encoder's channel layout");
      encoder_->bit_rate = bitrate;
      // One thread inside the encoder: its output then depends on the input
      // alone, and the engine's own second thread is the parallel part.
      encoder_->thread_count = 1;
      encoder_->time_base = {1, plan_.sampleRate};
      if (output_->oformat->flags & AVFMT_GLOBALHEADER) {
        encoder_->flags |= AV_CODEC_FLAG_GLOBAL_HEADER;
      }
      // Failed tries are expected here and say nothing; the last one speaks.
      const int logLevel = av_log_get_level();
      if (bitrate != bitrates.back()) av_log_set_level(AV_LOG_QUIET);
      opened = avcodec_open2(encoder_.get(), codec, nullptr);
      av_log_set_level(logLevel);
      if (opened >= 0) {
        if (bitrate != plan_.bitrate) {
          console_ << "Note: " << codec->name << " takes no " << plan_.bitrate / 1000
                   << " kbit/s at " << plan_.sampleRate << " Hz with " << plan_.channels
                   << " channels; using " << bitrate / 1000 << " kbit/s\n";
        }
        break;
      }
    }
    Check(opened, "cannot open the " + std::string(codec->name) + " encoder");
    encoderTimeBase_ = encoder_->time_base;
    frameSize_ =
        (codec->capabilities & AV_CODEC_CAP_VARIABLE_FRAME_SIZE) ? 0 : encoder_->frame_size;

    outStream_ = avformat_new_stream(output_.get(), nullptr);
    if (!outStream_) throw JobError("out of memory for the output stream");
    Check(avcodec_parameters_from_context(outStream_->codecpar, encoder_.get()),
          "cannot describe the output stream");
    outStream_->time_base = encoderTimeBase_;
  }

  // Title, artist and album travel to every container that holds tags (ID3v2,
  // MP4, Vorbis comments, RIFF INFO); ADTS, raw AC-3 and AMR have no place.
  void CopyTags() {
    for (const char* key : {"title", "artist", "album"}) {
      const AVDictionaryEntry* entry = av_dict_get(input_->metadata, key, nullptr, 0);
      if (!entry) entry = av_dict_get(inStream_->metadata, key, nullptr, 0);
      if (!entry || !*entry->value) continue;
      const std::string value = CappedTag(entry->value);
      const std::string what = std::string("cannot copy the ") + key + " tag";
      Check(av_dict_set(&output_->metadata, key, value.c_str(), 0), what);
      // The Ogg muxer writes the stream's Vorbis comments.
      if (plan_.muxer == "ogg")
        Check(av_dict_set(&outStream_->metadata, key, value.c_str(), 0), what);
    }
  }

  void SeekInput() {
    if (!options_.startSeconds || *options_.startSeconds <= 0) return;
    const double from = std::max(0.0, *options_.startSeconds - kSeekPrerollSeconds);
    int64_t target = static_cast<int64_t>(from * AV_TIME_BASE);
    if (input_->start_time != AV_NOPTS_VALUE) target += input_->start_time;
    const int sought = avformat_seek_file(input_.get(), -1, INT64_MIN, target, target, 0);
    if (sought < 0) {
      // Still correct, only slower: the cut drops everything before the start.
      console_ << "Note: cannot seek in the source (" << AvErrorText(sought)
               << "); reading from its beginning\n";
    }
  }

  void InitFilters(const AVFrame& first) {
    graph_.reset(avfilter_graph_alloc());
    if (!graph_) throw JobError("out of memory for the filter graph");
    // One thread: the graph is a handful of cheap filters, and the machine's
    // other cores are better left to the other jobs.
    graph_->nb_threads = 1;

    inputFormat_ = static_cast<AVSampleFormat>(first.format);
    inputRate_ = first.sample_rate;
    av_channel_layout_uninit(&inputLayout_);
    inputLayout_ = UsableLayout(first.ch_layout);
    // A damaged stream can report a sample format the library has no name for.
    const char* inputFormatName = av_get_sample_fmt_name(inputFormat_);
    if (!inputFormatName) {
      throw JobError("cannot convert the audio of " + ShownText(options_.input) +
                            ": its decoder gives an unknown sample format");
    }
    const std::string source =
        "time_base=1/" + std::to_string(inputRate_) + ":sample_rate=" + std::to_string(inputRate_) +
        ":sample_fmt=" + inputFormatName + ":channel_layout=" + LayoutText(inputLayout_);
    Check(avfilter_graph_create_filter(&source_, avfilter_get_by_name("abuffer"), "in",
                                       source.c_str(), nullptr, graph_.get()),
          "cannot make the filter source");
    Check(avfilter_graph_create_filter(&sink_, avfilter_get_by_name("abuffersink"), "out", nullptr,
                                       nullptr, graph_.get()),
          "cannot make the filter sink");

    // A finished part leaves the graph as interleaved float, which the
    // finishing stage (or, in the first reading, the meter) takes.
    const bool finishing = meter_ || measured_;
    FilterPlan filterPlan;
    filterPlan.startSeconds = options_.startSeconds;
    filterPlan.durationSeconds = options_.durationSeconds;
    filterPlan.volumePercent = options_.loudnessTarget ? 100 : options_.volumePercent.value_or(100);
    const AVSampleFormat filteredFormat = finishing ? AV_SAMPLE_FMT_FLT : encoderFormat_;
    const char* filteredFormatName = av_get_sample_fmt_name(filteredFormat);
    if (!filteredFormatName) {
      throw JobError("the " + plan_.encoderName + " encoder takes an unknown sample format");
    }
    filterPlan.sampleFormat = filteredFormatName;
    filterPlan.sampleRate = OutputRate();
    filterPlan.channelLayout = LayoutText(encoderLayout_);
    const std::string description = FilterDescription(filterPlan);

    FilterInOutPtr outputs(avfilter_inout_alloc());
    FilterInOutPtr inputs(avfilter_inout_alloc());
    if (!outputs || !inputs) throw JobError("out of memory for the filter graph");
    outputs->name = av_strdup("in");
    outputs->filter_ctx = source_;
    inputs->name = av_strdup("out");
    inputs->filter_ctx = sink_;
    if (!outputs->name || !inputs->name)
      throw JobError("out of memory for the filter graph");
    AVFilterInOut* rawInputs = inputs.release();
    AVFilterInOut* rawOutputs = outputs.release();
    const int parsed = avfilter_graph_parse_ptr(graph_.get(), description.c_str(), &rawInputs,
                                                &rawOutputs, nullptr);
    inputs.reset(rawInputs);
    outputs.reset(rawOutputs);
    Check(parsed, "cannot build the filters '" + description + "'");
    const int configured = avfilter_graph_config(graph_.get(), nullptr);
    if (configured < 0) {
      char what[256];
      std::snprintf(what, sizeof what, " (%d Hz, %d channels, %s) to %d Hz with %d channels",
                    inputRate_, inputLayout_.nb_channels, inputFormatName, filterPlan.sampleRate,
                    encoderLayout_.nb_channels);
      throw JobError("cannot convert the audio of " + ShownText(options_.input) + what +
                            ": " + AvErrorText(configured));
    }
    if (measured_) StartFinishing(filterPlan);
    if (frameSize_ > 0 && !finishing) {
      av_buffersink_set_frame_size(sink_, static_cast<unsigned>(frameSize_));
    }
  }

  void StartFinishing(const FilterPlan& filterPlan) {
    FinishingPlan finishing;
    finishing.fades = measured_->fades;
    if (measured_->gainDb) finishing.gain = std::pow(10.0, *measured_->gainDb / 20.0);
    finishing.limit = options_.loudnessTarget.has_value();
    finishing.ceilingDb = TruePeakCeilingFor(plan_.codec);
    finishing.sampleRate = filterPlan.sampleRate;
    finishing.channelLayout = filterPlan.channelLayout;
    finishing.sampleFormat = av_get_sample_fmt_name(encoderFormat_);
    finishing.frameSize = frameSize_;
    finisher_ =
        std::make_unique<PartFinisher>(finishing, [this](AVFrame* frame) { Deliver(frame); });
  }

  // Where a frame that leaves the filter graph goes.
  void Filtered(AVFrame* frame) {
    if (meter_) {
      meter_->Add(reinterpret_cast<const float*>(frame->data[0]), frame->nb_samples);
    } else if (finisher_) {
      finisher_->Add(*frame);
    } else {
      Deliver(frame);
    }
  }

  void ConvertPackets() {
    PacketPtr packet(av_packet_alloc());
    if (!packet || !decoded_ || !filtered_) throw JobError("out of memory");
    while (!filterDone_) {
      const int read = av_read_frame(input_.get(), packet.get());
      if (read == AVERROR_EOF) break;
      if (read < 0) {
        const std::string& stop = sourceFile_->stopReason();
        if (!graph_ || sourceFile_->stalled()) {
          if (!stop.empty()) throw JobError(stop);
          Check(read, "cannot read " + ShownText(options_.input));
        }
        // A damaged tail, or one too long to hold any audio: keep what was
        // decoded, as a player would.
        Say("Note: reading stopped early (" + (stop.empty() ? AvErrorText(read) : stop) + ")");
        break;
      }
      if (packet->stream_index == inStream_->index) Decode(packet.get());
      av_packet_unref(packet.get());
      ReportProgress();
    }
  }

  // Sends one packet (nullptr: the end) and filters every frame that comes out.
  void Decode(const AVPacket* packet) {
    const int sent = avcodec_send_packet(decoder_.get(), packet);
    if (sent == AVERROR_INVALIDDATA) return;  // a damaged frame: skip it as players do
    if (sent < 0 && sent != AVERROR_EOF) Check(sent, "cannot decode " + ShownText(options_.input));
    while (!filterDone_) {
      const int received = avcodec_receive_frame(decoder_.get(), decoded_.get());
      if (received == AVERROR(EAGAIN) || received == AVERROR_EOF) return;
      if (received == AVERROR_INVALIDDATA) continue;
      Check(received, "cannot decode " + ShownText(options_.input));
      sourceFile_->AudioDecoded();
      Filter(decoded_.get());
      av_frame_unref(decoded_.get());
    }
  }

  void Filter(AVFrame* frame) {
    if (!graph_) InitFilters(*frame);
    if (frame->format != inputFormat_ || frame->sample_rate != inputRate_ ||
        frame->ch_layout.nb_channels != inputLayout_.nb_channels) {
      FilterChangedPart(*frame);
      return;
    }
    FlushChangedPart();
    FilterInOrder(frame);
  }

  // A source that changes its rate or channels in the middle (MP3 files
  // joined end to end): each part after the first is resampled to the format
  // the filters were built for, which keeps the cut and fades of the one
  // graph intact. Its frames follow on from the samples before them.
  void FilterChangedPart(const AVFrame& frame) {
    OwnedLayout owned{UsableLayout(frame.ch_layout)};
    AVChannelLayout& layout = owned.value;  // the resampler takes it non-const
    if (partResampler_ && (frame.format != partFormat_ || frame.sample_rate != partRate_ ||
                           layout.nb_channels != partChannels_)) {
      FlushChangedPart();
    }
    if (!partResampler_) {
      SwrContext* raw = nullptr;
      Check(swr_alloc_set_opts2(&raw, &inputLayout_, inputFormat_, inputRate_, &layout,
                                static_cast<AVSampleFormat>(frame.format), frame.sample_rate, 0,
                                nullptr),
            "cannot resample the audio of " + ShownText(options_.input));
      partResampler_.reset(raw);
      Check(swr_init(partResampler_.get()),
            "cannot resample the audio of " + ShownText(options_.input));
      partFormat_ = frame.format;
      partRate_ = frame.sample_rate;
      partChannels_ = layout.nb_channels;
    }
    AVFrame input = frame;  // the same samples, with the layout the resampler knows
    input.ch_layout = layout;
    ResampleAndFilter(&input);
  }

  // Sends what the part's resampler still holds (nothing: no part is open).
  void FlushChangedPart() {
    if (!partResampler_) return;
    ResampleAndFilter(nullptr);
    partResampler_.reset();
  }

  void ResampleAndFilter(const AVFrame* input) {
    FramePtr part(av_frame_alloc());
    if (!part) throw JobError("out of memory");
    part->format = inputFormat_;
    part->sample_rate = inputRate_;
    Check(av_channel_layout_copy(&part->ch_layout, &inputLayout_), "out of memory");
    Check(swr_convert_frame(partResampler_.get(), part.get(), input),
          "cannot resample the audio of " + ShownText(options_.input));
    if (part->nb_samples == 0) return;
    part->best_effort_timestamp = AV_NOPTS_VALUE;
    FilterInOrder(part.get());
  }

  void FilterInOrder(AVFrame* frame) {
    // Times relative to the stream's start, in samples: atrim cuts on them.
    int64_t pts = frame->best_effort_timestamp;
    if (pts != AV_NOPTS_VALUE) {
      if (inStream_->start_time != AV_NOPTS_VALUE) pts -= inStream_->start_time;
      pts = av_rescale_q(pts, inStream_->time_base, AVRational{1, inputRate_});
    } else {
      pts = nextInputPts_;
    }
    frame->pts = pts;
    nextInputPts_ = pts + frame->nb_samples;

    const int added = av_buffersrc_add_frame_flags(source_, frame, 0);
    if (added == AVERROR_EOF) {
      filterDone_ = true;
      return;
    }
    Check(added, "cannot filter the audio");
    PullFiltered();
  }

  void PullFiltered() {
    while (true) {
      const int got = av_buffersink_get_frame(sink_, filtered_.get());
      if (got == AVERROR(EAGAIN)) return;
      if (got == AVERROR_EOF) {
        filterDone_ = true;  // the cut is complete: nothing more to read
        return;
      }
      Check(got, "cannot filter the audio");
      Filtered(filtered_.get());
      av_frame_unref(filtered_.get());
    }
  }

  // Encodes one frame (nullptr: the end) and writes the packets.
  void Encode(AVFrame* frame) {
    if (frame) {
      frame->pts = samplesEncoded_;
      samplesEncoded_ += frame->nb_samples;
    }
    if (amr_) {
      if (frame) EncodeAmr(*frame);
      return;
    }
    const int sent = avcodec_send_frame(encoder_.get(), frame);
    if (sent < 0 && !(sent == AVERROR_EOF && !frame)) Check(sent, "cannot encode the audio");
    PacketPtr packet(av_packet_alloc());
    if (!packet) throw JobError("out of memory");
    while (true) {
      const int received = avcodec_receive_packet(encoder_.get(), packet.get());
      if (received == AVERROR(EAGAIN) || received == AVERROR_EOF) return;
      Check(received, "cannot encode the audio");
      Write(packet.get());
    }
  }

  void EncodeAmr(const AVFrame& frame) {
    // The sink hands out 160-sample frames; only the last may be shorter, and
    // it is padded with silence to a whole AMR frame.
    std::vector<int16_t> samples(AmrNbEncoder::kFrameSamples, 0);
    const int count = std::min(frame.nb_samples, AmrNbEncoder::kFrameSamples);
    std::memcpy(samples.data(), frame.data[0], sizeof(int16_t) * static_cast<size_t>(count));
    const std::vector<uint8_t> bytes = amr_->EncodeFrame(samples.data());
    PacketPtr packet(av_packet_alloc());
    if (!packet) throw JobError("out of memory");
    Check(av_new_packet(packet.get(), static_cast<int>(bytes.size())), "out of memory");
    std::memcpy(packet->data, bytes.data(), bytes.size());
    packet->pts = packet->dts = frame.pts;
    packet->duration = AmrNbEncoder::kFrameSamples;
    Write(packet.get());
  }

  void Write(AVPacket* packet) {
    packet->stream_index = outStream_->index;
    av_packet_rescale_ts(packet, encoderTimeBase_, outStream_->time_base);
    Check(av_interleaved_write_frame(output_.get(), packet),
          "cannot write " + ShownText(options_.output));
    bytesWritten_ = avio_tell(output_->pb);
    ReportProgress();
  }

  // Decoding and filtering run on the engine's main thread, encoding and
  // writing on a second one, so that the two halves of the work share the
  // machine's cores. The encoder gets the very frames, in the very order, it
  // would get on one thread: the output is the same to the byte (with
  // EVC_SINGLE_THREAD=1 in the environment the engine runs on one thread,
  // which the tests compare against).
  static bool SingleThreaded() {
    const char* value = std::getenv("EVC_SINGLE_THREAD");
    return value && *value && std::string(value) != "0";
  }

  void StartEncodeThread() {
    if (SingleThreaded()) return;
    encodeThread_ = std::make_unique<EncodeThread>();
    encodeThread_->thread = std::thread([this] { EncodeQueued(); });
  }

  // The encoding thread's whole life: a failure is handed to the main
  // thread, which rethrows it on its next hand-over.
  void EncodeQueued() {
    BlockCleanupSignalsInThisThread();
    try {
      for (FramePtr frame; encodeThread_->queue.Pop(frame);) Encode(frame.get());
    } catch (...) {
      encodeThread_->failure = std::current_exception();
      encodeThread_->queue.Abort();
    }
  }

  // Hands one filtered frame (emptied) to the encoder.
  void Deliver(AVFrame* frame) {
    if (!encodeThread_) {
      Encode(frame);
      return;
    }
    FramePtr queued(av_frame_alloc());
    if (!queued) throw JobError("out of memory");
    av_frame_move_ref(queued.get(), frame);
    if (!encodeThread_->queue.Push(std::move(queued))) {
      FinishEncodeThread();  // rethrows the encoder's failure
      throw JobError("the encoder stopped");
    }
  }

  // Waits until every queued frame is encoded; rethrows the encoder's failure.
  void FinishEncodeThread() {
    if (!encodeThread_) return;
    encodeThread_->queue.Finish();
    encodeThread_->thread.join();
    const std::exception_ptr failure = encodeThread_->failure;
    encodeThread_.reset();
    if (failure) std::rethrow_exception(failure);
  }

  void Say(const std::string& line) {
    std::lock_guard lock(consoleMutex_);
    console_ << line << "\n";
    console_.flush();
  }

  void FlushEverything() {
    FlushDecoding();
    if (finisher_) finisher_->Finish();
    FinishEncodeThread();
    if (samplesEncoded_ == 0) {
      throw JobError(StartsPastTheEnd()
                         ? PastTheEndReason()
                         : "no audio could be decoded from " + ShownText(options_.input));
    }
    Encode(nullptr);
  }

  // Decodes and filters what the decoder and the filters still hold.
  void FlushDecoding() {
    if (!filterDone_) Decode(nullptr);
    if (!filterDone_) FlushChangedPart();
    if (!graph_ && StartsPastTheEnd()) throw JobError(PastTheEndReason());
    if (!graph_)
      throw JobError("no audio could be decoded from " + ShownText(options_.input));
    if (!filterDone_) {
      Check(av_buffersrc_add_frame_flags(source_, nullptr, 0), "cannot finish the filters");
      PullFiltered();
    }
  }

  void FinishOutput() {
    Check(av_write_trailer(output_.get()), "cannot finish " + ShownText(options_.output));
    if (output_->pb->error < 0)
      Check(output_->pb->error, "cannot write " + ShownText(options_.output));
    Check(avio_closep(&output_->pb), "cannot write " + ShownText(options_.output));
    temporary_->Commit();
    struct stat info {};
    const int64_t size = stat(options_.output.c_str(), &info) == 0 ? info.st_size : 0;
    console_ << FormatProgressLine(size, EncodedSeconds()) << "\n";
    console_.flush();
  }

  std::optional<double> EncodedSeconds() const {
    if (samplesEncoded_ == 0) return std::nullopt;
    const int rate = amr_ ? AmrNbEncoder::kSampleRate : plan_.sampleRate;
    return static_cast<double>(samplesEncoded_) / rate;
  }

  // Called by both threads: the figures are atomics, the console is shared.
  void ReportProgress() {
    std::lock_guard lock(consoleMutex_);
    const auto now = std::chrono::steady_clock::now();
    if (now - lastProgress_ < kProgressInterval) return;
    lastProgress_ = now;
    console_ << FormatProgressLine(bytesWritten_, EncodedSeconds()) << "\n";
    console_.flush();
  }

  const EngineOptions& options_;
  std::ostream& console_;
  const PartMeasurement* measured_;     // the second reading of a finished part
  std::optional<LoudnessMeter> meter_;  // the first reading of a finished part
  std::unique_ptr<PartFinisher> finisher_;
  OutputPlan plan_;

  std::unique_ptr<SourceInput> sourceFile_;  // outlives input_, which reads through it
  InputFormatPtr input_;
  AVStream* inStream_ = nullptr;
  CodecContextPtr decoder_;

  std::unique_ptr<TemporaryOutput> temporary_;
  OutputFormatPtr output_;
  AVStream* outStream_ = nullptr;
  CodecContextPtr encoder_;
  std::unique_ptr<AmrNbEncoder> amr_;
  AVSampleFormat encoderFormat_ = AV_SAMPLE_FMT_NONE;
  AVChannelLayout encoderLayout_{};
  AVRational encoderTimeBase_{1, 1};
  int frameSize_ = 0;

  FilterGraphPtr graph_;
  AVFilterContext* source_ = nullptr;
  AVFilterContext* sink_ = nullptr;
  AVSampleFormat inputFormat_ = AV_SAMPLE_FMT_NONE;
  int inputRate_ = 0;
  AVChannelLayout inputLayout_{};
  ResamplerPtr partResampler_;  // open while a part of another format is read
  int partFormat_ = -1;
  int partRate_ = 0;
  int partChannels_ = 0;

  FramePtr decoded_{av_frame_alloc()};
  FramePtr filtered_{av_frame_alloc()};
  int64_t nextInputPts_ = 0;
  std::atomic<int64_t> samplesEncoded_ = 0;
  std::atomic<int64_t> bytesWritten_ = 0;
  bool filterDone_ = false;
  std::chrono::steady_clock::time_point lastProgress_ = std::chrono::steady_clock::now();
  std::mutex consoleMutex_;

  struct EncodeThread {
    FrameQueue queue{kQueuedFrames};
    std::thread thread;
    std::exception_ptr failure;
    // A failure on the main thread stops the encoder before anything it
    // uses is freed.
    ~EncodeThread() {
      queue.Abort();
      if (thread.joinable()) thread.join();
    }
  };
  // Declared last, so destroyed first. Empty on one thread.
  std::unique_ptr<EncodeThread> encodeThread_;

 public:
  ~Conversion() {
    av_channel_layout_uninit(&encoderLayout_);
    av_channel_layout_uninit(&inputLayout_);
  }
};

}  // namespace

std::string FilterDescription(const FilterPlan& plan) {
  std::vector<std::string> steps;
  const bool cut = plan.startSeconds || plan.durationSeconds;
  if (cut) {
    std::string trim = "atrim=start=" + Number(plan.startSeconds.value_or(0));
    if (plan.durationSeconds) trim += ":duration=" + Number(*plan.durationSeconds);
    steps.push_back(trim);
    steps.push_back("asetpts=PTS-STARTPTS");
  }
  if (plan.startSeconds && *plan.startSeconds > 0) {
    steps.push_back("afade=t=in:st=0:d=" + Number(kFadeSeconds));
  }
  if (plan.durationSeconds && *plan.durationSeconds > 2 * kFadeSeconds) {
    steps.push_back("afade=t=out:st=" + Number(*plan.durationSeconds - kFadeSeconds) +
                    ":d=" + Number(kFadeSeconds));
  }
  if (plan.volumePercent != 100) {
    steps.push_back("volume=" + Number(plan.volumePercent / 100.0));
  }
  if (plan.volumePercent > 100) {
    // Peaks pushed past full scale go through a look-ahead limiter rather than
    // a soft clipper: a soft clipper bends every loud sample and colours the
    // whole passage, while the limiter leaves the waveform alone and only
    // turns the gain down around the peaks (5 ms look-ahead, 50 ms release).
    // The ceiling of -0.3 dBFS leaves room for the encoders' overshoot; the
    // auto-level stage stays off so that -vol means what it says, and the
    // look-ahead delay is compensated so that the cut stays where it was.
    steps.push_back("alimiter=limit=0.966:attack=5:release=50:level=0:latency=1");
  }
  steps.push_back("aformat=sample_fmts=" + plan.sampleFormat + ":sample_rates=" +
                  std::to_string(plan.sampleRate) + ":channel_layouts=" + plan.channelLayout);
  std::string description;
  for (const std::string& step : steps) {
    if (!description.empty()) description += ",";
    description += step;
  }
  return description;
}

void Convert(const EngineOptions& options, std::ostream& console) {
  if (!FinishesThePart(options)) {
    Conversion conversion(options, console);
    conversion.Run();
    return;
  }
  // The first reading prints nothing: its notes (a failed seek) would come twice.
  std::ostream quiet(nullptr);
  const PartMeasurement measured = Conversion(options, quiet).MeasurePart();
  Conversion conversion(options, console, &measured);
  conversion.Run();
}

}  // namespace evc
