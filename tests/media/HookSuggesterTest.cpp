// The hook suggestion beyond accuracy: songs without any repetition still get
// a sensible part and never an error, the part never runs past the song, bad
// files, bad lengths and a cancel give their errors, calls on two threads at
// once agree with calls one after the other, and the program's length rule.
#include <gtest/gtest.h>

#include <atomic>
#include <cmath>
#include <filesystem>
#include <limits>
#include <thread>

#include "HookSuggester.h"
#include "MediaFixtures.h"
#include "MediaGraph.h"
#include "SyntheticSongs.h"

using media_fixtures::Fixtures;

namespace {

std::filesystem::path HookFolder() {
  return std::filesystem::path(TONBRIX_MEDIA_FIXTURE_DIR) / "hook";
}

// A file made once from an ffmpeg lavfi source.
std::string MadeFile(const std::string& name, const std::string& source) {
  const std::filesystem::path target = HookFolder() / name;
  if (!std::filesystem::exists(target)) {
    std::filesystem::create_directories(HookFolder());
    const std::filesystem::path part =
        HookFolder() / (".part-" + std::to_string(getpid()) + "-" + name);
    const std::string ext = target.extension().string().substr(1);
    synthetic_songs::Ffmpeg("-f lavfi -i \"" + source + "\" -f " + ext, part);
    std::filesystem::rename(part, target);
  }
  return target.string();
}

struct Unstructured {
  const char* name;
  const char* source;  // lavfi description
  double wanted;       // seconds asked for
  double song;         // the file's length
  double first_start;  // where the part may start, seconds
  double last_start;
};

void PrintTo(const Unstructured& u, std::ostream* out) { *out << u.name; }

}  // namespace

class UnstructuredSongTest : public testing::TestWithParam<Unstructured> {};

TEST_P(UnstructuredSongTest, GetsASensiblePart) {
  const Unstructured& u = GetParam();
  const HookSuggestion hook = SuggestHook(MadeFile(u.name, u.source), u.wanted);
  EXPECT_NEAR(hook.song_ms, u.song * 1000, 60);
  EXPECT_EQ(hook.end_ms - hook.start_ms,
            std::llround(std::min(u.wanted, hook.song_ms / 1000.0) * 1000));
  EXPECT_LE(hook.end_ms, hook.song_ms);
  EXPECT_GE(hook.start_ms, u.first_start * 1000);
  EXPECT_LE(hook.start_ms, u.last_start * 1000);
}

// With nothing repeated, the part is the loudest stretch, the earliest of
// equally loud ones: where the sound begins.
INSTANTIATE_TEST_SUITE_P(
    NoRepetition, UnstructuredSongTest,
    testing::Values(
        Unstructured{"tone.flac", "sine=f=330:d=90:r=22050", 30, 90, 0, 1},
        Unstructured{"noise.mp3", "anoisesrc=d=60:a=0.3:r=22050:seed=3", 30, 60, 0, 1},
        Unstructured{
            "chord20.wav",
            "aevalsrc=0.2*sin(2*PI*262*t)+0.2*sin(2*PI*330*t)+0.2*sin(2*PI*392*t):d=20:s=22050", 30,
            20, 0, 0},
        Unstructured{"late_noise.wav",
                     "anoisesrc=d=60:a=0.3:r=22050:seed=5,volume='if(lt(t,15),0,1)':eval=frame", 30,
                     60, 14.5, 16},
        Unstructured{"silence.wav", "anullsrc=r=22050:cl=mono,atrim=0:40", 30, 40, 0, 0},
        Unstructured{"short_part.flac", "sine=f=500:d=50:r=22050", 7.25, 50, 0, 1}),
    [](const auto& test) {
      std::string name = test.param.name;
      return name.substr(0, name.find('.'));
    });

TEST(SuggestHook, APartLongerThanTheSongIsTheWholeSong) {
  // 12.5 s of tone, 30 s asked for.
  const HookSuggestion hook = SuggestHook(Fixtures::Get().Path("sound.wav"), 30);
  EXPECT_EQ(hook.start_ms, 0);
  EXPECT_EQ(hook.end_ms, hook.song_ms);
  EXPECT_NEAR(hook.song_ms, media_fixtures::kSoundMs, 30);
}

