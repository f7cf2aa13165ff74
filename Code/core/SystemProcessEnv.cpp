#include "SystemProcessEnv.h"

#include <signal.h>
#include <unistd.h>

#include <cerrno>

#include "AdvanceSystem.h"

std::vector<ProcessEntry> SystemProcessEnv::ListProcesses() { return ::ListProcesses(); }

uid_t SystemProcessEnv::UserId() { return ::getuid(); }

pid_t SystemProcessEnv::OwnPid() { return ::getpid(); }

int SystemProcessEnv::SendSignal(pid_t pid, int signal) {
  return ::kill(pid, signal) == 0 ? 0 : errno;
}

bool SystemProcessEnv::ProcessEnded(pid_t pid, uint64_t start_time) {
  return ::ProcessEnded(pid, start_time);
}

std::unique_ptr<EngineRun> SystemProcessEnv::StartEngine(const EngineCommand& command,
                                                         const std::string& working_folder,
                                                         OutputProcedure on_output,
                                                         OutputProcedure on_every_piece) {
  auto run = std::make_unique<TAdvanceSystem>(command, std::move(on_output), working_folder,
                                              std::move(on_every_piece));
  run->Start();
  return run;
}

ProcessEnv& ProcessEnv::Default() {
  // One for the whole process, never destroyed: workers that outlive main's
  // return may still reach it.
  static SystemProcessEnv* machine = new SystemProcessEnv;
  return *machine;
}
