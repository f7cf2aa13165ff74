// Time of the hook suggestion for a 5-minute song, beside the time the ffmpeg
// tool needs only to decode the same file (`ffmpeg -i F -f null -`). The song
// is a structured one from the tests' song maker, encoded as a 192 kbit/s
// stereo MP3 at 44.1 kHz, in a temporary folder. Each figure is the median of
// five runs.
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include "HookFeatures.h"
#include "HookSuggester.h"
#include "SyntheticSongs.h"

namespace {

constexpr int kRuns = 5;

double Median(const std::function<void()>& work) {
  std::vector<double> times;
  for (int i = 0; i < kRuns; ++i) {
    const auto start = std::chrono::steady_clock::now();
    work();
    times.push_back(
        std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count());
  }
  std::sort(times.begin(), times.end());
  return times[kRuns / 2];
}

void Run(const std::string& command) {
  if (std::system(command.c_str()) != 0) {
    std::fprintf(stderr, "failed: %s\n", command.c_str());
    std::exit(1);
  }
}

}  // namespace

int main() {
  char pattern[] = "/tmp/tonbrix-hook-bench-XXXXXX";
  if (!mkdtemp(pattern)) return 1;
  const std::filesystem::path folder = pattern;
  const std::string wav = (folder / "song.wav").string();
  const std::string mp3 = (folder / "song.mp3").string();

  // At 80 BPM a bar lasts 3 s; the song is made longer than 5 minutes and
  // cut to exactly 5 minutes when encoded.
  const synthetic_songs::SongPlan plan{"song.wav", 7, 80, "IVCVCBCVCVCBCCO", 8};
  const synthetic_songs::Song song = synthetic_songs::Synthesize(plan);
  synthetic_songs::WriteWav(wav, song.samples, song.rate);
  Run("ffmpeg -hide_banner -loglevel error -nostdin -y -i \"" + wav +
      "\" -t 300 -ar 44100 -ac 2 -c:a libmp3lame -b:a 192k \"" + mp3 + "\"");

  HookSuggestion hook;
  const double whole = Median([&] { hook = SuggestHook(mp3, 30.0); });
  MonoAudio audio;
  const double decode = Median([&] { audio = DecodeMonoAudio(mp3, kHookAnalysisRate); });
  const double features = Median([&] { ExtractHookFeatures(audio); });
  const double analysis = Median([&] { SuggestHookInAudio(audio, 30.0); });
  const double tool = Median(
      [&] { Run("ffmpeg -hide_banner -loglevel error -nostdin -i \"" + mp3 + "\" -f null -"); });

  std::printf("song: %.1f s, choruses at", audio.Seconds());
  for (double c : song.chorus_starts) std::printf(" %.1f", c);
  std::printf(" s; suggested %.3f-%.3f s\n", hook.start_ms / 1000.0, hook.end_ms / 1000.0);
  std::printf("suggest hook, whole:        %.0f ms\n", whole * 1e3);
  std::printf("  decode to mono %d Hz:   %.0f ms\n", kHookAnalysisRate, decode * 1e3);
  std::printf("  features (STFT):          %.0f ms\n", features * 1e3);
  std::printf("  features + structure:     %.0f ms\n", analysis * 1e3);
  std::printf("ffmpeg -i F -f null -:      %.0f ms\n", tool * 1e3);
  std::filesystem::remove_all(folder);
  return 0;
}
