#include "HookSuggester.h"

#include <algorithm>
#include <cmath>
#include <stdexcept>
#include <vector>

#include "HookBeats.h"
#include "HookBoundaries.h"
#include "HookFeatures.h"
#include "HookSimilarity.h"

namespace {

// A passage, for telling repetitions apart from chords that merely recur.
constexpr double kPassageSeconds = 3.0;
// The novelty kernels compare this much on each side of a frame: the narrow
// one places a change within a bar or two, the wide one tells a change of
// section from the chord changes inside a section.
constexpr double kKernelHalfSeconds = 4.0;
constexpr double kWideKernelHalfSeconds = 12.0;
// The loudness change at a frame compares this much on each side.
constexpr double kLevelWindowSeconds = 2.0;
// Two section starts are at least this far apart.
constexpr double kShortestSectionSeconds = 3.0;
// A section start is judged by this much of what follows it (the opening of
// a chorus) against this much of what leads up to it.
constexpr double kChorusOpeningSeconds = 8.0;
constexpr double kLeadInSeconds = 4.0;
// Passages this alike (the smoothed similarity) count as a repetition.
constexpr float kRepeatThreshold = 0.35f;
// A song has a structure to go by when some passage comes back at least half
// as clearly as an exact copy would, and a quarter of the song is material
// that comes back at all. A steady tone, noise or a single sweep has neither;
// a song of verses and choruses has both by far.
constexpr float kSomeRepetition = 0.5f;
constexpr float kRepeatedFrame = 0.05f;
constexpr double kRepeatedShare = 0.25;
// A stretch this close to the loudest one counts as loud as it.
constexpr double kLoudEnoughDb = 1.0;

size_t Frames(double seconds, double frame_seconds) {
  return static_cast<size_t>(std::max(1.0, std::round(seconds / frame_seconds)));
}

// The loudness of each frame on a 0..1 scale between the song's quiet
// passages (10th percentile) and its loud ones (95th).
std::vector<float> LoudnessShare(const std::vector<float>& energy_db) {
  std::vector<float> sorted = energy_db;
  std::sort(sorted.begin(), sorted.end());
  const float quiet = sorted[sorted.size() / 10];
  const float loud = sorted[std::min(sorted.size() - 1, sorted.size() * 95 / 100)];
  std::vector<float> share(energy_db.size(), 1.0f);
  if (loud - quiet < 1e-3f) return share;
  for (size_t i = 0; i < energy_db.size(); ++i) {
    share[i] = std::clamp((energy_db[i] - quiet) / (loud - quiet), 0.0f, 1.0f);
  }
  return share;
}

// The first frame of the loudest stretch of `length` frames (the earliest of
// those nearly as loud as it).
size_t LoudestStretch(const std::vector<float>& energy_db, size_t length) {
  const size_t n = energy_db.size();
  length = std::clamp<size_t>(length, 1, n);
  std::vector<double> prefix(n + 1, 0.0);
  for (size_t i = 0; i < n; ++i) prefix[i + 1] = prefix[i] + energy_db[i];
  std::vector<double> mean(n - length + 1);
  for (size_t i = 0; i < mean.size(); ++i) mean[i] = (prefix[i + length] - prefix[i]) / length;
  const double loudest = *std::max_element(mean.begin(), mean.end());
  for (size_t i = 0; i < mean.size(); ++i) {
    if (mean[i] >= loudest - kLoudEnoughDb) return i;
  }
  return 0;
}

struct Section {
  size_t begin = 0;
  double score = 0.0;
};

double MeanOver(const std::vector<float>& values, size_t begin, size_t end) {
  if (end <= begin) return 0.0;
  double sum = 0.0;
  for (size_t i = begin; i < end; ++i) sum += values[i];
  return sum / static_cast<double>(end - begin);
}

// Each section start scored by how much the frame score rises there: its
// mean over the `after` frames that follow, less half its mean over the
// `before` frames that lead up to it. A chorus start is where repeated, loud
// material begins, not a chord change inside it.
std::vector<Section> ScoreStarts(const std::vector<size_t>& starts,
                                 const std::vector<float>& frame_score, size_t after,
                                 size_t before) {
  std::vector<Section> sections;
  const size_t n = frame_score.size();
  for (size_t b : starts) {
    const double rise = MeanOver(frame_score, b, std::min(n, b + after));
    const double lead = MeanOver(frame_score, b > before ? b - before : 0, b);
    sections.push_back({b, rise - 0.5 * lead});
  }
  return sections;
}

// Where the part starts, in seconds, before it is moved onto a beat.
double ChooseStart(const HookFeatures& features, double part_seconds, double song_seconds,
                   const std::atomic<bool>* cancel) {
  const double fs = features.frame_seconds;
  const size_t n = features.frames;
  const size_t passage = Frames(kPassageSeconds, fs);
  const size_t part_frames = Frames(part_seconds, fs);
  if (n < 4 * passage)
    return fs * static_cast<double>(LoudestStretch(features.energy_db, part_frames));

  const SimilarityMatrix similarity = ComputeSimilarity(features);
  ThrowIfCancelled(cancel);
  const SimilarityMatrix passages = SmoothAlongDiagonals(similarity, passage);
  ThrowIfCancelled(cancel);
  const std::vector<float> repetition = RepetitionStrength(passages, passage, kRepeatThreshold);
  ThrowIfCancelled(cancel);
  const float most = *std::max_element(repetition.begin(), repetition.end());
  const auto repeated = std::count_if(repetition.begin(), repetition.end(),
                                      [](float r) { return r > kRepeatedFrame; });
  if (most < kSomeRepetition ||
      static_cast<double>(repeated) < kRepeatedShare * static_cast<double>(n)) {
    return fs * static_cast<double>(LoudestStretch(features.energy_db, part_frames));
  }

  // Repeated and loud: a chorus comes back most often and is the song's
  // energetic part. Repeated material in the song's quiet passages keeps 30 %
  // of its score, in the loud ones all of it, so that a verse which comes back
  // as often as a short chorus still loses to it.
  const std::vector<float> loudness = LoudnessShare(features.energy_db);
  std::vector<float> frame_score(n);
  for (size_t i = 0; i < n; ++i) {
    frame_score[i] = repetition[i] / most * (0.3f + 0.7f * loudness[i]);
  }

  std::vector<float> novelty = NoveltyCurve(similarity, Frames(kKernelHalfSeconds, fs));
  const std::vector<float> wide = NoveltyCurve(similarity, Frames(kWideKernelHalfSeconds, fs));
  const std::vector<float> level_change =
      LoudnessChangeCurve(features.energy_db, Frames(kLevelWindowSeconds, fs));
  for (size_t i = 0; i < n; ++i) {
    novelty[i] = 0.25f * (novelty[i] + wide[i]) + 0.5f * level_change[i];
  }
  std::vector<size_t> starts = NoveltyPeaks(novelty, Frames(kShortestSectionSeconds, fs));
  starts.insert(starts.begin(), 0);
  const std::vector<Section> sections =
      ScoreStarts(starts, frame_score, std::min(part_frames, Frames(kChorusOpeningSeconds, fs)),
                  Frames(kLeadInSeconds, fs));
  const auto best =
      std::max_element(sections.begin(), sections.end(),
                       [](const Section& a, const Section& b) { return a.score < b.score; });

  // A whole part from there would run past the song's end: take an earlier
  // section that sounds like it instead (an earlier chorus), when there is one.
  const auto fits = [&](const Section& s) {
    return static_cast<double>(s.begin) * fs + part_seconds <= song_seconds;
  };
  if (!fits(*best)) {
    const Section* earlier = nullptr;
    for (const Section& s : sections) {
      if (!fits(s) || s.score < 0.6 * best->score ||
          passages(s.begin, best->begin) < kRepeatThreshold)
        continue;
      if (!earlier || s.score > earlier->score) earlier = &s;
    }
    if (earlier) return static_cast<double>(earlier->begin) * fs;
  }
  return static_cast<double>(best->begin) * fs;
}

void CheckPartSeconds(double seconds) {
  if (!(seconds > 0) || !std::isfinite(seconds)) {
    throw std::invalid_argument(
        "The length of a suggested part must be a positive number of seconds");
  }
}

}  // namespace

