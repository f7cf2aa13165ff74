// Runs the built evc.exe (or the ffmpeg tool) as Tonbrix runs the engine: a
// child process with an argument list, its standard output and error read
// through one pipe. Shared by the engine's process tests.
#pragma once

#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <stdexcept>
#include <string>
#include <vector>

extern char** environ;

namespace engine_test {

inline const std::string kEngine = std::string(TONBRIX_APP_DIR) + "evc.exe";

struct RunResult {
  int exitCode = -1;
  std::string output;  // standard output and error, as one pipe delivers them
};

// Starts a program without a shell; stdout and stderr share one pipe. The
// environment is the test's own plus `extraEnvironment` ("NAME=value").
class Child {
 public:
  explicit Child(const std::vector<std::string>& arguments,
                 const std::vector<std::string>& extraEnvironment = {}) {
    int fds[2];
    if (pipe2(fds, O_CLOEXEC) != 0) throw std::runtime_error("pipe");
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, fds[1], 1);
    posix_spawn_file_actions_adddup2(&actions, fds[1], 2);
    posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
    std::vector<char*> argv;
    for (const std::string& a : arguments) argv.push_back(const_cast<char*>(a.c_str()));
    argv.push_back(nullptr);
    std::vector<char*> envp;
    for (char** e = environ; *e; ++e) envp.push_back(*e);
    for (const std::string& e : extraEnvironment) envp.push_back(const_cast<char*>(e.c_str()));
    envp.push_back(nullptr);
    const int spawned = posix_spawn(&pid_, argv[0], &actions, nullptr, argv.data(), envp.data());
    posix_spawn_file_actions_destroy(&actions);
    close(fds[1]);
    readEnd_ = fds[0];
    if (spawned != 0) throw std::runtime_error("cannot start " + arguments[0]);
  }
  ~Child() {
    if (readEnd_ >= 0) close(readEnd_);
  }
  pid_t pid() const { return pid_; }
  RunResult Finish() {
    RunResult result;
    char buffer[4096];
    for (ssize_t n; (n = read(readEnd_, buffer, sizeof buffer)) > 0;)
      result.output.append(buffer, n);
    int status = 0;
    waitpid(pid_, &status, 0);
    result.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
    return result;
  }

 private:
  pid_t pid_ = -1;
  int readEnd_ = -1;
};

inline RunResult Run(const std::vector<std::string>& arguments) {
  return Child(arguments).Finish();
}

inline RunResult RunEngine(std::vector<std::string> arguments,
                           const std::vector<std::string>& extraEnvironment = {}) {
  arguments.insert(arguments.begin(), kEngine);
  return Child(arguments, extraEnvironment).Finish();
}

}  // namespace engine_test
