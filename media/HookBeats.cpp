#include "HookBeats.h"

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <numeric>

namespace {

// An onset counts when it reaches this multiple of the song's mean rise, and
// at least this rise of the level in one step (a steady tone flickers less).
constexpr double kStandsOut = 1.5;
constexpr double kSmallestRiseDb = 0.5;

}  // namespace

double BeatPeriodSteps(const std::vector<float>& onset, double step_seconds) {
  const size_t n = onset.size();
  if (n < 8 || step_seconds <= 0) return 0.0;
  const double mean = std::accumulate(onset.begin(), onset.end(), 0.0) / static_cast<double>(n);
  // Smoothed a little: onsets a step early or late (a beat rarely lasts a
  // whole number of steps) still meet at the beat's lag.
  std::vector<double> centred(n);
  for (size_t i = 0; i < n; ++i) {
    double sum = 0.0;
    for (int d = -2; d <= 2; ++d) {
      const std::ptrdiff_t j = static_cast<std::ptrdiff_t>(i) + d;
      if (j >= 0 && j < static_cast<std::ptrdiff_t>(n))
        sum += (3 - std::abs(d)) * onset[static_cast<size_t>(j)];
    }
    centred[i] = sum / 9.0 - mean;
  }
  const double energy = std::inner_product(centred.begin(), centred.end(), centred.begin(), 0.0);
  if (energy <= 1e-9) return 0.0;
  const size_t min_lag = static_cast<size_t>(std::floor(60.0 / 180.0 / step_seconds));
  const size_t max_lag =
      std::min(n - 1, static_cast<size_t>(std::ceil(60.0 / 60.0 / step_seconds)));
  auto at = [&](size_t lag) {
    double sum = 0.0;
    for (size_t i = lag; i < n; ++i) sum += centred[i] * centred[i - lag];
    return sum;
  };
  double best = 0.0;
  size_t best_lag = 0;
  for (size_t lag = std::max<size_t>(min_lag, 1); lag <= max_lag; ++lag) {
    const double sum = at(lag);
    const double bpm = 60.0 / (static_cast<double>(lag) * step_seconds);
    // Log-Gaussian preference around 120 BPM, one octave wide.
    const double octaves = std::log2(bpm / 120.0);
    const double weighted = sum / energy * std::exp(-0.5 * octaves * octaves);
    if (weighted > best) {
      best = weighted;
      best_lag = lag;
    }
  }
  if (best_lag == 0) return 0.0;
  // The beat rarely lasts a whole number of steps: the peak of a parabola
  // through the neighbouring lags places it between them.
  const double left = at(best_lag - 1);
  const double middle = at(best_lag);
  const double right = at(best_lag + 1);
  const double curve = left - 2.0 * middle + right;
  const double shift = curve < 0 ? std::clamp(0.5 * (left - right) / curve, -0.5, 0.5) : 0.0;
  return static_cast<double>(best_lag) + shift;
}

double SnapToBeat(double seconds, const std::vector<float>& onset, double step_seconds,
                  double period_steps) {
  if (onset.empty() || step_seconds <= 0) return seconds;
  const double mean =
      std::accumulate(onset.begin(), onset.end(), 0.0) / static_cast<double>(onset.size());
  const double reach =
      std::min(period_steps > 0 ? period_steps / 2.0 : 0.2 / step_seconds, 0.4 / step_seconds);
  const double centre = seconds / step_seconds;
  const std::ptrdiff_t from =
      std::max<std::ptrdiff_t>(0, static_cast<std::ptrdiff_t>(std::floor(centre - reach)));
  const std::ptrdiff_t to =
      std::min<std::ptrdiff_t>(static_cast<std::ptrdiff_t>(onset.size()) - 1,
                               static_cast<std::ptrdiff_t>(std::ceil(centre + reach)));
  double best = 0.0;
  std::ptrdiff_t best_step = -1;
  for (std::ptrdiff_t s = from; s <= to; ++s) {
    if (onset[static_cast<size_t>(s)] < std::max(kStandsOut * mean, kSmallestRiseDb)) continue;
    const double distance = (static_cast<double>(s) - centre) / std::max(reach, 1.0);
    const double value = onset[static_cast<size_t>(s)] * std::exp(-2.0 * distance * distance);
    if (value > best) {
      best = value;
      best_step = s;
    }
  }
  return best_step < 0 ? seconds : static_cast<double>(best_step) * step_seconds;
}
