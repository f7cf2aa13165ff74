// The fragments of the engine command line that the option lists stand for.
// Each takes the items of a list and its selected index (-1 for none) and
// gives one fragment; an empty or missing item gives the fallback. The format
// option has no fallback: "none" or a missing item gives no fragment.
// Pure functions; any thread.
#pragma once

#include <string>
#include <vector>

namespace option_fragments {

std::string GetCodecOption(const std::vector<std::string>& items, int index);
std::string GetVideoBitrateOption(const std::vector<std::string>& items, int index);
std::string GetVideoSizeOption(const std::vector<std::string>& items, int index);
std::string GetFrameRateOption(const std::vector<std::string>& items, int index);
std::string GetAspectOption(const std::vector<std::string>& items, int index);
std::string GetAudioBitrateOption(const std::vector<std::string>& items, int index);
std::string GetVolumeOption(const std::vector<std::string>& items, int index);
std::string GetAudioChannelsOption(const std::vector<std::string>& items, int index);
std::string GetSampleRateOption(const std::vector<std::string>& items, int index);
std::string GetFormatOption(const std::vector<std::string>& items, int index);
std::string GetOutputExtension(const std::vector<std::string>& items, int index);

}  // namespace option_fragments
