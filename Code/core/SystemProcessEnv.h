// SystemProcessEnv: the real machine behind ProcessEnv — the process table
// under /proc, kill(2), and TAdvanceSystem for each engine a job starts.
// ProcessEnv::Default() returns the one instance, which lives as long as the
// process; any thread may use it.
#pragma once

#include "ProcessEnv.h"

class SystemProcessEnv : public ProcessEnv {
 public:
  std::vector<ProcessEntry> ListProcesses() override;
  uid_t UserId() override;
  pid_t OwnPid() override;
  int SendSignal(pid_t pid, int signal) override;
  bool ProcessEnded(pid_t pid, uint64_t start_time) override;
  // A TAdvanceSystem, already started.
  std::unique_ptr<EngineRun> StartEngine(const EngineCommand& command,
                                         const std::string& working_folder,
                                         OutputProcedure on_output,
                                         OutputProcedure on_every_piece) override;
};
