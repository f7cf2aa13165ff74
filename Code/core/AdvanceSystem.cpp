#include "AdvanceSystem.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/ioctl.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstring>
#include <utility>
#include <vector>

extern char** environ;

namespace {

// The engine writes its progress in pieces; a read or a peek takes at most this.
constexpr size_t kPieceSize = 1023;

// Owns one file descriptor and closes it exactly once.
class UniqueFd {
 public:
  UniqueFd() = default;
  ~UniqueFd() { Reset(); }
  UniqueFd(const UniqueFd&) = delete;
  UniqueFd& operator=(const UniqueFd&) = delete;

  int Get() const { return fd_; }
  void Adopt(int fd) {
    Reset();
    fd_ = fd;
  }
  void Reset() {
    if (fd_ >= 0) {
      ::close(fd_);
      fd_ = -1;
    }
  }

 private:
  int fd_ = -1;
};

// Both ends of one pipe, created close-on-exec so that only the descriptors
// the engine is given on purpose reach it.
struct Pipe {
  UniqueFd read_end;
  UniqueFd write_end;

  bool Create() {
    int fds[2];
    if (::pipe2(fds, O_CLOEXEC) != 0) return false;
    read_end.Adopt(fds[0]);
    write_end.Adopt(fds[1]);
    return true;
  }
};

// posix_spawn's attribute and file-action objects, destroyed on every path.
class SpawnSetup {
 public:
  SpawnSetup() {
    attr_ok_ = ::posix_spawnattr_init(&attr_) == 0;
    actions_ok_ = ::posix_spawn_file_actions_init(&actions_) == 0;
  }
  ~SpawnSetup() {
    if (attr_ok_) ::posix_spawnattr_destroy(&attr_);
    if (actions_ok_) ::posix_spawn_file_actions_destroy(&actions_);
  }
  SpawnSetup(const SpawnSetup&) = delete;
  SpawnSetup& operator=(const SpawnSetup&) = delete;

  bool Ready() const { return attr_ok_ && actions_ok_; }
  posix_spawnattr_t* Attr() { return &attr_; }
  posix_spawn_file_actions_t* Actions() { return &actions_; }

