// A stand-in for the machine's processes, for the batch's tests: a process
// table the test fills (other programs' engines, of this user or of another,
// each living until a time the test sets), engines that run for a set time on
// a clock the test gives (the scripted user interface's paused milliseconds),
// and faults the test injects: an engine that cannot start, an engine that
// outlives requests to end it. It records every signal sent by process id and
// every engine started, so a test sees what Stop touched. Nothing here reaches
// a real process, so tests over it need no machine-wide lock.
//
// Needs no Qt. Used on the test's (user-interface) thread only; the engine
// output it delivers goes through the procedures the batch gave it.
#pragma once

#include <signal.h>
#include <unistd.h>

#include <cerrno>
#include <functional>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "ProcessEnv.h"

namespace fake_process {

constexpr uid_t kOwnUser = 1000;
constexpr uid_t kOtherUser = 1001;
constexpr pid_t kOwnPid = 4242;
constexpr int kNever = -1;

// One engine this program started, as the fake keeps it.
struct Engine {
  pid_t Pid = 0;
  std::string Name;
  bool Started = false;  // false: it could not be started
  int StartedAtMs = 0;
  bool EndedByRequest = false;
  int EndRequests = 0;
  int Terminates = 0;
};

// A process of another program.
struct Process {
  pid_t Pid = 0;
  std::string Name;
  uid_t Uid = kOwnUser;
  int EndsAtMs = kNever;  // it ends by itself at this time; kNever: it does not
  bool Signalled = false;
};

class Env : public ProcessEnv {
 public:
  // Now, in milliseconds (the test's clock); 0 until the test sets one.
  std::function<int()> Clock;

  // ---- faults and shape ----
  // Every engine fails to start (as one whose file is missing does anyway).
  bool EnginesCannotStart = false;
  // How long an engine runs when nobody ends it.
  int EngineRunsMs = 4000;
  // The next this many requests to end an engine fail (the engine outlives
  // them); kNever: every request fails.
  int EndRefusals = 0;
  // Delivered once, as one chunk, when an engine starts.
  std::string EngineOutput;

  std::vector<Process> Others;

  // ---- what happened ----
  std::vector<std::pair<pid_t, int>> Signals;
  std::vector<std::shared_ptr<Engine>> Engines;  // every start asked for

  int Now() const { return Clock ? Clock() : 0; }

  bool Finished(const Engine& engine) const {
    return !engine.Started || engine.EndedByRequest || Now() - engine.StartedAtMs >= EngineRunsMs;
  }
  bool Alive(const Process& process) const {
    return process.EndsAtMs == kNever || Now() < process.EndsAtMs;
  }
  int RunningEngines() const {
    int running = 0;
    for (const auto& engine : Engines) running += Finished(*engine) ? 0 : 1;
    return running;
  }
  int StartedEngines() const {
    int started = 0;
    for (const auto& engine : Engines) started += engine->Started ? 1 : 0;
    return started;
  }

  // ---- ProcessEnv ----
  std::vector<ProcessEntry> ListProcesses() override {
    std::vector<ProcessEntry> entries;
    for (const auto& engine : Engines) {
      if (!Finished(*engine)) entries.push_back(Entry(engine->Pid, engine->Name, kOwnUser));
    }
    for (const Process& other : Others) {
      if (Alive(other)) entries.push_back(Entry(other.Pid, other.Name, other.Uid));
    }
    return entries;
  }
  uid_t UserId() override { return kOwnUser; }
  pid_t OwnPid() override { return kOwnPid; }
  int SendSignal(pid_t pid, int signal) override {
    Signals.emplace_back(pid, signal);
    for (Process& other : Others) {
      if (other.Pid != pid || !Alive(other)) continue;
      if (other.Uid != kOwnUser) return EPERM;
      other.Signalled = true;
      other.EndsAtMs = Now();
      return 0;
    }
    for (const auto& engine : Engines) {
      if (engine->Pid != pid || Finished(*engine)) continue;
      engine->EndedByRequest = true;
      return 0;
    }
    return ESRCH;
  }
  bool ProcessEnded(pid_t pid, uint64_t) override {
    for (const ProcessEntry& entry : ListProcesses()) {
      if (entry.Pid == pid) return false;
    }
    return true;
  }
  std::unique_ptr<EngineRun> StartEngine(const EngineCommand& command, const std::string&,
                                         OutputProcedure on_output,
                                         OutputProcedure on_every_piece) override {
    auto engine = std::make_shared<Engine>();
    engine->Pid = 5000 + static_cast<pid_t>(Engines.size());
    const std::string path = command.Arguments.empty() ? std::string() : command.Arguments[0];
    engine->Name = path.substr(path.rfind('/') + 1);
    // As posix_spawn: a missing or non-executable engine does not start.
    engine->Started = !EnginesCannotStart && !path.empty() && ::access(path.c_str(), X_OK) == 0;
    engine->StartedAtMs = Now();
    Engines.push_back(engine);
    if (engine->Started && !EngineOutput.empty()) {
      if (on_every_piece) on_every_piece(EngineOutput);
      if (on_output) on_output(EngineOutput);
    }
    return std::make_unique<Run>(*this, engine);
  }

 private:
  class Run : public EngineRun {
   public:
    Run(Env& env, std::shared_ptr<Engine> engine) : env_(env), engine_(std::move(engine)) {}
    bool EngineFinished() const override { return env_.Finished(*engine_); }
    bool EndEngine(const std::function<void(int)>& pause) override {
      ++engine_->EndRequests;
      if (env_.Finished(*engine_)) return true;
      if (pause) pause(10);
      if (env_.EndRefusals == kNever) return false;
      if (env_.EndRefusals > 0) {
        --env_.EndRefusals;
        return false;
      }
      engine_->EndedByRequest = true;
      return true;
    }
    std::string EngineFileName() const override { return engine_->Name; }
    void Terminate() override { ++engine_->Terminates; }

   private:
    Env& env_;
    std::shared_ptr<Engine> engine_;
  };

  static ProcessEntry Entry(pid_t pid, const std::string& name, uid_t uid) {
    ProcessEntry entry;
    entry.Pid = pid;
    entry.ExePath = "/opt/other/" + name;
    entry.FileName = name;
    entry.StartTime = static_cast<uint64_t>(pid);
    entry.Uid = uid;
    return entry;
  }
};

}  // namespace fake_process
