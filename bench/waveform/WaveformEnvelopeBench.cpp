// The waveform envelope of a 10-minute MP3 (44.1 kHz stereo, 192 kbit/s,
// made with the ffmpeg tool: tones and a beat over noise, getting louder and
// softer like music), beside the ffmpeg tool decoding the same file
// (`ffmpeg -v quiet -i F -f null -`). Times, each the median of kRuns
// (the tool's and the full envelope's runs taken in turn):
//  - the full envelope on every core, and on one decoder;
//  - the quick sketch;
//  - the tool's decode;
//  - what a view does per frame: one min/max per column of a 2000-column
//    frame (1000 px at 2x) at three zoom levels, through the pyramid.
// Wall and CPU time (CPU counts every thread of this process and of the tool).
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "BenchShell.h"
#include "BenchTiming.h"
#include "WaveformEnvelope.h"

namespace {

constexpr int kRuns = 7;

using bench::Median;
using bench::Timing;

void Print(const char* what, const Timing& t) {
  std::printf("| %s | %.1f | %.1f |\n", what, t.wall * 1e3, t.cpu * 1e3);
}

// Makes the 10-minute song in `folder`.
std::string MakeSong(const std::filesystem::path& folder) {
  const std::string song = (folder / "ten_minutes.mp3").string();
  // Two tones and a 2 Hz beat over pink noise, the whole swelling and fading
  // every half minute; both channels differ.
  bench::Run(
      "ffmpeg -hide_banner -loglevel error -nostdin -y -filter_complex "
      "\"anoisesrc=d=600:c=pink:a=0.25:r=44100:seed=3[n];"
      "aevalsrc='0.3*sin(2*PI*220*t)*(0.6+0.4*sin(2*PI*t/30))+0.4*exp(-20*mod(t,0.5))*sin(2*PI*60*"
      "t)|"
      "0.3*sin(2*PI*330*t)*(0.6+0.4*cos(2*PI*t/30))+0.4*exp(-20*mod(t,0.5))*sin(2*PI*60*t)':"
      "d=600:s=44100[m];[n]aformat=channel_layouts=stereo[ns];[m][ns]amix=inputs=2:normalize=0\" "
      "-ar 44100 -ac 2 -c:a libmp3lame -b:a 192k \"" +
      song + "\"");
  return song;
}

}  // namespace

// With a file name, that file is measured instead of the made song.
int main(int argc, char** argv) {
  char pattern[] = "/tmp/tonbrix-waveform-bench-XXXXXX";
  if (!mkdtemp(pattern)) return 1;
  const std::filesystem::path folder = pattern;
  const std::string song = argc > 1 ? std::string(argv[1]) : MakeSong(folder);

  const std::atomic<bool> go_on{false};
  std::optional<WaveformEnvelope> full;
  std::printf("%s: %u cores; median of %d runs\n\n", song.c_str(),
              std::thread::hardware_concurrency(), kRuns);
  std::printf("| what | wall ms | CPU ms |\n|---|---|---|\n");
  // The runs of the three are interleaved, so that other builds coming and
  // going weigh on each alike.
  std::vector<Timing> tool_runs;
  std::vector<Timing> every_core_runs;
  std::vector<Timing> one_runs;
  for (int run = 0; run < kRuns; ++run) {
    tool_runs.push_back(
        bench::Once([&] { bench::Run("ffmpeg -nostdin -v quiet -i \"" + song + "\" -f null -"); }));
    every_core_runs.push_back(bench::Once([&] { full = FullEnvelope(song, go_on); }));
    one_runs.push_back(bench::Once([&] { FullEnvelope(song, go_on, 1); }));
  }
  const Timing tool = bench::MedianOf(tool_runs);
  const Timing every_core = bench::MedianOf(every_core_runs);
  const Timing one = bench::MedianOf(one_runs);
  const Timing sketch = Median(kRuns, [&] { SketchEnvelope(song, go_on); });
  Print("`ffmpeg -v quiet -i F -f null -`", tool);
  std::printf("| full envelope, every core (%d decoders) | %.1f | %.1f |\n", full->Decoders(),
              every_core.wall * 1e3, every_core.cpu * 1e3);
  Print("full envelope, one decoder", one);
  Print("sketch", sketch);

  // A view's frame: 2000 columns over the whole song, one minute, five
  // seconds (2.5 ms per column, finer than the pairs).
  std::printf("\n| view frame, 2000 columns | µs per frame |\n|---|---|\n");
  for (const double span : {full->Seconds(), 60.0, 5.0}) {
    const double from = 180.0 > full->Seconds() - span ? 0.0 : 180.0;
    float sink = 0;
    const int frames = 200;
    const auto start = std::chrono::steady_clock::now();
    for (int f = 0; f < frames; ++f) {
      const double shift = f * 1e-3;
      for (const PeakPair& p : full->Slices(from + shift, from + shift + span, 2000)) sink += p.max;
    }
    const double us =
        std::chrono::duration<double, std::micro>(std::chrono::steady_clock::now() - start)
            .count() /
        frames;
    std::printf("| %.0f s in view | %.1f |%s\n", span, us, sink < -1e30 ? " " : "");
  }
  std::filesystem::remove_all(folder);
  return 0;
}
