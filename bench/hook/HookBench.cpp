// Time of the hook suggestion for a 5-minute song, beside the time the ffmpeg
// tool needs only to decode the same file (`ffmpeg -i F -f null -`). The song
// is a structured one from the tests' song maker, encoded as a 192 kbit/s
// stereo MP3 at 44.1 kHz, in a temporary folder. Each figure is the median of
// five runs.
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <string>

#include "BenchShell.h"
#include "BenchTiming.h"
#include "HookFeatures.h"
#include "HookSuggester.h"
#include "SyntheticSongs.h"

namespace {

constexpr int kRuns = 5;

using bench::Timing;

Timing Median(const std::function<void()>& work) { return bench::Median(kRuns, work); }

void Print(const char* what, const Timing& t) {
  std::printf("%-30s %5.0f ms wall, %5.0f ms CPU\n", what, t.wall * 1e3, t.cpu * 1e3);
}

using bench::Run;

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
  const Timing whole = Median([&] { hook = SuggestHook(mp3, 30.0); });
  MonoAudio audio;
  const Timing decode = Median([&] { audio = DecodeMonoAudio(mp3, kHookAnalysisRate); });
  const Timing features = Median([&] { ExtractHookFeatures(audio); });
  const Timing analysis = Median([&] { SuggestHookInAudio(audio, 30.0); });
  const Timing tool = Median(
      [&] { Run("ffmpeg -hide_banner -loglevel error -nostdin -i \"" + mp3 + "\" -f null -"); });

  std::printf("song: %.1f s, choruses at", audio.Seconds());
  for (double c : song.chorus_starts) std::printf(" %.1f", c);
  std::printf(" s; suggested %.3f-%.3f s\n", hook.start_ms / 1000.0, hook.end_ms / 1000.0);
  Print("suggest hook, whole:", whole);
  Print("  decode to mono 11025 Hz:", decode);
  Print("  features (STFT):", features);
  Print("  features + structure:", analysis);
  Print("ffmpeg -i F -f null -:", tool);
  std::filesystem::remove_all(folder);
  return 0;
}
