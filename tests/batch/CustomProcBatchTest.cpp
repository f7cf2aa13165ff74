// The batch without windows: the progress arithmetic on engine output, and
// whole batches whose engine cannot start (an empty program folder), with
// Stop, the close box and the after-job actions.
#include <gtest/gtest.h>

#include "../runner/RunnerTestSupport.h"
#include "BatchTestSupport.h"
#include "Errors.h"
#include "ProcessTable.h"

namespace {

using batch_test::BatchRig;

// ---- progress from the engine's output -------------------------------------------

struct RefreshCase {
  const char* label;
  std::string codec;
  std::string extension;
  std::string duration;
  int file_position;  // left by the previous refresh
  int file_max;
  std::string chunk;
  // expected
  int total_max;
  int total_position;
  std::string persent;
  int file_max_after;
  int file_position_after;
};

void PrintTo(const RefreshCase& c, std::ostream* out) { *out << c.label; }

class RefreshTest : public ::testing::TestWithParam<RefreshCase> {};

TEST_P(RefreshTest, SecondChunkMovesTheBarsFromTheTimeAfterTheRightEqualsSign) {
  const RefreshCase& c = GetParam();
  BatchRig rig;
  TCustomProc& proc = rig.Proc();
  rig.common.ConvertParameter.CodecOption = c.codec;
  rig.common.ConvertParameter.OutputExtension = c.extension;
  rig.common.ConvertParameter.SourceFile = "/music/song.mp3";
  proc.Duration = c.duration;
  proc.TotalCount = 3;
  proc.CurrentIndex = 1;
  proc.RefreshCount = 1;  // the job's first chunk has been seen
  proc.Progress.FilePosition = c.file_position;
  proc.Progress.FileMax = c.file_max;
  proc.Progress.TotalPosition = 7;
  proc.Progress.Persent = "Current: 1, Total: 3";

  proc.EngineOutputCallback(c.chunk);

  const ConvertingProgress& p = proc.Progress;
  EXPECT_EQ(p.Status, c.chunk);
  EXPECT_EQ(p.CurFileName, "/music/song.mp3");
  EXPECT_EQ(p.TotalMax, c.total_max);
  EXPECT_EQ(p.TotalPosition, c.total_position);
  EXPECT_EQ(p.Persent, c.persent);
  EXPECT_EQ(p.FileMin, 0);
  EXPECT_EQ(p.FileMax, c.file_max_after);
  EXPECT_EQ(p.FilePosition, c.file_position_after);
  EXPECT_EQ(rig.windows.ProgressChanges, 1);
}

const char kAudio[] = " -acodec mp3 -vn";
const char kLine[] = "size=     234kB time=17.52 bitrate= 128.5kbits/s";

INSTANTIATE_TEST_SUITE_P(
    Chunks, RefreshTest,
    ::testing::Values(
        // 1500 div 30 + 100 = 150; the third "="-piece begins with 17.52.
        RefreshCase{"WorkedExample", kAudio, ".mp3", "40", 15, 29, kLine, 300, 150,
                    "Current: 2 , Total: 3.", 40, 17},
        RefreshCase{"NoTimeYet", kAudio, ".mp3", "40", 15, 29,
                    "size=       0kB time=10000000000.00 bitrate=N/A", 300, 150,
                    "Current: 2 , Total: 3.", 40, 15},
        RefreshCase{"TooFewEquals", kAudio, ".mp3", "40", 15, 29, "size=  12kB time", 300, 150,
                    "Current: 2 , Total: 3.", 40, 15},
        // The tolerant number reading takes a piece without digits as 0.
        RefreshCase{"PieceWithoutDigitsReadsZero", kAudio, ".mp3", "40", 15, 29, "a=b=no time=c",
                    300, 150, "Current: 2 , Total: 3.", 40, 0},
        // A zero-second segment: the overall bar divides by 0 + 1.
        RefreshCase{"ZeroLengthSegment", kAudio, ".mp3", "0", 0, 0, kLine, 300, 100,
                    "Current: 2 , Total: 3.", 0, 0},
        // Other shapes read the fifth piece.
        RefreshCase{"VideoShapeReadsFifthPiece", " -vcodec xvid", ".avi", "40", 0, 40,
                    "frame=  10 q=2.0 size=   5kB time=7.20 bitrate= 80.1kbits/s", 300, 100,
                    "Current: 2 , Total: 3.", 40, 7},
        RefreshCase{"NarrowBand3gpReadsFifthPiece", " -acodec amr_nb", ".3gp", "40", 0, 40, kLine,
                    300, 100, "Current: 2 , Total: 3.", 40, 0},
        // A negative segment leaves the per-file maximum at -1: the overall
        // step would divide by zero and is skipped, the refresh goes on.
        RefreshCase{"NegativeSegment", kAudio, ".mp3", "-1", 0, -1, kLine, 300, 7,
                    "Current: 1, Total: 3", -1, 0},
        RefreshCase{"TimeBeyondTheSegmentStopsAtItsEnd", kAudio, ".mp3", "10", 0, 10, kLine, 300,
                    100, "Current: 2 , Total: 3.", 10, 10}),
    [](const auto& test) { return std::string(test.param.label); });

TEST(Refresh, FirstChunkOfAJobOnlyReachesTheStatusBar) {
  BatchRig rig;
  TCustomProc& proc = rig.Proc();
  rig.common.ConvertParameter.CodecOption = kAudio;
  rig.common.ConvertParameter.OutputExtension = ".mp3";
  proc.Duration = "40";
  proc.TotalCount = 2;
  proc.ProgressFormShow();
  const ConvertingProgress before = proc.Progress;
  proc.EngineOutputCallback(kLine);
  EXPECT_EQ(proc.Progress.Status, kLine);
  EXPECT_EQ(proc.Progress.FilePosition, before.FilePosition);
  EXPECT_EQ(proc.Progress.FileMax, 1);
  EXPECT_EQ(proc.Progress.TotalMax, 1);
  EXPECT_EQ(proc.Progress.Persent, "Current: 1, Total: 2");
  // The second chunk moves the bars: the overall bar from the show handler's
  // per-file values, the per-file bar from the chunk.
  proc.EngineOutputCallback(kLine);
  EXPECT_EQ(proc.Progress.Persent, "Current: 1 , Total: 2.");
  EXPECT_EQ(proc.Progress.TotalMax, 200);
  EXPECT_EQ(proc.Progress.TotalPosition, 0);
  EXPECT_EQ(proc.Progress.FilePosition, 17);
}

// The log's messages that tell of an error, without the stamp.
std::vector<std::string> ErrorMessages(const BatchRig& rig) {
  std::ifstream log(rig.program.Path() + "log.txt");
  std::vector<std::string> errors;
  for (std::string line; std::getline(log, line);) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    const auto at = line.find('|');
    if (line.find("error") != std::string::npos) errors.push_back(line.substr(at + 1));
  }
  return errors;
}

