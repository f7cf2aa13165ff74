#include "OutputPlan.h"

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <cstdlib>
#include <map>

#include "AmrNbEncoder.h"

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
}

namespace evc {
namespace {

std::string LowerExtension(const std::string& path) {
  const size_t slash = path.rfind('/');
  const size_t dot = path.rfind('.');
  if (dot == std::string::npos || (slash != std::string::npos && dot < slash)) return "";
  std::string extension = path.substr(dot + 1);
  std::transform(extension.begin(), extension.end(), extension.begin(),
                 [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
  return extension;
}

// -f names to muxer names.
std::string MuxerForFormat(const std::string& format) {
  static const std::map<std::string, std::string> muxers = {
      {"mp3", "mp3"}, {"adts", "adts"}, {"mp4", "mp4"}, {"ac3", "ac3"},
      {"ogg", "ogg"}, {"wav", "wav"},   {"amr", "amr"}};
  return muxers.at(format);
}

std::string MuxerForExtension(const std::string& extension) {
  static const std::map<std::string, std::string> muxers = {
      {"mp3", "mp3"}, {"aac", "adts"}, {"m4a", "ipod"}, {"mp4", "mp4"}, {"ac3", "ac3"},
      {"ogg", "ogg"}, {"oga", "ogg"},  {"wav", "wav"},  {"amr", "amr"}};
  auto found = muxers.find(extension);
  return found == muxers.end() ? "" : found->second;
}

std::string DefaultCodec(const std::string& muxer) {
  static const std::map<std::string, std::string> codecs = {
      {"mp3", "mp3"}, {"adts", "aac"},   {"ipod", "aac"},      {"mp4", "aac"},
      {"ac3", "ac3"}, {"ogg", "vorbis"}, {"wav", "pcm_s16le"}, {"amr", "amr_nb"}};
  return codecs.at(muxer);
}

std::string EncoderFor(const std::string& codec) {
  static const std::map<std::string, std::string> encoders = {
      {"mp3", "libmp3lame"},      {"aac", "aac"}, {"ac3", "ac3"}, {"vorbis", "libvorbis"},
      {"pcm_s16le", "pcm_s16le"}, {"amr_nb", ""}};
  return encoders.at(codec);
}

AVCodecID CodecId(const std::string& codec) {
  static const std::map<std::string, AVCodecID> ids = {{"mp3", AV_CODEC_ID_MP3},
                                                       {"aac", AV_CODEC_ID_AAC},
                                                       {"ac3", AV_CODEC_ID_AC3},
                                                       {"vorbis", AV_CODEC_ID_VORBIS},
                                                       {"pcm_s16le", AV_CODEC_ID_PCM_S16LE},
                                                       {"amr_nb", AV_CODEC_ID_AMR_NB}};
  return ids.at(codec);
}

template <typename T>
T Nearest(const std::vector<T>& choices, T wanted) {
  // Ties go to the higher value: more quality rather than less.
  T best = choices.front();
  for (T choice : choices) {
    const auto distance = std::llabs(static_cast<long long>(choice) - wanted);
    const auto bestDistance = std::llabs(static_cast<long long>(best) - wanted);
    if (distance < bestDistance || (distance == bestDistance && choice > best)) best = choice;
  }
  return best;
}

std::vector<int> SupportedRates(const AVCodec* encoder) {
  std::vector<int> rates;
  if (encoder && encoder->supported_samplerates) {
    for (const int* rate = encoder->supported_samplerates; *rate; ++rate) rates.push_back(*rate);
  }
  return rates;
}

std::vector<int> SupportedChannelCounts(const AVCodec* encoder) {
  std::vector<int> counts;
  if (encoder && encoder->ch_layouts) {
    for (const AVChannelLayout* layout = encoder->ch_layouts; layout->nb_channels; ++layout) {
      if (std::find(counts.begin(), counts.end(), layout->nb_channels) == counts.end()) {
        counts.push_back(layout->nb_channels);
      }
    }
  }
  return counts;
}

std::string Kbits(int64_t bitrate) {
  if (bitrate % 1000 == 0) return std::to_string(bitrate / 1000) + " kbit/s";
  char text[32];
  std::snprintf(text, sizeof text, "%.2f kbit/s", static_cast<double>(bitrate) / 1000.0);
  return text;
}

void FitSampleRate(OutputPlan& plan, const AVCodec* encoder, int wanted, const std::string& label) {
  std::vector<int> rates = SupportedRates(encoder);
  if (rates.empty()) {
    // Encoders without a list: PCM takes any rate in this range; libvorbis
    // with an average bitrate (the engine's -ab) refuses every rate above
    // 50000 Hz, so it gets at most 48000 Hz, the highest of the usual rates.
    const int lowest = plan.codec == "vorbis" ? 8000 : 1000;
    const int highest = plan.codec == "vorbis" ? 48000 : 384000;
    plan.sampleRate = std::clamp(wanted, lowest, highest);
  } else {
    plan.sampleRate = Nearest(rates, wanted);
  }
  if (plan.sampleRate != wanted) {
    plan.notes.push_back(label + " takes no " + std::to_string(wanted) + " Hz; using " +
                         std::to_string(plan.sampleRate) + " Hz");
  }
}

void FitChannels(OutputPlan& plan, const AVCodec* encoder, int wanted, const std::string& label) {
  std::vector<int> counts = SupportedChannelCounts(encoder);
  if (counts.empty()) {
    plan.channels = std::clamp(wanted, 1, 8);
  } else {
    plan.channels = Nearest(counts, wanted);
  }
  if (plan.channels != wanted) {
    plan.notes.push_back(label + " takes no " + std::to_string(wanted) + " channels; using " +
                         std::to_string(plan.channels));
  }
}

void FitBitrate(OutputPlan& plan, std::optional<int64_t> asked, const std::string& label) {
  int64_t wanted = asked.value_or(0);
  if (plan.codec == "pcm_s16le") {
    plan.bitrate = 0;  // PCM's rate follows from the sample rate and channels
    return;
  }
  if (plan.codec == "amr_nb") {
    const AmrMode mode = AmrModeForBitrate(asked.value_or(12200));
    plan.amrMode = mode.mode;
    plan.bitrate = mode.bitsPerSecond;
  } else if (plan.codec == "mp3") {
    plan.bitrate = Nearest(Mp3Bitrates(plan.sampleRate), asked.value_or(128000));
  } else if (plan.codec == "ac3") {
    static const std::vector<int64_t> rates = {
        32000,  40000,  48000,  56000,  64000,  80000,  96000,  112000, 128000, 160000,
        192000, 224000, 256000, 320000, 384000, 448000, 512000, 576000, 640000};
    plan.bitrate = Nearest(rates, asked.value_or(plan.channels == 1 ? 96000 : 192000));
    // Below these the encoder's bit allocation fails on the first loud
    // frame ("Bit allocation failed"); measured on noise, tones and clicks
    // at 48000 Hz with one step to spare.
    static const int64_t lowestForChannels[] = {32000, 32000, 32000, 40000, 48000, 56000, 64000};
    plan.bitrate = std::max(plan.bitrate, lowestForChannels[std::clamp(plan.channels, 1, 6)]);
  } else if (plan.codec == "aac") {
    // FFmpeg's AAC encoder writes at most 6144 bits per channel and frame.
    const int64_t highest = int64_t{6144} * plan.sampleRate / 1024 * plan.channels;
    plan.bitrate = std::clamp<int64_t>(asked.value_or(128000), 8000, highest);
  } else {
    plan.bitrate = asked.value_or(128000);  // libvorbis: checked when the encoder opens
  }
  if (asked && plan.bitrate != wanted) {
    plan.notes.push_back(label + " takes no " + Kbits(wanted) + " at " +
                         std::to_string(plan.sampleRate) + " Hz; using " + Kbits(plan.bitrate));
  }
}

}  // namespace

std::vector<int64_t> Mp3Bitrates(int sampleRate) {
  std::vector<int> kbits;
  if (sampleRate >= 32000) {
    kbits = {32, 40, 48, 56, 64, 80, 96, 112, 128, 160, 192, 224, 256, 320};
  } else if (sampleRate >= 16000) {
    kbits = {8, 16, 24, 32, 40, 48, 56, 64, 80, 96, 112, 128, 144, 160};
  } else {
    kbits = {8, 16, 24, 32, 40, 48, 56, 64};
  }
  std::vector<int64_t> rates;
  for (int k : kbits) rates.push_back(int64_t{k} * 1000);
  return rates;
}

OutputPlan PlanOutput(const EngineOptions& options, int sourceSampleRate, int sourceChannels) {
  OutputPlan plan;
  if (!options.format.empty()) {
    plan.muxer = MuxerForFormat(options.format);
  } else {
    plan.muxer = MuxerForExtension(LowerExtension(options.output));
    if (plan.muxer.empty()) {
      throw OptionError("cannot tell the output type from the name '" + options.output +
                        "' (use .mp3, .aac, .m4a, .ac3, .ogg, .wav or .amr, or -f)");
    }
  }
  plan.codec = options.audioCodec.empty() ? DefaultCodec(plan.muxer) : options.audioCodec;
  plan.encoderName = EncoderFor(plan.codec);

  const AVOutputFormat* muxer = av_guess_format(plan.muxer.c_str(), nullptr, nullptr);
  // A muxer's own default codec always fits (the MP3 muxer's query answers
  // only for cover pictures).
  if (!muxer || (muxer->audio_codec != CodecId(plan.codec) &&
                 avformat_query_codec(muxer, CodecId(plan.codec), FF_COMPLIANCE_NORMAL) != 1)) {
    throw OptionError("the " + plan.muxer + " container cannot hold " + plan.codec + " audio");
  }

  const AVCodec* encoder = nullptr;
  if (!plan.encoderName.empty()) {
    encoder = avcodec_find_encoder_by_name(plan.encoderName.c_str());
    if (!encoder) throw OptionError("this system's FFmpeg has no " + plan.encoderName + " encoder");
  }
  const std::string label = plan.codec == "amr_nb" ? "AMR-NB"
                            : plan.codec == "ac3"  ? "AC-3"
                                                   : std::string(encoder->name);

  const int wantedRate = options.sampleRate.value_or(sourceSampleRate);
  const int wantedChannels = options.channels.value_or(sourceChannels);
  if (plan.codec == "amr_nb") {
    // AMR-NB is 8000 Hz mono by definition.
    plan.sampleRate = AmrNbEncoder::kSampleRate;
    plan.channels = 1;
    if (options.sampleRate && *options.sampleRate != plan.sampleRate) {
      plan.notes.push_back(label + " takes no " + std::to_string(wantedRate) +
                           " Hz; using 8000 Hz");
    }
    if (options.channels && *options.channels != 1) {
      plan.notes.push_back(label + " takes no " + std::to_string(wantedChannels) +
                           " channels; using 1");
    }
  } else {
    FitSampleRate(plan, encoder, wantedRate, label);
    FitChannels(plan, encoder, wantedChannels, label);
  }
  FitBitrate(plan, options.audioBitrate, label);
  return plan;
}

}  // namespace evc
