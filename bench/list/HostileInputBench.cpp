// Adding inputs that never end or never come to the source list, each the way
// a drop does (TCommonLib::AddSourceFiles with the real FFmpeg probe graph),
// each in a child process of its own: wall time and the child's peak resident
// memory, beside a child that adds one good three-second song. A child still
// busy after the time limit is ended and reported so.
#include <signal.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <functional>
#include <string>
#include <thread>
#include <vector>

#include "FfmpegMediaGraph.h"
#include "ListFixtures.h"
#include "SourceFileList.h"
#include "Unit_CommonLib.h"

namespace {

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

constexpr int kTimeLimitSeconds = 60;

// Adds `path` in this process the way a drop does, then ends the process.
[[noreturn]] void AddAndExit(const std::string& folder, const std::string& path) {
  TAppFunc app(folder + "/");
  TSysFunc sys;
  list_test::ScriptedUi ui;
  TCommonLib common(app, sys, ui);
  TCommonLib::SourceListServices services;
  services.NewMediaGraph = [] {
    return std::make_unique<FfmpegMediaGraph>(FfmpegMediaGraph::Output::Silent);
  };
  int dialogs = 0;
  services.ShowCodeErrorForm = [&dialogs] { ++dialogs; };
  common.SetSourceListServices(services);
  SourceFileList list;
  common.AddSourceFiles(list, {path});
  std::_Exit(list.RowCount() == 1 ? 10 : dialogs == 1 ? 11 : 12);
}

struct Case {
  const char* label;
  const char* name;
  std::function<void(const std::string& path)> make;
};

}  // namespace

int main() {
  const fs::path folder = fs::temp_directory_path() / "tonbrix-hostile-bench";
  fs::remove_all(folder);
  fs::create_directories(folder);
  const std::string song = (folder / "song.mp3").string();
  list_test::MakeTone(song, 3.0, "libmp3lame");
  const std::string vbr = (folder / "vbr.mp3").string();
  // A VBR MP3 without a header that tells its length: its packets are counted.
  if (!list_test::Run({"ffmpeg", "-hide_banner", "-loglevel", "error", "-nostdin", "-y", "-f",
                       "lavfi", "-i", "sine=frequency=440:duration=5", "-c:a", "libmp3lame", "-q:a",
                       "4", "-write_xing", "0", vbr})) {
    std::fprintf(stderr, "ffmpeg failed\n");
    return 1;
  }
  const auto gigabyte_of_zeros = [](const std::string& path) {
    std::ofstream{path};
    fs::resize_file(path, std::uintmax_t{1} << 30);
  };
  const auto link_to_dev_zero = [](const std::string& path) {
    fs::create_symlink("/dev/zero", path);
  };
  const std::vector<Case> cases = {
      {"good 3-second MP3 (baseline)", "good.mp3",
       [&](const std::string& path) { fs::copy_file(song, path); }},
      {"1 GB of zeros named .mp3", "zeros.mp3", gigabyte_of_zeros},
      {"1 GB of zeros named .ac3", "zeros.ac3", gigabyte_of_zeros},
      {"link to /dev/zero named .mp3", "zero.mp3", link_to_dev_zero},
      {"link to /dev/zero named .ac3", "zero.ac3", link_to_dev_zero},
      {"FIFO named .mp3, no writer", "fifo.mp3",
       [](const std::string& path) { ::mkfifo(path.c_str(), 0644); }},
      {"5-second VBR MP3 padded to 1 GB with zeros", "padded.mp3",
       [&](const std::string& path) {
         fs::copy_file(vbr, path);
         fs::resize_file(path, std::uintmax_t{1} << 30);
       }},
  };

  std::printf("%-45s %10s %14s  %s\n", "input", "wall", "peak RSS", "outcome");
  for (const Case& c : cases) {
    const std::string path = (folder / c.name).string();
    c.make(path);
    const Clock::time_point start = Clock::now();
    const pid_t child = ::fork();
    if (child == 0) AddAndExit(folder.string(), path);
    int status = 0;
    rusage usage{};
    bool killed = false;
    for (;;) {
      const pid_t done = ::wait4(child, &status, WNOHANG, &usage);
      if (done == child) break;
      if (Clock::now() - start > std::chrono::seconds(kTimeLimitSeconds)) {
        ::kill(child, SIGKILL);
        ::wait4(child, &status, 0, &usage);
        killed = true;
        break;
      }
      std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    const double seconds = std::chrono::duration<double>(Clock::now() - start).count();
    const char* outcome = killed                                           ? "still adding: ended"
                          : WIFEXITED(status) && WEXITSTATUS(status) == 10 ? "row added"
                          : WIFEXITED(status) && WEXITSTATUS(status) == 11 ? "codec-missing dialog"
                                                                           : "failed";
    std::printf("%-45s %8.2f s %11.1f MB  %s\n", c.label, seconds, usage.ru_maxrss / 1024.0,
                outcome);
    fs::remove(path);
  }
  fs::remove_all(folder);
  return 0;
}
