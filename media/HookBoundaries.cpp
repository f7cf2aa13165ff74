#include "HookBoundaries.h"

#include <algorithm>
#include <cmath>
#include <cstddef>

namespace {

// A peak must rise this much over the mean novelty around it (the mean over
// four times the peak distance), and reach this share of the strongest peak.
constexpr float kRiseOverSurroundings = 0.05f;
constexpr float kShareOfStrongest = 0.1f;

// Running sums: the sum of values[a..b) is prefix[b] - prefix[a].
std::vector<double> PrefixSums(const std::vector<float>& values) {
  std::vector<double> prefix(values.size() + 1, 0.0);
  for (size_t i = 0; i < values.size(); ++i) prefix[i + 1] = prefix[i] + values[i];
  return prefix;
}

// Divides by the largest value, so the strongest change of the song is 1; a
// song without any change (largest below `smallest`) gets all 0.
void ScaleToLargest(std::vector<float>& values, float smallest) {
  const float top = values.empty() ? 0.0f : *std::max_element(values.begin(), values.end());
  for (float& v : values) v = top > smallest ? v / top : 0.0f;
}

}  // namespace

std::vector<float> NoveltyCurve(const SimilarityMatrix& similarity, size_t half_width) {
  const std::ptrdiff_t n = static_cast<std::ptrdiff_t>(similarity.Size());
  const std::ptrdiff_t k = static_cast<std::ptrdiff_t>(std::max<size_t>(half_width, 1));
  // The taper: far corners of the kernel count less than the near ones.
  std::vector<float> taper(static_cast<size_t>(2 * k));
  const double sigma = 0.5 * static_cast<double>(k);
  for (std::ptrdiff_t a = -k; a < k; ++a) {
    const double centre = a + 0.5;
    taper[static_cast<size_t>(a + k)] =
        static_cast<float>(std::exp(-0.5 * centre * centre / (sigma * sigma)));
  }
  std::vector<float> novelty(static_cast<size_t>(n), 0.0f);
  for (std::ptrdiff_t i = 0; i < n; ++i) {
    double sum = 0.0;
    double weight = 0.0;
    for (std::ptrdiff_t a = -k; a < k; ++a) {
      const std::ptrdiff_t r = i + a;
      if (r < 0 || r >= n) continue;
      const float ta = taper[static_cast<size_t>(a + k)];
      for (std::ptrdiff_t b = -k; b < k; ++b) {
        const std::ptrdiff_t c = i + b;
        if (c < 0 || c >= n) continue;
        const float w = ta * taper[static_cast<size_t>(b + k)];
        // Same side of frame i: alike is expected; across it: alike is not.
        const bool same_side = (a < 0) == (b < 0);
        sum += (same_side ? w : -w) * similarity(static_cast<size_t>(r), static_cast<size_t>(c));
        weight += w;
      }
    }
    // Near the song's ends half the kernel is missing; the weight that is
    // there keeps the scale comparable.
    novelty[static_cast<size_t>(i)] =
        weight > 0 ? static_cast<float>(std::max(0.0, sum / weight)) : 0.0f;
  }
  ScaleToLargest(novelty, 1e-6f);
  return novelty;
}

std::vector<float> LoudnessChangeCurve(const std::vector<float>& energy_db, size_t half_width) {
  const size_t n = energy_db.size();
  half_width = std::max<size_t>(half_width, 1);
  const std::vector<double> prefix = PrefixSums(energy_db);
  std::vector<float> change(n, 0.0f);
  for (size_t i = 1; i < n; ++i) {
    const size_t from = i > half_width ? i - half_width : 0;
    const size_t to = std::min(n, i + half_width);
    const double before = (prefix[i] - prefix[from]) / static_cast<double>(i - from);
    const double after = (prefix[to] - prefix[i]) / static_cast<double>(to - i);
    change[i] = static_cast<float>(std::abs(after - before));
  }
  ScaleToLargest(change, 1e-3f);
  return change;
}

std::vector<size_t> NoveltyPeaks(const std::vector<float>& novelty, size_t min_distance) {
  const size_t n = novelty.size();
  min_distance = std::max<size_t>(min_distance, 1);
  const std::vector<double> prefix = PrefixSums(novelty);
  std::vector<size_t> peaks;
  // A section needs room: no start within the shortest distance of either end
  // of the song (where half the kernel sees the silence around it).
  for (size_t i = min_distance; i + min_distance < n; ++i) {
    const size_t from = i > min_distance ? i - min_distance : 0;
    const size_t to = std::min(n, i + min_distance + 1);
    const float value = novelty[i];
    if (value < kShareOfStrongest) continue;
    // The highest within reach; on a flat top the first frame of it.
    bool highest = true;
    for (size_t j = from; j < to && highest; ++j) {
      highest = j < i ? novelty[j] < value : novelty[j] <= value;
    }
    if (!highest) continue;
    const size_t wide_from = i > 4 * min_distance ? i - 4 * min_distance : 0;
    const size_t wide_to = std::min(n, i + 4 * min_distance + 1);
    const double around =
        (prefix[wide_to] - prefix[wide_from]) / static_cast<double>(wide_to - wide_from);
    if (value < around + kRiseOverSurroundings) continue;
    peaks.push_back(i);
  }
  return peaks;
}
