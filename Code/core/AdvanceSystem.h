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
// RunAndCapture may be called on any thread; it blocks until the engine ends.
#pragma once

#include <atomic>
#include <functional>
#include <string>
#include <thread>

#include "EngineCommand.h"
#include "UtilityObjects.h"

// Receives one chunk of engine output (at most 1023 bytes, never empty).
using OutputProcedure = std::function<void(const std::string& chunk)>;

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

// Starts command.Arguments (no shell; Arguments[0] is the engine's path) with
// `working_folder` as its working folder, in a session of its own, standard
// input a pipe nothing is written to, standard output and standard error on
// one pipe. Delivers chunks to `on_output` while the engine runs and once more
// after it ended. `on_every_piece`, when given, receives every piece read, in
// order and before the chunk made of them, the pieces a backlog keeps from
// `on_output` included: the whole output, for whoever must not miss a line of
// it. True when the engine was started and has ended; false at once, with
// nothing delivered, when it could not be started (empty argument list,
// missing or non-executable engine, missing working folder).
bool RunAndCapture(const EngineCommand& command, const OutputProcedure& on_output,
                   const std::string& working_folder, const CaptureTiming& timing = {},
                   const OutputProcedure& on_every_piece = {});

class TAdvanceSystem {
 public:
  // Created suspended: nothing runs until Start. `working_folder` is the
  // engine's working folder (the program folder without its trailing "/" in
  // the application).
  TAdvanceSystem(EngineCommand command, OutputProcedure on_output,
                 std::string working_folder = ProgramFolder(), OutputProcedure on_every_piece = {});
  // Waits for the read loop to end when it was started.
  ~TAdvanceSystem();

  TAdvanceSystem(const TAdvanceSystem&) = delete;
  TAdvanceSystem& operator=(const TAdvanceSystem&) = delete;

  // Starts the worker thread; a second call does nothing.
  void Start();

  // Records a request to stop. The read loop does not look at it: only the end
  // of the engine process ends the worker's work (Stop ends the engine by
  // name instead).
  void Terminate() { terminated_ = true; }
  bool Terminated() const { return terminated_; }

  // True once the read loop has ended (or could not start the engine).
  bool Finished() const { return finished_; }

  const EngineCommand& CommandLine() const { return command_; }

 private:
  void Execute();

  EngineCommand command_;
  OutputProcedure on_output_;
  std::string working_folder_;
  OutputProcedure on_every_piece_;
  std::atomic<bool> terminated_{false};
  std::atomic<bool> finished_{false};
  std::thread thread_;
};
