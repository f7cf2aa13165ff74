#include "Fades.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <numbers>

namespace evc {

double FadeCurve(double position) {
  const double x = std::clamp(position, 0.0, 1.0);
  return 0.5 - 0.5 * std::cos(std::numbers::pi * x);
}

namespace {

int64_t FittedFade(const char* option, double seconds, int64_t partSamples, int sampleRate,
                   std::vector<std::string>& notes) {
  const int64_t asked = std::llround(seconds * sampleRate);
  const int64_t half = partSamples / 2;
  if (asked <= half) return asked;
  char note[160];
  std::snprintf(note, sizeof note, "%s %.3f is more than half the %.3f s part; it lasts %.3f s",
                option, seconds, static_cast<double>(partSamples) / sampleRate,
                static_cast<double>(half) / sampleRate);
  notes.push_back(note);
  return half;
}

}  // namespace

FadePlan PlanFades(double fadeInSeconds, double fadeOutSeconds, int64_t partSamples, int sampleRate,
                   std::vector<std::string>& notes) {
  FadePlan plan;
  plan.partSamples = partSamples;
  plan.fadeInSamples = FittedFade("-fadein", fadeInSeconds, partSamples, sampleRate, notes);
  plan.fadeOutSamples = FittedFade("-fadeout", fadeOutSeconds, partSamples, sampleRate, notes);
  return plan;
}

double FadeGainAt(const FadePlan& plan, int64_t index) {
  double gain = 1.0;
  // Sample i of a fade of n samples sits at (i + 0.5) / n: the curve is
  // sampled at the middle of each sample, symmetric for in and out.
  if (index < plan.fadeInSamples) {
    gain *= FadeCurve((static_cast<double>(index) + 0.5) / static_cast<double>(plan.fadeInSamples));
  }
  const int64_t fromEnd = plan.partSamples - 1 - index;
  if (fromEnd >= 0 && fromEnd < plan.fadeOutSamples) {
    gain *=
        FadeCurve((static_cast<double>(fromEnd) + 0.5) / static_cast<double>(plan.fadeOutSamples));
  }
  return gain;
}

void ApplyFades(const FadePlan& plan, int64_t firstIndex, float* interleaved, int frames,
                int channels) {
  // Most of a part lies between the fades: only the frames inside one are touched.
  const int64_t outStart = plan.partSamples - plan.fadeOutSamples;
  for (int i = 0; i < frames; ++i) {
    const int64_t index = firstIndex + i;
    if (index >= plan.fadeInSamples && index < outStart) continue;
    const float gain = static_cast<float>(FadeGainAt(plan, index));
    for (int c = 0; c < channels; ++c) interleaved[static_cast<size_t>(i) * channels + c] *= gain;
  }
}

}  // namespace evc
