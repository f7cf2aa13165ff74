// ProcessEnv: the one way the program reaches the operating system's
// processes — listing them, signalling them and starting the engine of a job —
// so that tests can stand in for the machine (the way LevelDB's Env wraps the
// operating system). ProcessEnv::Default() is the real machine; it lives as
// long as the process and may be used from any thread. A ProcessEnv given to
// an object (TSysFunc holds one) is not owned by it and must outlive it.
//
// EngineRun is one engine started for a job, owned by whoever started it (the
// batch): it says whether that engine has finished and ends it, and never
// touches any other process.
#pragma once

#include <sys/types.h>

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "EngineCommand.h"
#include "ProcessTable.h"

// Receives one chunk of engine output (at most 1023 bytes, never empty).
using OutputProcedure = std::function<void(const std::string& chunk)>;

class EngineRun {
 public:
  virtual ~EngineRun() = default;
  // True once the engine has exited or could not be started.
  virtual bool EngineFinished() const = 0;
  // Ends this engine and no other process; false when it outlived the
  // attempt. `pause` (milliseconds) lets the caller's events run meanwhile.
  virtual bool EndEngine(const std::function<void(int)>& pause) = 0;
  // The engine's file name ("evc.exe").
  virtual std::string EngineFileName() const = 0;
  // Cuts the reader's pauses short: its owner is about to free it.
  virtual void Terminate() = 0;
};

class ProcessEnv {
 public:
  virtual ~ProcessEnv() = default;

  // The real machine (SystemProcessEnv): /proc, kill(2), TAdvanceSystem.
  static ProcessEnv& Default();

  // Every live process in ascending id order (see ::ListProcesses).
  virtual std::vector<ProcessEntry> ListProcesses() = 0;
  // The real user id this program runs as, and its own process id.
  virtual uid_t UserId() = 0;
  virtual pid_t OwnPid() = 0;
  // Sends `signal` to `pid`: 0 when it was delivered, else the errno value
  // (ESRCH: the process is gone; EPERM: not ours to signal).
  virtual int SendSignal(pid_t pid, int signal) = 0;
  // True when the process named by id and start time has ended.
  virtual bool ProcessEnded(pid_t pid, uint64_t start_time) = 0;
  // Starts the engine of one job (command.Arguments[0] is its path) in
  // `working_folder`, reading its output on a thread of its own; see
  // TAdvanceSystem for what the procedures receive and on which thread. An
  // engine that cannot be started gives a run that has finished at once.
  virtual std::unique_ptr<EngineRun> StartEngine(const EngineCommand& command,
                                                 const std::string& working_folder,
                                                 OutputProcedure on_output,
                                                 OutputProcedure on_every_piece) = 0;
};

// The id of a process whose executable file name is `exe_name` (ignoring
// case; the last match of the table wins), among the processes of `env`'s own
// user only when `same_user_only`; 0 when there is none.
int FindProcessByName(ProcessEnv& env, const std::string& exe_name, bool same_user_only);
