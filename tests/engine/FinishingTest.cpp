// evc.exe finishing the kept part: fades and a loudness target, measured on
// the real encoded outputs decoded again by the ffmpeg tool, with FFmpeg's own
// ebur128 filter (not the engine's meter) for loudness and true peak.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cmath>
#include <filesystem>
#include <fstream>
#include <numbers>
#include <regex>
#include <string>
#include <thread>
#include <vector>

#include "EngineProcess.h"

namespace {

namespace fs = std::filesystem;
using engine_test::Run;
using engine_test::RunEngine;
using engine_test::RunResult;

const std::string kFfmpeg = "/usr/bin/ffmpeg";

std::string Fixtures() { return std::string(TONBRIX_APP_DIR) + "test-fixtures/finishing"; }

// Made once per build folder, under another name first, so that cases run in
// parallel never see half a file.
std::string Fixture(const std::string& name, const std::vector<std::string>& ffmpegArguments) {
  const std::string path = Fixtures() + "/" + name;
  if (fs::exists(path)) return path;
  fs::create_directories(Fixtures());
  const std::string part = Fixtures() + "/part-" + std::to_string(getpid()) + "-" + name;
  std::vector<std::string> arguments = {kFfmpeg, "-hide_banner", "-loglevel", "error", "-y"};
  arguments.insert(arguments.end(), ffmpegArguments.begin(), ffmpegArguments.end());
  arguments.push_back(part);
  const RunResult made = Run(arguments);
  EXPECT_EQ(made.exitCode, 0) << made.output;
  fs::rename(part, path);
  return path;
}

// A steady 1 kHz tone at -6 dBFS: every change of level is the fades' doing.
std::string Tone() {
  return Fixture("tone.wav", {"-f", "lavfi", "-i",
                              "aevalsrc=0.5*sin(2*PI*1000*t)|0.5*sin(2*PI*1000*t):s=44100:d=20"});
}

// Twenty seconds of music-like sound (pink noise under two moving tones), at
// three levels: quiet (about -36 LUFS), normal (about -14) and loud,
// brick-walled against full scale (about -4).
std::string Music(const std::string& level) {
  const std::string gain = level == "quiet"  ? "volume=0.08"
                           : level == "loud" ? "volume=6,alimiter=limit=0.99:level=0"
                                             : "volume=1";
  return Fixture(
      level + ".wav",
      {"-f", "lavfi", "-i", "anoisesrc=d=20:c=pink:a=0.2:r=44100:seed=16", "-f", "lavfi", "-i",
       "aevalsrc=0.2*sin(2*PI*220*t)*(1+0.5*sin(2*PI*0.5*t))|0.15*sin(2*PI*330*t):"
       "s=44100:d=20",
       "-filter_complex", "[0][1]amerge=inputs=2,pan=stereo|c0=c0+c1|c1=c0+c2," + gain});
}

// Strong short hits (a decaying 180 Hz tone every half second) over quiet
// noise: its peaks stand 17 dB above its loudness, so that at -14 LUFS the
// limiter has to take several dB off every hit.
std::string PeakyMusic() {
  return Fixture(
      "peaky.wav",
      {"-f", "lavfi", "-i", "anoisesrc=d=20:c=pink:a=0.03:r=44100:seed=16", "-f", "lavfi", "-i",
       "aevalsrc=0.9*exp(-40*mod(t\\,0.5))*sin(2*PI*180*t)*(1+0.3*sin(2*PI*3000*t)):"
       "s=44100:d=20",
       "-filter_complex", "[0][1]amix=inputs=2:normalize=0,pan=stereo|c0=c0|c1=c0"});
}

class Folder {
 public:
  Folder() {
    char pattern[] = "/tmp/evc-finishing-XXXXXX";
    path_ = mkdtemp(pattern);
  }
  ~Folder() { fs::remove_all(path_); }
  std::string operator/(const std::string& name) const { return path_ + "/" + name; }
  const std::string& path() const { return path_; }