// One read of the engine's pipe as the runner hands it over: every piece, then
// the newest piece as the chunk for the status bar.
void DeliverRead(TCustomProc& proc, const std::vector<std::string>& pieces) {
  for (const std::string& piece : pieces) proc.EngineOutputRead(piece);
  proc.EngineOutputCallback(pieces.back());
}

// A file the engine refuses: its reason line lands in the log, wherever it
// stands in the chunk; progress lines and the library's own chatter do not.
TEST(Refresh, TheEnginesReasonIsLoggedAndProgressIsNot) {
  BatchRig rig;
  TCustomProc& proc = rig.Proc();
  proc.ProgressFormShow();
  DeliverRead(proc, {kLine});
  DeliverRead(proc, {"[mp3 @ 0x5592] Failed to read frame size\n"});
  DeliverRead(proc, {kLine + std::string("\revc.exe: cannot open a b.mp3: Invalid data\r\n")});
  DeliverRead(proc, {"evc.exe: no space left on the disk"});
  proc.EngineOutputEnded();

  EXPECT_EQ(ErrorMessages(rig),
            (std::vector<std::string>{"Convert error. ->evc.exe: cannot open a b.mp3: Invalid data",
                                      "Convert error. ->evc.exe: no space left on the disk"}));
}

// The engine's reason however it comes: its prefix written apart from the
// reason (the engine writes "evc.exe: ", the reason and the line break one
// after the other), a reason longer than the pieces the pipe is read in, a
// reason after more output than the status bar is given. The log's line and
// the status bar carry the whole reason.
struct ReasonCase {
  const char* label;
  std::vector<std::vector<std::string>> reads;  // pieces per read of the pipe
  std::string reason;                           // the line expected
};
void PrintTo(const ReasonCase& c, std::ostream* out) { *out << c.label; }

