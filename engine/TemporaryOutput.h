// The output file's life: the engine writes under a hidden temporary name in
// the output folder and renames it to the asked name only when it is
// complete. A failure or any terminating signal (HUP, INT, QUIT, TERM, USR1,
// USR2, ALRM, XCPU and the other timers) removes the temporary file, so a
// partial file never appears and an existing file of the asked name is never
// damaged. Ownership: a TemporaryOutput owns its temporary file until
// Commit(). Thread: the main thread, which alone handles those signals; only
// one TemporaryOutput may be alive.
#pragma once

#include <sys/stat.h>

#include <string>

namespace evc {

// Makes every terminating signal remove the current temporary file and end
// the process with 128 + the signal number; SIGPIPE is ignored so that a
// reader that went away cannot kill the engine half-way through a write (the
// conversion then completes), SIGXFSZ so that a file-size limit is a write
// error with a reason.
void InstallInterruptCleanup();

// For every thread the engine starts besides the main one: the cleanup
// signals are then always handled by the main thread, which alone changes the
// temporary name.
void BlockCleanupSignalsInThisThread();

class TemporaryOutput {
 public:
  // Checks the folder, that the final name is not a device, a pipe or a
  // folder, that it is not the file `keep` (the source, under any of its
  // names) and, without overwrite, that no file of that name exists; creates
  // the temporary file. Throws std::runtime_error with a one-line reason.
  TemporaryOutput(std::string finalPath, bool overwrite, const struct stat* keep = nullptr);
  ~TemporaryOutput();
  TemporaryOutput(const TemporaryOutput&) = delete;
  TemporaryOutput& operator=(const TemporaryOutput&) = delete;

  const std::string& path() const { return temporaryPath_; }
  // Gives the complete file its final name (replacing an old one only with
  // overwrite). Throws std::runtime_error; the temporary file is removed then.
  void Commit();

 private:
  std::string finalPath_;
  std::string temporaryPath_;
  bool overwrite_;
  bool committed_ = false;
};

}  // namespace evc