 private:
  std::string path_;
};

struct Loudness {
  double integrated = 0;  // LUFS
  double truePeak = 0;    // dBTP
};

// FFmpeg's ebur128 filter over the decoded file: the summary's "I:" and,
// with peak=true, its true "Peak:".
Loudness MeasureWithFfmpeg(const std::string& path) {
  const RunResult run = Run({kFfmpeg, "-hide_banner", "-nostats", "-i", path, "-af",
                             "ebur128=peak=true", "-f", "null", "-"});
  EXPECT_EQ(run.exitCode, 0) << run.output;
  const size_t summary = run.output.rfind("Summary:");
  EXPECT_NE(summary, std::string::npos) << run.output;
  const std::string text = run.output.substr(summary == std::string::npos ? 0 : summary);
  std::smatch found;
  Loudness result;
  if (std::regex_search(text, found, std::regex(R"(I:\s+(-?[0-9.]+) LUFS)"))) {
    result.integrated = std::stod(found[1]);
  } else {
    ADD_FAILURE() << text;
  }
  if (std::regex_search(text, found, std::regex(R"(Peak:\s+(-?[0-9.inf]+) dBFS)"))) {
    result.truePeak = std::stod(found[1]);
  } else {
    ADD_FAILURE() << text;
  }
  return result;
}

// The first channel of a decoded file at 44.1 kHz, as floats.
std::vector<float> DecodeFirstChannel(const std::string& path, const Folder& folder) {
  const std::string raw = folder / "decoded.f32";
  const RunResult run = Run({kFfmpeg, "-hide_banner", "-loglevel", "error", "-y", "-i", path, "-af",
                             "pan=mono|c0=c0", "-ar", "44100", "-f", "f32le", raw});
  EXPECT_EQ(run.exitCode, 0) << run.output;
  std::ifstream in(raw, std::ios::binary);
  std::vector<float> samples(fs::file_size(raw) / sizeof(float));
  in.read(reinterpret_cast<char*>(samples.data()),
          static_cast<std::streamsize>(samples.size() * sizeof(float)));
  return samples;
}

double RmsDb(const std::vector<float>& samples, size_t from, size_t to) {
  double sum = 0;
  for (size_t i = from; i < to; ++i) sum += double(samples[i]) * samples[i];
  return 10 * std::log10(std::max(sum / double(to - from), 1e-20));
}

// The intended fade gain, written independently of the engine's code: a
// raised cosine is sin^2 of a quarter period.
double IntendedGain(double secondsIntoFade, double fadeSeconds) {
  const double x = std::clamp(secondsIntoFade / fadeSeconds, 0.0, 1.0);
  return std::pow(std::sin(std::numbers::pi / 2 * x), 2);
}

bool SameBytes(const std::string& first, const std::string& second) {
  std::ifstream a(first, std::ios::binary);
  std::ifstream b(second, std::ios::binary);
  return std::equal(std::istreambuf_iterator<char>(a), {}, std::istreambuf_iterator<char>(b), {});
}

struct OutputType {
  std::string extension;
  std::vector<std::string> options;
  // Where a fade is compared with the curve, and how closely: down to -40 dB
  // of full level within 1 dB for WAV, -25 dB for the music coders (below it
  // their noise floor and pre-echo set the level). AMR-NB at 12.2 kbit/s is a
  // speech coder: measured on a steady tone, its level strays from a fade
  // by up to 1.3 dB above -3 dB, 2.8 dB above -6 dB and 3.9 dB above -10 dB,
  // so it is held to 3 dB above -6 dB.
  double fadeFloorDb = -25;
  double fadeToleranceDb = 1.0;
  // Samples the decoder gives before the first one encoded: raw AAC (ADTS)
  // cannot say that the encoder's 1024 priming samples are to be skipped.
  size_t leadingSamples = 0;
};
std::string Name(const testing::TestParamInfo<OutputType>& info) { return info.param.extension; }
const std::vector<OutputType> kOutputTypes = {
    {"mp3", {"-acodec", "mp3", "-ab", "128"}},
    {"amr", {"-acodec", "amr_nb", "-ab", "12.2", "-ac", "1", "-ar", "8000"}, -6, 3.0},
    {"aac", {"-acodec", "aac", "-ab", "128"}, -25, 1.0, 1024},
    {"ac3", {"-acodec", "ac3", "-ab", "192"}},
    {"m4a", {"-acodec", "aac", "-ab", "128"}},
    {"ogg", {"-acodec", "vorbis", "-ab", "128"}},
    {"wav", {"-acodec", "pcm_s16le"}, -40}};

class FinishedOutput : public testing::TestWithParam<OutputType> {
 protected:
  RunResult Convert(const std::string& source, std::vector<std::string> finishing,
                    const std::string& output) {
    std::vector<std::string> arguments = {"-y", "-i", source};
    arguments.insert(arguments.end(), GetParam().options.begin(), GetParam().options.end());
    arguments.insert(arguments.end(), finishing.begin(), finishing.end());
    arguments.push_back(output);
    return RunEngine(arguments);
  }
  Folder folder_;
};

TEST_P(FinishedOutput, FadesFollowTheCurveWithinOneDecibel) {
  const std::string output = folder_ / ("faded." + GetParam().extension);
  const RunResult run =
      Convert(Tone(), {"-ss", "1", "-t", "10", "-fadein", "2", "-fadeout", "3"}, output);
  ASSERT_EQ(run.exitCode, 0) << run.output;
  std::vector<float> decoded = DecodeFirstChannel(output, folder_);
  ASSERT_GT(decoded.size(), GetParam().leadingSamples);
  decoded.erase(decoded.begin(), decoded.begin() + GetParam().leadingSamples);
  const double rate = 44100;
  ASSERT_GE(decoded.size(), size_t(9.99 * rate));
  const double full = RmsDb(decoded, size_t(4 * rate), size_t(6 * rate));
  EXPECT_NEAR(full, 20 * std::log10(0.5 / std::sqrt(2)), std::max(0.5, GetParam().fadeToleranceDb));
  // 10 ms windows from 10 ms on, wherever the curve is above the floor.
  const size_t window = size_t(0.01 * rate);
  int comparedInFades = 0;
  for (size_t from = window; from + window <= size_t(10 * rate); from += window) {
    double intended = 0;
    for (size_t i = from; i < from + window; ++i) {
      const double t = (double(i) + 0.5) / rate;
      const double gain = IntendedGain(t, 2) * IntendedGain(10 - t, 3);
      intended += gain * gain;
    }
    const double intendedDb = 10 * std::log10(intended / double(window));
    if (intendedDb < GetParam().fadeFloorDb) continue;
    const double measured = RmsDb(decoded, from, from + window) - full;
    ASSERT_NEAR(measured, intendedDb, GetParam().fadeToleranceDb)
        << "at " << double(from) / rate << " s";
    if (intendedDb < -0.1) ++comparedInFades;
  }
  EXPECT_GT(comparedInFades, 50);
}

TEST_P(FinishedOutput, LoudnessMeetsTheTargetAndPeaksStayUnderTheCeiling) {
  std::string figures;
  for (const std::string level : {"quiet", "normal", "loud"}) {
    const std::string output = folder_ / (level + "." + GetParam().extension);
    const RunResult run =
        Convert(Music(level), {"-ss", "3", "-t", "12", "-loudnorm", "-14"}, output);
    ASSERT_EQ(run.exitCode, 0) << run.output;
    EXPECT_NE(run.output.find("to -14.00 LUFS"), std::string::npos) << run.output;
    const Loudness measured = MeasureWithFfmpeg(output);
    EXPECT_NEAR(measured.integrated, -14.0, 1.0) << level;
    EXPECT_LE(measured.truePeak, -0.5) << level;
    figures += level + " " + std::to_string(measured.integrated) + " LUFS " +
               std::to_string(measured.truePeak) + " dBTP; ";
  }
  RecordProperty("figures", figures);
}

TEST_P(FinishedOutput, PeakyMusicIsLimitedUnderTheCeiling) {
  // The limiter takes loudness away with the peaks; the gain makes up for
  // it by at most 6 dB, so such a part may end below the target, never
  // above it, and its peaks stay under the ceiling.
  const std::string output = folder_ / ("peaky." + GetParam().extension);
  const RunResult run = Convert(PeakyMusic(), {"-ss", "3", "-t", "12", "-loudnorm", "-14"}, output);
  ASSERT_EQ(run.exitCode, 0) << run.output;
  const Loudness measured = MeasureWithFfmpeg(output);
  EXPECT_LE(measured.truePeak, -0.5);
  EXPECT_LE(measured.integrated, -13.0);
  EXPECT_GE(measured.integrated, -19.0);  // AMR-NB ends lowest: -18.1 measured
  RecordProperty("figures", std::to_string(measured.integrated) + " LUFS " +
                                std::to_string(measured.truePeak) + " dBTP");
}

INSTANTIATE_TEST_SUITE_P(Types, FinishedOutput, testing::ValuesIn(kOutputTypes), Name);

TEST(Finishing, FadesAreSampleAccurateOnLosslessOutput) {
  // A WAV keeps every sample: the output is the source times the curve, to
  // the last bit of 16-bit audio, from the first sample after the cut's own
  // 5 ms edge fade.
  Folder folder;
  const std::string output = folder / "exact.wav";
  const RunResult run = RunEngine(
      {"-y", "-i", Tone(), "-ss", "1", "-t", "4", "-fadein", "0.5", "-fadeout", "1.25", output});
  ASSERT_EQ(run.exitCode, 0) << run.output;
  const std::vector<float> decoded = DecodeFirstChannel(output, folder);
  ASSERT_EQ(decoded.size(), size_t(4 * 44100));
  const int rate = 44100;
  for (size_t i = size_t(0.005 * rate) + 1; i < decoded.size(); ++i) {
    const double source = 0.5 * std::sin(2 * std::numbers::pi * 1000 * double(i + rate) / rate);
    const double t = (double(i) + 0.5) / rate;
    const double want = source * IntendedGain(t, 0.5) * IntendedGain(4 - t, 1.25);
    ASSERT_NEAR(decoded[i], want, 2.5 / 32768) << i;
  }
}

TEST(Finishing, AFadeLongerThanHalfThePartIsShortenedWithANote) {
  Folder folder;
  const std::string output = folder / "short.wav";
  const RunResult run =
      RunEngine({"-y", "-i", Tone(), "-ss", "1", "-t", "4", "-fadeout", "10", output});
  ASSERT_EQ(run.exitCode, 0) << run.output;
  EXPECT_NE(run.output.find("Note: -fadeout 10.000 is more than half the 4.000 s part; it lasts "
                            "2.000 s"),
            std::string::npos)
      << run.output;
  const std::vector<float> decoded = DecodeFirstChannel(output, folder);
  const double full = RmsDb(decoded, 44100 / 2, 44100);
  // Full level until 2 s, half way (-6 dB) at 3 s.
  EXPECT_NEAR(RmsDb(decoded, size_t(1.9 * 44100), size_t(1.99 * 44100)) - full, 0, 0.1);
  EXPECT_NEAR(RmsDb(decoded, size_t(2.995 * 44100), size_t(3.005 * 44100)) - full,
              20 * std::log10(0.5), 0.2);
}

TEST(Finishing, LoudnormReplacesTheGainOfVol) {
  Folder folder;
  const RunResult plain = RunEngine({"-y", "-i", Music("normal"), "-ss", "3", "-t", "10",
                                     "-loudnorm", "-20", folder / "plain.wav"});
  const RunResult loud = RunEngine({"-y", "-i", Music("normal"), "-vol", "300", "-ss", "3", "-t",
                                    "10", "-loudnorm", "-20", folder / "vol.wav"});
  ASSERT_EQ(plain.exitCode, 0) << plain.output;
  ASSERT_EQ(loud.exitCode, 0) << loud.output;
  EXPECT_NE(loud.output.find("Note: -loudnorm sets the gain; -vol is not applied"),
            std::string::npos)
      << loud.output;
  EXPECT_TRUE(SameBytes(folder / "plain.wav", folder / "vol.wav"));
  EXPECT_NEAR(MeasureWithFfmpeg(folder / "vol.wav").integrated, -20.0, 0.2);
}

TEST(Finishing, ZeroFadesLeaveTheOutputAsItWasByteForByte) {
  Folder folder;
  for (const std::string extension : {"mp3", "wav"}) {
    const RunResult plain = RunEngine(
        {"-y", "-i", Music("normal"), "-ss", "2", "-t", "5", folder / ("plain." + extension)});
    const RunResult zero = RunEngine({"-y", "-i", Music("normal"), "-ss", "2", "-t", "5", "-fadein",
                                      "0", "-fadeout", "0", folder / ("zero." + extension)});
    ASSERT_EQ(plain.exitCode, 0) << plain.output;
    ASSERT_EQ(zero.exitCode, 0) << zero.output;
    EXPECT_TRUE(SameBytes(folder / ("plain." + extension), folder / ("zero." + extension)))
        << extension;
  }
}

TEST(Finishing, OneThreadWritesTheBytesOfTwo) {
  Folder folder;
  const std::vector<std::string> line = {"-y", "-i",        Music("loud"), "-ss", "1",
                                         "-t", "6",         "-fadein",     "1",   "-fadeout",
                                         "2",  "-loudnorm", "-9"};
  std::vector<std::string> two = line, one = line;
  two.push_back(folder / "two.mp3");
  one.push_back(folder / "one.mp3");
  ASSERT_EQ(RunEngine(two).exitCode, 0);
  ASSERT_EQ(RunEngine(one, {"EVC_SINGLE_THREAD=1"}).exitCode, 0);
  EXPECT_TRUE(SameBytes(folder / "two.mp3", folder / "one.mp3"));
}

struct Refusal {
  std::vector<std::string> options;
  std::string reasonPart;
};
class FinishingRefused : public testing::TestWithParam<Refusal> {};
TEST_P(FinishingRefused, WithAOneLineReasonAndNoFile) {
  Folder folder;
  std::vector<std::string> arguments = {"-y", "-i", Tone()};
  arguments.insert(arguments.end(), GetParam().options.begin(), GetParam().options.end());
  arguments.push_back(folder / "out.mp3");
  const RunResult run = RunEngine(arguments);
  EXPECT_EQ(run.exitCode, 1) << run.output;
  EXPECT_EQ(run.output.rfind("evc.exe: ", 0), 0u) << run.output;
  EXPECT_NE(run.output.find(GetParam().reasonPart), std::string::npos) << run.output;
  EXPECT_EQ(std::count(run.output.begin(), run.output.end(), '\n'), 1) << run.output;
  EXPECT_FALSE(fs::exists(folder / "out.mp3"));
}
INSTANTIATE_TEST_SUITE_P(
    Table, FinishingRefused,
    testing::Values(
        Refusal{{"-fadein", "31"}, "bad value '31' for -fadein: expected seconds from 0 to 30"},
        Refusal{{"-fadein", "-2"}, "bad value '-2' for -fadein"},
        Refusal{{"-fadeout", "2,5"}, "bad value '2,5' for -fadeout"},
        Refusal{{"-fadeout", "1e1"}, "bad value '1e1' for -fadeout"},
        Refusal{{"-loudnorm", "-4"}, "bad value '-4' for -loudnorm: expected LUFS from -30 to -5"},
        Refusal{{"-loudnorm", "-30.5"}, "bad value '-30.5' for -loudnorm"},
        Refusal{{"-loudnorm", "14"}, "bad value '14' for -loudnorm"},
        Refusal{{"-loudnorm", "loud"}, "bad value 'loud' for -loudnorm"},
        Refusal{{"-loudnorm", "-y"}, "no value for -loudnorm"}));

TEST(Finishing, APipeSourceIsRefusedBecauseThePartIsReadTwice) {
  signal(SIGPIPE, SIG_IGN);  // the writer below meets a closed pipe
  Folder folder;
  const std::string fifo = folder / "source.wav";
  ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
  std::thread writer([&] {
    std::ifstream in(Tone(), std::ios::binary);
    std::ofstream out(fifo, std::ios::binary);
    out << in.rdbuf();
  });
  const RunResult run = RunEngine({"-y", "-i", fifo, "-loudnorm", "-14", folder / "out.mp3"});
  // Unblocks the writer should the engine never have opened the pipe.
  const int reader = open(fifo.c_str(), O_RDONLY | O_NONBLOCK);
  if (reader >= 0) close(reader);
  writer.join();
  EXPECT_EQ(run.exitCode, 1) << run.output;
  EXPECT_NE(run.output.find("cannot be a pipe"), std::string::npos) << run.output;
  EXPECT_FALSE(fs::exists(folder / "out.mp3"));
}

}  // namespace
