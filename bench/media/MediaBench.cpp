// Probe time per file over 200 short MP3 files, ours in-process against one
// ffprobe process per file, and the waveform envelope's time for a 5-minute MP3. Makes its
// own files with the ffmpeg tool in a temporary folder.
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>

#include "BenchShell.h"
#include "MediaProbe.h"

namespace {

double Seconds(std::chrono::steady_clock::time_point since) {
  return std::chrono::duration<double>(std::chrono::steady_clock::now() - since).count();
}

using bench::Run;

}  // namespace

int main() {
  char pattern[] = "/tmp/tonbrix-media-bench-XXXXXX";
  if (!mkdtemp(pattern)) return 1;
  const std::filesystem::path folder = pattern;
  const std::string ffmpeg = "ffmpeg -hide_banner -loglevel error -nostdin -y ";

  const int kFiles = 200;
  Run(ffmpeg + "-f lavfi -i sine=f=440:d=5 -c:a libmp3lame -q:a 4 \"" +
      (folder / "short.mp3").string() + "\"");
  for (int i = 0; i < kFiles; ++i) {
    std::filesystem::copy_file(folder / "short.mp3", folder / ("s" + std::to_string(i) + ".mp3"));
  }

  auto start = std::chrono::steady_clock::now();
  int64_t total_ms = 0;
  for (int i = 0; i < kFiles; ++i) {
    total_ms += ProbeMedia((folder / ("s" + std::to_string(i) + ".mp3")).string()).duration_ms;
  }
  const double ours = Seconds(start) / kFiles;

  start = std::chrono::steady_clock::now();
  for (int i = 0; i < kFiles; ++i) {
    Run("ffprobe -v error -show_entries format=duration -of csv=p=0 \"" +
        (folder / ("s" + std::to_string(i) + ".mp3")).string() + "\" >/dev/null");
  }
  const double theirs = Seconds(start) / kFiles;

  std::printf("probe, in-process:  %.3f ms per file (%d files, %lld ms of audio)\n", ours * 1e3,
              kFiles, static_cast<long long>(total_ms));
  std::printf("probe, ffprobe:     %.3f ms per file\n", theirs * 1e3);
  std::printf("ratio:              %.1fx\n", theirs / ours);
  std::filesystem::remove_all(folder);
  return 0;
}
