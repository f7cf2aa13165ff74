#include "ProcessEnv.h"

#include <signal.h>
#include <unistd.h>

#include <cerrno>

#include "AdvanceSystem.h"

namespace {

// The machine itself: the process table under /proc, kill(2) and the engine
// runner.
class SystemProcessEnv : public ProcessEnv {
 public:
  std::vector<ProcessEntry> ListProcesses() override { return ::ListProcesses(); }
  uid_t UserId() override { return ::getuid(); }
  pid_t OwnPid() override { return ::getpid(); }
  int SendSignal(pid_t pid, int signal) override { return ::kill(pid, signal) == 0 ? 0 : errno; }
  bool ProcessEnded(pid_t pid, uint64_t start_time) override {
    return ::ProcessEnded(pid, start_time);
  }
  std::unique_ptr<EngineRun> StartEngine(const EngineCommand& command,
                                         const std::string& working_folder,
                                         OutputProcedure on_output,
                                         OutputProcedure on_every_piece) override {
    auto run = std::make_unique<TAdvanceSystem>(command, std::move(on_output), working_folder,
                                                std::move(on_every_piece));
    run->Start();
    return run;
  }
};

}  // namespace

ProcessEnv& ProcessEnv::Default() {
  // One for the whole process, never destroyed: workers that outlive main's
  // return may still reach it.
  static SystemProcessEnv* machine = new SystemProcessEnv;
  return *machine;
}

int FindProcessByName(ProcessEnv& env, const std::string& exe_name, bool same_user_only) {
  const uid_t own_uid = same_user_only ? env.UserId() : 0;
  int found = 0;
  for (const ProcessEntry& entry : env.ListProcesses()) {
    if (same_user_only && entry.Uid != own_uid) continue;
    if (FileNameMatches(entry, exe_name)) found = entry.Pid;
  }
  return found;
}
