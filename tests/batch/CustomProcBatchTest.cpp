// The batch without windows, over the fake of the machine's processes: the
// progress arithmetic on engine output, whole batches whose engine cannot
// start (an empty program folder), with Stop, the close box and the after-job
// actions, and Stop at every step of a batch while the fake fails. The tests
// against real processes are in BatchOwnEngineTest.cpp.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include "BatchTestSupport.h"
#include "Errors.h"

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

// ---- Stop at every step of a batch, with the machine's processes failing ---------

enum class StopAt {
  Never,
  BeforeEngine,           // the first job's pause before its engine starts
  EngineRunning,          // the first job's engine runs
  LeftoverHoldsWait,      // the first job's engine has ended, a leftover holds the wait
  SecondJobBeforeEngine,  // the second job's pause before its engine starts
};

enum class Fault {
  None,
  CannotStart,       // no engine starts
  EndRefusedOnce,    // the engine outlives the first request to end it
  EndRefusedAlways,  // the engine outlives every request and exits by itself
  SameUserLeftover,  // this user's "revc.exe" runs on for a while
  OtherUsersEngine,  // another user's "evc.exe" runs all along
};

struct StepCase {
  const char* label;
  StopAt at;
  Fault fault;
  bool close_box;
  // expected
  int jobs;  // jobs the batch went through (and "parameter: " lines)
  int engines_started;
  int folder_opens;      // after-job actions
  const char* log_line;  // a line the log must hold; nullptr: none asked
};

void PrintTo(const StepCase& c, std::ostream* out) { *out << c.label; }

constexpr int kLeftoverEndsAtMs = 9000;
constexpr int kStubbornEngineRunsMs = 8000;

std::string ReadLog(const BatchRig& rig) {
  std::ifstream log(rig.program.Path() + "log.txt");
  std::stringstream text;
  text << log.rdbuf();
  return text.str();
}

// An engine file the fake may "start": it is never executed.
void InstallEngineFile(const BatchRig& rig) {
  const std::string engine = rig.program.Path() + "evc.exe";
  std::ofstream(engine) << "#!/bin/false\n";
  ::chmod(engine.c_str(), 0755);
}

class StopStepTest : public ::testing::TestWithParam<StepCase> {};

// Whatever the step and the fault: the batch comes to its end, every engine it
// started has ended, no process is signalled by id (the batch ends only its
// own engines, through their runs), the windows are usable again and only a
// Stop skips the after-job actions.
TEST_P(StopStepTest, TheBatchEndsItsOwnEnginesOnlyAndComesBack) {
  const StepCase& c = GetParam();
  BatchRig rig;
  rig.AddRow("/music/a.mp3", true);
  rig.AddRow("/music/b.mp3", true);
  fake_process::Env& machine = rig.processes;
  if (c.fault != Fault::CannotStart) InstallEngineFile(rig);
  machine.EngineOutput = "frame=   1 fps=0.0 q=0.0 size=       0kB time=00:00:01.00 bitrate=";
  switch (c.fault) {
    case Fault::None:
    case Fault::CannotStart:
      break;
    case Fault::EndRefusedOnce:
      machine.EndRefusals = 1;
      break;
    case Fault::EndRefusedAlways:
      machine.EndRefusals = fake_process::kNever;
      machine.EngineRunsMs = kStubbornEngineRunsMs;
      break;
    case Fault::SameUserLeftover:
      machine.Others.push_back({7001, "revc.exe", fake_process::kOwnUser, kLeftoverEndsAtMs});
      break;
    case Fault::OtherUsersEngine:
      machine.Others.push_back({7002, "evc.exe", fake_process::kOtherUser, fake_process::kNever});
      break;
  }

  bool pressed = false;
  bool held_too_long = false;
  rig.ui.OnEvents = [&] {
    // A batch that waits far beyond its pauses has failed: everything ends.
    if (rig.ui.PausedMs > 60000 && !held_too_long) {
      held_too_long = true;
      machine.Others.clear();
      machine.EngineRunsMs = 0;
    }
    if (pressed || c.at == StopAt::Never || !rig.windows.Shown) return;
    const auto& engines = machine.Engines;
    bool now = false;
    switch (c.at) {
      case StopAt::Never:
        break;
      case StopAt::BeforeEngine:
        now = engines.empty();
        break;
      case StopAt::EngineRunning:
        now = engines.size() == 1 && !machine.Finished(*engines[0]);
        break;
      case StopAt::LeftoverHoldsWait:
        now = engines.size() == 1 && machine.Finished(*engines[0]) &&
              machine.Alive(machine.Others.at(0));
        break;
      case StopAt::SecondJobBeforeEngine:
        now = rig.Proc().CurrentIndex == 1 && engines.size() == 1;
        break;
    }
    if (!now) return;
    pressed = true;
    if (c.close_box) {
      rig.Proc().ProgressFormClose();
    } else {
      rig.Proc().btnStop1Click();
    }
  };
  rig.Proc().ConvertAll(rig.list);

  EXPECT_FALSE(held_too_long) << "the batch did not come to its end";
  EXPECT_EQ(pressed, c.at != StopAt::Never);
  EXPECT_EQ(rig.Proc().CurrentIndex, c.jobs);
  EXPECT_EQ(rig.ParameterLines().size(), static_cast<size_t>(c.jobs));
  EXPECT_EQ(machine.StartedEngines(), c.engines_started);
  EXPECT_EQ(machine.RunningEngines(), 0) << "an engine of the batch was left running";
  EXPECT_TRUE(machine.Signals.empty()) << "a process was signalled by its id";
  for (const fake_process::Process& other : machine.Others) {
    EXPECT_FALSE(other.Signalled) << other.Name << " of another program was ended";
  }
  if (c.fault == Fault::SameUserLeftover) {
    // The leftover is this user's engine: the job lasts as long as it runs.
    EXPECT_GE(rig.ui.PausedMs, kLeftoverEndsAtMs);
  }
  if (c.fault == Fault::EndRefusedAlways) {
    // Stop gave up on the engine; the job lasted until it exited by itself.
    EXPECT_GE(rig.ui.PausedMs, kStubbornEngineRunsMs);
  }
  if (c.log_line != nullptr) {
    EXPECT_NE(ReadLog(rig).find(c.log_line), std::string::npos) << c.log_line;
  }
  EXPECT_EQ(static_cast<int>(rig.OpenedFolders.size()), c.folder_opens);
  EXPECT_FALSE(rig.Proc().StopRequested);
  EXPECT_FALSE(rig.Proc().BatchRunning());
  EXPECT_FALSE(rig.windows.Shown);
  EXPECT_TRUE(rig.windows.MainEnabled);
}

