// Helpers of the runner and process-control tests: a temporary folder, copies
// of the stand-in engine under the names a test needs, the test pattern, and
// children that are always ended and reaped when a test leaves.
//
// Everything here only ever touches processes the test started itself.
#pragma once

#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <string>
#include <thread>
#include <vector>

extern char** environ;

namespace runner_test {

namespace fs = std::filesystem;

// A fresh folder under the system's temporary folder, removed with everything
// in it at the end.
class TempFolder {
 public:
  TempFolder() {
    std::string pattern = (fs::temp_directory_path() / "tonbrix-runner-XXXXXX").string();
    path_ = ::mkdtemp(pattern.data()) ? pattern : std::string();
  }
  ~TempFolder() {
    std::error_code ignored;
    if (!path_.empty()) fs::remove_all(path_, ignored);
  }
  TempFolder(const TempFolder&) = delete;
  TempFolder& operator=(const TempFolder&) = delete;

  const std::string& Path() const { return path_; }
  std::string operator/(const std::string& name) const { return path_ + "/" + name; }

 private:
  std::string path_;
};

// The built stand-in engine.
inline std::string FixtureProgram() { return RUNNER_FIXTURE_PATH; }

// Copies the stand-in engine into `folder` as `name` (executable).
inline std::string CopyFixture(const TempFolder& folder, const std::string& name) {
  std::string target = folder / name;
  fs::copy_file(FixtureProgram(), target, fs::copy_options::overwrite_existing);
  fs::permissions(target, fs::perms::owner_all | fs::perms::group_read | fs::perms::group_exec);
  return target;
}

// A name no other process on the machine carries.
inline std::string UniqueName(const std::string& stem, const std::string& extension = ".exe") {
  static int counter = 0;
  return stem + "-" + std::to_string(::getpid()) + "-" + std::to_string(++counter) + extension;
}

// `count` bytes of the stand-in engine's pattern starting at `offset`.
inline std::string Pattern(size_t offset, size_t count) {
  std::string bytes(count, '\0');
  for (size_t i = 0; i < count; ++i) bytes[i] = static_cast<char>('A' + ((offset + i) / 100) % 26);
  return bytes;
}

// Waits for `path` to exist; false after `timeout`.
inline bool WaitForFile(const std::string& path,
                        std::chrono::milliseconds timeout = std::chrono::seconds(20)) {
  auto deadline = std::chrono::steady_clock::now() + timeout;
  while (!fs::exists(path)) {
    if (std::chrono::steady_clock::now() > deadline) return false;
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
  }
  return true;
}

// A child started by the test in a process group of its own. Leaving the test
// kills that group (the child and anything it started) and reaps the child.
class Child {
 public:
  explicit Child(const std::vector<std::string>& arguments) {
    std::vector<char*> argv;
    for (const std::string& a : arguments) argv.push_back(const_cast<char*>(a.c_str()));
    argv.push_back(nullptr);
    posix_spawnattr_t attr;
    ::posix_spawnattr_init(&attr);
    ::posix_spawnattr_setflags(&attr, POSIX_SPAWN_SETPGROUP);
    ::posix_spawnattr_setpgroup(&attr, 0);
    if (::posix_spawn(&pid_, argv[0], nullptr, &attr, argv.data(), environ) != 0) pid_ = 0;
    ::posix_spawnattr_destroy(&attr);
  }
  ~Child() {
    // The group id stays ours only while the child is not reaped, so the group
    // is signalled only then.
    if (pid_ <= 0 || reaped_) return;
    ::kill(-pid_, SIGKILL);
    Reap();
  }
  Child(const Child&) = delete;
  Child& operator=(const Child&) = delete;

  pid_t Pid() const { return pid_; }

  // Waits for the child to end and returns its wait status (-1 when it was
  // reaped already).
  int Reap() {
    if (reaped_ || pid_ <= 0) return -1;
    int status = 0;
    while (::waitpid(pid_, &status, 0) < 0 && errno == EINTR) {
    }
    reaped_ = true;
    return status;
  }

  // True once the child has ended (it is reaped then).
  bool Ended() {
    if (reaped_) return true;
    int status = 0;
    if (::waitpid(pid_, &status, WNOHANG) == pid_) {
      reaped_ = true;
      last_status_ = status;
    }
    return reaped_;
  }
  int LastStatus() const { return last_status_; }

 private:
  pid_t pid_ = 0;
  bool reaped_ = false;
  int last_status_ = -1;
};

}  // namespace runner_test
