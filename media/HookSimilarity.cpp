#include "HookSimilarity.h"

#include <algorithm>
#include <cmath>

namespace {

constexpr size_t kDims = kChromaClasses + kTimbreBands;

// Frames this far below the loudest frame count as silence.
constexpr float kSilenceBelowPeakDb = 60.0f;
// Shortest vector lengths that a frame's features are divided by. A frame
// whose features hardly differ from the song's average (a steady tone, noise)
// stays short instead of being blown up to a random direction.
constexpr float kChromaFloor = 0.25f;
constexpr float kTimbreFloor = 1.0f;
// Band levels are compared in units of their spread over the song, but never
// finer than this many dB, so the flicker of noise is not mistaken for timbre.
constexpr float kTimbreSpreadFloorDb = 2.0f;
// A repetition must be this much more alike than the median passage of its row.
constexpr float kStandOut = 0.25f;

void Normalise(float* v, size_t n, float floor) {
  float norm = 0.0f;
  for (size_t i = 0; i < n; ++i) norm += v[i] * v[i];
  norm = std::max(std::sqrt(norm), floor);
  for (size_t i = 0; i < n; ++i) v[i] /= norm;
}

// One vector per frame whose dot products are the similarities.
std::vector<float> FrameVectors(const HookFeatures& f) {
  const size_t n = f.frames;
  std::vector<float> v(n * kDims, 0.0f);
  const float loudest = n ? *std::max_element(f.energy_db.begin(), f.energy_db.end()) : 0.0f;
  std::vector<bool> sounding(n);
  size_t sounding_count = 0;
  for (size_t i = 0; i < n; ++i) {
    sounding[i] = f.energy_db[i] > loudest - kSilenceBelowPeakDb && f.energy_db[i] > -90.0f;
    sounding_count += sounding[i];
  }
  if (sounding_count == 0) return v;

  // Chroma: per frame relative to its strongest class, compressed.
  std::vector<double> mean(kDims, 0.0);
  for (size_t i = 0; i < n; ++i) {
    if (!sounding[i]) continue;
    const float* c = f.Chroma(i);
    const float top = *std::max_element(c, c + kChromaClasses);
    float* out = &v[i * kDims];
    for (int k = 0; k < kChromaClasses; ++k) {
      out[k] = top > 0 ? std::log1p(10.0f * c[k] / top) / std::log(11.0f) : 0.0f;
    }
    for (int k = 0; k < kTimbreBands; ++k) out[kChromaClasses + k] = f.Timbre(i)[k];
    for (size_t d = 0; d < kDims; ++d) mean[d] += out[d];
  }
  for (double& m : mean) m /= static_cast<double>(sounding_count);
  std::vector<double> spread(kTimbreBands, 0.0);
  for (size_t i = 0; i < n; ++i) {
    if (!sounding[i]) continue;
    for (int k = 0; k < kTimbreBands; ++k) {
      const double d = v[i * kDims + kChromaClasses + k] - mean[kChromaClasses + k];
      spread[k] += d * d;
    }
  }
  for (double& s : spread) {
    s = std::max<double>(std::sqrt(s / static_cast<double>(sounding_count)), kTimbreSpreadFloorDb);
  }

  const float half = std::sqrt(0.5f);
  for (size_t i = 0; i < n; ++i) {
    float* out = &v[i * kDims];
    if (!sounding[i]) {
      std::fill(out, out + kDims, 0.0f);
      continue;
    }
    for (size_t d = 0; d < kChromaClasses; ++d) out[d] -= static_cast<float>(mean[d]);
    for (int k = 0; k < kTimbreBands; ++k) {
      float& t = out[kChromaClasses + k];
      t = static_cast<float>((t - mean[kChromaClasses + k]) / spread[k]);
    }
    Normalise(out, kChromaClasses, kChromaFloor);
    Normalise(out + kChromaClasses, kTimbreBands, kTimbreFloor);
    for (size_t d = 0; d < kDims; ++d) out[d] *= half;
  }
  return v;
}

}  // namespace

SimilarityMatrix ComputeSimilarity(const HookFeatures& features) {
  const size_t n = features.frames;
  const std::vector<float> v = FrameVectors(features);
  SimilarityMatrix s(n);
  for (size_t i = 0; i < n; ++i) {
    const float* a = &v[i * kDims];
    for (size_t j = i; j < n; ++j) {
      const float* b = &v[j * kDims];
      float dot = 0.0f;
      for (size_t d = 0; d < kDims; ++d) dot += a[d] * b[d];
      s.At(i, j) = dot;
      s.At(j, i) = dot;
    }
  }
  return s;
}

SimilarityMatrix SmoothAlongDiagonals(const SimilarityMatrix& similarity, size_t length) {
  const size_t n = similarity.Size();
  length = std::max<size_t>(length, 1);
  SimilarityMatrix smoothed(n);
  std::vector<double> prefix(n + 1);
  for (size_t lag = 0; lag < n; ++lag) {
    const size_t count = n - lag;  // entries on this diagonal
    prefix[0] = 0.0;
    for (size_t i = 0; i < count; ++i) prefix[i + 1] = prefix[i] + similarity(i, i + lag);
    for (size_t i = 0; i < count; ++i) {
      // Near the end of the song the passage is what is left of it.
      const size_t end = std::min(count, i + length);
      const float mean =
          static_cast<float>((prefix[end] - prefix[i]) / static_cast<double>(end - i));
      smoothed.At(i, i + lag) = mean;
      smoothed.At(i + lag, i) = mean;
    }
  }
  return smoothed;
}

std::vector<float> RepetitionStrength(const SimilarityMatrix& smoothed, size_t min_lag,
                                      float threshold) {
  const size_t n = smoothed.Size();
  std::vector<float> strength(n, 0.0f);
  std::vector<size_t> peaks;
  std::vector<size_t> taken;
  std::vector<float> row;
  for (size_t i = 0; i < n; ++i) {
    // A repetition stands out of the row: a passage that is alike to the
    // whole song (a steady tone, noise, one groove throughout) repeats
    // nothing in particular.
    row.clear();
    for (size_t j = 0; j < n; ++j) {
      if ((j > i ? j - i : i - j) >= min_lag) row.push_back(smoothed(i, j));
    }
    if (row.empty()) continue;
    std::nth_element(row.begin(), row.begin() + row.size() / 2, row.end());
    const float base = std::max(threshold, row[row.size() / 2] + kStandOut);
    if (base >= 1.0f) continue;
    // Local maxima of the row, away from the frame itself, above the base.
    peaks.clear();
    for (size_t j = 0; j < n; ++j) {
      if ((j > i ? j - i : i - j) < min_lag) continue;
      const float value = smoothed(i, j);
      if (value <= base) continue;
      if (j > 0 && smoothed(i, j - 1) > value) continue;
      if (j + 1 < n && smoothed(i, j + 1) >= value) continue;
      peaks.push_back(j);
    }
    std::sort(peaks.begin(), peaks.end(),
              [&](size_t a, size_t b) { return smoothed(i, a) > smoothed(i, b); });
    // One term per repetition: a weaker peak close to a stronger one is the
    // same passage slightly shifted.
    taken.clear();
    float sum = 0.0f;
    for (size_t j : peaks) {
      const bool near = std::any_of(taken.begin(), taken.end(),
                                    [&](size_t t) { return (t > j ? t - j : j - t) < min_lag; });
      if (near) continue;
      taken.push_back(j);
      sum += (smoothed(i, j) - base) / (1.0f - base);
    }
    strength[i] = sum;
  }
  return strength;
}
