// Helpers of the source-list and batch tests: sound files made with the ffmpeg
// tool (started without a shell, so names with blanks, quotes and non-ASCII
// letters are made exactly), a user interface that answers boxes from a
// script and runs queued work when the code lets events run, and a recorder
// of the windows the batch drives.
#pragma once

#include <spawn.h>
#include <sys/wait.h>

#include <deque>
#include <functional>
#include <mutex>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

#include "UserInterface.h"

extern char** environ;

namespace list_test {

// Runs `program` with `arguments` (no shell) and waits; true on exit code 0.
inline bool Run(const std::vector<std::string>& arguments) {
  std::vector<char*> argv;
  for (const std::string& argument : arguments) argv.push_back(const_cast<char*>(argument.c_str()));
  argv.push_back(nullptr);
  pid_t pid = 0;
  if (::posix_spawnp(&pid, argv[0], nullptr, nullptr, argv.data(), environ) != 0) return false;
  int status = 0;
  ::waitpid(pid, &status, 0);
  return WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

// A sine tone of `seconds` written to `path`; the extension picks the
// container, `codec` the encoder ("" for the container's default).
inline void MakeTone(const std::string& path, double seconds, const std::string& codec = "") {
  std::vector<std::string> arguments = {
      "ffmpeg",    "-hide_banner",
      "-loglevel", "error",
      "-nostdin",  "-y",
      "-f",        "lavfi",
      "-i",        "sine=frequency=440:sample_rate=44100:duration=" + std::to_string(seconds)};
  if (!codec.empty()) {
    arguments.push_back("-c:a");
    arguments.push_back(codec);
  }
  arguments.push_back(path);
  if (!Run(arguments)) throw std::runtime_error("ffmpeg could not make " + path);
}

// A user interface without windows: message boxes are recorded and answered
// with `Answer`; work queued with Post runs whenever the code under test lets
// events run (ProcessMessages, Pause), in order, on the calling thread.
class ScriptedUi : public UserInterface {
 public:
  struct Box {
    std::string text;
    MessageIcon icon;
    MessageButtons buttons;
  };
  std::vector<Box> Boxes;
  int Answer = IDYES;
  // Runs when a box is shown, before it is answered (e.g. to look at state).
  std::function<void(const Box&)> OnBox;
  // Runs on every ProcessMessages (e.g. to press Stop at the right moment).
  std::function<void()> OnEvents;

  int MessageBox(const std::string& text, MessageIcon icon, MessageButtons buttons) override {
    Boxes.push_back({text, icon, buttons});
    if (OnBox) OnBox(Boxes.back());
    return buttons == MessageButtons::Ok ? IDOK : Answer;
  }
  bool BrowseForFolder(const std::string&, const std::string&, std::string&) override {
    return false;
  }
  std::optional<std::string> InputBox(const std::string&, const std::string&,
                                      const std::string&) override {
    return std::nullopt;
  }
  void ProcessMessages() override {
    ++EventRuns;
    for (;;) {
      std::function<void()> work;
      {
        std::lock_guard<std::mutex> lock(mutex_);
        if (queue_.empty()) break;
        work = std::move(queue_.front());
        queue_.pop_front();
      }
      work();
    }
    if (OnEvents) OnEvents();
  }
  void Pause(int milliseconds) override {
    const auto until = std::chrono::steady_clock::now() + std::chrono::milliseconds(milliseconds);
    PausedMs += milliseconds;
    do {
      ProcessMessages();
      std::this_thread::sleep_for(std::chrono::milliseconds(5));
    } while (std::chrono::steady_clock::now() < until);
  }
  // Any thread.
  void Post(std::function<void()> work) {
    std::lock_guard<std::mutex> lock(mutex_);
    queue_.push_back(std::move(work));
  }

  int EventRuns = 0;
  long PausedMs = 0;

 private:
  std::mutex mutex_;
  std::deque<std::function<void()>> queue_;
};

}  // namespace list_test
