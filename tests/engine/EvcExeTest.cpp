// The built evc.exe, run as Tonbrix runs it: a child process with an argument
// list, its standard output and error read through one pipe. Fixtures are
// made at test time with the ffmpeg tool; outputs are decoded with the FFmpeg
// libraries and measured.
#include <dirent.h>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cmath>
#include <filesystem>
#include <fstream>
#include <functional>
#include <map>
#include <memory>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libavutil/opt.h>
#include <libswresample/swresample.h>
}

#include "EngineProcess.h"

namespace {

namespace fs = std::filesystem;
using engine_test::Child;
using engine_test::kEngine;
using engine_test::Run;
using engine_test::RunEngine;
using engine_test::RunResult;

std::string FileBytes(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), {});
}

// An Ogg file with the serial number and checksum of every page zeroed: the
// muxer draws a random serial number for each file it writes, so only these
// fields may differ between two writes of the same audio.
std::string WithoutOggSerials(std::string bytes) {
  size_t at = 0;
  while (at + 27 <= bytes.size() && bytes.compare(at, 4, "OggS") == 0) {
    std::fill_n(bytes.begin() + at + 14, 4, '\0');  // bitstream serial number
    std::fill_n(bytes.begin() + at + 22, 4, '\0');  // page checksum
    const size_t segments = static_cast<unsigned char>(bytes[at + 26]);
    size_t body = 0;
    for (size_t i = 0; i < segments && at + 27 + i < bytes.size(); ++i) {
      body += static_cast<unsigned char>(bytes[at + 27 + i]);
    }
    at += 27 + segments + body;
  }
  return bytes;
}

void MakeFixture(const std::string& path, const std::vector<std::string>& ffmpegArguments) {
  std::vector<std::string> arguments = {"/usr/bin/ffmpeg", "-hide_banner", "-loglevel", "error",
                                        "-y"};
  arguments.insert(arguments.end(), ffmpegArguments.begin(), ffmpegArguments.end());
  arguments.push_back(path);
  const RunResult made = Run(arguments);
  ASSERT_EQ(made.exitCode, 0) << made.output;
}

// A decoded file: its first audio stream as interleaved floats.
struct Decoded {
  std::string codec;
  std::string container;
  int sampleRate = 0;
  int channels = 0;
  std::vector<float> samples;
  std::map<std::string, std::string> tags;
  double Seconds() const { return channels ? double(samples.size()) / channels / sampleRate : 0; }
  // Level of channel 0 between two instants, in dBFS.
  double RmsDb(double from, double to) const {
    const size_t a = size_t(from * sampleRate), b = std::min(size_t(to * sampleRate), Frames());
    double sum = 0;
    for (size_t i = a; i < b; ++i) sum += double(samples[i * channels]) * samples[i * channels];
    return 10 * std::log10(std::max(sum / std::max<size_t>(b - a, 1), 1e-20));
  }
  size_t Frames() const { return channels ? samples.size() / channels : 0; }
  // First instant where channel 0's 10 ms level rises above -30 dBFS.
  double OnsetSeconds() const {
    for (double t = 0; t + 0.01 < Seconds(); t += 0.002) {
      if (RmsDb(t, t + 0.01) > -30) return t;
    }
    return -1;
  }
};

Decoded Decode(const std::string& path) {
  Decoded d;
  AVFormatContext* format = nullptr;
  if (avformat_open_input(&format, path.c_str(), nullptr, nullptr) < 0) return d;
  std::unique_ptr<AVFormatContext, void (*)(AVFormatContext*)> formatOwner(
      format, [](AVFormatContext* f) { avformat_close_input(&f); });
  avformat_find_stream_info(format, nullptr);
  const int index = av_find_best_stream(format, AVMEDIA_TYPE_AUDIO, -1, -1, nullptr, 0);
  if (index < 0) return d;
  AVStream* stream = format->streams[index];
  d.container = format->iformat->name;
  for (AVDictionary* dict : {format->metadata, stream->metadata}) {
    const AVDictionaryEntry* e = nullptr;
    while ((e = av_dict_get(dict, "", e, AV_DICT_IGNORE_SUFFIX))) {
      std::string key = e->key;
      std::transform(key.begin(), key.end(), key.begin(), ::tolower);
      d.tags[key] = e->value;
    }
  }
  const AVCodec* codec = avcodec_find_decoder(stream->codecpar->codec_id);
  AVCodecContext* decoder = avcodec_alloc_context3(codec);
  std::unique_ptr<AVCodecContext, void (*)(AVCodecContext*)> decoderOwner(
      decoder, [](AVCodecContext* c) { avcodec_free_context(&c); });
  avcodec_parameters_to_context(decoder, stream->codecpar);
  decoder->pkt_timebase = stream->time_base;
  if (avcodec_open2(decoder, codec, nullptr) < 0) return d;
  d.codec = avcodec_get_name(stream->codecpar->codec_id);
  d.sampleRate = decoder->sample_rate;
  d.channels = decoder->ch_layout.nb_channels;
  SwrContext* swr = nullptr;
  swr_alloc_set_opts2(&swr, &decoder->ch_layout, AV_SAMPLE_FMT_FLT, decoder->sample_rate,
                      &decoder->ch_layout, decoder->sample_fmt, decoder->sample_rate, 0, nullptr);
  std::unique_ptr<SwrContext, void (*)(SwrContext*)> swrOwner(swr,
                                                              [](SwrContext* s) { swr_free(&s); });
  swr_init(swr);
  AVPacket* packet = av_packet_alloc();
  AVFrame* frame = av_frame_alloc();
  auto drain = [&] {
    while (avcodec_receive_frame(decoder, frame) == 0) {
      std::vector<float> out(size_t(frame->nb_samples) * d.channels);
      uint8_t* outData[] = {reinterpret_cast<uint8_t*>(out.data())};
      const int n =
          swr_convert(swr, outData, frame->nb_samples,
                      const_cast<const uint8_t**>(frame->extended_data), frame->nb_samples);
      out.resize(size_t(std::max(n, 0)) * d.channels);
      d.samples.insert(d.samples.end(), out.begin(), out.end());
    }
  };
  while (av_read_frame(format, packet) >= 0) {
    if (packet->stream_index == index && avcodec_send_packet(decoder, packet) >= 0) drain();
    av_packet_unref(packet);
  }
  avcodec_send_packet(decoder, nullptr);
  drain();
  av_packet_free(&packet);
  av_frame_free(&frame);
  return d;
}

