// Loudness of the kept part and the gain that brings it to a target.
// LoudnessMeter reads the part once, as the encoder would get it, and keeps a
// profile of about one entry per millisecond: its K-weighted energy (ITU-R
// BS.1770) and its true peak (the peak between samples too, found by 4x
// oversampling). From the profile it gives the integrated loudness as
// EBU R128 defines it (400 ms blocks every 100 ms, an absolute gate at
// -70 LUFS and a relative one 10 LU under the gated mean), and the one gain
// that brings the part, faded and through the true-peak limiter, to a
// target: a limiter that turns loud peaks down also takes loudness away, and
// the profile lets the gain make up for it without reading the part again.
// TruePeakLimiter is that limiter: it holds the true peak under a ceiling
// with a look-ahead, so that the gain falls before a peak, never after it.
// Ownership: plain objects owned by their caller. Thread: one at a time.
#pragma once

#include <cstdint>
#include <deque>
#include <optional>
#include <string>
#include <vector>

#include "Fades.h"

namespace evc {

// The true peak of each sample and of the three points between it and the
// sample before (4x oversampling), over all channels, found with a
// windowed-sinc interpolator. It lags the input by kDelay samples.
class TruePeakDetector {
 public:
  static constexpr int kHalfTaps = 8;  // interpolation taps on each side
  static constexpr int kDelay = kHalfTaps - 1;
  explicit TruePeakDetector(int channels);
  // Takes one frame and returns the true peak of the frame kDelay before it
  // (0 for the first kDelay frames). When no point between samples can
  // rise above `ignoredBelow` (the samples around are too low for that), the
  // samples' own peak is returned without oversampling: callers that only
  // ask whether a peak passes a level save most of the work.
  float Push(const float* frame, float ignoredBelow = 0);

 private:
  int channels_;
  std::vector<std::vector<float>> phases_;  // taps for each point between samples
  float largestGain_ = 0;  // the most any point can be above the largest sample around
  // The last 2 * kHalfTaps frames, written twice, so that they can always
  // be read in one piece.
  std::vector<float> ring_;
  float runLargest_ = 0;      // the largest absolute value since the ring last wrapped
  float lastRunLargest_ = 0;  // the same for the run of kWindow frames before
  int64_t pushed_ = 0;
};

class LoudnessMeter {
 public:
  // `channelWeights`: one per channel (1 for the front, 1.41 for surround,
  // 0 for LFE).
  LoudnessMeter(int sampleRate, std::vector<double> channelWeights);

  void Add(const float* interleaved, int frames);
  // Called once after the last Add(): takes in the peaks the detector still holds.
  void Finish();
  int64_t samples() const { return samples_; }

  // The integrated loudness in LUFS of what was added, faded as `fades`
  // says, times `gainDb`, and through a TruePeakLimiter with `ceilingDb`
  // when that is given;
  // nullopt when no block rises above the absolute gate (silence, or a part
  // shorter than 400 ms).
  std::optional<double> Integrated(const FadePlan& fades, double gainDb = 0,
                                   std::optional<double> ceilingDb = std::nullopt) const;

  // The gain in dB that brings the faded part, limited under `ceilingDb`,
  // to `target` LUFS;
  // nullopt for a silent part. The make-up for what the limiter takes is at
  // most kMostMakeUpDb: beyond it the part would be all limiter.
  static constexpr double kMostMakeUpDb = 6.0;
  std::optional<double> GainFor(double target, const FadePlan& fades, double ceilingDb) const;

 private:
  struct Entry {
    float energy;   // K-weighted, channel-weighted sum of squares
    float peak;     // true peak
    int64_t first;  // index of the entry's first sample
  };
  // The largest sample of an entry, whose neighbourhood is oversampled once
  // the samples after it have come.
  struct Largest {
    size_t entry;
    int64_t index;
    int channel;
  };
  void CloseEntry();
  void OversampleAround(const Largest& largest);

  int sampleRate_;
  std::vector<double> weights_;
  struct Biquad {
    double b0, b1, b2, a1, a2;
  };
  Biquad shelf_{}, highPass_{};
  std::vector<double> state_;  // four values per channel
  std::vector<float> recent_;  // the last frames, for oversampling
  int64_t recentFrames_;
  size_t recentSlot_ = 0;  // where the next frame goes in recent_
  int64_t nextPartEnd_;    // the sample count at which the next 100 ms part ends
  Largest largest_{0, 0, 0};
  float largestValue_ = 0;
  std::deque<Largest> waiting_;  // largest samples whose later neighbours are still to come
  int64_t blockSamples_;         // samples in 100 ms
  int64_t entrySamples_;         // samples in an entry, about 1 ms
  std::vector<Entry> entries_;
  Entry open_{0, 0, 0};
  int64_t samples_ = 0;
};

// The true-peak ceiling with a loudness target, in dBTP, and the lower one
// the limiter keeps for encoders whose decoded output overshoots it.
constexpr double kTruePeakCeilingDb = -1.0;
double TruePeakCeilingFor(const std::string& codec);
// The limiter's timing, shared with the meter that foresees its effect.
constexpr double kLimiterLookAheadSeconds = 0.005;
constexpr double kLimiterReleaseSeconds = 0.03;

class TruePeakLimiter {
 public:
  TruePeakLimiter(int sampleRate, int channels, double ceilingDb);
  // Appends to `out` the limited frames that are ready; they lag the input
  // by a few milliseconds, which Flush() delivers at the end: the output has
  // exactly as many frames as the input.
  void Process(const float* interleaved, int frames, std::vector<float>& out);
  void Flush(std::vector<float>& out);

 private:
  void Push(const float* frame, std::vector<float>& out);

  int channels_;
  double ceiling_;
  int lookAhead_;         // L: frames the gain starts falling before a peak
  double releaseFactor_;  // per sample, towards unity gain
  TruePeakDetector detector_;
  int64_t ringFrames_;
  std::vector<float> ring_;  // the input frames not yet given out
  size_t writeSlot_ = 0;     // ring_ frame of the next pushed frame
  size_t readSlot_ = 0;      // ring_ frame of the next frame j to weigh
  size_t boxSlot_ = 0;       // box_ entry of frame j
  int64_t pushed_ = 0;       // frames pushed, the leading silence included
  int64_t lead_;             // frames of leading silence
  int64_t inputFrames_ = 0;
  int64_t emitted_ = 0;
  std::deque<std::pair<int64_t, double>> window_;  // rising minimum of the needed gain
  double released_ = 1.0;
  std::vector<double> box_;  // the last L released gains
  double boxSum_;
  double inverseLookAhead_;  // a product per sample rather than a division
};

}  // namespace evc