INSTANTIATE_TEST_SUITE_P(
    Steps, StopStepTest,
    ::testing::Values(
        StepCase{"NoStop", StopAt::Never, Fault::None, false, 2, 2, 1, nullptr},
        StepCase{"NoStopNoEngineStarts", StopAt::Never, Fault::CannotStart, false, 2, 0, 1,
                 nullptr},
        StepCase{"NoStopOtherUsersEngine", StopAt::Never, Fault::OtherUsersEngine, false, 2, 2, 1,
                 nullptr},
        StepCase{"BeforeEngine", StopAt::BeforeEngine, Fault::None, false, 1, 0, 0, nullptr},
        StepCase{"EngineRunning", StopAt::EngineRunning, Fault::None, false, 1, 1, 0, nullptr},
        StepCase{"EngineRunningCloseBox", StopAt::EngineRunning, Fault::None, true, 1, 1, 1,
                 nullptr},
        StepCase{"EngineRunningEndRefusedOnce", StopAt::EngineRunning, Fault::EndRefusedOnce, false,
                 1, 1, 0, "Terminate process error."},
        StepCase{"EngineRunningEndRefusedAlways", StopAt::EngineRunning, Fault::EndRefusedAlways,
                 false, 1, 1, 0, "Engine process could not be ended: evc.exe"},
        StepCase{"EngineRunningOtherUsersEngine", StopAt::EngineRunning, Fault::OtherUsersEngine,
                 false, 1, 1, 0, nullptr},
        StepCase{"LeftoverHoldsWait", StopAt::LeftoverHoldsWait, Fault::SameUserLeftover, false, 1,
                 1, 0, nullptr},
        StepCase{"LeftoverHoldsWaitCloseBox", StopAt::LeftoverHoldsWait, Fault::SameUserLeftover,
                 true, 1, 1, 1, nullptr},
        StepCase{"SecondJobBeforeEngine", StopAt::SecondJobBeforeEngine, Fault::None, false, 2, 1,
                 0, nullptr},
        StepCase{"SecondJobBeforeEngineNoEngineStarts", StopAt::SecondJobBeforeEngine,
                 Fault::CannotStart, false, 2, 0, 0, nullptr}),
    [](const auto& test) { return std::string(test.param.label); });

}  // namespace