// `text` cut into pieces of at most 1023 bytes, as the runner reads a backlog.
std::vector<std::string> Pieces(const std::string& text) {
  std::vector<std::string> pieces;
  for (std::size_t at = 0; at < text.size(); at += 1023) pieces.push_back(text.substr(at, 1023));
  return pieces;
}

std::vector<ReasonCase> ReasonCases() {
  const std::string bad_length = "evc.exe: bad value '0' for -t: the length must be above zero";
  const std::string long_folder = "/tmp/" + std::string(5000, 'd') + "/";
  const std::string too_long =
      "evc.exe: cannot write " + long_folder + "song.mp3: File name too long";
  std::string progress;
  for (int i = 0; i < 200; ++i) progress += kLine + std::string("\r");
  return {
      {"PrefixInAPieceOfItsOwn", {{"evc.exe: "}, {bad_length.substr(9), "\n"}}, bad_length},
      {"PrefixAloneInTheLastRead",
       {{"Input: song.mp3\n", "evc.exe: "}, {bad_length.substr(9)}, {"\n"}},
       bad_length},
      {"ReasonLongerThanAPiece",
       {Pieces("Output: " + long_folder + "\n" + too_long + "\n")},
       too_long},
      {"ReasonAfterMuchProgress", {Pieces(progress + too_long + "\r\n")}, too_long},
      {"ReasonWithoutALineBreak", {Pieces(too_long)}, too_long},
  };
}

class ReasonTest : public ::testing::TestWithParam<ReasonCase> {};

TEST_P(ReasonTest, TheWholeReasonReachesTheLogAndTheStatusBar) {
  BatchRig rig;
  TCustomProc& proc = rig.Proc();
  proc.ProgressFormShow();
  for (const std::vector<std::string>& read : GetParam().reads) DeliverRead(proc, read);
  proc.EngineOutputEnded();
  EXPECT_EQ(ErrorMessages(rig), std::vector<std::string>{"Convert error. ->" + GetParam().reason});
  EXPECT_EQ(proc.Progress.Status, GetParam().reason);
}

INSTANTIATE_TEST_SUITE_P(Reasons, ReasonTest, ::testing::ValuesIn(ReasonCases()),
                         [](const auto& test) { return std::string(test.param.label); });

// A reason beyond any sensible length keeps its beginning and its end, where
// the system's words stand.
TEST(Refresh, AnEndlessReasonLineIsCutInTheMiddle) {
  BatchRig rig;
  TCustomProc& proc = rig.Proc();
  proc.ProgressFormShow();
  const std::string reason = "evc.exe: cannot open " + std::string(200000, 'x') + ": No such file";
  DeliverRead(proc, Pieces(reason + "\n"));
  const std::vector<std::string> errors = ErrorMessages(rig);
  ASSERT_EQ(errors.size(), 1u);
  EXPECT_LE(errors[0].size(), std::size_t{70 * 1024});
  EXPECT_TRUE(errors[0].starts_with("Convert error. ->evc.exe: cannot open xxx"))
      << errors[0].substr(0, 80);
  EXPECT_TRUE(errors[0].ends_with("xxx: No such file"));
  EXPECT_NE(errors[0].find("x ... x"), std::string::npos);
}

TEST(Refresh, WithoutWindowsConnectedIsAClearError) {
  BatchRig rig;
  rig.Proc().SetBatchWindows(nullptr);
  EXPECT_THROW(rig.Proc().EngineOutputCallback(kLine), std::logic_error);
  EXPECT_THROW(rig.Proc().ConvertAll(rig.list), std::logic_error);
}

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
  BatchRig rig;
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
  BatchRig rig;
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

// ---- whole batches whose engine cannot start -------------------------------------

