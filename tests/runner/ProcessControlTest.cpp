// Process look-up and termination by name against real processes: copies of
// the stand-in engine under unique names in a temporary folder. The tests that
// end processes named "evc.exe" run in a private PID namespace (unshare), where
// /proc shows nothing but the test's own processes, so an engine that someone
// else runs on this machine is never met.
#include <fcntl.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <fstream>
#include <sstream>

#include "AdvanceSystem.h"
#include "RunnerTestSupport.h"
#include "Unit_CommonLib.h"

namespace {

using namespace runner_test;
using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;

// The window-free stand-in of the user interface: pauses really wait, and the
// calls that would let window events run are counted.
class PausingUserInterface : public UserInterface {
 public:
  int MessageBox(const std::string&, MessageIcon, MessageButtons) override { return IDOK; }
  bool BrowseForFolder(const std::string&, const std::string&, std::string&) override {
    return false;
  }
  std::optional<std::string> InputBox(const std::string&, const std::string&,
                                      const std::string&) override {
    return std::nullopt;
  }
  void ProcessMessages() override { ++process_messages; }
  void Pause(int milliseconds) override {
    std::this_thread::sleep_for(std::chrono::milliseconds(milliseconds));
  }
  int process_messages = 0;
};

// A TCommonLib whose log goes to a temporary program folder.
class ProcessControl : public ::testing::Test {
 protected:
  TempFolder app_folder;
  TAppFunc app{app_folder.Path() + "/"};
  TSysFunc sys;
  PausingUserInterface ui;
  TCommonLib lib{app, sys, ui};

  std::vector<std::string> LogMessages() {
    std::ifstream file(app_folder / "log.txt");
    std::vector<std::string> messages;
    std::string line;
    while (std::getline(file, line)) {
      if (!line.empty() && line.back() == '\r') line.pop_back();
      messages.push_back(line.substr(line.find('|') + 1));
    }
    return messages;
  }
  int LogCount(const std::string& message) {
    auto messages = LogMessages();
    return static_cast<int>(std::count(messages.begin(), messages.end(), message));
  }

  // Starts a copy of the stand-in engine named `name` in a folder of its own
  // and waits until it has carried out its steps up to "ready".
  std::unique_ptr<Child> StartNamed(const std::string& name, std::vector<std::string> steps = {}) {
    auto folder = std::make_unique<TempFolder>();
    std::string program = CopyFixture(*folder, name);
    std::string ready = *folder / "ready";
    std::vector<std::string> arguments = {program};
    arguments.insert(arguments.end(), steps.begin(), steps.end());
    arguments.push_back("ready:" + ready);
    arguments.push_back("sleep:600000");
    auto child = std::make_unique<Child>(arguments);
    EXPECT_GT(child->Pid(), 0);
    EXPECT_TRUE(WaitForFile(ready));
    folders_.push_back(std::move(folder));
    return child;
  }
  std::string FolderOf(size_t index) const { return folders_.at(index)->Path(); }

