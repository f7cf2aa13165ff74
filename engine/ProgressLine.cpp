#include "ProgressLine.h"

#include <cmath>
#include <cstdio>

namespace evc {

std::string FormatProgressLine(int64_t bytesWritten, std::optional<double> seconds) {
  char line[128];
  const double kilobytes = static_cast<double>(bytesWritten) / 1024.0;
  if (!seconds || !std::isfinite(*seconds) || *seconds < 0) {
    std::snprintf(line, sizeof line, "size=%8.0fkB time=10000000000.00 bitrate=N/A", kilobytes);
    return line;
  }
  // Truncate to hundredths so that the whole seconds never run ahead of the
  // audio actually written (%.2f would print 29.999 as 30.00).
  const double shown = std::floor(*seconds * 100.0) / 100.0;
  if (*seconds > 0) {
    const double kbits = static_cast<double>(bytesWritten) * 8.0 / *seconds / 1000.0;
    std::snprintf(line, sizeof line, "size=%8.0fkB time=%.2f bitrate=%6.1fkbits/s", kilobytes,
                  shown, kbits);
  } else {
    std::snprintf(line, sizeof line, "size=%8.0fkB time=%.2f bitrate=N/A", kilobytes, shown);
  }
  return line;
}

}  // namespace evc