TEST(SuggestHook, AnEnormousLengthIsTheWholeSong) {
  const HookSuggestion hook = SuggestHook(Fixtures::Get().Path("sound.wav"), 1e300);
  EXPECT_EQ(hook.start_ms, 0);
  EXPECT_EQ(hook.end_ms, hook.song_ms);
}

TEST(SuggestHook, MillisecondsOfTheWantedLengthAreKept) {
  const HookSuggestion hook = SuggestHook(Fixtures::Get().Path("sound.ogg"), 3.1416);
  EXPECT_EQ(hook.end_ms - hook.start_ms, 3142);
}

class HookBadFileTest : public testing::TestWithParam<const char*> {};

TEST_P(HookBadFileTest, RaisesAMediaErrorNamingTheFile) {
  const std::string path = std::string(GetParam()) == "missing.mp3"
                               ? (HookFolder() / "missing.mp3").string()
                               : Fixtures::Get().Path(GetParam());
  try {
    SuggestHook(path, 30);
    FAIL() << "no error for " << path;
  } catch (const MediaError& e) {
    EXPECT_NE(std::string(e.what()).find(path), std::string::npos) << e.what();
  }
}

INSTANTIATE_TEST_SUITE_P(BadFiles, HookBadFileTest,
                         testing::Values("missing.mp3", "text.mp3", "empty.mp3", "zero.wav",
                                         "video_only.mkv"),
                         [](const auto& test) {
                           std::string name = test.param;
                           return name.substr(0, name.find('.'));
                         });

class HookBadLengthTest : public testing::TestWithParam<double> {};

TEST_P(HookBadLengthTest, IsRefusedBeforeTheFileIsRead) {
  // The file does not exist: the length is checked first.
  EXPECT_THROW(SuggestHook((HookFolder() / "missing.mp3").string(), GetParam()),
               std::invalid_argument);
}

INSTANTIATE_TEST_SUITE_P(BadLengths, HookBadLengthTest,
                         testing::Values(0.0, -5.0, std::numeric_limits<double>::quiet_NaN(),
                                         std::numeric_limits<double>::infinity()));

TEST(SuggestHook, ACancelledAnalysisStops) {
  std::atomic<bool> cancel{true};
  EXPECT_THROW(SuggestHook(Fixtures::Get().Path("cbr.mp3"), 5, &cancel), HookCancelled);
}

TEST(SuggestHook, TwoThreadsAtOnceGetWhatOneAfterTheOtherGets) {
  const synthetic_songs::Song song =
      synthetic_songs::Synthesize({"threads.wav", 5, 140, "IVCVCBCO", 8});
  const std::string first = synthetic_songs::WriteSongFile(HookFolder(), "threads.wav", song);
  const std::string second = MadeFile(
      "late_noise.wav", "anoisesrc=d=60:a=0.3:r=22050:seed=5,volume='if(lt(t,15),0,1)':eval=frame");
  const HookSuggestion one = SuggestHook(first, 20);
  const HookSuggestion two = SuggestHook(second, 20);
  HookSuggestion one_parallel;
  HookSuggestion two_parallel;
  std::thread worker([&] { one_parallel = SuggestHook(first, 20); });
  two_parallel = SuggestHook(second, 20);
  worker.join();
  EXPECT_EQ(one_parallel.start_ms, one.start_ms);
  EXPECT_EQ(one_parallel.end_ms, one.end_ms);
  EXPECT_EQ(two_parallel.start_ms, two.start_ms);
  EXPECT_EQ(two_parallel.end_ms, two.end_ms);
}

struct LengthRule {
  double current;
  double song;
  double expected;
};

class HookLengthRuleTest : public testing::TestWithParam<LengthRule> {};

TEST_P(HookLengthRuleTest, KeepsPartsOfFiveSecondsOrMoreElseThirty) {
  const LengthRule& r = GetParam();
  EXPECT_DOUBLE_EQ(HookLengthSeconds(r.current, r.song), r.expected)
      << "current " << r.current << ", song " << r.song;
}

INSTANTIATE_TEST_SUITE_P(Rule, HookLengthRuleTest,
                         testing::Values(LengthRule{12, 200, 12}, LengthRule{5, 200, 5},
                                         LengthRule{4.999, 200, 30}, LengthRule{0, 200, 30},
                                         LengthRule{-3, 200, 30}, LengthRule{45.5, 200, 45.5},
                                         LengthRule{40, 20, 20}, LengthRule{3, 20, 20},
                                         LengthRule{3, 0, 30}, LengthRule{12, 0, 12}));
