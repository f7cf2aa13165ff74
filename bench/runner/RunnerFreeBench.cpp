// How long the window thread is held when the batch frees a worker whose
// engine has just finished: the engine (/bin/echo) prints one line and ends,
// the worker delivers it and pauses, and the worker is freed as soon as the
// engine has finished, as the batch does. Repeated, the longest and the
// median wait are printed; with the program's 500 ms pause after a chunk.
//
//   bench_runner_free [runs]      (default 20)
#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <thread>
#include <vector>

#include "AdvanceSystem.h"

int main(int argc, char* argv[]) {
  const int runs = argc > 1 ? std::max(1, std::atoi(argv[1])) : 20;
  std::vector<double> waits;
  for (int i = 0; i < runs; ++i) {
    std::atomic<bool> delivered{false};
    auto worker = std::make_unique<TAdvanceSystem>(
        EngineCommand{"echo done", {"/bin/echo", "done"}},
        [&](const std::string&) { delivered = true; }, "/tmp");
    worker->Start();
    while (!worker->EngineFinished() || !delivered) {
      std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    const auto start = std::chrono::steady_clock::now();
    worker.reset();
    waits.push_back(
        std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start)
            .count());
  }
  std::sort(waits.begin(), waits.end());
  std::printf("freeing a worker whose engine finished: median %.2f ms, longest %.2f ms (%d runs)\n",
              waits[waits.size() / 2], waits.back(), runs);
  return 0;
}