 private:
  posix_spawnattr_t attr_;
  posix_spawn_file_actions_t actions_;
  bool attr_ok_ = false;
  bool actions_ok_ = false;
};

// Prepares the engine's start: its own session (a terminal's Ctrl+C does not
// reach it), default signal handling and an empty signal mask whatever the
// worker thread has, standard input from `stdin_fd`, standard output and
// standard error on `output_fd`, nothing else inherited, and the working
// folder.
bool PrepareSpawn(SpawnSetup& setup, int stdin_fd, int output_fd,
                  const std::string& working_folder) {
  if (!setup.Ready()) return false;
  sigset_t all_signals;
  sigset_t no_signals;
  sigfillset(&all_signals);
  sigemptyset(&no_signals);
  short flags = POSIX_SPAWN_SETSID | POSIX_SPAWN_SETSIGDEF | POSIX_SPAWN_SETSIGMASK;
  if (::posix_spawnattr_setflags(setup.Attr(), flags) != 0) return false;
  if (::posix_spawnattr_setsigdefault(setup.Attr(), &all_signals) != 0) return false;
  if (::posix_spawnattr_setsigmask(setup.Attr(), &no_signals) != 0) return false;

  posix_spawn_file_actions_t* actions = setup.Actions();
  if (::posix_spawn_file_actions_adddup2(actions, stdin_fd, STDIN_FILENO) != 0) return false;
  if (::posix_spawn_file_actions_adddup2(actions, output_fd, STDOUT_FILENO) != 0) return false;
  if (::posix_spawn_file_actions_adddup2(actions, output_fd, STDERR_FILENO) != 0) return false;
  if (::posix_spawn_file_actions_addclosefrom_np(actions, STDERR_FILENO + 1) != 0) return false;
  if (!working_folder.empty() &&
      ::posix_spawn_file_actions_addchdir_np(actions, working_folder.c_str()) != 0) {
    return false;
  }
  return true;
}

// Starts the engine; 0 when it could not be started (glibc reports a failed
// chdir or exec in the child as posix_spawn's result).
pid_t SpawnEngine(const std::vector<std::string>& arguments, int stdin_fd, int output_fd,
                  const std::string& working_folder) {
  if (arguments.empty() || arguments.front().empty()) return 0;
  SpawnSetup setup;
  if (!PrepareSpawn(setup, stdin_fd, output_fd, working_folder)) return 0;

  std::vector<char*> argv;
  argv.reserve(arguments.size() + 1);
  for (const std::string& argument : arguments) argv.push_back(const_cast<char*>(argument.c_str()));
  argv.push_back(nullptr);

  pid_t pid = 0;
  int error = ::posix_spawn(&pid, argv[0], setup.Actions(), setup.Attr(), argv.data(), environ);
  return error == 0 ? pid : 0;
}

// The still-running test: false once the engine has ended (and is reaped).
bool StillRunning(pid_t pid) {
  int status = 0;
  pid_t result;
  do {
    result = ::waitpid(pid, &status, WNOHANG);
  } while (result < 0 && errno == EINTR);
  // -1 other than EINTR means the child is no longer ours to wait for (it was
  // reaped elsewhere): it has ended.
  return result == 0;
}

int OpenPidfd(pid_t pid) { return static_cast<int>(::syscall(SYS_pidfd_open, pid, 0)); }

// True when the pidfd reports its process's exit (a zombie counts).
bool PidfdExited(int pidfd) {
  pollfd entry{pidfd, POLLIN, 0};
  return ::poll(&entry, 1, 0) > 0 && (entry.revents & (POLLIN | POLLHUP | POLLERR)) != 0;
}

// Bytes waiting in the pipe.
size_t WaitingBytes(int fd) {
  int count = 0;
  if (::ioctl(fd, FIONREAD, &count) != 0 || count < 0) return 0;
  return static_cast<size_t>(count);
}

// One read of up to a piece into a buffer cleared beforehand. Only called while
// bytes are waiting, so it never blocks on an engine that has gone quiet.
std::string ReadPiece(int fd) {
  char buffer[kPieceSize + 2];
  std::memset(buffer, 0, sizeof buffer);
  ssize_t count;
  do {
    count = ::read(fd, buffer, kPieceSize);
  } while (count < 0 && errno == EINTR);
  if (count <= 0) return {};
  return std::string(buffer, static_cast<size_t>(count));
}

// Makes sure a started engine is reaped even when the read loop is left by an
// exception from the output procedure. Declared before the pipes, so the pipes
// are closed first and an engine still writing gets EPIPE instead of blocking.
class ReapGuard {
 public:
  explicit ReapGuard(EngineControl* control) : control_(control) {}
  ~ReapGuard() {
    if (pid_ <= 0) return;
    if (control_ != nullptr) control_->Reaping();
    int status = 0;
    while (::waitpid(pid_, &status, 0) < 0 && errno == EINTR) {
    }
  }
  ReapGuard(const ReapGuard&) = delete;
  ReapGuard& operator=(const ReapGuard&) = delete;

  void Watch(pid_t pid) { pid_ = pid; }
  void Reaped() { pid_ = 0; }

 private:
  EngineControl* control_;
  pid_t pid_ = 0;
};

// Marks the run as over on every way out of RunAndCapture.
class FinishGuard {
 public:
  explicit FinishGuard(EngineControl* control) : control_(control) {}
  ~FinishGuard() {
    if (control_ != nullptr) control_->MarkFinished();
  }
  FinishGuard(const FinishGuard&) = delete;
  FinishGuard& operator=(const FinishGuard&) = delete;

