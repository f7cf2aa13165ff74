// The waveform behind the marker bar: min/max slices of a file's first audio
// stream, gathered on a worker thread. A sketch reads short pieces spread over
// the file (a fraction of a second for a long song); the full envelope decodes
// everything. Both stop early when `abort` becomes true.
//
// The caller owns the returned slices. Any thread; each call opens the file
// for itself.
#pragma once

#include <atomic>
#include <optional>
#include <string>
#include <vector>

#include "MediaPeaks.h"

namespace marker_waveform {

// `count` slices from short pieces at equal steps through the file; no value
// when the file's length is unknown, the file does not decode, or on abort.
std::optional<std::vector<PeakPair>> Sketch(const std::string& path, size_t count,
                                            const std::atomic<bool>& abort);
// `count` slices of the whole file; no value when it does not decode, or on
// abort.
std::optional<std::vector<PeakPair>> Full(const std::string& path, size_t count,
                                          const std::atomic<bool>& abort);

}  // namespace marker_waveform
