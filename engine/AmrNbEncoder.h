// AMR-NB encoding on opencore-amrnb (Debian's libavcodec has none): modes, and
// an encoder that turns 160 samples of 8000 Hz mono 16-bit audio into one frame
// of the AMR storage format (the table-of-contents byte and the speech bits).
// Ownership: AmrNbEncoder owns its opencore state. Thread: one thread per object.
#pragma once

#include <cstdint>
#include <memory>
#include <vector>

namespace evc {

struct AmrMode {
  int mode;           // opencore's enum Mode value, MR475 (0) to MR122 (7)
  int bitsPerSecond;  // 4750 to 12200
};

// The fastest mode not above the asked bitrate; the slowest mode when every
// mode is above it.
AmrMode AmrModeForBitrate(int64_t bitsPerSecond);

class AmrNbEncoder {
 public:
  static constexpr int kFrameSamples = 160;
  static constexpr int kSampleRate = 8000;

  explicit AmrNbEncoder(AmrMode mode);  // throws std::runtime_error when opencore fails
  // samples: kFrameSamples values. Returns the frame bytes.
  std::vector<uint8_t> EncodeFrame(const int16_t* samples);

 private:
  struct StateDeleter {
    void operator()(void* state) const;
  };
  std::unique_ptr<void, StateDeleter> state_;
  AmrMode mode_;
};

}  // namespace evc
