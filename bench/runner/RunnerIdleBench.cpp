// How much processor time the runner spends while the engine prints nothing:
// runs RunAndCapture on a worker thread against a silent child (/bin/sleep)
// and reads that thread's own CPU time (RUSAGE_THREAD) when the loop ends.
// Measured twice: as the program runs it (the idle wait sleeps until output or
// the engine's end), and with short polls only, as on kernels without pidfd.
//
//   bench_runner_idle [seconds]      (default 10)
#include <sys/resource.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <thread>

#include "AdvanceSystem.h"

namespace {

double Seconds(const timeval& t) { return static_cast<double>(t.tv_sec) + t.tv_usec / 1e6; }

bool Measure(const char* label, int seconds, const CaptureTiming& timing) {
  EngineCommand command{"sleep " + std::to_string(seconds),
                        {"/bin/sleep", std::to_string(seconds)}};
  double cpu = 0;
  bool ran = false;
  auto start = std::chrono::steady_clock::now();
  std::thread worker([&] {
    ran = RunAndCapture(command, nullptr, "/tmp", timing);
    rusage usage{};
    getrusage(RUSAGE_THREAD, &usage);
    cpu = Seconds(usage.ru_utime) + Seconds(usage.ru_stime);
  });
  worker.join();
  double wall = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  if (!ran) {
    std::fprintf(stderr, "the silent engine could not be started\n");
    return false;
  }
  std::printf("%-28s %.2f s wall, runner thread CPU %.4f s (%.3f %% of one core)\n", label, wall,
              cpu, 100.0 * cpu / wall);
  return true;
}

}  // namespace

int main(int argc, char* argv[]) {
  int seconds = argc > 1 ? std::atoi(argv[1]) : 10;
  CaptureTiming program;
  CaptureTiming polls_only;
  polls_only.IdleWaitMs = polls_only.IdlePollMs;
  bool ok = Measure("silent engine:", seconds, program) &&
            Measure("silent engine, polls only:", seconds, polls_only);
  return ok ? 0 : 1;
}
