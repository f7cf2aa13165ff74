#include "OptionFragments.h"

namespace option_fragments {

namespace {

// The item at `index`, or empty text when there is none.
std::string ItemAt(const std::vector<std::string>& items, int index) {
  if (index < 0 || static_cast<std::size_t>(index) >= items.size()) return {};
  return items[static_cast<std::size_t>(index)];
}

std::string Fragment(const std::vector<std::string>& items, int index, const char* option,
                     const char* fallback) {
  const std::string item = ItemAt(items, index);
  return item.empty() ? std::string(fallback) : option + item;
}

}  // namespace

std::string GetCodecOption(const std::vector<std::string>& items, int index) {
  return Fragment(items, index, " ", " -vcodec xvid -acodec mp3");
}

std::string GetVideoBitrateOption(const std::vector<std::string>& items, int index) {
  return Fragment(items, index, " -b ", " -b 512");
}

std::string GetVideoSizeOption(const std::vector<std::string>& items, int index) {
  return Fragment(items, index, " -s ", " -s 320x240");
}

std::string GetFrameRateOption(const std::vector<std::string>& items, int index) {
  return Fragment(items, index, " -r ", " -r 25");
}

std::string GetAspectOption(const std::vector<std::string>& items, int index) {
  return Fragment(items, index, " -aspect ", " -aspect 4:3");
}

std::string GetAudioBitrateOption(const std::vector<std::string>& items, int index) {
  return Fragment(items, index, " -ab ", " -ab 64");
}

std::string GetVolumeOption(const std::vector<std::string>& items, int index) {
  return Fragment(items, index, " -vol ", " ");
}

// The channel texts begin with the count: "2 channels, Stereo" gives " -ac 2".
std::string GetAudioChannelsOption(const std::vector<std::string>& items, int index) {
  const std::string item = ItemAt(items, index);
  return item.empty() ? std::string(" -ac 2") : " -ac " + item.substr(0, 1);
}

std::string GetSampleRateOption(const std::vector<std::string>& items, int index) {
  return Fragment(items, index, " -ar ", " -ar 44100");
}

// "none" forces no container. A missing entry forces none either: a bare
// " -f " would make the engine take the next option as the format's name.
std::string GetFormatOption(const std::vector<std::string>& items, int index) {
  const std::string item = ItemAt(items, index);
  return item.empty() || item == "none" ? std::string() : " -f " + item;
}

std::string GetOutputExtension(const std::vector<std::string>& items, int index) {
  const std::string item = ItemAt(items, index);
  return item.empty() ? std::string(".avi") : item;
}

}  // namespace option_fragments