 private:
  std::vector<std::unique_ptr<TempFolder>> folders_;
};

std::string Upper(std::string text) {
  for (char& c : text) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  return text;
}
std::string Lower(std::string text) {
  for (char& c : text) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return text;
}

// ---- Look-up ---------------------------------------------------------------------

struct LookupCase {
  const char* name;
  const char* stem;                              // of the running program's name
  std::string (*file_name)(std::string unique);  // the name on disk
  std::string (*query)(std::string file_name);   // the name looked up
  bool found;
};

void PrintTo(const LookupCase& c, std::ostream* os) { *os << c.name; }

class LookupTest : public ProcessControl, public ::testing::WithParamInterface<LookupCase> {};

TEST_P(LookupTest, FindsTheProcessByItsFileNameIgnoringCase) {
  const LookupCase& c = GetParam();
  std::string file_name = c.file_name(UniqueName(c.stem));
  auto child = StartNamed(file_name);
  int expected = c.found ? child->Pid() : 0;
  EXPECT_EQ(sys.GetProcessIdByName(c.query(file_name)), expected);
}

INSTANTIATE_TEST_SUITE_P(
    Lookup, LookupTest,
    ::testing::Values(
        LookupCase{"SameName", "tbx-look", [](std::string n) { return n; },
                   [](std::string n) { return n; }, true},
        LookupCase{"FileInCapitalsQueryInSmallLetters", "tbx-look", Upper, Lower, true},
        LookupCase{"FileInSmallLettersQueryInCapitals", "tbx-look", Lower, Upper, true},
        LookupCase{"NameLongerThanTheKernelsCommandName", "tonbrix-fixture-with-a-long-name",
                   [](std::string n) { return n; }, [](std::string n) { return n; }, true},
        LookupCase{"ShorterNameIsNoMatch", "tbx-look", [](std::string n) { return n; },
                   [](std::string n) { return n.substr(0, n.size() - 4); }, false},
        LookupCase{"LongerNameIsNoMatch", "tbx-look", [](std::string n) { return n; },
                   [](std::string n) { return n + "x"; }, false}),
    [](const auto& test) { return std::string(test.param.name); });

TEST_F(ProcessControl, TheCommonLibLookupLogsOnlyWhenNothingIsFound) {
  std::string name = UniqueName("tbx-log");
  EXPECT_EQ(lib.GetProcessIdByName(name), 0);
  EXPECT_EQ(LogCount("Get Process id error."), 1);

  auto child = StartNamed(name);
  EXPECT_EQ(lib.GetProcessIdByName(name), child->Pid());
  EXPECT_EQ(LogCount("Get Process id error."), 1);
}

TEST_F(ProcessControl, TwoProcessesOfOneNameTheLaterIsFoundAndBothAreEnded) {
  std::string name = UniqueName("tbx-twin");
  auto first = StartNamed(name);
  auto second = StartNamed(name);
  EXPECT_EQ(sys.GetProcessIdByName(name), std::max(first->Pid(), second->Pid()));

  EXPECT_TRUE(lib.TerminateProcessByName(name));
  // Both are gone by the time the call returns.
  EXPECT_TRUE(first->Ended());
  EXPECT_TRUE(second->Ended());
  EXPECT_EQ(sys.GetProcessIdByName(name), 0);
  EXPECT_EQ(LogCount("Terminate process error."), 0);
}

TEST_F(ProcessControl, TerminationLetsTheEngineRemoveItsUnfinishedFile) {
  std::string name = UniqueName("tbx-partial");
  TempFolder output;
  std::string partial = output / "song.amr";
  auto child = StartNamed(name, {"partial:" + partial});
  ASSERT_TRUE(fs::exists(partial));

  EXPECT_TRUE(lib.TerminateProcessByName(name));
  ASSERT_TRUE(child->Ended());
  EXPECT_TRUE(WIFEXITED(child->LastStatus())) << "it was killed instead of asked to leave";
  EXPECT_FALSE(fs::exists(partial));
}

TEST_F(ProcessControl, AProcessThatIgnoresSigtermIsStillEnded) {
  std::string name = UniqueName("tbx-stubborn");
  auto child = StartNamed(name, {"ignore-term"});
  EXPECT_TRUE(lib.TerminateProcessByName(name));
  ASSERT_TRUE(child->Ended());
  ASSERT_TRUE(WIFSIGNALED(child->LastStatus()));
  EXPECT_EQ(WTERMSIG(child->LastStatus()), SIGKILL);
}

TEST_F(ProcessControl, TerminationMatchesTheWholeExecutablePathToo) {
  std::string name = UniqueName("tbx-path");
  auto child = StartNamed(name);
  EXPECT_TRUE(lib.TerminateProcessByName(Upper(FolderOf(0) + "/" + name)));
  EXPECT_TRUE(child->Ended());
}

TEST_F(ProcessControl, TerminatingANameNobodyCarriesFailsAndLogs) {
  EXPECT_FALSE(lib.TerminateProcessByName(UniqueName("tbx-nobody")));
  EXPECT_EQ(LogCount("Terminate process error."), 1);
}

TEST_F(ProcessControl, PrivilegesNeedNoAdjustingHere) {
  EXPECT_TRUE(lib.EnableDebugPrivilege());
  EXPECT_TRUE(lib.SetPrivilege(0, "SeShutdownPrivilege", true));
  EXPECT_TRUE(lib.SetPrivilege(0, "SeDebugPrivilege", false));
}

// ---- Ending the engine: only inside a private process table -------------------------

bool InPrivateProcessTable() { return std::getenv("TONBRIX_PRIVATE_PROCESS_TABLE") != nullptr; }

int RunAndWait(const std::vector<std::string>& arguments, bool quiet) {
  std::vector<std::string> env_text;
  for (char** e = environ; *e; ++e) env_text.emplace_back(*e);
  env_text.push_back("TONBRIX_PRIVATE_PROCESS_TABLE=1");
  std::vector<char*> envp;
  for (std::string& e : env_text) envp.push_back(e.data());
  envp.push_back(nullptr);
  std::vector<char*> argv;
  for (const std::string& a : arguments) argv.push_back(const_cast<char*>(a.c_str()));
  argv.push_back(nullptr);

  posix_spawn_file_actions_t actions;
  ::posix_spawn_file_actions_init(&actions);
  if (quiet) {
    ::posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
    ::posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
  }
  pid_t pid = 0;
  int error = ::posix_spawnp(&pid, argv[0], &actions, nullptr, argv.data(), envp.data());
  ::posix_spawn_file_actions_destroy(&actions);
  if (error != 0) return -1;
  int status = 0;
  while (::waitpid(pid, &status, 0) < 0 && errno == EINTR) {
  }
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

// Runs the current test again in a PID namespace of its own; false when this
// machine allows no such namespace (the caller then skips).
bool RerunInPrivateProcessTable(int& exit_code) {
  const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
  std::string filter =
      std::string("--gtest_filter=") + info->test_suite_name() + "." + info->name();
  std::string self = fs::read_symlink("/proc/self/exe").string();
  const std::vector<std::vector<std::string>> variants = {
      {"unshare", "--pid", "--fork", "--mount-proc"},
      {"unshare", "--map-root-user", "--pid", "--fork", "--mount-proc"}};
  for (const auto& variant : variants) {
    std::vector<std::string> probe = variant;
    probe.push_back("true");
    if (RunAndWait(probe, true) != 0) continue;
    std::vector<std::string> run = variant;
    run.push_back(self);
    run.push_back(filter);
    exit_code = RunAndWait(run, false);
    return true;
  }
  return false;
}

#define RUN_IN_PRIVATE_PROCESS_TABLE()                                                  \
  do {                                                                                  \
    if (!InPrivateProcessTable()) {                                                     \
      int exit_code = -1;                                                               \
      if (!RerunInPrivateProcessTable(exit_code)) {                                     \
        GTEST_SKIP() << "no private PID namespace here; processes named evc.exe may "   \
                        "belong to someone else";                                       \
      }                                                                                 \
      EXPECT_EQ(exit_code, 0) << "the run in the private process table failed (above)"; \
      return;                                                                           \
    }                                                                                   \
  } while (0)

// A worker of this program whose engine is a copy of the stand-in named
// `name` in a folder of its own; it has carried out its steps up to "ready"
// when this returns.
struct OwnEngine {
  TempFolder folder;
  std::string path;
  std::unique_ptr<TAdvanceSystem> worker;

  explicit OwnEngine(const std::string& name, std::vector<std::string> steps = {}) {
    path = CopyFixture(folder, name);
    std::vector<std::string> arguments = {path};
    arguments.insert(arguments.end(), steps.begin(), steps.end());
    arguments.push_back("ready:" + folder / "ready");
    arguments.push_back("sleep:600000");
    EngineCommand command;
    command.Arguments = arguments;
    worker = std::make_unique<TAdvanceSystem>(command, nullptr, folder.Path());
    worker->Start();
    EXPECT_TRUE(WaitForFile(folder / "ready"));
  }
};

// Stop ends the engine this program started and nothing else: processes of
// the same names that someone else started run on.
TEST_F(ProcessControl, KillEngineProcessesEndsOnlyTheEngineThisProgramStarted) {
  RUN_IN_PRIVATE_PROCESS_TABLE();
  OwnEngine own("evc.exe", {"ignore-term"});
  auto other_evc = StartNamed("evc.exe");
  auto other_engine_name = StartNamed(UniqueName("tbx-engine"));

  lib.KillEngineProcesses(own.path, own.worker.get());

  EXPECT_TRUE(own.worker->EngineFinished());
  EXPECT_FALSE(other_evc->Ended()) << "another program's evc.exe was ended";
  EXPECT_FALSE(other_engine_name->Ended());
  // The last look-up of each of the two passes finds nothing.
  EXPECT_EQ(LogCount("Get Process id error."), 2);
  EXPECT_EQ(LogCount("Terminate process error."), 0);
  EXPECT_GE(ui.process_messages, 1);
}

TEST_F(ProcessControl, KillEngineProcessesMatchesTheEnginesNameIgnoringCase) {
  RUN_IN_PRIVATE_PROCESS_TABLE();
  OwnEngine own("EVC.EXE");
  lib.KillEngineProcesses(own.folder / "evc.exe", own.worker.get());
  EXPECT_TRUE(own.worker->EngineFinished());
  EXPECT_EQ(LogCount("Get Process id error."), 2);
  EXPECT_EQ(LogCount("Terminate process error."), 0);
}

// Without an engine of its own the call ends nothing, however many processes
// carry the engine's names, even one that keeps coming back; it returns.
TEST_F(ProcessControl, KillEngineProcessesWithoutAnEngineOfItsOwnEndsNothing) {
  RUN_IN_PRIVATE_PROCESS_TABLE();
  std::string engine_name = UniqueName("tbx-phoenix");
  TempFolder folder;
  std::string engine = CopyFixture(folder, engine_name);
  std::string supervisor = CopyFixture(folder, UniqueName("tbx-supervisor"));
  Child keeper({supervisor, "respawn:" + engine});
  auto other_evc = StartNamed("evc.exe");
  auto deadline = Clock::now() + 20s;
  while (sys.GetProcessIdByName(engine_name) == 0 && Clock::now() < deadline) {
    std::this_thread::sleep_for(5ms);
  }
  const int phoenix = sys.GetProcessIdByName(engine_name);
  ASSERT_NE(phoenix, 0);

  lib.KillEngineProcesses(engine, nullptr);

  EXPECT_EQ(sys.GetProcessIdByName(engine_name), phoenix) << "it was ended";
  EXPECT_FALSE(other_evc->Ended());
  EXPECT_FALSE(keeper.Ended());
  EXPECT_EQ(LogCount("Get Process id error."), 2);
}

// The batch's wait looks only at processes of this program's own user.
TEST_F(ProcessControl, TheSameUserLookupPassesOverAnotherUsersProcess) {
  if (::getuid() != 0) GTEST_SKIP() << "starting a process of another user needs root";
  std::string name = UniqueName("tbx-other-user");
  TempFolder folder;
  fs::permissions(folder.Path(), fs::perms::all);
  std::string program = CopyFixture(folder, name);
  fs::permissions(program, fs::perms::owner_all | fs::perms::group_read | fs::perms::group_exec |
                               fs::perms::others_read | fs::perms::others_exec);
  Child other({program, "setuid:65534", "ready:" + folder / "ready", "sleep:600000"});
  ASSERT_TRUE(WaitForFile(folder / "ready"));
  EXPECT_EQ(sys.GetProcessIdByName(name), other.Pid());
  EXPECT_EQ(sys.GetSameUserProcessIdByName(name), 0);

  auto own = StartNamed(name);
  EXPECT_EQ(sys.GetSameUserProcessIdByName(name), own->Pid());
}

}  // namespace