std::vector<std::string> FolderEntries(const std::string& folder) {
  std::vector<std::string> names;
  for (const auto& entry : fs::directory_iterator(folder)) {
    names.push_back(entry.path().filename().string());
  }
  std::sort(names.begin(), names.end());
  return names;
}

std::string LastLine(const std::string& text) {
  std::string trimmed = text;
  while (!trimmed.empty() && trimmed.back() == '\n') trimmed.pop_back();
  const size_t newline = trimmed.rfind('\n');
  return newline == std::string::npos ? trimmed : trimmed.substr(newline + 1);
}

// The whole seconds Tonbrix takes from each line: the third "=" piece, up to
// its "."; lines in other layouts and the unknown-time marker give nothing.
std::vector<long> ProgressSeconds(const std::string& output) {
  std::vector<long> seconds;
  std::istringstream lines(output);
  for (std::string line; std::getline(lines, line);) {
    std::vector<std::string> pieces;
    size_t begin = 0;
    for (size_t eq; (eq = line.find('=', begin)) != std::string::npos; begin = eq + 1) {
      pieces.push_back(line.substr(begin, eq - begin));
    }
    pieces.push_back(line.substr(begin));
    if (pieces.size() < 4) continue;
    const std::string whole = pieces[2].substr(0, pieces[2].find('.'));
    if (whole == "10000000000") continue;
    seconds.push_back(std::stol(whole));
  }
  return seconds;
}

class EvcExe : public testing::Test {
 protected:
  // Fixtures are made once per build folder and kept: CTest runs every case
  // in a process of its own.
  static void SetUpTestSuite() {
    fixtures_ = std::string(TONBRIX_APP_DIR) + "test-fixtures/engine";
    fs::create_directories(fixtures_);
    char pattern[] = "/tmp/evc-test-XXXXXX";
    folder_ = mkdtemp(pattern);
    // Silence for 3 s, then a loud 1 kHz tone: a cut shows where it starts.
    MakeFixture("step.mp3",
                {"-f", "lavfi", "-i",
                 "aevalsrc=if(gte(t\\,3)\\,0.5*sin(2*PI*1000*t)\\,0)|if(gte(t\\,3)\\,0.5*sin(2*PI*"
                 "1000*t)\\,0):s=44100:d=6",
                 "-metadata", "title=Step Tone", "-metadata", "artist=Tonbrix Tests", "-metadata",
                 "album=Fixtures", "-ab", "192k"});
    // A quiet tone (-20 dBFS) and a loud one that almost touches full scale.
    MakeFixture("quiet.wav",
                {"-f", "lavfi", "-i", "sine=f=500:r=44100:d=2", "-af", "volume=0.2", "-ac", "2"});
    MakeFixture("loud.wav",
                {"-f", "lavfi", "-i", "aevalsrc=0.98*sin(2*PI*220*t):s=44100:d=2", "-ac", "2"});
    // Long enough that the engine is still reading it when it is interrupted.
    MakeFixture("long.wav", {"-f", "lavfi", "-i", "sine=f=300:r=44100:d=60", "-ac", "2"});
    // Values some encoders cannot take as they stand.
    MakeFixture("hi-rate.wav", {"-f", "lavfi", "-i", "sine=f=440:r=96000:d=2", "-ac", "2"});
    MakeFixture("six.wav", {"-f", "lavfi", "-i", "sine=f=440:r=48000:d=2", "-ac", "6"});
    // Three MP3 parts of 44100, 22050 and 48000 Hz, to be joined end to end.
    MakeFixture("part-44k.mp3", {"-f", "lavfi", "-i", "sine=f=440:r=44100:d=2", "-ac", "2"});
    MakeFixture("part-22k.mp3", {"-f", "lavfi", "-i", "sine=f=660:r=22050:d=2", "-ac", "2"});
    MakeFixture("part-48k.mp3", {"-f", "lavfi", "-i", "sine=f=880:r=48000:d=2", "-ac", "2"});
    // A title of 64 KiB: copied whole, it would outweigh the ringtone.
    MakeFixture("long-title.mp3", {"-f", "lavfi", "-i", "sine=f=440:r=44100:d=1", "-metadata",
                                   "title=" + std::string(64 * 1024, 'T')});
    // Fifteen seconds of music-like sound: many frames through every encoder.
    MakeFixture(
        "music.mp3",
        {"-f", "lavfi", "-i", "anoisesrc=d=15:c=pink:a=0.2:r=44100", "-f", "lavfi", "-i",
         "aevalsrc=0.2*sin(2*PI*220*t)|0.15*sin(2*PI*330*t):s=44100:d=15", "-filter_complex",
         "[0][1]amerge=inputs=2,pan=stereo|c0=c0+c1|c1=c0+c2", "-ab", "192k"});
    MakeFixture("video-only.mp4",
                {"-f", "lavfi", "-i", "testsrc=d=1:s=64x48:r=10", "-c:v", "mpeg4"});
    std::ofstream(Path("text.mp3")) << "This is not audio at all, only a few words of text.\n";
  }
  static void TearDownTestSuite() { fs::remove_all(folder_); }

