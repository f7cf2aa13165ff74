// Adding 200 files to the source list the way the open dialog's busy window
// does (TCommonLib::AddSourceFiles with one real FFmpeg probe graph): the time
// per file, and the longest stretch without the window events running, which
// is how long the busy window's spinner would stand still.
#include <chrono>
#include <cstdio>
#include <filesystem>

#include "FfmpegMediaGraph.h"
#include "ListFixtures.h"
#include "SourceFileList.h"
#include "Unit_CommonLib.h"

namespace {

using Clock = std::chrono::steady_clock;

class TimingUi : public list_test::ScriptedUi {
 public:
  void ProcessMessages() override {
    const Clock::time_point now = Clock::now();
    if (last_ != Clock::time_point{}) longest_ = std::max(longest_, now - last_);
    last_ = now;
  }
  double LongestGapMs() const {
    return std::chrono::duration<double, std::milli>(longest_).count();
  }

 private:
  Clock::time_point last_{};
  Clock::duration longest_{};
};

}  // namespace

int main() {
  namespace fs = std::filesystem;
  const fs::path folder = fs::temp_directory_path() / "tonbrix-list-bench";
  fs::remove_all(folder);
  fs::create_directories(folder);
  const std::string first = (folder / "song 000.mp3").string();
  list_test::MakeTone(first, 30.0, "libmp3lame");
  std::vector<std::string> names = {first};
  for (int i = 1; i < 200; ++i) {
    char name[32];
    std::snprintf(name, sizeof name, "song %03d.mp3", i);
    fs::copy_file(first, folder / name);
    names.push_back((folder / name).string());
  }

  TAppFunc app(folder.string() + "/");
  TSysFunc sys;
  TimingUi ui;
  TCommonLib common(app, sys, ui);
  TCommonLib::SourceListServices services;
  services.NewMediaGraph = [] {
    return std::make_unique<FfmpegMediaGraph>(FfmpegMediaGraph::Output::Silent);
  };
  common.SetSourceListServices(services);
  SourceFileList list;

  const Clock::time_point start = Clock::now();
  common.AddSourceFiles(list, names);
  const double total_ms = std::chrono::duration<double, std::milli>(Clock::now() - start).count();

  std::printf("rows added:              %d\n", list.RowCount());
  std::printf("total:                   %.1f ms\n", total_ms);
  std::printf("per file:                %.3f ms\n", total_ms / static_cast<double>(names.size()));
  std::printf("longest stretch without events: %.2f ms\n", ui.LongestGapMs());
  fs::remove_all(folder);
  return list.RowCount() == 200 ? 0 : 1;
}
