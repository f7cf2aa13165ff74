// The engine process runner: starts the converter engine for one job, reads its
// console output from a pipe and hands each chunk of it to an output procedure
// until the engine ends.
//
// TAdvanceSystem is the worker thread of one job. Its owner (the batch) creates
// it, calls Start and frees it; freeing waits for the read loop to end, which is
// at most one more pause and read after the engine has ended. The output
// procedure is called on the worker thread, never on the user-interface thread:
// wrap it with PostToUiThread (Code/gui/UiThreadDispatch.h) when it touches
// windows. The worker never waits for the user-interface thread.
//
// The worker owns the engine it started: its owner asks it whether that engine
// has finished and ends it through it (EngineFinished, EndEngine), so Stop
// touches no process this program did not start, whatever its name. Those two
// and Terminate may be called from any thread.
//
// RunAndCapture may be called on any thread; it blocks until the engine ends.
#pragma once

#include <sys/types.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <functional>
#include <mutex>
#include <string>
#include <thread>

#include "EngineCommand.h"
#include "ProcessEnv.h"
#include "UtilityObjects.h"

// The shape of the read loop. The defaults are the program's; tests and
// benchmarks keep them too, they exist so that the figures have names.
struct CaptureTiming {
  int DeliveryPauseMs = 500;  // pause after each delivered chunk
  // Longest wait for output or the engine's end when no output is waiting:
  // where the kernel can signal the engine's end (pidfd) the wait ends at once
  // on either, and the limit is only a safety net; elsewhere the loop polls.
  int IdleWaitMs = 200;
  int IdlePollMs = 5;
};

// How long an engine asked to leave (SIGTERM: it removes its unfinished output
// file then) gets before SIGKILL, and how long SIGKILL gets to take effect.
constexpr std::chrono::milliseconds kEngineTermGrace{1500};
constexpr std::chrono::milliseconds kEngineKillWait{2000};

// The engine of one run as its owner sees it from another thread: whether it
// has finished, a way to end it, and a wake-up for the pause after a chunk.
// RunAndCapture fills it in; every member may be called from any thread. The
// engine is signalled through its pidfd where the kernel has them, so a signal
// can never reach a process that later took the engine's id; without a pidfd
// the id is signalled only while the engine is not yet reaped (the reaping and
// the signal take the same lock).
class EngineControl {
 public:
  EngineControl() = default;
  ~EngineControl();
  EngineControl(const EngineControl&) = delete;
  EngineControl& operator=(const EngineControl&) = delete;

  // True once the engine has exited (reaped or not), could not be started, or
  // will not be started because End came first. False before the run starts.
  bool Finished() const;

  // Ends the engine: SIGTERM, then SIGKILL when it is still there after
  // kEngineTermGrace; returns once it has exited, or false when it outlived
  // kEngineKillWait after SIGKILL. `pause` (milliseconds) is called between
  // looks, so a user-interface thread can let its events run; without one the
  // thread sleeps. Before the engine is started it keeps it from starting.
  bool End(const std::function<void(int)>& pause = {});

  // Ends the current pause after a chunk, and every later one, at once: the
  // owner wants the read loop to finish (it is about to wait for it).
  void Hurry();

  // ---- Used by RunAndCapture ----
  // Runs `spawn` (which returns the engine's id, 0 on failure) under the lock
  // unless End came first, and records the id: 0 when nothing was started.
  pid_t Spawn(const std::function<pid_t()>& spawn);
  // Keeps a duplicate of the engine's pidfd (nothing when `pidfd` is -1).
  void KeepPidfd(int pidfd);
  // waitpid(WNOHANG) under the lock; true while the engine still runs.
  bool StillRunning();
  // The engine is about to be waited for without the lock (the read loop was
  // left by an exception): its id is no longer signalled.
  void Reaping();
  // The run is over, whatever happened.
  void MarkFinished();
  // Sleeps `ms` unless Hurry is called meanwhile or was called before.
  void PauseAfterChunk(int ms);

 private:
  bool ExitedLocked() const;
  bool Signal(int signal);
  bool WaitExited(std::chrono::milliseconds limit, const std::function<void(int)>& pause);

  enum class State { Pending, Running, Finished };
  mutable std::mutex mutex_;
  std::condition_variable hurry_changed_;
  State state_ = State::Pending;
  bool end_requested_ = false;
  bool reaping_ = false;
  bool hurry_ = false;
  pid_t pid_ = 0;
  int pidfd_ = -1;
};

// Starts command.Arguments (no shell; Arguments[0] is the engine's path) with
// `working_folder` as its working folder, in a session of its own, standard
// input a pipe nothing is written to, standard output and standard error on
// one pipe. Delivers chunks to `on_output` while the engine runs and once more
// after it ended. `on_every_piece`, when given, receives every piece read, in
// order and before the chunk made of them, the pieces a backlog keeps from
// `on_output` included: the whole output, for whoever must not miss a line of
// it. True when the engine was started and has ended; false at once, with
// nothing delivered, when it could not be started (empty argument list,
// missing or non-executable engine, missing working folder). `control`, when
// given, lets another thread see and end the engine and cut the pauses short.
bool RunAndCapture(const EngineCommand& command, const OutputProcedure& on_output,
                   const std::string& working_folder, const CaptureTiming& timing = {},
                   const OutputProcedure& on_every_piece = {}, EngineControl* control = nullptr);

// The real EngineRun: ProcessEnv::Default() starts one per job.
class TAdvanceSystem : public EngineRun {
 public:
  // Created suspended: nothing runs until Start. `working_folder` is the
  // engine's working folder (the program folder without its trailing "/" in
  // the application).
  TAdvanceSystem(EngineCommand command, OutputProcedure on_output,
                 std::string working_folder = ProgramFolder(), OutputProcedure on_every_piece = {},
                 CaptureTiming timing = {});
  // Waits for the read loop to end when it was started; a pause after a chunk
  // is cut short first, so freeing a worker whose engine has finished returns
  // after the final read, not after the pause.
  ~TAdvanceSystem() override;

  TAdvanceSystem(const TAdvanceSystem&) = delete;
  TAdvanceSystem& operator=(const TAdvanceSystem&) = delete;

  // Starts the worker thread; a second call does nothing.
  void Start();

  // Asks the worker to finish: its pauses after a chunk end at once. The read
  // loop still ends only with the engine (EndEngine ends that).
  void Terminate() override { control_.Hurry(); }

  // True once the read loop has ended (or could not start the engine).
  bool Finished() const { return finished_; }

  // True once this worker's engine has exited or could not be started (see
  // EngineControl::Finished); false before Start.
  bool EngineFinished() const override { return control_.Finished(); }
  // Ends this worker's engine and no other process (EngineControl::End).
  bool EndEngine(const std::function<void(int)>& pause) override { return control_.End(pause); }
  bool EndEngine() { return control_.End(); }
  // The engine's file name ("evc.exe"): the last part of its path.
  std::string EngineFileName() const override;

  const EngineCommand& CommandLine() const { return command_; }

 private:
  void Execute();

  EngineCommand command_;
  OutputProcedure on_output_;
  std::string working_folder_;
  OutputProcedure on_every_piece_;
  CaptureTiming timing_;
  std::atomic<bool> finished_{false};
  // Declared before the thread: it outlives the worker that fills it in.
  EngineControl control_;
  std::thread thread_;
};
