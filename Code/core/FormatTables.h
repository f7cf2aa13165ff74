// The constant vocabulary of output types and encoding options: the entries of
// the output-type, quality and option lists with their default selections, the
// per-type extension, codec option and forced format, and the built-in profile
// strings. Nothing here changes at run time.
//
// Every accessor returns a new list that the caller owns. Lists that feed a
// list control end with one extra entry, the decimal index of the item that is
// selected by default; FillOptionList consumes that entry. The per-type tables
// and GetDefaultProfileList carry no such entry.
//
// Plain data and pure functions: callable from any thread.
#pragma once

#include <string>
#include <vector>

// Table 1: "MP3 Audio Files (*.mp3)" ... "WAV Audio Files", then "0".
std::vector<std::string> GetOutputTypeList();
// Table 2: "Low Quality" ... "Superb Quality", then "2".
std::vector<std::string> GetQualityList();

// The option lists of the Options window, each followed by its default index.
std::vector<std::string> GetAudioBitrateList();   // kbit/s, default "48"
std::vector<std::string> GetAudioSampleList();    // Hz, default "44100"
std::vector<std::string> GetAudioChannelsList();  // "1 channel, Mono", "2 channels, Stereo"
std::vector<std::string> GetVolumeGainList();     // percent, "0" to "500", default "200"
std::vector<std::string> GetVideoSizeList();      // default "176x144"
std::vector<std::string> GetVideoBitrateList();   // kbit/s, default "128"
std::vector<std::string> GetFrameRateList();      // frames/s, default "15"
std::vector<std::string> GetAspectRatioList();    // default "4:3"

// Per output type, indexed by the output type index (0 MP3 ... 6 WAV).
std::vector<std::string> GetAudioCodecList();  // "-acodec mp3 -vn", ...
std::vector<std::string> GetExtensionList();   // ".mp3", ...
std::vector<std::string> GetFormatList();      // "none": no container is forced

// The five built-in profile strings of an output type, Low to Superb quality:
// the item indexes of video size, frame rate, video bitrate, audio bitrate,
// channels and sample rate joined by "|", "none" leaving a list unchanged.
// Empty for an index outside 0..6.
std::vector<std::string> GetDefaultProfileList(int output_type_index);

// A list control without the window: its item texts and the selected index
// (-1 when nothing is selected). The Options and main windows mirror it into
// their combo boxes; the command-line builder reads it.
struct OptionList {
  std::vector<std::string> Items;
  int ItemIndex = -1;

  // The text of the selected item; empty when nothing is selected.
  std::string Text() const;
};

// Adds every entry of `table` but the last after the items `list` already
// holds (it is not cleared) and selects the item whose index is the last entry,
// counted from the list's first item. An index beyond the items leaves
// nothing selected. Throws ConversionError when the last entry is no integer;
// an empty table changes nothing.
void FillOptionList(OptionList& list, const std::vector<std::string>& table);