 private:
  EngineControl* control_;
};

// Waits until output is waiting, the engine has ended (when `exit_fd`, a
// pidfd of the engine, is available) or `timeout_ms` passed, whichever is
// first, so that a silent engine does not keep a core busy and output is still
// picked up the moment it arrives.
void WaitForOutputOrExit(int output_fd, int exit_fd, int timeout_ms) {
  pollfd entries[2] = {{output_fd, POLLIN, 0}, {exit_fd, POLLIN, 0}};
  ::poll(entries, exit_fd >= 0 ? 2 : 1, timeout_ms);
}

}  // namespace

bool RunAndCapture(const EngineCommand& command, const OutputProcedure& on_output,
                   const std::string& working_folder, const CaptureTiming& timing,
                   const OutputProcedure& on_every_piece, EngineControl* control) {
  // Declared first: the run counts as over only after the engine is reaped.
  FinishGuard finish_guard(control);
  ReapGuard reap_guard(control);
  Pipe input;
  if (!input.Create()) return false;
  Pipe output;
  if (!output.Create()) return false;

  auto spawn = [&] {
    return SpawnEngine(command.Arguments, input.read_end.Get(), output.write_end.Get(),
                       working_folder);
  };
  const pid_t pid = control != nullptr ? control->Spawn(spawn) : spawn();
  if (pid == 0) return false;
  reap_guard.Watch(pid);
  // A pidfd turns the engine's end into an event the idle wait can sleep on;
  // without one (old kernels) the wait falls back to short polls.
  UniqueFd exit_fd;
  exit_fd.Adopt(OpenPidfd(pid));
  if (control != nullptr) control->KeepPidfd(exit_fd.Get());
  const int idle_wait_ms = exit_fd.Get() >= 0 ? timing.IdleWaitMs : timing.IdlePollMs;

  const int fd = output.read_end.Get();
  bool running;
  do {
    running = control != nullptr ? control->StillRunning() : StillRunning(pid);
    if (!running) reap_guard.Reaped();
    size_t waiting = WaitingBytes(fd);
    if (waiting == 0) {
      if (running) WaitForOutputOrExit(fd, exit_fd.Get(), idle_wait_ms);
      continue;
    }

    std::string chunk;
    if (waiting > kPieceSize) {
      // A backlog: read it piece by piece and keep only the newest piece, so
      // the user interface never falls behind the engine. A further read is
      // made only while bytes are waiting.
      do {
        chunk = ReadPiece(fd);
        if (on_every_piece && !chunk.empty()) on_every_piece(chunk);
      } while (chunk.size() == kPieceSize && WaitingBytes(fd) > 0);
    } else {
      chunk = ReadPiece(fd);
      if (on_every_piece && !chunk.empty()) on_every_piece(chunk);
    }

    if (chunk.empty()) continue;
    if (on_output) on_output(chunk);
    if (control != nullptr) {
      control->PauseAfterChunk(timing.DeliveryPauseMs);
    } else {
      std::this_thread::sleep_for(std::chrono::milliseconds(timing.DeliveryPauseMs));
    }
  } while (running);

  // The close order: the process's own descriptor, then the engine's pipes.
  exit_fd.Reset();
  input.read_end.Reset();
  output.write_end.Reset();
  output.read_end.Reset();
  input.write_end.Reset();
  return true;
}

// ---- EngineControl -------------------------------------------------------------

EngineControl::~EngineControl() {
  if (pidfd_ >= 0) ::close(pidfd_);
}

bool EngineControl::ExitedLocked() const {
  if (state_ == State::Finished) return true;
  if (state_ == State::Pending) return end_requested_;
  return pidfd_ >= 0 && PidfdExited(pidfd_);
}

bool EngineControl::Finished() const {
  std::lock_guard lock(mutex_);
  return ExitedLocked();
}

