// The fade-in and fade-out of the kept part: how long each is once fitted to
// the part, and the gain at every sample. The curve is a raised cosine
// (half a sine period), which starts and ends with zero slope, so neither end
// of a fade is heard as a bend. Positions are counted in samples of the
// output rate from the first kept sample, which makes the fades
// sample-accurate. Ownership: plain values. Thread: any.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace evc {

struct FadePlan {
  int64_t partSamples = 0;     // length of the kept part
  int64_t fadeInSamples = 0;   // 0: no fade-in
  int64_t fadeOutSamples = 0;  // 0: no fade-out
};

// The gain of a fade at `position` (0 at its silent end, 1 at its full end).
double FadeCurve(double position);

// Fits the asked fades to a part of `partSamples` at `sampleRate`: each is
// shortened to half the part when it is longer (so that a default fade set
// for every row never fails a short one), with a note in `notes` saying so.
FadePlan PlanFades(double fadeInSeconds, double fadeOutSeconds, int64_t partSamples, int sampleRate,
                   std::vector<std::string>& notes);

// The gain of both fades at sample `index` of the part.
double FadeGainAt(const FadePlan& plan, int64_t index);

// Multiplies `frames` interleaved frames, the first being sample `firstIndex`
// of the part, by the fades' gain.
void ApplyFades(const FadePlan& plan, int64_t firstIndex, float* interleaved, int frames,
                int channels);

}  // namespace evc