double HookLengthSeconds(double current_part_seconds, double song_seconds) {
  const double wanted =
      current_part_seconds >= kShortestKeptPartSeconds ? current_part_seconds : kDefaultHookSeconds;
  return song_seconds > 0 ? std::min(wanted, song_seconds) : wanted;
}

HookSuggestion SuggestHookInAudio(const MonoAudio& audio, double seconds,
                                  const std::atomic<bool>* cancel) {
  CheckPartSeconds(seconds);
  HookSuggestion suggestion;
  suggestion.song_ms = std::llround(audio.Seconds() * 1000.0);
  // Compared as doubles first: a length of many years must not overflow.
  const int64_t length_ms =
      std::llround(std::min(seconds * 1000.0, static_cast<double>(suggestion.song_ms)));
  if (length_ms <= 0 || length_ms >= suggestion.song_ms) {
    // The whole song is the part.
    suggestion.end_ms = suggestion.song_ms;
    return suggestion;
  }
  const double part_seconds = static_cast<double>(length_ms) / 1000.0;
  const HookFeatures features = ExtractHookFeatures(audio, cancel);
  double start = ChooseStart(features, part_seconds, audio.Seconds(), cancel);
  const double period = BeatPeriodSteps(features.onset, features.onset_seconds);
  start = SnapToBeat(start, features.onset, features.onset_seconds, period);
  suggestion.start_ms =
      std::clamp<int64_t>(std::llround(start * 1000.0), 0, suggestion.song_ms - length_ms);
  suggestion.end_ms = suggestion.start_ms + length_ms;
  return suggestion;
}

HookSuggestion SuggestHook(const std::string& path, double seconds,
                           const std::atomic<bool>* cancel) {
  CheckPartSeconds(seconds);
  return SuggestHookInAudio(DecodeMonoAudio(path, kHookAnalysisRate, cancel), seconds, cancel);
}