bool EngineControl::Signal(int signal) {
  std::lock_guard lock(mutex_);
  if (state_ == State::Pending) {
    end_requested_ = true;  // the engine will not be started
    return false;
  }
  if (state_ != State::Running) return false;
  if (pidfd_ >= 0) return ::syscall(SYS_pidfd_send_signal, pidfd_, signal, nullptr, 0) == 0;
  // Without a pidfd the id is still the engine's: it is reaped only under
  // this lock, and not at all once Reaping was called.
  return !reaping_ && ::kill(pid_, signal) == 0;
}

bool EngineControl::WaitExited(std::chrono::milliseconds limit,
                               const std::function<void(int)>& pause) {
  constexpr int kLookStepMs = 10;
  const auto deadline = std::chrono::steady_clock::now() + limit;
  while (!Finished()) {
    if (std::chrono::steady_clock::now() >= deadline) return false;
    if (pause) {
      pause(kLookStepMs);
    } else {
      std::this_thread::sleep_for(std::chrono::milliseconds(kLookStepMs));
    }
  }
  return true;
}

bool EngineControl::End(const std::function<void(int)>& pause) {
  Signal(SIGTERM);
  if (WaitExited(kEngineTermGrace, pause)) return true;
  Signal(SIGKILL);
  return WaitExited(kEngineKillWait, pause);
}

void EngineControl::Hurry() {
  {
    std::lock_guard lock(mutex_);
    hurry_ = true;
  }
  hurry_changed_.notify_all();
}

pid_t EngineControl::Spawn(const std::function<pid_t()>& spawn) {
  std::lock_guard lock(mutex_);
  if (state_ != State::Pending || end_requested_) return 0;
  pid_ = spawn();
  if (pid_ != 0) state_ = State::Running;
  return pid_;
}

void EngineControl::KeepPidfd(int pidfd) {
  if (pidfd < 0) return;
  std::lock_guard lock(mutex_);
  if (pidfd_ < 0) pidfd_ = ::fcntl(pidfd, F_DUPFD_CLOEXEC, 0);
}

bool EngineControl::StillRunning() {
  std::lock_guard lock(mutex_);
  const bool running = ::StillRunning(pid_);
  if (!running) state_ = State::Finished;
  return running;
}

void EngineControl::Reaping() {
  std::lock_guard lock(mutex_);
  reaping_ = true;
}

void EngineControl::MarkFinished() {
  std::lock_guard lock(mutex_);
  state_ = State::Finished;
}

void EngineControl::PauseAfterChunk(int ms) {
  std::unique_lock lock(mutex_);
  hurry_changed_.wait_for(lock, std::chrono::milliseconds(ms), [this] { return hurry_; });
}

// ---- TAdvanceSystem -------------------------------------------------------------

TAdvanceSystem::TAdvanceSystem(EngineCommand command, OutputProcedure on_output,
                               std::string working_folder, OutputProcedure on_every_piece,
                               CaptureTiming timing)
    : command_(std::move(command)),
      on_output_(std::move(on_output)),
      working_folder_(std::move(working_folder)),
      on_every_piece_(std::move(on_every_piece)),
      timing_(timing) {}

TAdvanceSystem::~TAdvanceSystem() {
  if (!thread_.joinable()) return;
  // The owner frees a worker on the window thread once the engine has
  // finished: the pause after the last chunk must not freeze the window.
  control_.Hurry();
  thread_.join();
}

void TAdvanceSystem::Start() {
  if (thread_.joinable() || finished_) return;
  thread_ = std::thread(&TAdvanceSystem::Execute, this);
}

std::string TAdvanceSystem::EngineFileName() const {
  if (command_.Arguments.empty()) return {};
  const std::string& path = command_.Arguments.front();
  return path.substr(path.rfind('/') + 1);
}

void TAdvanceSystem::Execute() {
  try {
    RunAndCapture(command_, on_output_, working_folder_, timing_, on_every_piece_, &control_);
  } catch (...) {
    // An output procedure that throws ends this job's reading; the worker must
    // not take the whole program down with it.
  }
  finished_ = true;
}
