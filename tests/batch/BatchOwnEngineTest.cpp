// The batch against real processes: Stop and the close box end the engine
// this batch started and no other program's evc.exe, and another user's
// evc.exe does not hold the batch's wait. These start, look for and end
// processes named "evc.exe" on the machine, so they hold the engine's lock.
#include <gtest/gtest.h>
#include <signal.h>

#include "../runner/RunnerTestSupport.h"
#include "BatchTestSupport.h"
#include "ProcessTable.h"

namespace {

using batch_test::BatchRig;

// ---- the batch's own engine and other programs' processes --------------------------

// Processes running the executable at `path` (copies made by the test).
std::vector<int> RunningCopiesOf(const std::string& path) {
  std::vector<int> pids;
  for (const ProcessEntry& entry : ListProcesses()) {
    if (ExePathMatches(entry, path)) pids.push_back(entry.Pid);
  }
  return pids;
}

// Ends what is left of the test's own copies, so that a failing batch does
// not wait for a sleeping stand-in for ever.
void KillCopiesOf(const std::string& path) {
  for (int pid : RunningCopiesOf(path)) ::kill(pid, SIGKILL);
}

// The stand-in engine installed in the rig's program folder as evc.exe: it
// sleeps until it is ended, having touched `ready` first.
std::string InstallSleepingEngine(BatchRig& rig, const std::string& ready) {
  const std::string engine = rig.program.Path() + "evc.exe";
  std::filesystem::copy_file(runner_test::FixtureProgram(), engine);
  std::ofstream(engine + ".steps") << "ready:" << ready << "\nsleep:600000\n";
  return engine;
}

// Another program's conversion: a copy of the stand-in named evc.exe, started
// outside this program, that sleeps until the test ends it.
struct OtherProgramsEngine {
  runner_test::TempFolder folder;
  std::unique_ptr<runner_test::Child> child;

  explicit OtherProgramsEngine(std::vector<std::string> steps = {}, bool reachable = false) {
    if (reachable) std::filesystem::permissions(folder.Path(), std::filesystem::perms::all);
    std::string program = runner_test::CopyFixture(folder, "evc.exe");
    if (reachable) {
      std::filesystem::permissions(program,
                                   std::filesystem::perms::owner_all |
                                       std::filesystem::perms::others_read |
                                       std::filesystem::perms::others_exec,
                                   std::filesystem::perm_options::add);
    }
    std::vector<std::string> arguments = {program};
    arguments.insert(arguments.end(), steps.begin(), steps.end());
    arguments.push_back("ready:" + folder / "ready");
    arguments.push_back("sleep:600000");
    child = std::make_unique<runner_test::Child>(arguments);
    EXPECT_TRUE(runner_test::WaitForFile(folder / "ready"));
  }
  void End() {
    if (child->Ended()) return;
    ::kill(child->Pid(), SIGKILL);
    child->Reap();
  }
};

// Stop and the close box end the engine this batch started; an evc.exe that
// another program started runs on. (The batch waits for same-user processes
// named evc.exe, so the test ends the other one itself once it has looked.)
class OwnEngineTest : public ::testing::TestWithParam<bool> {};

TEST_P(OwnEngineTest, EndsTheBatchsOwnEngineAndNoOtherProgramsEvcExe) {
  const bool close_box = GetParam();
  BatchRig rig(BatchRig::Machine::Real);
  rig.AddRow("/music/a.mp3", true);
  rig.AddRow("/music/b.mp3", true);
  const std::string ready = rig.output.Path() + "engine-started";
  const std::string engine = InstallSleepingEngine(rig, ready);
  // Who sent SIGTERM to the other program's evc.exe, if anyone: on a shared
  // machine another program may end it by name, which is not this test's
  // fault to report.
  const std::string report = rig.output.Path() + "ended-by";
  OtherProgramsEngine other({"term-report:" + report});
  ASSERT_NE(other.child->Pid(), 0);

  bool pressed = false;
  bool other_survived = false;
  std::size_t own_left_after_stop = 99;
  rig.ui.OnEvents = [&] {
    if (!pressed && rig.windows.Shown && std::filesystem::exists(ready)) {
      pressed = true;
      if (close_box) {
        rig.Proc().ProgressFormClose();
      } else {
        rig.Proc().btnStop1Click();
      }
      own_left_after_stop = RunningCopiesOf(engine).size();
      other_survived = !other.child->Ended();
      other.End();
    }
    // A batch that waits far beyond its pauses has failed: end the sleepers.
    if (rig.ui.PausedMs > 120000) {
      KillCopiesOf(engine);
      other.End();
    }
  };
  rig.Proc().ConvertAll(rig.list);

  EXPECT_TRUE(pressed);
  EXPECT_EQ(own_left_after_stop, 0u) << "the batch's own engine was not ended";
  std::string ended_by;
  std::ifstream(report) >> ended_by;
  EXPECT_TRUE(other_survived) << "another program's evc.exe was ended by process " << ended_by
                              << " (this test is process " << ::getpid() << ")";
  EXPECT_EQ(rig.Proc().CurrentIndex, 1);
  EXPECT_EQ(rig.ParameterLines().size(), 1u);
  // The close box is no Stop: the after-job actions still run.
  EXPECT_EQ(rig.OpenedFolders.size(), close_box ? 1u : 0u);
  EXPECT_LT(rig.ui.PausedMs, 120000);
}

INSTANTIATE_TEST_SUITE_P(StopAndCloseBox, OwnEngineTest, ::testing::Values(false, true),
                         [](const auto& test) { return test.param ? "CloseBox" : "Stop"; });

// A process of another user cannot be this program's engine: an evc.exe of
// another user does not hold the batch's wait.
TEST(ConvertAll, AnotherUsersEvcExeDoesNotHoldTheBatch) {
  if (::getuid() != 0) GTEST_SKIP() << "starting a process of another user needs root";
  OtherProgramsEngine other({"setuid:65534"}, true);
  ASSERT_NE(TSysFunc().GetProcessIdByName("evc.exe"), 0);
  BatchRig rig(BatchRig::Machine::Real);
  rig.AddRow("/music/a.mp3", true);
  bool held = false;
  rig.ui.OnEvents = [&] {
    // The job's pauses take 5 s; a minute more is a batch held by the other
    // user's process.
    if (!held && rig.ui.PausedMs > 65000) {
      held = true;
      other.End();
    }
  };
  rig.Proc().ConvertAll(rig.list);
  EXPECT_FALSE(held) << "the batch waited for another user's evc.exe";
  EXPECT_EQ(rig.Proc().CurrentIndex, 1);
  EXPECT_FALSE(other.child->Ended());
}

}  // namespace
