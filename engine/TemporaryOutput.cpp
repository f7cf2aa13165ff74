#include "TemporaryOutput.h"

#include <fcntl.h>
#include <pthread.h>
#include <signal.h>
#include <stdio.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstring>
#include <stdexcept>

namespace evc {
namespace {

// Every signal whose default action ends the process, apart from the ones the
// engine ignores (SIGPIPE, SIGXFSZ) and the ones that report a fault of its
// own (SIGSEGV, SIGBUS, SIGFPE, SIGILL, SIGABRT, SIGTRAP, SIGSYS: the state is
// not to be trusted then). A closed terminal (HUP), a quit key (QUIT), a CPU
// limit (XCPU) or a stray timer all end a conversion without debris.
constexpr int kCleanupSignals[] = {SIGHUP,  SIGINT,    SIGQUIT, SIGTERM, SIGUSR1, SIGUSR2,  SIGALRM,
                                   SIGXCPU, SIGVTALRM, SIGPROF, SIGIO,   SIGPWR,  SIGSTKFLT};

// The signal handler must find the temporary name without calling anything
// that is not async-signal-safe, so the name lives in a fixed buffer. This is
// the engine's one piece of process-wide mutable state; it is written only
// with the cleanup signals blocked, and only by the thread that handles them
// (every other thread of the engine blocks them for good).
char g_cleanupPath[PATH_MAX + 1];
volatile sig_atomic_t g_cleanupArmed = 0;

void RemoveTemporaryAndExit(int signalNumber) {
  if (g_cleanupArmed) unlink(g_cleanupPath);
  _exit(128 + signalNumber);
}

sigset_t CleanupSignalSet() {
  sigset_t set;
  sigemptyset(&set);
  for (int signalNumber : kCleanupSignals) sigaddset(&set, signalNumber);
  return set;
}

class BlockInterrupts {
 public:
  BlockInterrupts() {
    const sigset_t set = CleanupSignalSet();
    pthread_sigmask(SIG_BLOCK, &set, &previous_);
  }
  ~BlockInterrupts() { pthread_sigmask(SIG_SETMASK, &previous_, nullptr); }

 private:
  sigset_t previous_;
};

std::string FolderOf(const std::string& path) {
  const size_t slash = path.rfind('/');
  if (slash == std::string::npos) return ".";
  if (slash == 0) return "/";
  return path.substr(0, slash);
}

std::string NameOf(const std::string& path) {
  const size_t slash = path.rfind('/');
  return slash == std::string::npos ? path : path.substr(slash + 1);
}

[[noreturn]] void FailWithErrno(const std::string& what) {
  throw std::runtime_error(what + ": " + std::strerror(errno));
}

}  // namespace

void InstallInterruptCleanup() {
  struct sigaction action {};
  action.sa_handler = RemoveTemporaryAndExit;
  action.sa_mask = CleanupSignalSet();
  for (int signalNumber : kCleanupSignals) sigaction(signalNumber, &action, nullptr);
  signal(SIGPIPE, SIG_IGN);
  // Past a file-size limit (ulimit -f) the write must fail with EFBIG like on
  // a full disk, so that the temporary file is removed and a reason printed,
  // instead of the process being killed with the file left behind.
  signal(SIGXFSZ, SIG_IGN);
}

void BlockCleanupSignalsInThisThread() {
  const sigset_t set = CleanupSignalSet();
  pthread_sigmask(SIG_BLOCK, &set, nullptr);
}

TemporaryOutput::TemporaryOutput(std::string finalPath, bool overwrite, const struct stat* keep)
    : finalPath_(std::move(finalPath)), overwrite_(overwrite) {
  const std::string folder = FolderOf(finalPath_);
  struct stat info {};
  if (stat(folder.c_str(), &info) != 0) FailWithErrno("cannot use the output folder " + folder);
  if (!S_ISDIR(info.st_mode)) throw std::runtime_error("not a folder: " + folder);
  if (NameOf(finalPath_).empty()) throw std::runtime_error("the output path names no file");
  if (stat(finalPath_.c_str(), &info) == 0) {
    if (S_ISDIR(info.st_mode))
      throw std::runtime_error("the output path is a folder: " + finalPath_);
    // A device or a pipe would be replaced by a plain file when the finished
    // file is renamed over it (/dev/null, as root): never.
    if (!S_ISREG(info.st_mode)) {
      throw std::runtime_error("the output path is not a regular file and is never replaced: " +
                               finalPath_);
    }
    if (keep && info.st_dev == keep->st_dev && info.st_ino == keep->st_ino) {
      throw std::runtime_error("the output path is the source file itself: " + finalPath_);
    }
    if (!overwrite_) {
      throw std::runtime_error("the output file exists (-y replaces it): " + finalPath_);
    }
  }

  // A file name may hold at most NAME_MAX bytes; the temporary one adds a dot
  // and a suffix to the final name, so a final name near that limit is cut
  // (at a UTF-8 character boundary) rather than refused.
  const std::string suffix = ".evc-XXXXXX";
  std::string stem = NameOf(finalPath_);
  const size_t room = NAME_MAX - 1 - suffix.size();
  if (stem.size() > room) {
    size_t cut = room;
    while (cut > 0 && (static_cast<unsigned char>(stem[cut]) & 0xC0) == 0x80) --cut;
    stem.resize(cut);
  }
  std::string pattern = folder + "/." + stem + suffix;
  if (pattern.size() > PATH_MAX) throw std::runtime_error("the output path is too long");
  BlockInterrupts blocked;
  const int fd = mkstemp(pattern.data());
  if (fd < 0) FailWithErrno("cannot write in the output folder " + folder);
  // mkstemp makes the file private (0600); the finished file gets the usual
  // permissions a new file would have.
  const mode_t mask = umask(0);
  umask(mask);
  fchmod(fd, 0666 & ~mask);
  close(fd);
  temporaryPath_ = pattern;
  std::memcpy(g_cleanupPath, temporaryPath_.c_str(), temporaryPath_.size() + 1);
  g_cleanupArmed = 1;
}

TemporaryOutput::~TemporaryOutput() {
  if (committed_) return;
  BlockInterrupts blocked;
  unlink(temporaryPath_.c_str());
  g_cleanupArmed = 0;
}

void TemporaryOutput::Commit() {
  BlockInterrupts blocked;
  int result;
  if (overwrite_) {
    result = rename(temporaryPath_.c_str(), finalPath_.c_str());
  } else {
    // Never replace a file that appeared while we were converting.
    result =
        renameat2(AT_FDCWD, temporaryPath_.c_str(), AT_FDCWD, finalPath_.c_str(), RENAME_NOREPLACE);
    if (result != 0 && errno == EINVAL) {
      // A file system without RENAME_NOREPLACE: a hard link fails the same
      // way when the name is taken.
      result = link(temporaryPath_.c_str(), finalPath_.c_str());
      if (result == 0) unlink(temporaryPath_.c_str());
    }
  }
  if (result != 0) FailWithErrno("cannot give the output its name " + finalPath_);
  committed_ = true;
  g_cleanupArmed = 0;
}

}  // namespace evc
