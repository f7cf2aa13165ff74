#include "AmrNbEncoder.h"

#include <opencore-amrnb/interf_enc.h>

#include <array>
#include <stdexcept>

namespace evc {

namespace {
constexpr std::array<int, 8> kModeRates = {4750, 5150, 5900, 6700, 7400, 7950, 10200, 12200};
}

AmrMode AmrModeForBitrate(int64_t bitsPerSecond) {
  AmrMode chosen{0, kModeRates[0]};
  for (int mode = 0; mode < static_cast<int>(kModeRates.size()); ++mode) {
    if (kModeRates[mode] <= bitsPerSecond) chosen = {mode, kModeRates[mode]};
  }
  return chosen;
}

void AmrNbEncoder::StateDeleter::operator()(void* state) const { Encoder_Interface_exit(state); }

AmrNbEncoder::AmrNbEncoder(AmrMode mode) : state_(Encoder_Interface_init(0)), mode_(mode) {
  if (!state_) throw std::runtime_error("cannot start the AMR-NB encoder (opencore-amrnb)");
}

std::vector<uint8_t> AmrNbEncoder::EncodeFrame(const int16_t* samples) {
  // The largest frame (12.2 kbit/s) is 32 bytes with its header byte.
  std::vector<uint8_t> frame(64);
  const int size = Encoder_Interface_Encode(state_.get(), static_cast<Mode>(mode_.mode), samples,
                                            frame.data(), 0);
  if (size <= 0) throw std::runtime_error("the AMR-NB encoder (opencore-amrnb) failed on a frame");
  frame.resize(static_cast<size_t>(size));
  return frame;
}

}  // namespace evc