  static void MakeFixture(const std::string& name, const std::vector<std::string>& arguments) {
    const std::string path = fixtures_ + "/" + name;
    if (fs::exists(path)) return;
    // Made under another name and renamed, so that parallel cases never see
    // half a fixture.
    const std::string ext = name.substr(name.rfind('.'));
    const std::string part = fixtures_ + "/part-" + std::to_string(getpid()) + ext;
    ::MakeFixture(part, arguments);
    fs::rename(part, path);
  }

  static std::string Path(const std::string& name) {
    return (name == "text.mp3" ? folder_ : fixtures_) + "/" + name;
  }

  static std::string fixtures_;
  void SetUp() override {
    out_ = folder_ + "/out-" + testing::UnitTest::GetInstance()->current_test_info()->name();
    std::replace(out_.begin(), out_.end(), '/', '_');
    out_ = folder_ + "/" + out_.substr(folder_.size() + 1);
    fs::create_directories(out_);
  }

  static std::string folder_;
  std::string out_;
};
std::string EvcExe::folder_;
std::string EvcExe::fixtures_;

TEST_F(EvcExe, WithoutArgumentsPrintsUsage) {
  const RunResult run = RunEngine({});
  EXPECT_NE(run.exitCode, 0);
  EXPECT_NE(run.output.find("usage: evc.exe"), std::string::npos) << run.output;
}

struct OutputType {
  std::string extension;
  std::string codecOption;
  std::vector<std::string> options;  // as the command-line builder makes them
  std::string codec;                 // as the libraries name the decoded stream
  int sampleRate;
  int channels;
  int frameSamples;  // one encoder frame, with the start-up delay a decoder keeps
  bool holdsTags;
};

void PrintTo(const OutputType& type, std::ostream* os) { *os << type.extension; }

class EvcExeOutputType : public EvcExe, public testing::WithParamInterface<OutputType> {};

TEST_P(EvcExeOutputType, SegmentDecodesWithTheAskedValuesStartAndLength) {
  const OutputType& type = GetParam();
  const std::string output = out_ + "/step" + type.extension;
  std::vector<std::string> arguments = {"-y", "-i", Path("step.mp3")};
  std::istringstream codec(type.codecOption);
  for (std::string word; codec >> word;) arguments.push_back(word);
  arguments.insert(arguments.end(), type.options.begin(), type.options.end());
  // The tone begins 1 s into the cut from 2 s to 4 s.
  for (const char* word : {"-ss", "00:00:02", "-t", "2"}) arguments.push_back(word);
  arguments.push_back(output);
  const RunResult run = RunEngine(arguments);
  ASSERT_EQ(run.exitCode, 0) << run.output;

  const Decoded d = Decode(output);
  EXPECT_EQ(d.codec, type.codec);
  EXPECT_EQ(d.sampleRate, type.sampleRate);
  EXPECT_EQ(d.channels, type.channels);
  const double frame = double(type.frameSamples) / type.sampleRate;
  EXPECT_NEAR(d.Seconds(), 2.0, frame) << run.output;
  // The onset is found with a 10 ms window.
  EXPECT_NEAR(d.OnsetSeconds(), 1.0, std::max(frame, 0.012)) << run.output;
  if (type.holdsTags) {
    EXPECT_EQ(d.tags.at("title"), "Step Tone");
    EXPECT_EQ(d.tags.at("artist"), "Tonbrix Tests");
    EXPECT_EQ(d.tags.at("album"), "Fixtures");
  }

  const std::vector<long> seconds = ProgressSeconds(run.output);
  ASSERT_FALSE(seconds.empty()) << run.output;
  EXPECT_TRUE(std::is_sorted(seconds.begin(), seconds.end())) << run.output;
  EXPECT_EQ(seconds.back(), 2) << run.output;
  // Nothing but the finished file is left in the folder.
  EXPECT_EQ(FolderEntries(out_), std::vector<std::string>{"step" + type.extension});
}