TEST(ConvertAll, EmptyListWarnsAndLeavesTheWindowsUsable) {
  BatchRig rig;
  rig.windows.MainEnabled = false;
  rig.Proc().ConvertAll(rig.list);
  ASSERT_EQ(rig.ui.Boxes.size(), 1u);
  EXPECT_EQ(rig.ui.Boxes[0].text, "Please add media files you want to convert into the list.");
  EXPECT_EQ(rig.ui.Boxes[0].icon, MessageIcon::Warning);
  EXPECT_EQ(rig.windows.ShowCalls, 0);
  EXPECT_TRUE(rig.windows.MainEnabled);
  EXPECT_FALSE(rig.windows.Shown);
  EXPECT_TRUE(rig.OpenedFolders.empty());
  EXPECT_TRUE(rig.ParameterLines().empty());
}

TEST(ConvertAll, RowsButNoneCheckedStillRunTheAfterJobActions) {
  BatchRig rig;
  rig.AddRow("/music/a.mp3", false);
  rig.windows.Shutdown = true;
  rig.Proc().ConvertAll(rig.list);
  EXPECT_EQ(rig.Proc().TotalCount, 0);
  EXPECT_EQ(rig.windows.ShowCalls, 0);
  EXPECT_EQ(rig.OpenedFolders.size(), 1u);
  EXPECT_EQ(rig.power.Requests, 1);
  EXPECT_EQ(rig.windows.Ended, 1);
  EXPECT_TRUE(rig.ParameterLines().empty());
}

TEST(ConvertAll, EngineThatCannotStartPassesEveryStepAndIsNotReported) {
  BatchRig rig;
  rig.AddRow("/music/first song.mp3", true);
  rig.AddRow("/music/skipped.mp3", false);
  rig.AddRow("/music/second.mp3", true, "00:00:01", "00:00:04");
  rig.Proc().ConvertAll(rig.list);

  EXPECT_EQ(rig.Proc().TotalCount, 2);
  EXPECT_EQ(rig.Proc().CurrentIndex, 2);
  EXPECT_TRUE(rig.ui.Boxes.empty());
  // One "parameter: " line per checked row, the line that was built.
  const std::vector<std::string> lines = rig.ParameterLines();
  ASSERT_EQ(lines.size(), 2u);
  EXPECT_NE(lines[0].find("\"/music/first song.mp3\""), std::string::npos) << lines[0];
  EXPECT_EQ(lines[1], rig.Proc().CommandLine);
  EXPECT_NE(lines[1].find(" -ss 00:00:01 -t 3 "), std::string::npos) << lines[1];
  // The window was shown for each job but its show handler ran once.
  EXPECT_EQ(rig.windows.ShowCalls, 2);
  EXPECT_EQ(rig.windows.FormShows, 1);
  // Each job waited at least 2000 + 3000 ms with the events running.
  EXPECT_GE(rig.ui.PausedMs, 10000);
  EXPECT_FALSE(rig.windows.Shown);
  EXPECT_TRUE(rig.windows.MainEnabled);
  EXPECT_EQ(rig.OpenedFolders, std::vector<std::string>{rig.output.Path()});
  EXPECT_EQ(rig.power.Requests, 0);
  EXPECT_FALSE(rig.Proc().BatchRunning());
}

TEST(ConvertAll, AJobThatCannotBeBuiltEndsTheBatchWithTheWindowsRestored) {
  BatchRig rig;
  rig.AddRow("/music/good.mp3", true);
  rig.AddRow("/music/bad.mp3", true, "xx:00:00", "00:00:05");
  rig.AddRow("/music/never.mp3", true);
  EXPECT_THROW(rig.Proc().ConvertAll(rig.list), ConversionError);
  EXPECT_EQ(rig.Proc().CurrentIndex, 1);
  EXPECT_EQ(rig.ParameterLines().size(), 1u);
  EXPECT_FALSE(rig.windows.Shown);
  EXPECT_TRUE(rig.windows.MainEnabled);
  EXPECT_FALSE(rig.Proc().BatchRunning());
  EXPECT_TRUE(rig.OpenedFolders.empty());
  // The controller is ready for the next batch.
  rig.inputs.Rows[1][4] = "00:00:00";
  rig.list.SetCell(1, SourceColumn::StartTime, "00:00:00");
  rig.list.SetCell(0, SourceColumn::CheckStatus, "False");
  rig.list.SetCell(2, SourceColumn::CheckStatus, "False");
  rig.Proc().ConvertAll(rig.list);
  EXPECT_EQ(rig.Proc().CurrentIndex, 1);
  EXPECT_EQ(rig.OpenedFolders.size(), 1u);
}

