#include "HookFeatures.h"

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <exception>
#include <memory>
#include <numbers>
#include <thread>

extern "C" {
#include <libavutil/mem.h>
#include <libavutil/tx.h>
}

#include "LibavPtr.h"

namespace {

// At the analysis rate of about 11 kHz, 2048 samples resolve neighbouring
// semitones from about 100 Hz up, and a 512-sample step (46 ms) is fine
// enough to find beats.
constexpr int kWindow = 2048;
constexpr int kStep = 512;
// Analysis frames gather at least this many steps (about 0.19 s).
constexpr size_t kStepsPerFrame = 4;
// The onset envelope's step: 23 ms.
constexpr size_t kOnsetStep = 256;

struct TxDeleter {
  void operator()(AVTXContext* p) const { av_tx_uninit(&p); }
};
struct AvFreeDeleter {
  void operator()(void* p) const { av_free(p); }
};

// The forward real FFT of kWindow samples, with buffers aligned as av_tx wants.
class RealFft {
 public:
  RealFft() {
    AVTXContext* raw = nullptr;
    const float scale = 1.0f;
    const int err = av_tx_init(&raw, &fn_, AV_TX_FLOAT_RDFT, 0, kWindow, &scale, 0);
    if (err < 0) throw MediaError("Cannot set up the FFT: " + AvErrorText(err));
    context_.reset(raw);
    in_.reset(static_cast<float*>(av_malloc(sizeof(float) * kWindow)));
    out_.reset(static_cast<AVComplexFloat*>(av_malloc(sizeof(AVComplexFloat) * (kWindow / 2 + 1))));
    if (!in_ || !out_) throw MediaError("Cannot set up the FFT: " + AvErrorText(AVERROR(ENOMEM)));
  }
  float* Input() { return in_.get(); }
  // Transforms the input; the result holds kWindow / 2 + 1 bins.
  const AVComplexFloat* Run() {
    fn_(context_.get(), out_.get(), in_.get(), sizeof(float));
    return out_.get();
  }

 private:
  std::unique_ptr<AVTXContext, TxDeleter> context_;
  av_tx_fn fn_ = nullptr;
  std::unique_ptr<float, AvFreeDeleter> in_;
  std::unique_ptr<AVComplexFloat, AvFreeDeleter> out_;
};

// Which pitch class and timbre band each FFT bin feeds (-1: none).
struct BinMap {
  std::vector<int> pitch_class;
  std::vector<int> band;

