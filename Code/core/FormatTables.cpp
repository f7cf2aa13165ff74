#include "FormatTables.h"

#include <charconv>

#include "Errors.h"

std::vector<std::string> GetOutputTypeList() {
  return {"MP3 Audio Files (*.mp3)",
          "AMR Audio Files (*.amr)",
          "AAC Audio Files (*.aac)",
          "AC3 Audio Files (*.ac3)",
          "M4A MPEG Audio Files (*.m4a)",
          "OGG Audio Files (*.ogg)",
          "WAV Audio Files",
          "0"};
}

std::vector<std::string> GetQualityList() {
  return {"Low Quality",       "Acceptable Quality", "Normal Quality",
          "Excellent Quality", "Superb Quality",     "2"};
}

std::vector<std::string> GetAudioBitrateList() {
  return {"16", "32", "48", "64", "80", "128", "160", "192", "224", "2"};
}

// The captions say kHz, the items are Hz: the engine takes them as they are.
std::vector<std::string> GetAudioSampleList() { return {"22050", "32000", "44100", "48000", "2"}; }

// The first character of each item is the channel count given to the engine.
std::vector<std::string> GetAudioChannelsList() {
  return {"1 channel, Mono", "2 channels, Stereo", "1"};
}

// "0" to "500" in steps of 25; the default is item 8, "200".
std::vector<std::string> GetVolumeGainList() {
  std::vector<std::string> list;
  for (int percent = 0; percent <= 500; percent += 25) list.push_back(std::to_string(percent));
  list.push_back("8");
  return list;
}

std::vector<std::string> GetVideoSizeList() {
  return {"352x288", "176x144", "128x96", "320x240", "160x120", "1"};
}

std::vector<std::string> GetVideoBitrateList() { return {"40", "80", "128", "256", "512", "2"}; }

std::vector<std::string> GetFrameRateList() { return {"11", "15", "1"}; }

std::vector<std::string> GetAspectRatioList() { return {"4:3", "16:9", "0"}; }

// M4A shares AAC's option; AMR is the one option without "-vn".
std::vector<std::string> GetAudioCodecList() {
  return {"-acodec mp3 -vn", "-acodec amr_nb",     "-acodec aac -vn",      "-acodec ac3 -vn",
          "-acodec aac -vn", "-acodec vorbis -vn", "-acodec pcm_s16le -vn"};
}

std::vector<std::string> GetExtensionList() {
  return {".mp3", ".amr", ".aac", ".ac3", ".m4a", ".ogg", ".wav"};
}

std::vector<std::string> GetFormatList() {
  return {"none", "none", "none", "none", "none", "none", "none"};
}

std::vector<std::string> GetDefaultProfileList(int output_type_index) {
  // MP3, AAC and M4A share one set of strings, AMR and AC3 another (always
  // mono at 22050 Hz); OGG and WAV leave the video lists alone.
  static const std::vector<std::string> kStereoTypes = {"1|0|0|2|0|0", "1|0|1|4|1|1", "1|1|2|5|1|2",
                                                        "1|1|3|7|1|2", "1|1|4|8|1|3"};
  static const std::vector<std::string> kMonoTypes = {"1|0|0|2|0|0", "1|0|1|4|0|0", "1|1|2|5|0|0",
                                                      "1|1|3|7|0|0", "1|1|4|8|0|0"};
  static const std::vector<std::string> kOgg = {"none|none|none|2|0|0", "none|none|none|4|0|0",
                                                "none|none|none|5|0|0", "none|none|none|7|0|0",
                                                "none|none|none|8|0|0"};
  static const std::vector<std::string> kWav = {"none|none|none|2|0|0", "none|none|none|4|1|1",
                                                "none|none|none|5|1|2", "none|none|none|7|1|2",
                                                "none|none|none|8|1|3"};
  switch (output_type_index) {
    case 0:  // MP3
    case 2:  // AAC
    case 4:  // M4A
      return kStereoTypes;
    case 1:  // AMR
    case 3:  // AC3
      return kMonoTypes;
    case 5:
      return kOgg;
    case 6:
      return kWav;
    default:
      return {};
  }
}

std::string OptionList::Text() const {
  if (ItemIndex < 0 || static_cast<std::size_t>(ItemIndex) >= Items.size()) return {};
  return Items[static_cast<std::size_t>(ItemIndex)];
}

void FillOptionList(OptionList& list, const std::vector<std::string>& table) {
  if (table.empty()) return;
  const std::string& last = table.back();
  int index = 0;
  const auto [stop, error] = std::from_chars(last.data(), last.data() + last.size(), index);
  if (last.empty() || error != std::errc() || stop != last.data() + last.size()) {
    throw ConversionError("\"" + last + "\" is not a valid default index");
  }
  list.Items.insert(list.Items.end(), table.begin(), table.end() - 1);
  list.ItemIndex = index >= 0 && static_cast<std::size_t>(index) < list.Items.size() ? index : -1;
}
