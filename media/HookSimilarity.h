// Self-similarity of a song for the hook analysis: how alike every pair of
// analysis frames sounds (harmony and timbre together), the same smoothed
// along the diagonals so that whole repeated passages stand out over single
// alike chords, and from that how strongly the passage starting at each frame
// comes back elsewhere in the song (chorus material comes back most).
//
// Ownership: plain values owned by the caller. Threads: any thread; the
// functions share nothing.
#pragma once

#include <cstddef>
#include <vector>

#include "HookFeatures.h"

// A square matrix of similarities in -1..1, one row per analysis frame.
class SimilarityMatrix {
 public:
  explicit SimilarityMatrix(size_t size) : size_(size), values_(size * size, 0.0f) {}
  size_t Size() const { return size_; }
  float operator()(size_t row, size_t column) const { return values_[row * size_ + column]; }
  float& At(size_t row, size_t column) { return values_[row * size_ + column]; }

 private:
  size_t size_;
  std::vector<float> values_;
};

// Cosine similarity of the frames' harmony (chroma, level-free, the song's
// average chord taken away) and timbre (band energies relative to the song's
// own spread), half and half. Frames with nothing distinctive (one steady
// tone, silence, plain noise) come out near 0, alike to nothing.
SimilarityMatrix ComputeSimilarity(const HookFeatures& features);

// Each entry becomes the mean similarity of the `length` frame pairs that
// follow it along its diagonal: passage against passage.
SimilarityMatrix SmoothAlongDiagonals(const SimilarityMatrix& similarity, size_t length);

// For each frame, the summed strength of the passages elsewhere (at least
// `min_lag` frames away) that the passage starting there matches better than
// `threshold` and clearly better than it matches most of the song: one term
// per repetition, each 0..1.
std::vector<float> RepetitionStrength(const SimilarityMatrix& smoothed, size_t min_lag,
                                      float threshold);
