#include "EngineProcesses.h"

#include <signal.h>

#include <cerrno>
#include <chrono>

#include "AdvanceSystem.h"
#include "ProcessTable.h"

namespace {

using Clock = std::chrono::steady_clock;

constexpr int kWaitStepMs = 10;

// KillEngineProcesses gives up on a name after this many terminations or this
// long, whichever comes first: a process that cannot be ended must not hang
// the program.
constexpr int kMaxKillAttempts = 5;
constexpr std::chrono::milliseconds kKillBound{10000};

struct Signalled {
  ProcessEntry entry;
  bool ended = false;
};

bool AllEnded(ProcessEnv& env, std::vector<Signalled>& targets) {
  bool all = true;
  for (Signalled& target : targets) {
    if (!target.ended) target.ended = env.ProcessEnded(target.entry.Pid, target.entry.StartTime);
    all = all && target.ended;
  }
  return all;
}

void WaitUntilEnded(ProcessEnv& env, std::vector<Signalled>& targets,
                    std::chrono::milliseconds limit, UserInterface& ui) {
  Clock::time_point deadline = Clock::now() + limit;
  while (!AllEnded(env, targets) && Clock::now() < deadline) ui.Pause(kWaitStepMs);
}

// Sends `signal` to every target still alive; a target that refuses it (not
// ours to signal) counts as not ended and is not waited for.
void SignalAlive(ProcessEnv& env, std::vector<Signalled>& targets, int signal,
                 std::vector<bool>& refused) {
  for (size_t i = 0; i < targets.size(); ++i) {
    if (targets[i].ended || refused[i]) continue;
    if (const int error = env.SendSignal(targets[i].entry.Pid, signal); error != 0) {
      if (error == ESRCH) {
        targets[i].ended = true;
      } else {
        refused[i] = true;
      }
    }
  }
}

}  // namespace

EngineProcesses::EngineProcesses(TAppFunc& app, TSysFunc& sys, UserInterface& ui)
    : app_(app), sys_(sys), ui_(ui) {}

int EngineProcesses::GetProcessIdByName(const std::string& exe_name) {
  int pid = sys_.GetProcessIdByName(exe_name);
  if (pid == 0) app_.WriteLog("Get Process id error.");
  return pid;
}

bool EngineProcesses::TerminateProcessByName(const std::string& name) {
  ProcessEnv& env = sys_.Env();
  std::vector<Signalled> targets;
  const pid_t own_pid = env.OwnPid();
  for (ProcessEntry& entry : env.ListProcesses()) {
    if (entry.Pid == own_pid) continue;
    if (FileNameMatches(entry, name) || ExePathMatches(entry, name)) {
      targets.push_back({std::move(entry), false});
    }
  }

  // SIGTERM first so the engine can remove its unfinished output file; what is
  // still there after the grace gets SIGKILL. Either way the process is gone
  // (or reported as not ended) before this returns, so the caller's wait for
  // the engine's name to disappear does not race a dying process.
  std::vector<bool> refused(targets.size(), false);
  SignalAlive(env, targets, SIGTERM, refused);
  WaitUntilEnded(env, targets, kEngineTermGrace, ui_);
  SignalAlive(env, targets, SIGKILL, refused);
  WaitUntilEnded(env, targets, kEngineKillWait, ui_);

  // As on the original platform, the outcome of the last match in the table
  // decides the result.
  bool result = !targets.empty() && targets.back().ended;
  if (!result) app_.WriteLog("Terminate process error.");
  return result;
}

bool EngineProcesses::EngineRunsAs(const EngineRun* runner, const std::string& name) {
  const bool runs = runner != nullptr && !runner->EngineFinished() &&
                    SameFileName(runner->EngineFileName(), name);
  // The look-up by name it stands for logged its misses; the log keeps them.
  if (!runs) app_.WriteLog("Get Process id error.");
  return runs;
}

void EngineProcesses::KillEngineProcesses(const std::string& engine_path, EngineRun* runner) {
  // Only the engine `runner` started is ended, never another program's
  // process that carries the same name. The two passes, for the engine's own
  // file name and for "evc.exe", stay: an engine of either name is ended.
  const std::string engine_name = engine_path.substr(engine_path.rfind('/') + 1);
  const auto pause = [this](int ms) { ui_.Pause(ms); };
  for (const std::string& name : {engine_name, std::string("evc.exe")}) {
    const Clock::time_point deadline = Clock::now() + kKillBound;
    int attempts = 0;
    while (EngineRunsAs(runner, name)) {
      if (attempts == kMaxKillAttempts || Clock::now() >= deadline) {
        app_.WriteLog("Engine process could not be ended: " + name);
        break;
      }
      if (!runner->EndEngine(pause)) app_.WriteLog("Terminate process error.");
      ++attempts;
      ui_.Pause(100);
      ui_.ProcessMessages();
    }
  }
}
