// RunAndCapture and TAdvanceSystem against a real child process: the stand-in
// engine built from fixtures/runner_fixture.cpp.
#include <dirent.h>
#include <gtest/gtest.h>
#include <sys/wait.h>

#include <chrono>
#include <fstream>
#include <future>
#include <mutex>
#include <sstream>

#include "AdvanceSystem.h"
#include "RunnerTestSupport.h"

namespace {

using namespace runner_test;
using Clock = std::chrono::steady_clock;

// Collects the delivered chunks and when each arrived. The output procedure
// runs on whichever thread runs the loop.
struct Capture {
  std::mutex mutex;
  std::vector<std::string> chunks;
  std::vector<Clock::time_point> times;

  OutputProcedure Procedure() {
    return [this](const std::string& chunk) {
      std::lock_guard lock(mutex);
      chunks.push_back(chunk);
      times.push_back(Clock::now());
    };
  }
  std::string All() {
    std::lock_guard lock(mutex);
    std::string all;
    for (const std::string& chunk : chunks) all += chunk;
    return all;
  }
};

EngineCommand Command(std::vector<std::string> arguments) {
  EngineCommand command;
  for (const std::string& argument : arguments) command.Line += argument + " ";
  command.Arguments = std::move(arguments);
  return command;
}

int OpenDescriptorCount() {
  int count = 0;
  DIR* dir = ::opendir("/proc/self/fd");
  while (dirent* entry = ::readdir(dir)) count += entry->d_name[0] != '.';
  ::closedir(dir);
  return count;
}

// ---- Backlogs: only the newest piece is delivered ---------------------------

struct BacklogCase {
  const char* name;
  size_t bytes;         // written in one write, so they wait at one poll
  int linger_ms;        // how long the engine stays after writing
  size_t piece_offset;  // where the delivered piece starts in the stream
  size_t piece_length;
};

void PrintTo(const BacklogCase& c, std::ostream* os) { *os << c.name; }

class BacklogTest : public ::testing::TestWithParam<BacklogCase> {};

TEST_P(BacklogTest, DeliversOnlyTheNewestPiece) {
  const BacklogCase& c = GetParam();
  TempFolder folder;
  Capture capture;
  ASSERT_TRUE(RunAndCapture(Command({FixtureProgram(), "write:" + std::to_string(c.bytes),
                                     "sleep:" + std::to_string(c.linger_ms)}),
                            capture.Procedure(), folder.Path()));
  ASSERT_EQ(capture.chunks.size(), 1u);
  EXPECT_EQ(capture.chunks[0].size(), c.piece_length);
  EXPECT_EQ(capture.chunks[0], Pattern(c.piece_offset, c.piece_length));
}

INSTANTIATE_TEST_SUITE_P(Runner, BacklogTest,
                         ::testing::Values(BacklogCase{"OneByte", 1, 300, 0, 1},
                                           BacklogCase{"ExactlyOnePiece", 1023, 300, 0, 1023},
                                           BacklogCase{"OneByteOverAPiece", 1024, 300, 1023, 1},
                                           BacklogCase{"TwoFullPieces", 2046, 300, 1023, 1023},
                                           BacklogCase{"ThreeThousandBytes", 3000, 300, 2046, 954},
                                           BacklogCase{"ThreeThousandBytesEngineGone", 3000, 0,
                                                       2046, 954},
                                           BacklogCase{"FourThousandBytes", 4000, 300, 3069, 931}),
                         [](const auto& test) { return std::string(test.param.name); });

// Whoever must not miss a line gets every piece, the ones the backlog keeps
// from the chunks included, each before the chunk of its read.
TEST_P(BacklogTest, EveryPieceReachesTheWholeOutputProcedure) {
  const BacklogCase& c = GetParam();
  TempFolder folder;
  std::mutex mutex;
  std::vector<std::string> events;  // "piece:" or "chunk:" and the text
  const auto record = [&](const char* kind) {
    return [&, kind](const std::string& text) {
      std::lock_guard lock(mutex);
      events.push_back(kind + text);
    };
  };
  ASSERT_TRUE(RunAndCapture(Command({FixtureProgram(), "write:" + std::to_string(c.bytes),
                                     "sleep:" + std::to_string(c.linger_ms)}),
                            record("chunk:"), folder.Path(), {}, record("piece:")));
  std::string whole;
  for (std::size_t i = 0; i + 1 < events.size(); ++i) {
    ASSERT_TRUE(events[i].starts_with("piece:")) << i;
    whole += events[i].substr(6);
  }
  ASSERT_FALSE(events.empty());
  EXPECT_EQ(events.back(), "chunk:" + Pattern(c.piece_offset, c.piece_length));
  EXPECT_EQ(whole, Pattern(0, c.bytes));
}

TEST(RunAndCaptureTest, TwoFullPiecesMakeNoThirdReadThatWaitsForTheEngine) {
  // A third read after the two pieces would block until "TAIL" arrives and
  // deliver that instead of the second piece.
  TempFolder folder;
  Capture capture;
  ASSERT_TRUE(RunAndCapture(
      Command({FixtureProgram(), "write:2046", "sleep:1500", "text:TAIL", "sleep:100"}),
      capture.Procedure(), folder.Path()));
  ASSERT_EQ(capture.chunks.size(), 2u);
  EXPECT_EQ(capture.chunks[0], Pattern(1023, 1023));
  EXPECT_EQ(capture.chunks[1], "TAIL");
}

// ---- Start failures -----------------------------------------------------------

struct StartFailureCase {
  const char* name;
  std::vector<std::string> arguments;  // "@" stands for the fixture program
  bool missing_working_folder;
};

void PrintTo(const StartFailureCase& c, std::ostream* os) { *os << c.name; }

class StartFailureTest : public ::testing::TestWithParam<StartFailureCase> {};

TEST_P(StartFailureTest, ReturnsFalseAndDeliversNothing) {
  TempFolder folder;
  std::ofstream(folder / "notes.txt") << "not a program\n";
  std::vector<std::string> arguments;
  for (const std::string& a : GetParam().arguments) {
    if (a == "@") {
      arguments.push_back(FixtureProgram());
    } else if (a.rfind("./", 0) == 0) {
      arguments.push_back(folder / a.substr(2));
    } else {
      arguments.push_back(a);
    }
  }
  std::string working = GetParam().missing_working_folder ? folder / "gone" : folder.Path();
  bool called = false;
  int descriptors_before = OpenDescriptorCount();
  EXPECT_FALSE(RunAndCapture(
      Command(arguments), [&](const std::string&) { called = true; }, working));
  EXPECT_FALSE(called);
  EXPECT_EQ(OpenDescriptorCount(), descriptors_before);
  // Nothing was started that would need reaping.
  EXPECT_EQ(::waitpid(-1, nullptr, WNOHANG), -1);
}

INSTANTIATE_TEST_SUITE_P(
    Runner, StartFailureTest,
    ::testing::Values(StartFailureCase{"EmptyLine", {}, false},
                      StartFailureCase{"EmptyEnginePath", {"", "-y"}, false},
                      StartFailureCase{"MissingEngine", {"./evc.exe", "-y", "-i", "x"}, false},
                      StartFailureCase{"NotExecutable", {"./notes.txt"}, false},
                      StartFailureCase{"MissingWorkingFolder", {"@", "text:x"}, true}),
    [](const auto& test) { return std::string(test.param.name); });

// ---- What the engine is given ---------------------------------------------------

TEST(RunAndCaptureTest, ArgumentsReachTheEngineUnchangedWithoutAShell) {
  TempFolder folder;
  std::vector<std::string> arguments = {FixtureProgram(),
                                        "args",
                                        "/music/my song.mp3",
                                        "\"quoted\"",
                                        "Überlänge – ß.ogg",
                                        "$(touch injected)",
                                        "a;touch injected2",
                                        "*",
                                        ""};
  Capture capture;
  ASSERT_TRUE(RunAndCapture(Command(arguments), capture.Procedure(), folder.Path()));
  std::string expected;
  for (const std::string& a : arguments) expected += a + "\n";
  EXPECT_EQ(capture.All(), expected);
  EXPECT_FALSE(fs::exists(folder / "injected"));
  EXPECT_FALSE(fs::exists(folder / "injected2"));
}

TEST(RunAndCaptureTest, EngineRunsInTheWorkingFolderInItsOwnSessionWithAQuietInput) {
  TempFolder folder;
  Capture capture;
  ASSERT_TRUE(RunAndCapture(
      Command({FixtureProgram(), "cwd", "text:|", "session", "text:|", "stdin", "text:|", "fds"}),
      capture.Procedure(), folder.Path()));
  EXPECT_EQ(capture.All(),
            fs::canonical(folder.Path()).string() + "|own-session|stdin:fifo:quiet|fds:0");
}

TEST(RunAndCaptureTest, StandardOutputAndStandardErrorShareOnePipe) {
  TempFolder folder;
  Capture capture;
  ASSERT_TRUE(RunAndCapture(Command({FixtureProgram(), "text:size=1kB ", "err:time=2.50 "}),
                            capture.Procedure(), folder.Path()));
  EXPECT_EQ(capture.All(), "size=1kB time=2.50 ");
}

TEST(RunAndCaptureTest, OutputWrittenJustBeforeTheEngineEndsIsDelivered) {
  TempFolder folder;
  Capture capture;
  ASSERT_TRUE(RunAndCapture(Command({FixtureProgram(), "sleep:300", "text:last words", "exit:3"}),
                            capture.Procedure(), folder.Path()));
  EXPECT_EQ(capture.All(), "last words");
}

TEST(RunAndCaptureTest, ASilentEngineDeliversNothing) {
  TempFolder folder;
  Capture capture;
  ASSERT_TRUE(
      RunAndCapture(Command({FixtureProgram(), "sleep:300"}), capture.Procedure(), folder.Path()));
  EXPECT_TRUE(capture.chunks.empty());
}

TEST(RunAndCaptureTest, DeliveriesAreAtLeastAPauseApartAndLoseNoSmallOutput) {
  TempFolder folder;
  Capture capture;
  ASSERT_TRUE(RunAndCapture(Command({FixtureProgram(), "repeat:30:40:x"}), capture.Procedure(),
                            folder.Path()));
  EXPECT_EQ(capture.All(), std::string(30, 'x'));
  ASSERT_GE(capture.chunks.size(), 2u);
  for (size_t i = 1; i < capture.times.size(); ++i) {
    EXPECT_GE(capture.times[i] - capture.times[i - 1], std::chrono::milliseconds(500))
        << "between chunk " << i - 1 << " and " << i;
  }
}

TEST(RunAndCaptureTest, EveryDescriptorIsClosedAfterARun) {
  TempFolder folder;
  int before = OpenDescriptorCount();
  for (int i = 0; i < 3; ++i) {
    ASSERT_TRUE(RunAndCapture(Command({FixtureProgram(), "text:x"}), nullptr, folder.Path()));
  }
  EXPECT_EQ(OpenDescriptorCount(), before);
}

// ---- The worker thread ---------------------------------------------------------

TEST(AdvanceSystemTest, NothingRunsBeforeStartAndFreeingWaitsForTheEngine) {
  TempFolder folder;
  std::string ready = folder / "started";
  Capture capture;
  {
    TAdvanceSystem worker(
        Command({FixtureProgram(), "ready:" + ready, "sleep:400", "text:finished"}),
        capture.Procedure(), folder.Path());
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    EXPECT_FALSE(fs::exists(ready)) << "the engine ran before Start";
    EXPECT_FALSE(worker.Finished());
    worker.Start();
    ASSERT_TRUE(WaitForFile(ready));
  }
  EXPECT_EQ(capture.All(), "finished");
  EXPECT_EQ(::waitpid(-1, nullptr, WNOHANG), -1) << "the engine was left unreaped";
}

TEST(AdvanceSystemTest, ATerminateRequestDoesNotEndTheReadLoop) {
  TempFolder folder;
  Capture capture;
  TAdvanceSystem worker(Command({FixtureProgram(), "sleep:600", "text:done"}), capture.Procedure(),
                        folder.Path());
  worker.Start();
  worker.Terminate();
  while (!worker.Finished()) std::this_thread::sleep_for(std::chrono::milliseconds(10));
  EXPECT_EQ(capture.All(), "done");
}

// ---- The worker's own engine ----------------------------------------------------

void WaitForEngineEnd(const TAdvanceSystem& worker) {
  const auto deadline = Clock::now() + std::chrono::seconds(20);
  while (!worker.EngineFinished() && Clock::now() < deadline) {
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
  }
}

TEST(AdvanceSystemTest, EngineFinishedOnlyOnceTheEngineHasEnded) {
  TempFolder folder;
  std::string ready = folder / "started";
  TAdvanceSystem worker(Command({FixtureProgram(), "ready:" + ready, "sleep:600000"}), nullptr,
                        folder.Path());
  EXPECT_FALSE(worker.EngineFinished()) << "before Start";
  worker.Start();
  ASSERT_TRUE(WaitForFile(ready));
  EXPECT_FALSE(worker.EngineFinished()) << "while the engine runs";
  ASSERT_TRUE(worker.EndEngine());
  EXPECT_TRUE(worker.EngineFinished());
}

TEST(AdvanceSystemTest, AnEngineThatCannotStartCountsAsFinished) {
  TempFolder folder;
  TAdvanceSystem worker(Command({folder / "missing-engine"}), nullptr, folder.Path());
  worker.Start();
  WaitForEngineEnd(worker);
  EXPECT_TRUE(worker.EngineFinished());
}

struct EndCase {
  const char* name;
  std::vector<std::string> steps;  // before "ready" and the long sleep
  bool asked_to_leave;             // it left on SIGTERM and removed its file
};
void PrintTo(const EndCase& c, std::ostream* os) { *os << c.name; }

class EndEngineTest : public ::testing::TestWithParam<EndCase> {};

// SIGTERM first, so the engine can remove its unfinished file; SIGKILL for an
// engine that ignores it. Either way it is gone when EndEngine returns.
TEST_P(EndEngineTest, EndsTheWorkersOwnEngine) {
  const EndCase& c = GetParam();
  TempFolder folder;
  std::string ready = folder / "started";
  std::string partial = folder / "song.amr";
  std::vector<std::string> arguments = {FixtureProgram(), "partial:" + partial};
  arguments.insert(arguments.end(), c.steps.begin(), c.steps.end());
  arguments.push_back("ready:" + ready);
  arguments.push_back("sleep:600000");
  TAdvanceSystem worker(Command(arguments), nullptr, folder.Path());
  worker.Start();
  ASSERT_TRUE(WaitForFile(ready));
  int pauses = 0;
  EXPECT_TRUE(worker.EndEngine([&](int ms) {
    ++pauses;
    std::this_thread::sleep_for(std::chrono::milliseconds(ms));
  }));
  EXPECT_TRUE(worker.EngineFinished());
  EXPECT_EQ(fs::exists(partial), !c.asked_to_leave);
  EXPECT_GE(pauses, c.asked_to_leave ? 0 : 1) << "the waits let the caller's events run";
  // Ending it again does no harm.
  EXPECT_TRUE(worker.EndEngine());
}

INSTANTIATE_TEST_SUITE_P(Engines, EndEngineTest,
                         ::testing::Values(EndCase{"LeavesOnSigterm", {}, true},
                                           EndCase{"IgnoresSigterm", {"ignore-term"}, false}),
                         [](const auto& test) { return std::string(test.param.name); });

TEST(AdvanceSystemTest, EndingTheEngineBeforeItStartsKeepsItFromStarting) {
  TempFolder folder;
  std::string ready = folder / "started";
  TAdvanceSystem worker(Command({FixtureProgram(), "ready:" + ready}), nullptr, folder.Path());
  EXPECT_TRUE(worker.EndEngine());
  worker.Start();
  while (!worker.Finished()) std::this_thread::sleep_for(std::chrono::milliseconds(10));
  EXPECT_TRUE(worker.EngineFinished());
  EXPECT_FALSE(fs::exists(ready));
}

// Freeing the worker happens on the window thread after its engine has
// finished; the pause after the last chunk must not hold it. The pause here
// is two minutes: freeing must not wait for it (one minute is far beyond any
// final read).
TEST(AdvanceSystemTest, FreeingCutsThePauseAfterAChunkShort) {
  TempFolder folder;
  Capture capture;
  CaptureTiming timing;
  timing.DeliveryPauseMs = 120000;
  auto worker = std::make_unique<TAdvanceSystem>(Command({FixtureProgram(), "text:last"}),
                                                 capture.Procedure(), folder.Path(),
                                                 OutputProcedure{}, timing);
  worker->Start();
  WaitForEngineEnd(*worker);
  while (capture.All().empty()) std::this_thread::sleep_for(std::chrono::milliseconds(5));
  auto freed = std::async(std::launch::async, [&] { worker.reset(); });
  EXPECT_EQ(freed.wait_for(std::chrono::seconds(60)), std::future_status::ready)
      << "freeing waited for the pause after the chunk";
  freed.wait();
  EXPECT_EQ(capture.All(), "last");
}

TEST(AdvanceSystemTest, AWorkerNeverStartedIsFreedAtOnce) {
  TempFolder folder;
  std::string ready = folder / "started";
  { TAdvanceSystem worker(Command({FixtureProgram(), "ready:" + ready}), nullptr, folder.Path()); }
  EXPECT_FALSE(fs::exists(ready));
}

TEST(AdvanceSystemTest, AThrowingOutputProcedureEndsTheJobAndTheEngineIsReaped) {
  TempFolder folder;
  TAdvanceSystem worker(
      Command({FixtureProgram(), "text:x", "sleep:200"}),
      [](const std::string&) { throw std::runtime_error("progress window gone"); }, folder.Path());
  worker.Start();
  while (!worker.Finished()) std::this_thread::sleep_for(std::chrono::milliseconds(10));
  EXPECT_EQ(::waitpid(-1, nullptr, WNOHANG), -1) << "the engine was left unreaped";
}

}  // namespace
