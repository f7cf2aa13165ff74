// The benchmarks' one way to run a shell command (the ffmpeg tool making a
// fixture, or timed beside Tonbrix): a command that fails ends the benchmark,
// since its figures would mean nothing.
#pragma once

#include <cstdio>
#include <cstdlib>
#include <string>

namespace bench {

inline void Run(const std::string& command) {
  if (std::system(command.c_str()) != 0) {
    std::fprintf(stderr, "failed: %s\n", command.c_str());
    std::exit(1);
  }
}

}  // namespace bench
