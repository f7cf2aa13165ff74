// The free-output-name search in a folder that already holds earlier
// ringtones: song.mp3, song_1.mp3 ... song_N.mp3. The search must answer
// song_(N+1).mp3 at a cost that grows with N, not with N squared.
//
// BM_GetUniqueFileName is the program's search. BM_RelistEveryAttempt is the
// rule carried out literally, listing the folder again for every attempt; it
// is kept as the yardstick and run only on the smaller folders.
#include <benchmark/benchmark.h>
#include <stdlib.h>

#include <filesystem>
#include <fstream>
#include <map>
#include <string>

#include "UtilityObjects.h"

namespace {

// One folder per size, made once per run and removed at exit.
class Folders {
 public:
  ~Folders() {
    std::error_code ignored;
    if (!root_.empty()) std::filesystem::remove_all(root_, ignored);
  }
  const std::string& Get(int count) {
    if (root_.empty()) {
      std::string pattern =
          (std::filesystem::temp_directory_path() / "tonbrix-bench-XXXXXX").string();
      if (mkdtemp(pattern.data()) == nullptr) throw std::runtime_error("mkdtemp failed");
      root_ = pattern + "/";
    }
    auto found = folders_.find(count);
    if (found != folders_.end()) return found->second;
    const std::string folder = root_ + std::to_string(count) + "/";
    std::filesystem::create_directory(folder);
    std::ofstream(folder + "song.mp3") << 'x';
    for (int i = 1; i <= count; ++i)
      std::ofstream(folder + "song_" + std::to_string(i) + ".mp3") << 'x';
    return folders_.emplace(count, folder).first->second;
  }

 private:
  std::string root_;
  std::map<int, std::string> folders_;
};

Folders& TheFolders() {
  static Folders folders;
  return folders;
}

void BM_GetUniqueFileName(benchmark::State& state) {
  const int count = static_cast<int>(state.range(0));
  const std::string& folder = TheFolders().Get(count);
  const std::string expected = folder + "song_" + std::to_string(count + 1) + ".mp3";
  TFileFunc files;
  for (auto _ : state) {
    const std::string name = files.GetUniqueFileName(folder + "song.mp3");
    if (name != expected) state.SkipWithError(("unexpected " + name).c_str());
    benchmark::DoNotOptimize(name);
  }
  state.SetComplexityN(count);
}

// The rule as written: every attempt lists the folder again and scans it.
std::string RelistEveryAttempt(const std::string& wanted, const std::string& base) {
  const std::string path = TFileFunc::GetFilePath(wanted);
  std::string title = TFileFunc::GetFileTitle(wanted);
  for (;;) {
    bool clash = false;
    for (const std::string& entry : TFileFunc::GetFileList(path, "")) {
      if (TFileFunc::GetFileTitle(entry) == title) {
        clash = true;
        break;
      }
    }
    if (!clash) return path + title + ".mp3";
    if (title == base) {
      title += "_1";
    } else {
      const auto underscore = title.rfind('_');
      title = title.substr(0, underscore + 1) +
              std::to_string(std::stoll(title.substr(underscore + 1)) + 1);
    }
  }
}

void BM_RelistEveryAttempt(benchmark::State& state) {
  const int count = static_cast<int>(state.range(0));
  const std::string& folder = TheFolders().Get(count);
  const std::string expected = folder + "song_" + std::to_string(count + 1) + ".mp3";
  for (auto _ : state) {
    const std::string name = RelistEveryAttempt(folder + "song.mp3", "song");
    if (name != expected) state.SkipWithError(("unexpected " + name).c_str());
    benchmark::DoNotOptimize(name);
  }
  state.SetComplexityN(count);
}

}  // namespace

BENCHMARK(BM_GetUniqueFileName)
    ->Arg(500)
    ->Arg(1000)
    ->Arg(2000)
    ->Arg(5000)
    ->Unit(benchmark::kMillisecond)
    ->Complexity();
BENCHMARK(BM_RelistEveryAttempt)
    ->Arg(250)
    ->Arg(500)
    ->Arg(1000)
    ->Unit(benchmark::kMillisecond)
    ->Complexity();

BENCHMARK_MAIN();