  explicit BinMap(int rate) : pitch_class(kWindow / 2 + 1, -1), band(kWindow / 2 + 1, -1) {
    const double bin_hz = static_cast<double>(rate) / kWindow;
    // Bands spaced evenly on a log scale from 60 Hz to 5 kHz (or Nyquist).
    const double low = 60.0;
    const double high = std::min(5000.0, rate / 2.0);
    const double octaves = std::log(high / low);
    for (int k = 1; k <= kWindow / 2; ++k) {
      const double hz = k * bin_hz;
      if (hz >= 100.0 && hz <= 3000.0) {
        const long midi = std::lround(69.0 + 12.0 * std::log2(hz / 440.0));
        pitch_class[k] = static_cast<int>(midi % 12);
      }
      if (hz >= low && hz < high) {
        const double position = std::log(hz / low) / octaves;
        band[k] = std::min(kTimbreBands - 1, static_cast<int>(kTimbreBands * position));
      }
    }
  }
};

// Fills the analysis frames [first, last) of `features`. Frames are
// independent, so ranges can run on separate threads.
void AnalyseFrames(const MonoAudio& audio, const BinMap& map, size_t per_frame, size_t first,
                   size_t last, HookFeatures& features, const std::atomic<bool>* cancel) {
  const std::vector<float>& x = audio.samples;
  const size_t steps = x.size() / kStep + 1;
  RealFft fft;
  std::vector<float> window(kWindow);
  for (int i = 0; i < kWindow; ++i) {
    window[i] = static_cast<float>(0.5 - 0.5 * std::cos(2.0 * std::numbers::pi * i / kWindow));
  }
  double band_power[kTimbreBands];
  for (size_t frame = first; frame < last; ++frame) {
    ThrowIfCancelled(cancel);
    float* chroma = &features.chroma[frame * kChromaClasses];
    std::fill(band_power, band_power + kTimbreBands, 0.0);
    double power = 0.0;
    size_t samples = 0;
    for (size_t s = frame * per_frame; s < std::min(steps, (frame + 1) * per_frame); ++s) {
      // The window is centred on its step, so frame times are step times.
      const std::ptrdiff_t begin = static_cast<std::ptrdiff_t>(s * kStep) - kWindow / 2;
      float* in = fft.Input();
      for (int i = 0; i < kWindow; ++i) {
        const std::ptrdiff_t n = begin + i;
        in[i] = n >= 0 && n < static_cast<std::ptrdiff_t>(x.size()) ? x[n] * window[i] : 0.0f;
      }
      const AVComplexFloat* spectrum = fft.Run();
      for (int k = 1; k <= kWindow / 2; ++k) {
        const float p = spectrum[k].re * spectrum[k].re + spectrum[k].im * spectrum[k].im;
        if (map.pitch_class[k] >= 0) chroma[map.pitch_class[k]] += p;
        if (map.band[k] >= 0) band_power[map.band[k]] += p;
      }
      // Loudness from the samples of the step itself.
      const size_t first_sample = std::min(x.size(), s * kStep);
      const size_t end = std::min(x.size(), first_sample + kStep);
      for (size_t n = first_sample; n < end; ++n) power += static_cast<double>(x[n]) * x[n];
      samples += end - first_sample;
    }
    const double mean = samples ? power / static_cast<double>(samples) : 0.0;
    features.energy_db[frame] =
        static_cast<float>(std::max(-100.0, 10.0 * std::log10(mean + 1e-12)));
    for (int b = 0; b < kTimbreBands; ++b) {
      features.timbre[frame * kTimbreBands + b] =
          static_cast<float>(10.0 * std::log10(band_power[b] + 1e-6));
    }
  }
}

// The onset envelope: how much the level rises from one short block of
// samples to the next, in dB (so a quiet verse's onsets count as much as a
// loud chorus's). Short blocks place an onset within a few milliseconds,
// where the spectrum's long window would smear it.
void OnsetEnvelope(const MonoAudio& audio, HookFeatures& features) {
  const std::vector<float>& x = audio.samples;
  features.onset_seconds = static_cast<double>(kOnsetStep) / audio.rate;
  features.onset.assign(x.size() / kOnsetStep + 1, 0.0f);
  float previous = 0.0f;
  for (size_t b = 0; b < features.onset.size(); ++b) {
    const size_t begin = std::min(x.size(), b * kOnsetStep);
    const size_t end = std::min(x.size(), begin + kOnsetStep);
    double power = 0.0;
    for (size_t n = begin; n < end; ++n) power += static_cast<double>(x[n]) * x[n];
    const float db =
        static_cast<float>(10.0 * std::log10(power / std::max<size_t>(end - begin, 1) + 1e-10));
    features.onset[b] = b == 0 ? 0.0f : std::max(0.0f, db - previous);
    previous = db;
  }
}

}  // namespace

HookFeatures ExtractHookFeatures(const MonoAudio& audio, const std::atomic<bool>* cancel) {
  HookFeatures features;
  const size_t steps = audio.samples.size() / kStep + 1;
  const size_t per_frame =
      std::max(kStepsPerFrame, (steps + kMaxAnalysisFrames - 1) / kMaxAnalysisFrames);
  features.frame_seconds = static_cast<double>(kStep * per_frame) / audio.rate;
  features.frames = (steps + per_frame - 1) / per_frame;
  features.chroma.assign(features.frames * kChromaClasses, 0.0f);
  features.timbre.assign(features.frames * kTimbreBands, 0.0f);
  features.energy_db.assign(features.frames, 0.0f);
  const BinMap map(audio.rate);

  // The transforms are most of the work: the second half of the song runs on
  // a second thread (the machine has at least two cores).
  const size_t half = features.frames / 2;
  std::exception_ptr second_failure;
  std::thread second([&] {
    try {
      AnalyseFrames(audio, map, per_frame, half, features.frames, features, cancel);
    } catch (...) {
      second_failure = std::current_exception();
    }
  });
  std::exception_ptr first_failure;
  try {
    AnalyseFrames(audio, map, per_frame, 0, half, features, cancel);
  } catch (...) {
    first_failure = std::current_exception();
  }
  second.join();
  if (first_failure) std::rethrow_exception(first_failure);
  if (second_failure) std::rethrow_exception(second_failure);
  OnsetEnvelope(audio, features);
  return features;
}
