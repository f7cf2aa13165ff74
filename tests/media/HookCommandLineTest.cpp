// `tonbrix --suggest-hook FILE [SECONDS]` and `tonbrix --help` as a real
// process, started with no display at all: the result line, the exit codes and
// the one-line reasons on stderr. The result must be what the library gives
// for the same file.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <regex>
#include <sstream>
#include <string>
#include <vector>

#include "HookSuggester.h"
#include "MediaFixtures.h"

extern char** environ;

using media_fixtures::Fixtures;

namespace {

struct Outcome {
  int exit_code = -1;
  std::string out;
  std::string err;
};

std::string ReadAll(const std::filesystem::path& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream text;
  text << in.rdbuf();
  return text.str();
}

// Runs the program with `arguments`, without DISPLAY, WAYLAND_DISPLAY or
// QT_QPA_PLATFORM: a window start would fail there.
Outcome RunTonbrix(const std::vector<std::string>& arguments) {
  const std::filesystem::path folder = std::filesystem::path(TONBRIX_MEDIA_FIXTURE_DIR) / "hook";
  std::filesystem::create_directories(folder);
  const std::string stem = (folder / ("cli-" + std::to_string(getpid()))).string();
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addopen(&actions, 1, (stem + ".out").c_str(),
                                   O_WRONLY | O_CREAT | O_TRUNC, 0644);
  posix_spawn_file_actions_addopen(&actions, 2, (stem + ".err").c_str(),
                                   O_WRONLY | O_CREAT | O_TRUNC, 0644);
  std::vector<std::string> words = {TONBRIX_APP_DIR "tonbrix"};
  words.insert(words.end(), arguments.begin(), arguments.end());
  std::vector<char*> argv;
  for (std::string& w : words) argv.push_back(w.data());
  argv.push_back(nullptr);
  std::vector<std::string> kept;
  for (char** e = environ; *e; ++e) {
    const std::string entry = *e;
    if (entry.rfind("DISPLAY=", 0) == 0 || entry.rfind("WAYLAND_DISPLAY=", 0) == 0 ||
        entry.rfind("QT_QPA_PLATFORM=", 0) == 0) {
      continue;
    }
    kept.push_back(entry);
  }
  std::vector<char*> envp;
  for (std::string& e : kept) envp.push_back(e.data());
  envp.push_back(nullptr);
  pid_t pid = 0;
  Outcome outcome;
  const int spawned = posix_spawn(&pid, argv[0], &actions, nullptr, argv.data(), envp.data());
  posix_spawn_file_actions_destroy(&actions);
  if (spawned != 0) return outcome;
  int status = 0;
  waitpid(pid, &status, 0);
  outcome.exit_code = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
  outcome.out = ReadAll(stem + ".out");
  outcome.err = ReadAll(stem + ".err");
  return outcome;
}

std::string Clock(int64_t ms) {
  char text[32];
  std::snprintf(text, sizeof text, "%02lld:%02lld:%02lld.%03lld",
                static_cast<long long>(ms / 3600000), static_cast<long long>(ms / 60000 % 60),
                static_cast<long long>(ms / 1000 % 60), static_cast<long long>(ms % 1000));
  return text;
}

bool OneLine(const std::string& text) {
  return !text.empty() && text.back() == '\n' && text.find('\n') == text.size() - 1;
}

}  // namespace

TEST(SuggestHookCommand, PrintsTheLibrarysPartOnOneLine) {
  const std::string file = Fixtures::Get().Path("vbr_xing.mp3");  // 12.5 s, quiet first half
  const Outcome run = RunTonbrix({"--suggest-hook", file, "4.5"});
  ASSERT_EQ(run.exit_code, 0) << run.err;
  const HookSuggestion hook = SuggestHook(file, 4.5);
  EXPECT_EQ(run.out, Clock(hook.start_ms) + " " + Clock(hook.end_ms) + "\n");
  EXPECT_TRUE(
      std::regex_match(run.out, std::regex(R"(\d\d:\d\d:\d\d\.\d{3} \d\d:\d\d:\d\d\.\d{3}\n)")))
      << run.out;
  EXPECT_EQ(run.err, "");
}

