// Decoding a song for the hook analysis: the whole first audio stream, mixed
// down to one channel and resampled to a low rate, as plain float samples.
// The analysis only looks at harmony, timbre and loudness up to a few kHz, so
// a low rate keeps the later work small without losing what it needs.
//
// Ownership: the caller owns the returned samples. Threads: any thread (made
// for a worker); nothing is shared between calls. The optional cancel flag is
// read while decoding, so another thread can end a long decode early.
#pragma once

#include <atomic>
#include <stdexcept>
#include <string>
#include <vector>

// The analysis was asked to stop through its cancel flag.
class HookCancelled : public std::runtime_error {
 public:
  HookCancelled() : std::runtime_error("The hook analysis was cancelled") {}
};

struct MonoAudio {
  int rate = 0;                // samples per second
  std::vector<float> samples;  // -1..1, one channel

  double Seconds() const { return rate > 0 ? static_cast<double>(samples.size()) / rate : 0.0; }
};

// Throws HookCancelled when *cancel became true first.
inline void ThrowIfCancelled(const std::atomic<bool>* cancel) {
  if (cancel && cancel->load(std::memory_order_relaxed)) throw HookCancelled();
}

// The first audio stream of `path` as mono at `rate` Hz. Throws MediaError
// naming the file when it cannot be opened, holds no audio stream that
// decodes, or decodes to no sound at all; HookCancelled when cancelled.
MonoAudio DecodeMonoAudio(const std::string& path, int rate,
                          const std::atomic<bool>* cancel = nullptr);
