#include "Loudness.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <numbers>

namespace evc {
namespace {

constexpr double kAbsoluteGate = -70.0;  // LUFS
constexpr double kRelativeGate = -10.0;  // LU under the mean of the blocks above the absolute gate
constexpr int kBlockParts = 4;           // a 400 ms block is four 100 ms parts
constexpr int kOversampling = 4;
constexpr int kHalfTaps = TruePeakDetector::kHalfTaps;

// A windowed sinc (Hann window over kHalfTaps samples on each side) for
// each point between two samples: taps[j] weighs sample m - kHalfTaps + 1 + j
// for a point after sample m.
std::vector<std::vector<float>> InterpolationTaps() {
  std::vector<std::vector<float>> phases;
  for (int p = 1; p < kOversampling; ++p) {
    const double offset = static_cast<double>(p) / kOversampling;
    std::vector<float> taps;
    for (int k = -kHalfTaps + 1; k <= kHalfTaps; ++k) {
      const double t = offset - k;  // from sample m + k to the point m + offset
      const double sinc = std::sin(std::numbers::pi * t) / (std::numbers::pi * t);
      taps.push_back(
          static_cast<float>(sinc * (0.5 + 0.5 * std::cos(std::numbers::pi * t / kHalfTaps))));
    }
    phases.push_back(std::move(taps));
  }
  return phases;
}

const std::vector<std::vector<float>>& Taps() {
  static const std::vector<std::vector<float>> taps = InterpolationTaps();
  return taps;
}

double BlockLoudness(double meanSquare) { return -0.691 + 10.0 * std::log10(meanSquare); }
double Linear(double db) { return std::pow(10.0, db / 20.0); }
int LookAheadFrames(int sampleRate) {
  return std::max(1, static_cast<int>(std::lround(kLimiterLookAheadSeconds * sampleRate)));
}
double ReleaseFactor(int sampleRate) {
  return std::exp(-1.0 / (kLimiterReleaseSeconds * sampleRate));
}

}  // namespace

TruePeakDetector::TruePeakDetector(int channels)
    : channels_(channels),
      phases_(Taps()),
      ring_(static_cast<size_t>(4 * kHalfTaps * channels), 0.0f) {
  for (const std::vector<float>& taps : phases_) {
    float sum = 0;
    for (float tap : taps) sum += std::abs(tap);
    largestGain_ = std::max(largestGain_, sum);
  }
}

float TruePeakDetector::Push(const float* frame, float ignoredBelow) {
  constexpr int64_t kWindow = 2 * kHalfTaps;
  const auto slot = static_cast<size_t>(pushed_ % kWindow);
  std::copy_n(frame, channels_, &ring_[slot * channels_]);
  std::copy_n(frame, channels_, &ring_[(slot + kWindow) * channels_]);
  const int64_t c = pushed_++ - kDelay;  // the sample whose peak is now known
  // A bound on the largest sample of the window: the largest of the last
  // whole run of kWindow frames and of the run being filled, which together
  // hold the window. It may be a little high, which only costs an
  // oversampling that finds nothing, and it takes no search over the window.
  float largest = 0;
  for (int ch = 0; ch < channels_; ++ch) largest = std::max(largest, std::abs(frame[ch]));
  runLargest_ = std::max(runLargest_, largest);
  const float windowLargest = std::max(runLargest_, lastRunLargest_);
  if (slot == kWindow - 1) {
    lastRunLargest_ = runLargest_;
    runLargest_ = 0;
  }
  if (c < 0) return 0.0f;
  // Frames c - kHalfTaps .. c + kHalfTaps - 1, oldest first.
  const float* window = &ring_[(slot + 1) * channels_];
  const float* sample = window + static_cast<size_t>(kHalfTaps) * channels_;
  float peak = 0;
  for (int ch = 0; ch < channels_; ++ch) peak = std::max(peak, std::abs(sample[ch]));
  if (windowLargest * largestGain_ <= std::max(ignoredBelow, peak)) return peak;
  // The points between sample c - 1 and c.
  for (const std::vector<float>& taps : phases_) {
    for (int ch = 0; ch < channels_; ++ch) {
      float value = 0;
      for (size_t j = 0; j < taps.size(); ++j) value += taps[j] * window[j * channels_ + ch];
      peak = std::max(peak, std::abs(value));
    }
  }
  return peak;
}

LoudnessMeter::LoudnessMeter(int sampleRate, std::vector<double> channelWeights)
    : sampleRate_(sampleRate),
      weights_(std::move(channelWeights)),
      state_(weights_.size() * 4, 0.0),
      recentFrames_(4 * kHalfTaps),
      blockSamples_((sampleRate + 5) / 10),
      entrySamples_(std::max(1, sampleRate / 1000)) {
  recent_.assign(static_cast<size_t>(recentFrames_) * weights_.size(), 0.0f);
  nextPartEnd_ = blockSamples_;
  // The K-weighting filter of BS.1770 (a high shelf of +4 dB above about
  // 1.5 kHz, then a high-pass at 38 Hz), its published analogue prototype
  // brought to this sample rate by the bilinear transform.
  double k = std::tan(std::numbers::pi * 1681.974450955533 / sampleRate);
  double q = 0.7071752369554196;
  const double vh = std::pow(10.0, 3.999843853973347 / 20.0);
  const double vb = std::pow(vh, 0.4996667741545416);
  double a0 = 1.0 + k / q + k * k;
  shelf_ = {(vh + vb * k / q + k * k) / a0, 2.0 * (k * k - vh) / a0, (vh - vb * k / q + k * k) / a0,
            2.0 * (k * k - 1.0) / a0, (1.0 - k / q + k * k) / a0};
  k = std::tan(std::numbers::pi * 38.13547087602444 / sampleRate);
  q = 0.5003270373238773;
  a0 = 1.0 + k / q + k * k;
  highPass_ = {1.0, -2.0, 1.0, 2.0 * (k * k - 1.0) / a0, (1.0 - k / q + k * k) / a0};
}

void LoudnessMeter::Add(const float* interleaved, int frames) {
  const size_t channels = weights_.size();
  for (int i = 0; i < frames; ++i) {
    const float* frame = interleaved + static_cast<size_t>(i) * channels;
    double power = 0;
    for (size_t c = 0; c < channels; ++c) {
      double* s = &state_[c * 4];
      const double x = frame[c];
      // Direct form II transposed, one stage after the other.
      const double y1 = shelf_.b0 * x + s[0];
      s[0] = shelf_.b1 * x - shelf_.a1 * y1 + s[1];
      s[1] = shelf_.b2 * x - shelf_.a2 * y1;
      const double y2 = highPass_.b0 * y1 + s[2];
      s[2] = highPass_.b1 * y1 - highPass_.a1 * y2 + s[3];
      s[3] = highPass_.b2 * y1 - highPass_.a2 * y2;
      power += weights_[c] * y2 * y2;
    }
    std::copy_n(frame, channels, &recent_[recentSlot_ * channels]);
    if (++recentSlot_ == static_cast<size_t>(recentFrames_)) recentSlot_ = 0;
    for (size_t c = 0; c < channels; ++c) {
      if (std::abs(frame[c]) > largestValue_) {
        largestValue_ = std::abs(frame[c]);
        largest_ = {entries_.size(), samples_, static_cast<int>(c)};
      }
    }
    open_.energy += static_cast<float>(power);
    ++samples_;
    while (!waiting_.empty() && waiting_.front().index + kHalfTaps < samples_) {
      OversampleAround(waiting_.front());
      waiting_.pop_front();
    }
    // An entry never spans two 100 ms parts, so that the parts stay exact.
    // (Counters rather than a division per sample: this loop runs over every sample.)
    const bool partEnds = samples_ == nextPartEnd_;
    if (partEnds) nextPartEnd_ += blockSamples_;
    if (samples_ - open_.first == entrySamples_ || partEnds) CloseEntry();
  }
}

// An entry's true peak is taken next to its largest sample only: the peak
// between samples lies beside a large sample, and one look per millisecond
// rather than one per sample keeps the first reading little more than a
// decode.
void LoudnessMeter::CloseEntry() {
  open_.peak = largestValue_;
  entries_.push_back(open_);
  if (largestValue_ > 0) waiting_.push_back(largest_);
  open_ = {0, 0, samples_};
  largestValue_ = 0;
}

void LoudnessMeter::OversampleAround(const Largest& largest) {
  const size_t channels = weights_.size();
  auto at = [&](int64_t index) {
    if (index < 0 || index >= samples_ || index <= samples_ - recentFrames_) return 0.0f;
    return recent_[static_cast<size_t>(index % recentFrames_) * channels +
                   static_cast<size_t>(largest.channel)];
  };
  // The samples around the largest one, gathered once for both sides.
  std::array<float, 2 * kHalfTaps + 1> around{};
  const int64_t first = largest.index - kHalfTaps;
  for (size_t i = 0; i < around.size(); ++i) around[i] = at(first + static_cast<int64_t>(i));
  float& peak = entries_[largest.entry].peak;
  // The points before and after the largest sample: for a point after
  // sample m, taps[j] weighs sample m - kHalfTaps + 1 + j.
  for (const size_t from : {size_t{0}, size_t{1}}) {
    for (const std::vector<float>& taps : Taps()) {
      float value = 0;
      for (size_t j = 0; j < taps.size(); ++j) value += taps[j] * around[from + j];
      peak = std::max(peak, std::abs(value));
    }
  }
}

void LoudnessMeter::Finish() {
  if (samples_ > open_.first) CloseEntry();
  // The samples after the end are silence.
  for (const Largest& largest : waiting_) OversampleAround(largest);
  waiting_.clear();
}

double TruePeakCeilingFor(const std::string& codec) {
  // Measured on decoded outputs of music limited to -1 dBTP: the AAC
  // encoder's output peaks up to 0.7 dB above what it was given, AMR-NB
  // (a speech coder at 8 kHz) up to 2 dB; MP3, AC-3 and Vorbis stay under
  // -0.5 dBTP. Those two get a lower ceiling, so that their decoded peaks
  // keep clear of full scale too.
  if (codec == "aac") return -2.0;
  if (codec == "amr_nb") return -3.0;
  return kTruePeakCeilingDb;
}

std::optional<double> LoudnessMeter::Integrated(const FadePlan& fades, double gainDb,
                                                std::optional<double> ceilingDb) const {
  const size_t count = entries_.size();
  // Each entry's level: the gain times the fade at its middle.
  std::vector<double> level(count);
  for (size_t i = 0; i < count; ++i) {
    const int64_t end = i + 1 < count ? entries_[i + 1].first : samples_;
    level[i] = Linear(gainDb) * FadeGainAt(fades, (entries_[i].first + end) / 2);
  }
  // The limiter's gain, entry by entry, built as TruePeakLimiter builds it
  // sample by sample.
  std::vector<double> limiter(count, 1.0);
  if (ceilingDb) {
    const double ceiling = Linear(*ceilingDb);
    const auto span = static_cast<size_t>(
        std::max<int64_t>(1, (LookAheadFrames(sampleRate_) + entrySamples_ - 1) / entrySamples_));
    const double release = std::pow(ReleaseFactor(sampleRate_), static_cast<double>(entrySamples_));
    std::vector<double> needed(count);
    for (size_t i = 0; i < count; ++i) {
      const double peak = entries_[i].peak * level[i];
      needed[i] = peak > ceiling ? ceiling / peak : 1.0;
    }
    std::vector<double> released(count);
    double last = 1.0;
    for (size_t i = 0; i < count; ++i) {
      double lowest = 1.0;
      for (size_t k = i; k < std::min(count, i + span); ++k) lowest = std::min(lowest, needed[k]);
      last = std::min(lowest, 1.0 - (1.0 - last) * release);
      released[i] = last;
    }
    for (size_t i = 0; i < count; ++i) {
      double sum = 0;
      for (size_t k = 0; k < span; ++k) sum += i >= k ? released[i - k] : 1.0;
      limiter[i] = sum / static_cast<double>(span);
    }
  }

  std::vector<double> parts(static_cast<size_t>(samples_ / blockSamples_), 0.0);
  for (size_t i = 0; i < count; ++i) {
    const auto part = static_cast<size_t>(entries_[i].first / blockSamples_);
    if (part >= parts.size()) break;  // the unfinished last part counts in no block
    const double scale = level[i] * limiter[i];
    parts[part] += entries_[i].energy * scale * scale;
  }
  std::vector<double> blocks;  // mean square of each 400 ms block
  for (size_t first = 0; first + kBlockParts <= parts.size(); ++first) {
    double sum = 0;
    for (int p = 0; p < kBlockParts; ++p) sum += parts[first + p];
    blocks.push_back(sum / static_cast<double>(kBlockParts * blockSamples_));
  }
  auto gatedMean = [&](double gate) -> std::optional<double> {
    double sum = 0;
    int taken = 0;
    for (double z : blocks) {
      if (z > 0 && BlockLoudness(z) > gate) {
        sum += z;
        ++taken;
      }
    }
    if (taken == 0) return std::nullopt;
    return sum / taken;
  };
  const auto aboveAbsolute = gatedMean(kAbsoluteGate);
  if (!aboveAbsolute) return std::nullopt;
  const auto gated =
      gatedMean(std::max(kAbsoluteGate, BlockLoudness(*aboveAbsolute) + kRelativeGate));
  if (!gated) return std::nullopt;
  return BlockLoudness(*gated);
}

std::optional<double> LoudnessMeter::GainFor(double target, const FadePlan& fades,
                                             double ceilingDb) const {
  const auto measured = Integrated(fades);
  if (!measured) return std::nullopt;
  const double plain = target - *measured;
  // The limited loudness rises with the gain: find the make-up by halving.
  auto shortOf = [&](double makeUp) {
    return target - Integrated(fades, plain + makeUp, ceilingDb).value_or(target);
  };
  if (shortOf(0) <= 0.01) return plain;
  if (shortOf(kMostMakeUpDb) > 0) return plain + kMostMakeUpDb;
  double low = 0, high = kMostMakeUpDb;
  for (int i = 0; i < 20; ++i) {
    const double middle = (low + high) / 2;
    (shortOf(middle) > 0 ? low : high) = middle;
  }
  return plain + high;
}

TruePeakLimiter::TruePeakLimiter(int sampleRate, int channels, double ceilingDb)
    : channels_(channels),
      ceiling_(Linear(ceilingDb)),
      lookAhead_(LookAheadFrames(sampleRate)),
      releaseFactor_(ReleaseFactor(sampleRate)),
      detector_(channels),
      ringFrames_(TruePeakDetector::kDelay + lookAhead_ + 4),
      ring_(static_cast<size_t>(ringFrames_) * channels, 0.0f),
      lead_(lookAhead_ - 1),
      box_(static_cast<size_t>(lookAhead_), 1.0),
      boxSum_(lookAhead_),
      inverseLookAhead_(1.0 / lookAhead_) {
  // The leading silence: the gain just before the first sample already
  // knows of a peak within the look-ahead.
  const std::vector<float> silence(static_cast<size_t>(channels_), 0.0f);
  std::vector<float> none;
  for (int64_t i = 0; i < lead_; ++i) Push(silence.data(), none);
}

void TruePeakLimiter::Push(const float* frame, std::vector<float>& out) {
  const int64_t v = pushed_++;
  // Ring positions are kept as counters: a division per sample would cost
  // more than the limiting itself.
  std::copy_n(frame, channels_, &ring_[writeSlot_ * channels_]);
  if (++writeSlot_ == static_cast<size_t>(ringFrames_)) writeSlot_ = 0;
  const double peak = detector_.Push(frame, static_cast<float>(ceiling_));
  const int64_t c = v - TruePeakDetector::kDelay;  // the sample that peak belongs to
  if (c < 0) return;
  const double needed = peak > ceiling_ ? ceiling_ / peak : 1.0;
  // Only samples that need the gain down are kept: an empty window means 1.
  if (needed < 1.0) {
    while (!window_.empty() && window_.back().second >= needed) window_.pop_back();
    window_.emplace_back(c, needed);
  }
  // The gain for sample j is the lowest needed over j .. j + L - 1, released
  // slowly back to unity, then averaged over the L gains up to j: each of
  // those L values is at most the need of sample j, so no peak passes the
  // ceiling, and the average makes the fall smooth.
  const int64_t j = c - lookAhead_ + 1;
  if (j < 0) return;
  while (!window_.empty() && window_.front().first < j) window_.pop_front();
  const double lowest = window_.empty() ? 1.0 : window_.front().second;
  // Where nothing needs the gain down and it is back at unity, the release
  // and the average would only add zeros: most of a part takes this way.
  if (lowest < 1.0 || released_ < 1.0) {
    released_ = std::min(lowest, 1.0 - (1.0 - released_) * releaseFactor_);
  }
  double& slot = box_[boxSlot_];
  if (++boxSlot_ == box_.size()) boxSlot_ = 0;
  if (released_ != slot) {
    boxSum_ += released_ - slot;
    slot = released_;
  }
  // Summed afresh now and then, so that rounding never builds up.
  if ((j & 65535) == 0) {
    boxSum_ = 0;
    for (double g : box_) boxSum_ += g;
  }
  const float* x = &ring_[readSlot_ * channels_];
  if (++readSlot_ == static_cast<size_t>(ringFrames_)) readSlot_ = 0;
  if (j < lead_ || emitted_ >= inputFrames_) return;
  const double gain = boxSum_ >= lookAhead_ ? 1.0 : boxSum_ * inverseLookAhead_;
  for (int ch = 0; ch < channels_; ++ch) out.push_back(static_cast<float>(x[ch] * gain));
  ++emitted_;
}

void TruePeakLimiter::Process(const float* interleaved, int frames, std::vector<float>& out) {
  inputFrames_ += frames;
  out.reserve(out.size() + static_cast<size_t>(frames) * channels_);
  for (int i = 0; i < frames; ++i) Push(interleaved + static_cast<size_t>(i) * channels_, out);
}

void TruePeakLimiter::Flush(std::vector<float>& out) {
  const std::vector<float> silence(static_cast<size_t>(channels_), 0.0f);
  while (emitted_ < inputFrames_) Push(silence.data(), out);
}

}  // namespace evc
