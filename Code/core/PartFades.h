// PartFades: the arithmetic of a row's fades on its part, with no window. A
// fade lasts 0 to 30 s and at most half the part; the waveform editor's
// handles set it in steps of 0.1 s, and the command line takes what the part
// allows of a stored value (a part typed shorter later keeps the stored fade
// for when it grows again). A handle sits at the inner end of its fade: the
// fade-in's at Start + fade-in, the fade-out's at End - fade-out.
//
// Plain functions; any thread.
#pragma once

#include <cstdint>

#include "SegmentMarker.h"
#include "SourceFileList.h"

namespace part_fades {

inline constexpr double kStepSeconds = 0.1;
inline constexpr double kMostSeconds = 30.0;

enum class Side { In, Out };

// The fade of `side` in a row's fades.
inline double FadeOf(const RowFades& fades, Side side) {
  return side == Side::In ? fades.FadeInSeconds : fades.FadeOutSeconds;
}
inline double& FadeOf(RowFades& fades, Side side) {
  return side == Side::In ? fades.FadeInSeconds : fades.FadeOutSeconds;
}

// The longest fade a part of `part_seconds` allows: half of it, at most 30 s;
// none for an empty or reversed part.
double MostFadeSeconds(int64_t part_seconds);

// A fade asked for by a handle: whole steps of 0.1 s, held to
// 0..MostFadeSeconds. A value that is no number asks for none.
double HeldFade(double seconds, int64_t part_seconds);

// The row's fades as they apply to a part of `part_seconds`: each held to
// 0..MostFadeSeconds, not rounded further.
RowFades FadesForPart(const RowFades& fades, int64_t part_seconds);

// Where in the song the handle of `side` sits for a fade of `fade` seconds.
double HandleTime(Side side, double fade, const segment_marker::Part& part);

// The fade that the handle of `side` asks for when it is at `seconds` of the
// song, held by HeldFade.
double FadeAtTime(Side side, double seconds, const segment_marker::Part& part);

// The fade's gain `seconds_into_fade` of `fade_seconds` after its silent end
// (0 silent, 1 full): the engine's smooth curve, for drawing it.
double FadeGain(double seconds_into_fade, double fade_seconds);

}  // namespace part_fades
