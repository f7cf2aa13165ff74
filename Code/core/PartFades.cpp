#include "PartFades.h"

#include <algorithm>
#include <cmath>
#include <numbers>

namespace part_fades {

double MostFadeSeconds(int64_t part_seconds) {
  if (part_seconds <= 0) return 0.0;
  return std::min(static_cast<double>(part_seconds) / 2.0, kMostSeconds);
}

double HeldFade(double seconds, int64_t part_seconds) {
  if (!std::isfinite(seconds)) return 0.0;
  // Tenths as whole numbers first, so a value is always an exact tenth's
  // nearest double (2.3, not 2.3000000000000003).
  const double tenths = std::round(seconds / kStepSeconds);
  const double most_tenths = std::floor(MostFadeSeconds(part_seconds) / kStepSeconds + 1e-9);
  return std::clamp(tenths, 0.0, most_tenths) / 10.0;
}

RowFades FadesForPart(const RowFades& fades, int64_t part_seconds) {
  const double most = MostFadeSeconds(part_seconds);
  const auto held = [most](double seconds) {
    return std::isfinite(seconds) ? std::clamp(seconds, 0.0, most) : 0.0;
  };
  return RowFades{held(fades.FadeInSeconds), held(fades.FadeOutSeconds)};
}

double HandleTime(Side side, double fade, const segment_marker::Part& part) {
  return side == Side::In ? static_cast<double>(part.start) + fade
                          : static_cast<double>(part.end) - fade;
}

double FadeAtTime(Side side, double seconds, const segment_marker::Part& part) {
  const double fade = side == Side::In ? seconds - static_cast<double>(part.start)
                                       : static_cast<double>(part.end) - seconds;
  return HeldFade(fade, part.end - part.start);
}

double FadeGain(double seconds_into_fade, double fade_seconds) {
  if (fade_seconds <= 0.0) return 1.0;
  const double x = std::clamp(seconds_into_fade / fade_seconds, 0.0, 1.0);
  const double s = std::sin(std::numbers::pi / 2.0 * x);
  return s * s;
}

}  // namespace part_fades
