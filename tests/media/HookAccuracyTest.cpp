// The accuracy of the hook suggestion: on ten songs of known structure made
// here, the part starts on a chorus in at least nine. Prints the table.
#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>
#include <iomanip>
#include <iostream>
#include <limits>
#include <sstream>

#include "HookSuggester.h"
#include "SyntheticSongs.h"

namespace {

using synthetic_songs::Song;
using synthetic_songs::SongPlan;

std::filesystem::path HookFolder() {
  return std::filesystem::path(TONBRIX_MEDIA_FIXTURE_DIR) / "hook";
}

// Ten songs: tempo, lengths, order and file type vary.
const std::vector<SongPlan>& Plans() {
  static const std::vector<SongPlan> plans = {
      {"pop.wav", 11, 120, "IVCVCBCO", 8},          {"slow.mp3", 12, 84, "IVCVCBCO", 8},
      {"fast.flac", 13, 146, "IVCVCBCO", 8},        {"double_end.wav", 14, 104, "IVCVCBCCO", 8},
      {"no_intro.mp3", 15, 128, "VCVCBCO", 8},      {"chorus_first.wav", 16, 96, "ICVCVCBCO", 8},
      {"two_verses.flac", 17, 112, "IVVCVCBCO", 8}, {"ends_on_chorus.mp3", 18, 136, "IVCVCBC", 8},
      {"short_chorus.wav", 19, 100, "IVCVCBCO", 4}, {"long_bridge.mp3", 20, 90, "IVCVCBBCO", 6},
  };
  return plans;
}

std::string Seconds(double seconds, int decimals) {
  std::ostringstream out;
  out << std::fixed << std::setprecision(decimals) << seconds;
  return out.str();
}

}  // namespace

TEST(HookAccuracy, StartsOnAChorusInNineOfTenSongs) {
  constexpr double kTolerance = 1.5;
  constexpr double kPart = 30.0;
  int hits = 0;
  std::ostringstream table;
  table << "song                 tempo order      chorus starts (s)            suggested  off by  "
           "result\n";
  for (const SongPlan& plan : Plans()) {
    const Song song = synthetic_songs::Synthesize(plan);
    const std::string path = synthetic_songs::WriteSongFile(HookFolder(), plan.name, song);
    const HookSuggestion hook = SuggestHook(path, kPart);
    const double start = hook.start_ms / 1000.0;
    double off = std::numeric_limits<double>::infinity();
    std::string starts;
    for (double c : song.chorus_starts) {
      off = std::min(off, std::abs(start - c));
      starts += Seconds(c, 1) + " ";
    }
    const bool hit = off <= kTolerance;
    hits += hit;
    table << std::left << std::setw(21) << plan.name << std::setw(6) << plan.bpm << std::setw(11)
          << plan.order << std::setw(29) << starts << std::setw(11) << Seconds(start, 3)
          << std::setw(8) << Seconds(off, 2) << (hit ? "hit" : "MISS") << "\n";
    // Whatever the start, the part is whole and inside the song.
    EXPECT_EQ(hook.end_ms - hook.start_ms, 30000) << plan.name;
    EXPECT_LE(hook.end_ms, hook.song_ms) << plan.name;
    EXPECT_NEAR(hook.song_ms / 1000.0, song.samples.size() / static_cast<double>(song.rate), 0.1)
        << plan.name;
  }
  std::cout << table.str() << "hits: " << hits << " of " << Plans().size() << "\n";
  RecordProperty("hits", hits);
  EXPECT_GE(hits, 9) << table.str();
}
