// The engine's progress line in the legacy console layout that Tonbrix reads:
//   size=     234kB time=14.91 bitrate= 128.5kbits/s
// Tonbrix takes the text after the second "=" and reads the whole seconds
// before the "."; "time=10000000000.00" stands for a time not known yet.
// Thread: any; a pure function.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

namespace evc {

// bytesWritten: output file size so far; seconds: output time written so far,
// nullopt while unknown. Returns the line without its line end.
std::string FormatProgressLine(int64_t bytesWritten, std::optional<double> seconds);

}  // namespace evc
