// The output file's life: the engine writes under a hidden temporary name in
// the output folder and renames it to the asked name only when it is
// complete. A failure, SIGTERM or SIGINT removes the temporary file, so a
// partial file never appears and an existing file of the asked name is never
// damaged. Ownership: a TemporaryOutput owns its temporary file until
// Commit(). Thread: the main thread; only one TemporaryOutput may be alive.
#pragma once

#include <string>

namespace evc {

// Makes SIGINT and SIGTERM remove the current temporary file and end the
// process with 128 + the signal number; SIGPIPE is ignored so that a reader
// that went away cannot kill the engine half-way through a write.
void InstallInterruptCleanup();

class TemporaryOutput {
 public:
  // Checks the folder and, without overwrite, that no file of the final name
  // exists; creates the temporary file. Throws std::runtime_error with a
  // one-line reason.
  TemporaryOutput(std::string finalPath, bool overwrite);
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