TEST(SuggestHookCommand, SecondsDefaultToThirty) {
  // 12.5 s of sound: thirty seconds asked for is the whole song.
  const std::string file = Fixtures::Get().Path("sound.wav");
  const Outcome run = RunTonbrix({"--suggest-hook", file});
  ASSERT_EQ(run.exit_code, 0) << run.err;
  EXPECT_EQ(run.out, "00:00:00.000 " + Clock(SuggestHook(file, 30).end_ms) + "\n");
  EXPECT_EQ(run.out.substr(13), "00:00:12.500\n");
}

struct Refusal {
  const char* name;
  std::vector<std::string> arguments;  // "@name" is the fixture file's path
  int exit_code;
  const char* reason_part;
};

void PrintTo(const Refusal& r, std::ostream* out) { *out << r.name; }

class SuggestHookRefusalTest : public testing::TestWithParam<Refusal> {};

TEST_P(SuggestHookRefusalTest, ExitsNonZeroWithOneLineReason) {
  std::vector<std::string> arguments = GetParam().arguments;
  for (std::string& a : arguments) {
    if (a.rfind('@', 0) == 0) a = Fixtures::Get().Path(a.substr(1));
  }
  const Outcome run = RunTonbrix(arguments);
  EXPECT_EQ(run.exit_code, GetParam().exit_code) << run.err;
  EXPECT_EQ(run.out, "");
  EXPECT_TRUE(OneLine(run.err)) << run.err;
  EXPECT_EQ(run.err.rfind("tonbrix: ", 0), 0u) << run.err;
  EXPECT_NE(run.err.find(GetParam().reason_part), std::string::npos) << run.err;
}

INSTANTIATE_TEST_SUITE_P(
    Refusals, SuggestHookRefusalTest,
    testing::Values(
        Refusal{
            "MissingFile", {"--suggest-hook", "/nonexistent/song.mp3"}, 1, "/nonexistent/song.mp3"},
        Refusal{"TextFile", {"--suggest-hook", "@text.mp3"}, 1, "text.mp3"},
        Refusal{"DamagedFile", {"--suggest-hook", "@empty.mp3"}, 1, "empty.mp3"},
        Refusal{"NoAudio", {"--suggest-hook", "@video_only.mkv"}, 1, "video_only.mkv"},
        Refusal{"WordForSeconds", {"--suggest-hook", "@sound.wav", "ten"}, 2, "\"ten\""},
        Refusal{"ZeroSeconds", {"--suggest-hook", "@sound.wav", "0"}, 2, "\"0\""},
        Refusal{"NegativeSeconds", {"--suggest-hook", "@sound.wav", "-5"}, 2, "\"-5\""},
        Refusal{"CommaDecimal", {"--suggest-hook", "@sound.wav", "7,5"}, 2, "\"7,5\""},
        Refusal{"NoFile", {"--suggest-hook"}, 2, "FILE"},
        Refusal{"TooMany", {"--suggest-hook", "@sound.wav", "5", "6"}, 2, "FILE"}),
    [](const auto& test) { return std::string(test.param.name); });

TEST(SuggestHookCommand, HelpListsTheToolAndSaysThereIsNothingElse) {
  const Outcome run = RunTonbrix({"--help"});
  EXPECT_EQ(run.exit_code, 0);
  EXPECT_NE(run.out.find("--suggest-hook FILE [SECONDS]"), std::string::npos) << run.out;
  EXPECT_NE(run.out.find("hh:mm:ss.mmm hh:mm:ss.mmm"), std::string::npos) << run.out;
  EXPECT_NE(run.out.find("takes no arguments"), std::string::npos) << run.out;
  EXPECT_EQ(run.err, "");
}
