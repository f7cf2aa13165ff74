// Where the sections of a song change, for the hook analysis: a novelty curve
// from a Gaussian-tapered checkerboard kernel slid along the diagonal of the
// self-similarity matrix (high where the past few seconds are alike among
// themselves, the next few seconds too, but the two differ), and its peaks.
//
// Ownership: plain values owned by the caller. Threads: any thread.
#pragma once

#include <cstddef>
#include <vector>

#include "HookSimilarity.h"

// The novelty of each frame as the start of something new, 0..1 (1 at the
// strongest change of the song; all 0 when nothing changes).
// `half_width` frames are compared on each side.
std::vector<float> NoveltyCurve(const SimilarityMatrix& similarity, size_t half_width);

// The change of loudness at each frame, 0..1: the difference of the mean level
// over the `half_width` frames after it and the `half_width` frames before it,
// relative to the largest such change in the song. Sections often change
// level where they change sound, so this sharpens the novelty curve's peaks.
std::vector<float> LoudnessChangeCurve(const std::vector<float>& energy_db, size_t half_width);

// The frames where a new section starts: peaks of the novelty curve that are
// the highest within `min_distance` frames and stand out of their
// neighbourhood. Ascending; none closer than `min_distance` to
// either end.
std::vector<size_t> NoveltyPeaks(const std::vector<float>& novelty, size_t min_distance);
