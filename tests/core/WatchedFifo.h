// A FIFO for tests of code that must never open one: made with mkfifo, with a
// watcher thread that notices whoever opens it and lets them go again, so a
// fault shows as a failed expectation instead of a test that hangs for ever.
//
// The watcher takes turns: it tries to open the FIFO for writing without
// waiting (which succeeds only while someone holds it open for reading), then
// opens it for reading without waiting and reads it (which tells whether
// someone holds it open for writing, and drains what they write). Either
// success is recorded; closing its end then ends the other side's wait or
// read. Removed with the watcher when the object goes.
#pragma once

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <chrono>
#include <stdexcept>
#include <string>
#include <thread>

class WatchedFifo {
 public:
  explicit WatchedFifo(std::string path) : path_(std::move(path)) {
    if (::mkfifo(path_.c_str(), 0644) != 0) throw std::runtime_error("mkfifo failed: " + path_);
    // A writer whose reader went away must get EPIPE, not end the test.
    ::signal(SIGPIPE, SIG_IGN);
    watcher_ = std::thread([this] { Watch(); });
  }
  ~WatchedFifo() {
    stop_ = true;
    watcher_.join();
    ::unlink(path_.c_str());
  }
  WatchedFifo(const WatchedFifo&) = delete;
  WatchedFifo& operator=(const WatchedFifo&) = delete;

  const std::string& Path() const { return path_; }
  bool OpenedForReading() const { return opened_for_reading_; }
  bool OpenedForWriting() const { return opened_for_writing_; }

 private:
  void Watch() {
    while (!stop_) {
      const int writer = ::open(path_.c_str(), O_WRONLY | O_NONBLOCK | O_CLOEXEC);
      if (writer >= 0) {
        opened_for_reading_ = true;
        ::close(writer);  // the reader sees the end of the file
      }
      const int reader = ::open(path_.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
      if (reader >= 0) {
        Drain(reader);
        ::close(reader);
      }
      std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
  }

  // Reads until no writer is left: EAGAIN or data means one holds it open.
  void Drain(int reader) {
    char buffer[4096];
    for (;;) {
      const ssize_t n = ::read(reader, buffer, sizeof buffer);
      if (n == 0) return;  // no writer
      if (n > 0) {
        opened_for_writing_ = true;
        continue;
      }
      if (errno == EINTR) continue;
      if (errno != EAGAIN) return;
      opened_for_writing_ = true;
      if (stop_) return;
      pollfd entry{reader, POLLIN, 0};
      ::poll(&entry, 1, 20);
    }
  }

  std::string path_;
  std::atomic<bool> stop_{false};
  std::atomic<bool> opened_for_reading_{false};
  std::atomic<bool> opened_for_writing_{false};
  std::thread watcher_;
};