struct StopCase {
  const char* label;
  bool close_box;  // the close box instead of Stop
  int answer;
  int jobs;          // jobs run of the two checked rows
  int folder_opens;  // after-job actions
  const char* question;
};

void PrintTo(const StopCase& c, std::ostream* out) { *out << c.label; }

class StopTest : public ::testing::TestWithParam<StopCase> {};

// Pressed while the first job pauses before its engine starts: that job still
// runs to its end, and on Yes the batch ends after it.
TEST_P(StopTest, YesMakesTheCurrentJobTheLast) {
  const StopCase& c = GetParam();
  BatchRig rig;
  rig.AddRow("/music/a.mp3", true);
  rig.AddRow("/music/b.mp3", true);
  rig.ui.Answer = c.answer;
  bool pressed = false;
  bool shown_at_question = false;
  rig.ui.OnBox = [&](const list_test::ScriptedUi::Box&) { shown_at_question = rig.windows.Shown; };
  rig.ui.OnEvents = [&] {
    if (pressed || !rig.windows.Shown) return;
    pressed = true;
    if (c.close_box) {
      rig.Proc().ProgressFormClose();
    } else {
      rig.Proc().btnStop1Click();
    }
  };
  rig.Proc().ConvertAll(rig.list);

  ASSERT_EQ(rig.ui.Boxes.size(), 1u);
  EXPECT_EQ(rig.ui.Boxes[0].text, c.question);
  EXPECT_EQ(rig.ui.Boxes[0].icon, MessageIcon::None);
  EXPECT_EQ(rig.ui.Boxes[0].buttons, MessageButtons::YesNo);
  EXPECT_TRUE(shown_at_question);
  EXPECT_EQ(rig.Proc().CurrentIndex, c.jobs);
  EXPECT_EQ(rig.ParameterLines().size(), static_cast<size_t>(c.jobs));
  EXPECT_EQ(static_cast<int>(rig.OpenedFolders.size()), c.folder_opens);
  EXPECT_FALSE(rig.Proc().StopRequested);
  EXPECT_FALSE(rig.windows.Shown);
  EXPECT_TRUE(rig.windows.MainEnabled);
}

INSTANTIATE_TEST_SUITE_P(
    Answers, StopTest,
    ::testing::Values(
        StopCase{"StopYes", false, IDYES, 1, 0, "Are you sure you want to stop the work ? "},
        StopCase{"StopNo", false, IDNO, 2, 1, "Are you sure you want to stop the work ? "},
        // The close box does not count as Stop: the after-job actions run.
        StopCase{"CloseBoxYes", true, IDYES, 1, 1, "Are you sure to stop processing ?"}),
    [](const auto& test) { return std::string(test.param.label); });

TEST(ConvertAll, StopInTheLastJobSkipsTheAfterJobActionsOnlyForThatBatch) {
  BatchRig rig;
  rig.AddRow("/music/a.mp3", true);
  rig.windows.Shutdown = true;
  bool pressed = false;
  rig.ui.OnEvents = [&] {
    if (pressed || !rig.windows.Shown) return;
    pressed = true;
    rig.Proc().btnStop1Click();
    // Stop's own steps, seen at once.
    EXPECT_TRUE(rig.Proc().StopRequested);
    EXPECT_FALSE(rig.windows.Shown);
    EXPECT_TRUE(rig.windows.MainEnabled);
    EXPECT_EQ(rig.Proc().RowIndex, 11);
    EXPECT_EQ(rig.Proc().Progress.Persent, "Current: 1, Total: ...");
    EXPECT_EQ(rig.Proc().Progress.TotalMax, 0);
  };
  rig.Proc().ConvertAll(rig.list);
  EXPECT_TRUE(rig.OpenedFolders.empty());
  EXPECT_EQ(rig.power.Requests, 0);
  EXPECT_EQ(rig.windows.Ended, 0);

  rig.ui.OnEvents = nullptr;
  rig.Proc().ConvertAll(rig.list);
  EXPECT_EQ(rig.OpenedFolders.size(), 1u);
  EXPECT_EQ(rig.power.Requests, 1);
  EXPECT_EQ(rig.windows.Ended, 1);
}

}  // namespace