// Decoding and encoding run on two threads; the file must be the one a single
// thread writes, to the byte (Ogg: but for the random serial number).
TEST_P(EvcExeOutputType, TwoThreadsWriteTheBytesOfOne) {
  const OutputType& type = GetParam();
  std::vector<std::string> arguments = {"-y", "-i", Path("music.mp3")};
  std::istringstream codec(type.codecOption);
  for (std::string word; codec >> word;) arguments.push_back(word);
  arguments.insert(arguments.end(), type.options.begin(), type.options.end());
  std::map<std::string, std::string> written;
  for (const std::string mode : {"0", "1"}) {
    const std::string output = out_ + "/threads-" + mode + type.extension;
    arguments.push_back(output);
    const RunResult run = RunEngine(arguments, {"EVC_SINGLE_THREAD=" + mode});
    arguments.pop_back();
    ASSERT_EQ(run.exitCode, 0) << run.output;
    written[mode] =
        type.extension == ".ogg" ? WithoutOggSerials(FileBytes(output)) : FileBytes(output);
  }
  ASSERT_GT(written["1"].size(), 10'000u);
  EXPECT_TRUE(written["0"] == written["1"])
      << "two threads: " << written["0"].size() << " bytes, one: " << written["1"].size();
}

TEST_P(EvcExeOutputType, WholeFileWithTheBuiltInLowProfile) {
  // Low Quality: 48 kbit/s, mono, 22050 Hz (AC-3 and MP3 need values moved).
  const OutputType& type = GetParam();
  const std::string output = out_ + "/whole" + type.extension;
  std::vector<std::string> arguments = {"-y", "-i", Path("step.mp3")};
  std::istringstream codec(type.codecOption);
  for (std::string word; codec >> word;) arguments.push_back(word);
  const bool narrow = type.extension == ".amr";
  for (const char* word : {"-ab", "224", "-vol", "100"}) arguments.push_back(word);
  for (const char* word : {"-ac", "1"}) arguments.push_back(word);
  arguments.push_back("-ar");
  arguments.push_back(narrow ? "8000" : "22050");
  arguments.push_back(output);
  const RunResult run = RunEngine(arguments);
  ASSERT_EQ(run.exitCode, 0) << run.output;
  const Decoded d = Decode(output);
  EXPECT_EQ(d.channels, 1);
  ASSERT_GT(d.sampleRate, 0);
  EXPECT_NEAR(d.Seconds(), 6.0, double(type.frameSamples) / d.sampleRate + 0.001) << run.output;
  if (type.extension == ".ac3") {
    EXPECT_EQ(d.sampleRate, 32000);
    EXPECT_NE(run.output.find("22050 Hz"), std::string::npos) << run.output;
  }
  if (type.extension == ".mp3") {
    EXPECT_NE(run.output.find("160 kbit/s"), std::string::npos) << run.output;
  }
}

INSTANTIATE_TEST_SUITE_P(
    AllTypes, EvcExeOutputType,
    testing::Values(OutputType{".mp3",
                               "-acodec mp3 -vn",
                               {"-ab", "128", "-vol", "100", "-ac", "2", "-ar", "44100"},
                               "mp3",
                               44100,
                               2,
                               1152,
                               true},
                    OutputType{".amr",
                               "-acodec amr_nb",
                               {"-s", "176x144", "-b", "128", "-ab", "16", "-vol", "100", "-ac",
                                "1", "-ar", "8000"},
                               "amr_nb",
                               8000,
                               1,
                               160,
                               false},
                    OutputType{".aac",
                               "-acodec aac -vn",
                               {"-ab", "128", "-vol", "100", "-ac", "2", "-ar", "44100"},
                               "aac",
                               44100,
                               2,
                               2048,
                               false},
                    OutputType{".ac3",
                               "-acodec ac3 -vn",
                               {"-ab", "128", "-vol", "100", "-ac", "1", "-ar", "48000"},
                               "ac3",
                               48000,
                               1,
                               1792,
                               false},
                    OutputType{".m4a",
                               "-acodec aac -vn",
                               {"-ab", "128", "-vol", "100", "-ac", "2", "-ar", "44100"},
                               "aac",
                               44100,
                               2,
                               1024,
                               true},
                    OutputType{".ogg",
                               "-acodec vorbis -vn",
                               {"-ab", "128", "-vol", "100", "-ac", "2", "-ar", "44100"},
                               "vorbis",
                               44100,
                               2,
                               441,
                               true},
                    OutputType{".wav",
                               "-acodec pcm_s16le -vn",
                               {"-ab", "128", "-vol", "100", "-ac", "2", "-ar", "22050"},
                               "pcm_s16le",
                               22050,
                               2,
                               22,
                               true}),
    [](const testing::TestParamInfo<OutputType>& test) { return test.param.extension.substr(1); });

struct VolumeCase {
  std::string volume;
  double gainDb;
};
void PrintTo(const VolumeCase& c, std::ostream* os) { *os << "-vol " << c.volume; }

class EvcExeVolume : public EvcExe, public testing::WithParamInterface<VolumeCase> {};
TEST_P(EvcExeVolume, GainInPercent) {
  const std::string output = out_ + "/v.wav";
  const RunResult run = RunEngine(
      {"-y", "-i", Path("quiet.wav"), "-acodec", "pcm_s16le", "-vol", GetParam().volume, output});
  ASSERT_EQ(run.exitCode, 0) << run.output;
  const double before = Decode(Path("quiet.wav")).RmsDb(0.5, 1.5);
  const double after = Decode(output).RmsDb(0.5, 1.5);
  EXPECT_NEAR(after - before, GetParam().gainDb, 0.2);
}
INSTANTIATE_TEST_SUITE_P(Cases, EvcExeVolume,
                         testing::Values(VolumeCase{"50", -6.02}, VolumeCase{"100", 0.0},
                                         VolumeCase{"200", 6.02}, VolumeCase{"25", -12.04}));

TEST_F(EvcExe, VolumeThroughALossyEncoderToo) {
  const std::string output = out_ + "/v.mp3";
  const RunResult run = RunEngine(
      {"-y", "-i", Path("quiet.wav"), "-acodec", "mp3", "-ab", "192", "-vol", "50", output});
  ASSERT_EQ(run.exitCode, 0) << run.output;
  EXPECT_NEAR(Decode(output).RmsDb(0.5, 1.5) - Decode(Path("quiet.wav")).RmsDb(0.5, 1.5), -6.02,
              0.3);
}

TEST_F(EvcExe, ZeroVolumeIsSilence) {
  const std::string output = out_ + "/v.wav";
  ASSERT_EQ(RunEngine({"-y", "-i", Path("quiet.wav"), "-vol", "0", output}).exitCode, 0);
  const Decoded d = Decode(output);
  ASSERT_GT(d.Frames(), 0u);
  EXPECT_TRUE(std::all_of(d.samples.begin(), d.samples.end(), [](float s) { return s == 0; }));
}

TEST_F(EvcExe, LoudMusicDoubledIsLimitedNotClipped) {
  const std::string output = out_ + "/loud.wav";
  const RunResult run = RunEngine({"-y", "-i", Path("loud.wav"), "-vol", "200", output});
  ASSERT_EQ(run.exitCode, 0) << run.output;
  const Decoded d = Decode(output);
  ASSERT_NEAR(d.Seconds(), 2.0, 0.001);
  const float peak = *std::max_element(d.samples.begin(), d.samples.end(), [](float a, float b) {
    return std::fabs(a) < std::fabs(b);
  });
  EXPECT_LT(std::fabs(peak), 0.99f);
  // Hard clipping would flatten the tops into runs of equal full-scale values.
  size_t nearFullScale = 0;
  for (size_t i = 0; i < d.Frames(); ++i) nearFullScale += std::fabs(d.samples[i * 2]) > 0.995f;
  EXPECT_EQ(nearFullScale, 0u);
  // Louder than before, still: the gain went up where there was room.
  EXPECT_GT(d.RmsDb(0.5, 1.5), Decode(Path("loud.wav")).RmsDb(0.5, 1.5) - 0.5);
}

TEST_F(EvcExe, CutEdgesInsideALoudPassageDoNotClick) {
  const std::string output = out_ + "/cut.wav";
  // 00:00:04 lies inside the tone; so does the end, 4.0123 s later.
  const RunResult run = RunEngine({"-y", "-i", Path("step.mp3"), "-acodec", "pcm_s16le", "-ss",
                                   "00:00:04", "-t", "1.0123", output});
  ASSERT_EQ(run.exitCode, 0) << run.output;
  const Decoded d = Decode(output);
  ASSERT_GT(d.Frames(), 100u);
  EXPECT_LT(std::fabs(d.samples.front()), 0.01f);
  EXPECT_LT(std::fabs(d.samples[d.samples.size() - 2]), 0.01f);
  // ... and the tone is there in between, at its full level.
  EXPECT_NEAR(d.RmsDb(0.2, 0.8), 20 * std::log10(0.5 / std::sqrt(2.0)), 0.5);
}

TEST_F(EvcExe, LengthPastTheEndStopsAtTheEnd) {
  const std::string output = out_ + "/tail.wav";
  const RunResult run =
      RunEngine({"-y", "-i", Path("step.mp3"), "-ss", "00:00:05", "-t", "30", output});
  ASSERT_EQ(run.exitCode, 0) << run.output;
  EXPECT_NEAR(Decode(output).Seconds(), 1.0, 0.03);
  EXPECT_EQ(ProgressSeconds(run.output).back(), 1);
}

struct BadRun {
  std::string name;
  std::vector<std::string> arguments;  // "IN/" and "OUT/" name the fixture and output folders
  std::string reasonPart;
};
void PrintTo(const BadRun& run, std::ostream* os) { *os << run.name; }

class EvcExeBadRun : public EvcExe, public testing::WithParamInterface<BadRun> {};
TEST_P(EvcExeBadRun, GivesAReasonAndLeavesNoFile) {
  std::vector<std::string> arguments;
  for (std::string a : GetParam().arguments) {
    if (a.rfind("IN/", 0) == 0) a = Path(a.substr(3));
    if (a.rfind("OUT/", 0) == 0) a = out_ + "/" + a.substr(4);
    arguments.push_back(a);
  }
  const RunResult run = RunEngine(arguments);
  EXPECT_NE(run.exitCode, 0) << run.output;
  EXPECT_LT(run.exitCode, 128) << "ended by a signal: " << run.output;
  const std::string last = LastLine(run.output);
  EXPECT_EQ(last.rfind("evc.exe: ", 0), 0u) << run.output;
  EXPECT_NE(last.find(GetParam().reasonPart), std::string::npos) << run.output;
  EXPECT_TRUE(FolderEntries(out_).empty()) << run.output;
}
INSTANTIATE_TEST_SUITE_P(
    Cases, EvcExeBadRun,
    testing::Values(
        BadRun{"MissingInput", {"-y", "-i", "IN/nothing-here.mp3", "OUT/o.mp3"}, "No such file"},
        BadRun{"FolderAsInput", {"-y", "-i", "IN/", "OUT/o.mp3"}, "cannot"},
        BadRun{"NoAudio", {"-y", "-i", "IN/video-only.mp4", "OUT/o.mp3"}, "no audio"},
        BadRun{"NotAudioAtAll", {"-y", "-i", "IN/text.mp3", "OUT/o.mp3"}, "text.mp3"},
        BadRun{
            "MissingOutputFolder", {"-y", "-i", "IN/quiet.wav", "OUT/none/o.mp3"}, "output folder"},
        BadRun{"LengthBelowOneSample",
               {"-y", "-i", "IN/quiet.wav", "-ss", "00:00:00", "-t", "0.00001", "OUT/o.wav"},
               "above zero"},
        BadRun{"BitrateLeftOut",
               {"-y", "-i", "IN/quiet.wav", "-ab", "-t", "3", "OUT/o.mp3"},
               "no value for -ab"},
        BadRun{"LengthLeftOut",
               {"-y", "-i", "IN/quiet.wav", "-ss", "00:00:01", "-t", "OUT/o.wav"},
               "no value for -t"},
        BadRun{"ZeroLength",
               {"-y", "-i", "IN/quiet.wav", "-ss", "00:00:00", "-t", "0", "OUT/o.wav"},
               "above zero"},
        BadRun{"NegativeLength",
               {"-y", "-i", "IN/quiet.wav", "-ss", "00:00:01", "-t", "-1", "OUT/o.wav"},
               "above zero"},
        BadRun{"StartPastTheEnd",
               {"-y", "-i", "IN/quiet.wav", "-ss", "00:01:00", "-t", "5", "OUT/o.wav"},
               "beyond the end"},
        BadRun{"UnknownOption", {"-y", "-i", "IN/quiet.wav", "-fast", "OUT/o.wav"}, "-fast"},
        BadRun{"BadValue", {"-y", "-i", "IN/quiet.wav", "-ar", "lots", "OUT/o.wav"}, "-ar"},
        BadRun{"UnknownType", {"-y", "-i", "IN/quiet.wav", "OUT/o.xyz"}, "output type"}),
    [](const testing::TestParamInfo<BadRun>& test) { return test.param.name; });

TEST_F(EvcExe, UnwritableOutputFolder) {
  // /proc takes no new files, even from root.
  const RunResult run = RunEngine({"-y", "-i", Path("quiet.wav"), "/proc/evc-test.wav"});
  EXPECT_NE(run.exitCode, 0);
  EXPECT_NE(LastLine(run.output).find("output folder"), std::string::npos) << run.output;
  EXPECT_FALSE(fs::exists("/proc/evc-test.wav"));
}

TEST_F(EvcExe, AFailureNeverTouchesAnExistingFile) {
  const std::string output = out_ + "/keep.mp3";
  std::ofstream(output) << "OLD";
  const RunResult run = RunEngine({"-y", "-i", Path("text.mp3"), output});
  EXPECT_NE(run.exitCode, 0);
  std::ifstream in(output);
  EXPECT_EQ(std::string(std::istreambuf_iterator<char>(in), {}), "OLD");
  EXPECT_EQ(FolderEntries(out_), std::vector<std::string>{"keep.mp3"});
}

TEST_F(EvcExe, ReplacesAnExistingFileOnlyWithMinusY) {
  const std::string output = out_ + "/keep.wav";
  std::ofstream(output) << "OLD";
  const RunResult refused = RunEngine({"-i", Path("quiet.wav"), output});
  EXPECT_NE(refused.exitCode, 0);
  EXPECT_NE(LastLine(refused.output).find("exists"), std::string::npos) << refused.output;
  EXPECT_EQ(fs::file_size(output), 3u);

  const RunResult replaced = RunEngine({"-y", "-i", Path("quiet.wav"), output});
  ASSERT_EQ(replaced.exitCode, 0) << replaced.output;
  EXPECT_NEAR(Decode(output).Seconds(), 2.0, 0.001);
  EXPECT_EQ(FolderEntries(out_), std::vector<std::string>{"keep.wav"});
}

// Values an encoder cannot take are moved to ones it can, as the usage text
// says, instead of failing with "cannot open encoder" or half-way through.
struct FittedRun {
  std::string name;
  std::string fixture;
  std::vector<std::string> options;
  std::string extension;
  int sampleRate;
  int channels;
  double seconds;
};
void PrintTo(const FittedRun& run, std::ostream* os) { *os << run.name; }

class EvcExeFitted : public EvcExe, public testing::WithParamInterface<FittedRun> {};
TEST_P(EvcExeFitted, ConvertsWithTheNearestValuesTaken) {
  const FittedRun& c = GetParam();
  const std::string output = out_ + "/fitted" + c.extension;
  std::vector<std::string> arguments = {"-y", "-i", Path(c.fixture)};
  arguments.insert(arguments.end(), c.options.begin(), c.options.end());
  arguments.push_back(output);
  const RunResult run = RunEngine(arguments);
  ASSERT_EQ(run.exitCode, 0) << run.output;
  const Decoded d = Decode(output);
  EXPECT_EQ(d.sampleRate, c.sampleRate) << run.output;
  EXPECT_EQ(d.channels, c.channels) << run.output;
  EXPECT_NEAR(d.Seconds(), c.seconds, 0.05) << run.output;
}
INSTANTIATE_TEST_SUITE_P(
    Cases, EvcExeFitted,
    testing::Values(
        FittedRun{"OggFrom96kHz", "hi-rate.wav", {"-acodec", "vorbis"}, ".ogg", 48000, 2, 2.0},
        FittedRun{"OggAsked192kHz",
                  "quiet.wav",
                  {"-acodec", "vorbis", "-ab", "128", "-ar", "192000"},
                  ".ogg",
                  48000,
                  2,
                  2.0},
        FittedRun{"Ac3SixChannelsAt24k", "six.wav", {"-ab", "24"}, ".ac3", 48000, 6, 2.0},
        FittedRun{"Ac3SixChannelsAt32k", "six.wav", {"-ab", "32"}, ".ac3", 48000, 6, 2.0},
        FittedRun{"AmrAtADecimalBitrate",
                  "quiet.wav",
                  {"-acodec", "amr_nb", "-ab", "12.2", "-ac", "1", "-ar", "8000"},
                  ".amr",
                  8000,
                  1,
                  2.0}),
    [](const testing::TestParamInfo<FittedRun>& test) { return test.param.name; });

TEST_F(EvcExe, AnMp3ThatChangesItsRateMidwayIsResampledPartByPart) {
  const std::string joined = out_ + "/joined.mp3";
  {
    std::ofstream out(joined, std::ios::binary);
    for (const char* part : {"part-44k.mp3", "part-22k.mp3", "part-48k.mp3"}) {
      std::ifstream in(Path(part), std::ios::binary);
      out << in.rdbuf();
    }
  }
  const std::string output = out_ + "/ring.wav";
  const RunResult run = RunEngine({"-y", "-i", joined, output});
  ASSERT_EQ(run.exitCode, 0) << run.output;
  const Decoded d = Decode(output);
  EXPECT_EQ(d.sampleRate, 44100);
  // Each part keeps its length (the decoders' padding adds a few ms) ...
  EXPECT_NEAR(d.Seconds(), 6.0, 0.2) << run.output;
  // ... and its sound: three tones, none of them lost or silenced.
  for (double at : {1.0, 3.0, 5.0}) EXPECT_GT(d.RmsDb(at - 0.4, at + 0.4), -30) << at;
}

// The engine gives up on a source after a few MB without audio; a leading
// ID3 tag (a large cover picture, or padding) does not count towards them.
TEST_F(EvcExe, ALeadingTagOfManyMegabytesIsNoReasonToGiveUp) {
  const uint32_t tagBytes = 12 << 20;
  const std::string source = out_ + "/covered.mp3";
  {
    std::ofstream out(source, std::ios::binary);
    // ID3v2.3 header with a syncsafe size, one title frame, then padding.
    std::string header = {'I', 'D', '3', 3, 0, 0};
    for (int shift : {21, 14, 7, 0}) header += char((tagBytes >> shift) & 0x7f);
    out << header;
    const std::string frame = std::string("TIT2") + std::string{0, 0, 0, 6} + std::string{0, 0} +
                              std::string{0} + "Cover";
    out << frame << std::string(tagBytes - frame.size(), '\0');
    std::ifstream in(Path("step.mp3"), std::ios::binary);
    out << in.rdbuf();
  }
  const std::string output = out_ + "/ring.mp3";
  const RunResult run = RunEngine({"-y", "-i", source, output});
  ASSERT_EQ(run.exitCode, 0) << run.output;
  EXPECT_NEAR(Decode(output).Seconds(), 6.0, 0.1);
}

TEST_F(EvcExe, CopiedTagsAreCutToAKibibyte) {
  const std::string output = out_ + "/tagged.mp3";
  const RunResult run = RunEngine({"-y", "-i", Path("long-title.mp3"), output});
  ASSERT_EQ(run.exitCode, 0) << run.output;
  const Decoded d = Decode(output);
  ASSERT_TRUE(d.tags.count("title"));
  EXPECT_EQ(d.tags.at("title"), std::string(1024, 'T'));
  EXPECT_LT(fs::file_size(output), 20'000u);
}

// An output that is not an ordinary new or old file: the engine would have
// renamed its finished file over it (a device node turned into an MP3 file,
// the song replaced by its cut). Each is refused with a reason and left alone.
struct ForbiddenOutput {
  std::string name;
  // Makes the output path next to the source; false: cannot here (no root).
  std::function<bool(const std::string& source, const std::string& output)> make;
  std::string reasonPart;
};
void PrintTo(const ForbiddenOutput& c, std::ostream* os) { *os << c.name; }

std::string Describe(const std::string& path) {
  struct stat info {};
  if (lstat(path.c_str(), &info) != 0) return "missing";
  std::string bytes;  // read from regular files only: opening a FIFO would wait
  if (S_ISREG(info.st_mode)) {
    std::ifstream in(path, std::ios::binary);
    bytes.assign(std::istreambuf_iterator<char>(in), {});
  }
  return std::to_string(info.st_mode) + ":" + std::to_string(info.st_ino) + ":" +
         std::to_string(info.st_rdev) + ":" + std::to_string(std::hash<std::string>()(bytes));
}

class EvcExeForbiddenOutput : public EvcExe, public testing::WithParamInterface<ForbiddenOutput> {};
TEST_P(EvcExeForbiddenOutput, IsRefusedAndLeftAlone) {
  const std::string source = out_ + "/song.wav";
  fs::copy_file(Path("quiet.wav"), source);
  const std::string output = out_ + "/ring.wav";
  if (!GetParam().make(source, output)) GTEST_SKIP() << "cannot make it here";
  const std::vector<std::string> before = FolderEntries(out_);
  const std::string sourceBefore = Describe(source);
  const std::string outputBefore = Describe(output);

  const RunResult run = RunEngine({"-y", "-i", source, "-t", "1", output});

  EXPECT_NE(run.exitCode, 0) << run.output;
  EXPECT_LT(run.exitCode, 128) << run.output;
  const std::string last = LastLine(run.output);
  EXPECT_EQ(last.rfind("evc.exe: ", 0), 0u) << run.output;
  EXPECT_NE(last.find(GetParam().reasonPart), std::string::npos) << run.output;
  EXPECT_EQ(Describe(source), sourceBefore);
  EXPECT_EQ(Describe(output), outputBefore);
  EXPECT_EQ(FolderEntries(out_), before);
}
INSTANTIATE_TEST_SUITE_P(
    Cases, EvcExeForbiddenOutput,
    testing::Values(
        // A node of its own with /dev/null's numbers: the real one must not be
        // put at risk by a test.
        ForbiddenOutput{"DeviceNode",
                        [](const std::string&, const std::string& output) {
                          return mknod(output.c_str(), S_IFCHR | 0666, makedev(1, 3)) == 0;
                        },
                        "not a regular file"},
        ForbiddenOutput{"Fifo",
                        [](const std::string&, const std::string& output) {
                          return mkfifo(output.c_str(), 0600) == 0;
                        },
                        "not a regular file"},
        ForbiddenOutput{"TheSourceItself",
                        [](const std::string& source, const std::string& output) {
                          fs::rename(source, output);
                          fs::create_symlink(output, source);
                          return true;
                        },
                        "source file itself"},
        ForbiddenOutput{"ASymlinkToTheSource",
                        [](const std::string& source, const std::string& output) {
                          fs::create_symlink(source, output);
                          return true;
                        },
                        "source file itself"},
        ForbiddenOutput{"AHardLinkToTheSource",
                        [](const std::string& source, const std::string& output) {
                          fs::create_hard_link(source, output);
                          return true;
                        },
                        "source file itself"}),
    [](const testing::TestParamInfo<ForbiddenOutput>& test) { return test.param.name; });

TEST_F(EvcExe, TheSourceAsItsOwnOutputIsRefused) {
  // The plainest form: the same path twice.
  const std::string source = out_ + "/song.wav";
  fs::copy_file(Path("quiet.wav"), source);
  const std::string before = Describe(source);
  const RunResult run = RunEngine({"-y", "-i", source, "-t", "1", source});
  EXPECT_NE(run.exitCode, 0) << run.output;
  EXPECT_NE(LastLine(run.output).find("source file itself"), std::string::npos) << run.output;
  EXPECT_EQ(Describe(source), before);
  EXPECT_EQ(FolderEntries(out_), std::vector<std::string>{"song.wav"});
}

// evc.exe reading its source from a pipe that the test writes the first
// bytes of a fixture to and then keeps open and silent: the engine is certain
// to be in the middle of its work until the pipe is closed.
class PipedEngine {
 public:
  PipedEngine(const std::string& fifo, const std::string& output, const std::string& fixture,
              size_t bytes, const std::string& codec = "mp3")
      : fifo_(fifo) {
    if (mkfifo(fifo.c_str(), 0600) != 0) throw std::runtime_error("mkfifo " + fifo);
    engine_ = std::make_unique<Child>(
        std::vector<std::string>{kEngine, "-y", "-i", fifo, "-acodec", codec, output});
    // Opened without waiting, again and again, until the engine has opened
    // its end: an engine that ended early must fail the test, not hang it.
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
    while ((writer_ = open(fifo.c_str(), O_WRONLY | O_NONBLOCK)) < 0) {
      if (errno != ENXIO || std::chrono::steady_clock::now() > deadline) {
        throw std::runtime_error("the engine never opened " + fifo);
      }
      std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    fcntl(writer_, F_SETFL, fcntl(writer_, F_GETFL) & ~O_NONBLOCK);
    // An engine that ends while the bytes are written must not end the test.
    signal(SIGPIPE, SIG_IGN);
    std::ifstream in(fixture, std::ios::binary);
    std::vector<char> data(bytes);
    in.read(data.data(), data.size());
    if (write(writer_, data.data(), in.gcount()) != in.gcount()) throw std::runtime_error("write");
  }
  ~PipedEngine() {
    CloseWriter();
    unlink(fifo_.c_str());
  }
  pid_t pid() const { return engine_->pid(); }
  void CloseWriter() {
    if (writer_ >= 0) close(writer_);
    writer_ = -1;
  }
  RunResult Finish() { return engine_->Finish(); }

 private:
  std::string fifo_;
  std::unique_ptr<Child> engine_;
  int writer_ = -1;
};

// Waits until the engine's temporary file sits beside the named file.
bool TemporaryFileAppears(const std::string& folder) {
  for (int i = 0; i < 1000; ++i) {
    if (FolderEntries(folder).size() == 2) return true;
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  return false;
}

class EvcExeInterrupted : public EvcExe, public testing::WithParamInterface<int> {};
TEST_P(EvcExeInterrupted, LeavesNoPartialFileAndKeepsTheOldOne) {
  const std::string output = out_ + "/song.mp3";
  std::ofstream(output) << "OLD";
  // More than the engine reads to learn the streams, less than the file.
  PipedEngine engine(folder_ + "/fifo-" + std::to_string(GetParam()), output, Path("long.wav"),
                     6'000'000);
  EXPECT_TRUE(TemporaryFileAppears(out_));
  kill(engine.pid(), GetParam());
  const RunResult run = engine.Finish();
  EXPECT_EQ(run.exitCode, 128 + GetParam()) << run.output;
  EXPECT_EQ(FolderEntries(out_), std::vector<std::string>{"song.mp3"});
  EXPECT_EQ(fs::file_size(output), 3u);
}
// Every signal that ends a process by default: a closed terminal (HUP), the
// quit key (QUIT), a CPU limit (XCPU), stray timers and user signals.
INSTANTIATE_TEST_SUITE_P(Signals, EvcExeInterrupted,
                         testing::Values(SIGTERM, SIGINT, SIGHUP, SIGQUIT, SIGUSR1, SIGUSR2,
                                         SIGALRM, SIGXCPU, SIGVTALRM, SIGPROF),
                         [](const testing::TestParamInfo<int>& test) {
                           return std::string(sigabbrev_np(test.param));
                         });

// A source pipe that falls silent half-way: the decoding side gives up after
// its wait while the encoding side waits for frames; the job ends with the
// reason, no partial file and the old file intact.
TEST_F(EvcExe, ASourcePipeThatFallsSilentMidwayEndsWithAReason) {
  const std::string output = out_ + "/song.mp3";
  std::ofstream(output) << "OLD";
  PipedEngine engine(folder_ + "/fifo-silent", output, Path("long.wav"), 2'000'000);
  const RunResult run = engine.Finish();
  EXPECT_EQ(run.exitCode, 2) << run.output;
  EXPECT_NE(LastLine(run.output).find("nothing arrived"), std::string::npos) << run.output;
  EXPECT_EQ(FolderEntries(out_), std::vector<std::string>{"song.mp3"});
  EXPECT_EQ(fs::file_size(output), 3u);
}

// SIGPIPE is ignored: a reader that went away does not end the conversion,
// which completes and replaces the old file; no partial file is left either.
TEST_F(EvcExe, SigpipeNeitherEndsTheConversionNorLeavesAPartialFile) {
  const std::string output = out_ + "/song.wav";
  std::ofstream(output) << "OLD";
  PipedEngine engine(folder_ + "/fifo-pipe", output, Path("quiet.wav"), 1'000'000, "pcm_s16le");
  EXPECT_TRUE(TemporaryFileAppears(out_));
  kill(engine.pid(), SIGPIPE);
  engine.CloseWriter();
  const RunResult run = engine.Finish();
  EXPECT_EQ(run.exitCode, 0) << run.output;
  EXPECT_EQ(FolderEntries(out_), std::vector<std::string>{"song.wav"});
  EXPECT_NEAR(Decode(output).Seconds(), 2.0, 0.001);
}

TEST_F(EvcExe, QuotedPathsWithBlanksQuotesAndEqualsStayWhole) {
  const std::string input = folder_ + "/My \"Best\" Song=1.wav";
  fs::copy_file(Path("quiet.wav"), input, fs::copy_options::overwrite_existing);
  const std::string output = out_ + "/Über Song=1.ogg";
  // " " is the volume fragment Tonbrix builds when no volume is selected.
  const RunResult run = RunEngine({"-y", "-i", input, "-acodec", "vorbis", "-vn", "-ab", "64", " ",
                                   "-ac", "2", "-ar", "44100", output});
  ASSERT_EQ(run.exitCode, 0) << run.output;
  EXPECT_NEAR(Decode(output).Seconds(), 2.0, 0.01);
  // Only the progress lines carry "=": Tonbrix counts them to find the time.
  std::istringstream lines(run.output);
  for (std::string line; std::getline(lines, line);) {
    if (line.find('=') != std::string::npos) {
      EXPECT_EQ(line.rfind("size=", 0), 0u) << line;
    }
  }
  fs::remove(input);
}

}  // namespace
