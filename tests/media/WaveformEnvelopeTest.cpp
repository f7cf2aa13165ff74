// The waveform envelope: the full envelope, read by several decoders at once,
// equals what one plain decoder gives, sample for sample, in every format;
// loud and quiet parts land in the right pairs; the pyramid answers every
// range like a scan of the pairs; abort and bad files end cleanly.
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <random>
#include <thread>

#include "MediaFixtures.h"
#include "MediaGraph.h"
#include "MediaProbe.h"
#include "WaveformEnvelope.h"

extern "C" {
#include <libswresample/swresample.h>
}

using media_fixtures::Fixtures;

namespace {

std::string FixtureName(const std::string& name) {
  std::string out = name;
  for (char& c : out) {
    if (!isalnum(static_cast<unsigned char>(c))) c = '_';
  }
  return out;
}

const std::atomic<bool> kGoOn{false};

WaveformEnvelope Full(const std::string& name, int parts = 0) {
  std::optional<WaveformEnvelope> envelope = FullEnvelope(Fixtures::Get().Path(name), kGoOn, parts);
  if (!envelope) throw std::runtime_error("no envelope without an abort");
  return *envelope;
}

// The plain way: one decoder reads the file from start to end, libswresample
// turns every sample into a float, and the samples are counted into pairs
// of `frames_per_pair` from the first one decoded.
std::vector<PeakPair> ReferencePairs(const std::string& path, int64_t frames_per_pair, int* rate) {
  AudioInput input = OpenAudioInput(path);
  if (input.render_result != kRenderOk) throw std::runtime_error("does not decode: " + path);
  AVCodecContext* decoder = input.decoder.get();
  *rate = decoder->sample_rate;
  PacketPtr packet = MakePacket();
  FramePtr frame = MakeFrame();
  SwrContext* raw = nullptr;
  std::vector<PeakPair> pairs;
  int64_t count = 0;
  std::vector<float> samples;
  const auto take = [&] {
    while (avcodec_receive_frame(decoder, frame.get()) >= 0) {
      const int channels = frame->ch_layout.nb_channels;
      if (!raw) {
        if (swr_alloc_set_opts2(&raw, &frame->ch_layout, AV_SAMPLE_FMT_FLT, frame->sample_rate,
                                &frame->ch_layout, static_cast<AVSampleFormat>(frame->format),
                                frame->sample_rate, 0, nullptr) < 0 ||
            swr_init(raw) < 0)
          throw std::runtime_error("swr");
      }
      samples.assign(static_cast<size_t>(frame->nb_samples) * channels, 0.0f);
      auto* out = reinterpret_cast<uint8_t*>(samples.data());
      const int got =
          swr_convert(raw, &out, frame->nb_samples,
                      const_cast<const uint8_t**>(frame->extended_data), frame->nb_samples);
      if (got != frame->nb_samples) throw std::runtime_error("swr kept samples back");
      for (int i = 0; i < got; ++i, ++count) {
        const size_t index = static_cast<size_t>(count / frames_per_pair);
        if (index >= pairs.size()) pairs.push_back({2.0f, -2.0f});
        for (int c = 0; c < channels; ++c) {
          const float v = std::clamp(samples[static_cast<size_t>(i) * channels + c], -1.0f, 1.0f);
          pairs[index].min = std::min(pairs[index].min, v);
          pairs[index].max = std::max(pairs[index].max, v);
        }
      }
      av_frame_unref(frame.get());
    }
  };
  while (av_read_frame(input.format.get(), packet.get()) >= 0) {
    if (packet->stream_index == input.stream_index &&
        avcodec_send_packet(decoder, packet.get()) >= 0)
      take();
    av_packet_unref(packet.get());
  }
  if (avcodec_send_packet(decoder, nullptr) >= 0) take();
  swr_free(&raw);
  return pairs;
}

// ---------------------------------------------------------------------------

struct ExactCase {
  const char* fixture;
  int parts;     // asked for
  int decoders;  // used: one where the codec's decoders would not agree at a seam
};

void PrintTo(const ExactCase& c, std::ostream* out) { *out << c.fixture << " in " << c.parts; }

class EnvelopeEqualsOneDecoderTest : public testing::TestWithParam<ExactCase> {};

TEST_P(EnvelopeEqualsOneDecoderTest, PairForPair) {
  const std::string path = Fixtures::Get().Path(GetParam().fixture);
  const WaveformEnvelope envelope = Full(GetParam().fixture, GetParam().parts);
  // A whole number of samples per pair, about kPairsPerSecond pairs a second.
  const int rate = ProbeMedia(path).sample_rate;
  const int64_t frames_per_pair = rate / WaveformEnvelope::kPairsPerSecond;
  EXPECT_DOUBLE_EQ(envelope.SecondsPerPair(), static_cast<double>(frames_per_pair) / rate);
  int reference_rate = 0;
  const std::vector<PeakPair> reference = ReferencePairs(path, frames_per_pair, &reference_rate);
  ASSERT_EQ(reference_rate, rate);
  ASSERT_GT(reference.size(), 0u);
  ASSERT_EQ(envelope.PairCount(), reference.size());
  EXPECT_EQ(envelope.Decoders(), GetParam().decoders);
  const std::vector<PeakPair>& pairs = envelope.Pairs();
  size_t wrong = 0;
  for (size_t i = 0; i < pairs.size(); ++i) {
    if (std::abs(pairs[i].min - reference[i].min) > 1e-6f ||
        std::abs(pairs[i].max - reference[i].max) > 1e-6f) {
      if (++wrong <= 3)
        ADD_FAILURE() << "pair " << i << " (" << i * envelope.SecondsPerPair()
                      << " s): " << pairs[i].min << ".." << pairs[i].max << ", one decoder "
                      << reference[i].min << ".." << reference[i].max;
    }
  }
  EXPECT_EQ(wrong, 0u);
}

std::vector<ExactCase> ExactCases() {
  struct File {
    const char* fixture;
    bool splits;
  };
  // AAC draws its noise substitution from a random generator that runs
  // through the file, the fixed-point MPEG audio decoders carry their
  // rounding on, and ASF's timestamps are whole milliseconds.
  const File files[] = {{"noise.mp3", true},    {"vbr_xing.mp3", true}, {"vbr_noxing.mp3", true},
                        {"noise.m4a", false},   {"noise.ogg", true},    {"noise.wav", true},
                        {"noise.flac", true},   {"sound.aac", false},   {"sound.mp2", false},
                        {"sound.ac3", false},   {"sound.wma", false},   {"mono.mp3", true},
                        {"surround.m4a", false}};
  std::vector<ExactCase> cases;
  for (const File& f : files) {
    for (int parts : {1, 2, 3}) cases.push_back({f.fixture, parts, f.splits ? parts : 1});
  }
  // Under a second: one decoder whatever is asked.
  cases.push_back({"short.mp3", 2, 1});
  cases.push_back({"short.wav", 2, 1});
  return cases;
}

INSTANTIATE_TEST_SUITE_P(Formats, EnvelopeEqualsOneDecoderTest, testing::ValuesIn(ExactCases()),
                         [](const auto& test) {
                           return FixtureName(test.param.fixture) + "_in_" +
                                  std::to_string(test.param.parts);
                         });

// ---------------------------------------------------------------------------

struct BurstCase {
  const char* fixture;
  double slack_seconds;  // how far a lossy codec smears the edges
};

void PrintTo(const BurstCase& c, std::ostream* out) { *out << c.fixture; }

class BurstLandsInItsPairsTest : public testing::TestWithParam<BurstCase> {};

TEST_P(BurstLandsInItsPairsTest, SilenceAroundFullScale) {
  const BurstCase& c = GetParam();
  const WaveformEnvelope envelope = Full(c.fixture, 2);
  const double step = envelope.SecondsPerPair();
  const double on = media_fixtures::kBurstMs / 1000.0;
  const double off = media_fixtures::kBurstEndMs / 1000.0;
  ASSERT_NEAR(envelope.Seconds(), 6.0, 0.05);
  for (size_t i = 0; i < envelope.PairCount(); ++i) {
    const double t0 = i * step;
    const double t1 = t0 + step;
    const PeakPair& p = envelope.Pairs()[i];
    if (t1 <= on - c.slack_seconds || t0 >= off + c.slack_seconds) {
      EXPECT_LT(p.max, 0.02f) << "pair at " << t0 << " s";
      EXPECT_GT(p.min, -0.02f) << "pair at " << t0 << " s";
    } else if (t0 >= on + c.slack_seconds && t1 <= off - c.slack_seconds) {
      EXPECT_GT(p.max, 0.9f) << "pair at " << t0 << " s";
      EXPECT_LT(p.min, -0.9f) << "pair at " << t0 << " s";
    }
  }
  // A view's column just before the burst stays flat, one on it is full.
  EXPECT_LT(envelope.Range(on - 0.1, on - c.slack_seconds - step).max, 0.02f);
  EXPECT_GT(envelope.Range(on + c.slack_seconds, on + c.slack_seconds + 0.02).max, 0.9f);
  EXPECT_GT(envelope.Range(0, 6).max, 0.9f);
  EXPECT_LT(envelope.Range(0, 6).min, -0.9f);
}

INSTANTIATE_TEST_SUITE_P(Formats, BurstLandsInItsPairsTest,
                         testing::Values(BurstCase{"burst.wav", 0.0}, BurstCase{"burst.flac", 0.0},
                                         BurstCase{"burst.mp3", 0.03}, BurstCase{"burst.m4a", 0.03},
                                         BurstCase{"burst.ogg", 0.03}),
                         [](const auto& test) { return FixtureName(test.param.fixture); });

TEST(WaveformEnvelope, TheBurstStartsInThePairOfItsFirstSample) {
  // 3.000 s is sample 132300, inside pair 601 of 220 samples; the pair
  // before holds only silence.
  const WaveformEnvelope envelope = Full("burst.wav", 2);
  EXPECT_EQ(envelope.Decoders(), 2);
  ASSERT_DOUBLE_EQ(envelope.SecondsPerPair(), 220.0 / 44100);
  EXPECT_EQ(envelope.PairRange(600, 601).max, 0.0f);
  EXPECT_NEAR(envelope.PairRange(601, 602).max, 1.0f, 1e-4);
}

// ---------------------------------------------------------------------------
// The onset fixtures: 8 s, silent up to 5 s, then a tone at half amplitude.

class OnsetTest : public testing::TestWithParam<const char*> {};

void ExpectOnsetSlices(const std::vector<PeakPair>& slices) {
  // 16 slices of half a second; the slice around the onset may hold a bit of
  // either, depending on the codec's delay.
  ASSERT_EQ(slices.size(), 16u);
  for (size_t i = 0; i < 9; ++i) {
    EXPECT_LT(slices[i].max, 0.02f) << "slice " << i;
    EXPECT_GT(slices[i].min, -0.02f) << "slice " << i;
  }
  for (size_t i = 11; i < 16; ++i) {
    EXPECT_NEAR(slices[i].max, 0.5f, 0.08f) << "slice " << i;
    EXPECT_NEAR(slices[i].min, -0.5f, 0.08f) << "slice " << i;
  }
}

TEST_P(OnsetTest, SilenceThenToneShowInTheirSlices) {
  ExpectOnsetSlices(Full(GetParam()).Slices(16));
}

INSTANTIATE_TEST_SUITE_P(Formats, OnsetTest, testing::Values("onset.wav", "onset.mp3", "onset.ogg"),
                         [](const auto& test) { return std::string(test.param).substr(6); });

TEST(SketchEnvelope, ShowsTheOnsetFromItsPieces) {
  const std::optional<WaveformEnvelope> sketch =
      SketchEnvelope(Fixtures::Get().Path("onset.wav"), kGoOn);
  ASSERT_TRUE(sketch);
  EXPECT_TRUE(sketch->IsSketch());
  EXPECT_EQ(sketch->PairCount(), static_cast<size_t>(WaveformEnvelope::kSketchPieces));
  EXPECT_NEAR(sketch->Seconds(), 8.0, 0.01);
  ExpectOnsetSlices(sketch->Slices(16));
}

TEST(WaveformEnvelope, MoreSlicesThanPairsRepeatPairs) {
  // 8 s are 1604 pairs; 5000 slices still each get a value.
  const std::vector<PeakPair> slices = Full("onset.wav").Slices(5000);
  ASSERT_EQ(slices.size(), 5000u);
  EXPECT_NEAR(slices[4990].max, 0.5f, 0.05f);
  EXPECT_LT(slices.front().max, 0.02f);
}

TEST(WaveformEnvelope, NoSlicesAskedGivesNone) { EXPECT_TRUE(Full("onset.wav").Slices(0).empty()); }

TEST(WaveformEnvelope, AZeroLengthWavGivesNoPairsAndFlatSlices) {
  const WaveformEnvelope envelope = Full("zero.wav");
  EXPECT_EQ(envelope.PairCount(), 0u);
  const std::vector<PeakPair> slices = envelope.Slices(4);
  ASSERT_EQ(slices.size(), 4u);
  for (const PeakPair& p : slices) {
    EXPECT_EQ(p.min, 0.0f);
    EXPECT_EQ(p.max, 0.0f);
  }
  EXPECT_EQ(envelope.Range(0, 1).max, 0.0f);
}

TEST(WaveformEnvelope, ATruncatedMp3GivesTheEnvelopeOfWhatIsThere) {
  // Its header promises 12.5 s, so it is cut into parts that find no packets;
  // the envelope is still that of the frames that are there.
  const WaveformEnvelope envelope = Full("truncated.mp3", 2);
  EXPECT_GT(envelope.PairCount(), 0u);
  EXPECT_LT(envelope.Seconds(), 2.0);
  int rate = 0;
  const std::vector<PeakPair> reference =
      ReferencePairs(Fixtures::Get().Path("truncated.mp3"), 220, &rate);
  ASSERT_EQ(envelope.PairCount(), reference.size());
  EXPECT_EQ(envelope.Slices(3).size(), 3u);
}

TEST(WaveformEnvelope, AShortFileHasAboutItsLengthInPairs) {
  const WaveformEnvelope envelope = Full("short.wav");
  EXPECT_NEAR(envelope.Seconds(), 0.3, envelope.SecondsPerPair());
  EXPECT_NEAR(envelope.SecondsPerPair(), 110.0 / 22050, 1e-12);
}

// ---------------------------------------------------------------------------

class EnvelopeBadFileTest : public testing::TestWithParam<const char*> {};

TEST_P(EnvelopeBadFileTest, RaisesAMediaErrorNamingTheFile) {
  const std::string path = Fixtures::Get().Path(GetParam());
  for (int parts : {1, 2}) {
    try {
      FullEnvelope(path, kGoOn, parts);
      ADD_FAILURE() << "no error";
    } catch (const MediaError& e) {
      EXPECT_NE(std::string(e.what()).find(path), std::string::npos) << e.what();
    }
  }
  EXPECT_THROW(SketchEnvelope(path, kGoOn), MediaError);
}

INSTANTIATE_TEST_SUITE_P(BadFiles, EnvelopeBadFileTest,
                         testing::Values("empty.mp3", "text.mp3", "truncated.m4a",
                                         "video_only.mkv"),
                         [](const auto& test) { return FixtureName(test.param); });

// ---------------------------------------------------------------------------

TEST(WaveformEnvelope, AnAbortAskedBeforeGivesNothing) {
  const std::atomic<bool> abort{true};
  for (int parts : {1, 2})
    EXPECT_FALSE(FullEnvelope(Fixtures::Get().Path("noise.mp3"), abort, parts));
  EXPECT_FALSE(SketchEnvelope(Fixtures::Get().Path("noise.mp3"), abort));
}

TEST(WaveformEnvelope, AnAbortWhileReadingStopsIt) {
  // Two minutes of MP3 take far longer to decode than the moment after which
  // the flag is raised; an envelope read to its end would be given even so,
  // so no value means the reading stopped short.
  const std::string path = Fixtures::Get().Path("long.mp3");
  for (int parts : {1, 2}) {
    std::atomic<bool> abort{false};
    std::jthread raiser([&] {
      std::this_thread::sleep_for(std::chrono::milliseconds(10));
      abort = true;
    });
    EXPECT_FALSE(FullEnvelope(path, abort, parts)) << parts << " parts";
  }
}

// ---------------------------------------------------------------------------
// The pyramid, against a scan of the pairs.

class PyramidTest : public testing::TestWithParam<size_t> {};

TEST_P(PyramidTest, EveryRangeEqualsAScan) {
  std::mt19937 random(static_cast<unsigned>(GetParam()));
  std::uniform_real_distribution<float> level(-1.0f, 1.0f);
  std::vector<PeakPair> pairs(GetParam());
  for (PeakPair& p : pairs) {
    const float a = level(random);
    const float b = level(random);
    p = {std::min(a, b), std::max(a, b)};
  }
  const WaveformEnvelope envelope(pairs, 0.005, false);
  ASSERT_EQ(envelope.PairCount(), pairs.size());
  const auto scan = [&](size_t first, size_t last) {
    PeakPair out{2.0f, -2.0f};
    for (size_t i = first; i < last; ++i) {
      out.min = std::min(out.min, pairs[i].min);
      out.max = std::max(out.max, pairs[i].max);
    }
    return out;
  };
  const size_t n = pairs.size();
  const size_t stride = n > 200 ? 37 : 1;
  for (size_t first = 0; first < n; first += stride) {
    for (size_t last = first + 1; last <= n; last += (last - first < 70 ? 1 : stride)) {
      const PeakPair got = envelope.PairRange(first, last);
      const PeakPair want = scan(first, last);
      ASSERT_EQ(got.min, want.min) << first << ".." << last;
      ASSERT_EQ(got.max, want.max) << first << ".." << last;
    }
  }
  // In seconds: the pairs that overlap the range; a range inside one pair
  // gives that pair.
  const PeakPair middle = envelope.Range(0.005 * (n / 2) + 0.001, 0.005 * (n / 2) + 0.002);
  EXPECT_EQ(middle.max, pairs[n / 2].max);
  const PeakPair all = envelope.Range(-5, 1e6);
  EXPECT_EQ(all.max, scan(0, n).max);
  EXPECT_EQ(all.min, scan(0, n).min);
  EXPECT_EQ(envelope.Range(0.005 * n + 1, 0.005 * n + 2).max, 0.0f);
  // A view's arithmetic gone wrong gives a flat line, never a wild read.
  EXPECT_EQ(envelope.Range(std::nan(""), 1.0).max, 0.0f);
  EXPECT_EQ(envelope.Range(0.0, std::nan("")).max, 0.0f);
  EXPECT_EQ(envelope.Range(1.0, 0.5).max, 0.0f);
}

INSTANTIATE_TEST_SUITE_P(Lengths, PyramidTest, testing::Values(1, 2, 3, 7, 64, 1000, 1023, 4097));

TEST(WaveformEnvelope, ViewSlicesOfARangeMatchTheirTimes) {
  std::vector<PeakPair> pairs(100);
  for (size_t i = 0; i < pairs.size(); ++i) pairs[i] = {-0.01f * i, 0.01f * i};
  const WaveformEnvelope envelope(pairs, 0.01, false);
  // 0.2..0.6 s in 4 columns of 0.1 s: pairs 20-29, 30-39, 40-49, 50-59.
  const std::vector<PeakPair> columns = envelope.Slices(0.2, 0.6, 4);
  ASSERT_EQ(columns.size(), 4u);
  for (size_t c = 0; c < 4; ++c) EXPECT_FLOAT_EQ(columns[c].max, 0.01f * (29 + 10 * c)) << c;
}

}  // namespace
