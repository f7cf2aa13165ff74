// The benchmarks' one way to time a piece of work: the median wall and CPU
// time of several runs. CPU time counts every thread of this process and the
// processes it waited for (the ffmpeg tool), and is less disturbed than wall
// time by other builds sharing the machine.
#pragma once

#include <sys/resource.h>

#include <algorithm>
#include <chrono>
#include <functional>
#include <vector>

namespace bench {

inline double CpuSeconds() {
  auto seconds = [](const timeval& t) { return t.tv_sec + t.tv_usec / 1e6; };
  rusage self{};
  rusage children{};
  getrusage(RUSAGE_SELF, &self);
  getrusage(RUSAGE_CHILDREN, &children);
  return seconds(self.ru_utime) + seconds(self.ru_stime) + seconds(children.ru_utime) +
         seconds(children.ru_stime);
}

struct Timing {
  double wall = 0;  // median wall time, seconds
  double cpu = 0;   // median CPU time, seconds
};

// One run of `work`.
inline Timing Once(const std::function<void()>& work) {
  const auto start = std::chrono::steady_clock::now();
  const double cpu = CpuSeconds();
  work();
  return {std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count(),
          CpuSeconds() - cpu};
}

// The median wall and the median CPU time of `timings` (not empty).
inline Timing MedianOf(const std::vector<Timing>& timings) {
  std::vector<double> walls;
  std::vector<double> cpus;
  for (const Timing& t : timings) {
    walls.push_back(t.wall);
    cpus.push_back(t.cpu);
  }
  std::sort(walls.begin(), walls.end());
  std::sort(cpus.begin(), cpus.end());
  return {walls[walls.size() / 2], cpus[cpus.size() / 2]};
}

inline Timing Median(int runs, const std::function<void()>& work) {
  std::vector<Timing> timings;
  for (int i = 0; i < runs; ++i) timings.push_back(Once(work));
  return MedianOf(timings);
}

}  // namespace bench
