#include "EngineOptions.h"

#include <algorithm>
#include <cctype>
#include <charconv>
#include <cmath>
#include <map>
#include <set>

namespace evc {

std::string OneLine(std::string reason) {
  for (char& c : reason) {
    if (static_cast<unsigned char>(c) < 0x20 || c == 0x7f) c = '?';
  }
  return reason;
}
namespace {

bool IsBlank(const std::string& text) {
  return std::all_of(text.begin(), text.end(), [](unsigned char c) { return c <= 32; });
}

std::string Trimmed(const std::string& text) {
  size_t first = 0;
  size_t last = text.size();
  while (first < last && static_cast<unsigned char>(text[first]) <= 32) ++first;
  while (last > first && static_cast<unsigned char>(text[last - 1]) <= 32) --last;
  return text.substr(first, last - first);
}

// Options that take a value, and the flags that take none.
const std::set<std::string>& ValueOptions() {
  static const std::set<std::string> names = {
      "-i",  "-acodec", "-vcodec", "-b",  "-s", "-r",      "-aspect", "-ab",      "-vol",
      "-ac", "-ar",     "-f",      "-ss", "-t", "-target", "-fadein", "-fadeout", "-loudnorm"};
  return names;
}
const std::set<std::string>& FlagOptions() {
  static const std::set<std::string> names = {"-y", "-vn"};
  return names;
}
bool IsOptionName(const std::string& text) {
  return ValueOptions().count(text) > 0 || FlagOptions().count(text) > 0;
}

std::optional<int64_t> ParseWholeNumber(const std::string& text) {
  int64_t value = 0;
  const char* end = text.data() + text.size();
  auto [ptr, ec] = std::from_chars(text.data(), end, value);
  if (ec != std::errc() || ptr != end || text.empty() || text[0] == '+') return std::nullopt;
  return value;
}

std::optional<double> ParseDecimal(const std::string& text) {
  // Digits with at most one "." and no sign, exponent or "inf"/"nan".
  if (text.empty() || text == ".") return std::nullopt;
  int dots = 0;
  for (char c : text) {
    if (c == '.') {
      if (++dots > 1) return std::nullopt;
    } else if (!std::isdigit(static_cast<unsigned char>(c))) {
      return std::nullopt;
    }
  }
  double value = 0;
  auto [ptr, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
  if (ec != std::errc() || ptr != text.data() + text.size() || !std::isfinite(value)) {
    return std::nullopt;
  }
  return value;
}

[[noreturn]] void Fail(const std::string& option, const std::string& value,
                       const std::string& why) {
  throw OptionError("bad value '" + value + "' for " + option + ": " + why);
}

int64_t BitrateValue(const std::string& option, const std::string& value) {
  // 128 and 128k both mean 128 kbit/s: numbers below 1000 are kbit/s.
  std::string digits = value;
  int64_t scale = 1;
  if (!digits.empty() && (digits.back() == 'k' || digits.back() == 'K')) {
    digits.pop_back();
    scale = 1000;
  }
  // A decimal such as 12.2 (the fastest AMR-NB mode) is read too.
  auto number = ParseDecimal(digits);
  if (!number || *number <= 0) Fail(option, value, "expected a positive number");
  if (*number > 100'000'000) Fail(option, value, "too large");
  if (scale == 1 && *number < 1000) scale = 1000;
  const int64_t bitsPerSecond = std::llround(*number * static_cast<double>(scale));
  if (bitsPerSecond <= 0) Fail(option, value, "expected a positive number");
  return bitsPerSecond;
}

int IntegerValue(const std::string& option, const std::string& value, int64_t lowest,
                 int64_t highest) {
  auto number = ParseWholeNumber(value);
  if (!number) Fail(option, value, "expected a whole number");
  if (*number < lowest || *number > highest) {
    Fail(option, value,
         "expected a number from " + std::to_string(lowest) + " to " + std::to_string(highest));
  }
  return static_cast<int>(*number);
}

// Fade lengths: seconds with a "." decimal point, 0 to 30.
double FadeSeconds(const std::string& option, const std::string& value) {
  auto seconds = ParseDecimal(value);
  if (!seconds) Fail(option, value, "expected seconds from 0 to 30, such as 2.5");
  if (*seconds > 30) Fail(option, value, "expected seconds from 0 to 30");
  return *seconds;
}

// A loudness target: LUFS from -30 to -5, a leading "-" and decimals allowed.
double LoudnessTarget(const std::string& option, const std::string& value) {
  const bool negative = !value.empty() && value[0] == '-';
  auto number = ParseDecimal(negative ? value.substr(1) : value);
  if (!number) Fail(option, value, "expected LUFS from -30 to -5, such as -14");
  const double target = negative ? -*number : *number;
  if (target < -30 || target > -5) Fail(option, value, "expected LUFS from -30 to -5");
  return target;
}

std::string AudioCodecName(const std::string& value) {
  static const std::map<std::string, std::string> names = {{"mp3", "mp3"},
                                                           {"libmp3lame", "mp3"},
                                                           {"aac", "aac"},
                                                           {"ac3", "ac3"},
                                                           {"vorbis", "vorbis"},
                                                           {"libvorbis", "vorbis"},
                                                           {"pcm_s16le", "pcm_s16le"},
                                                           {"amr_nb", "amr_nb"},
                                                           {"libopencore_amrnb", "amr_nb"}};
  std::string lower = value;
  std::transform(lower.begin(), lower.end(), lower.begin(),
                 [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
  auto found = names.find(lower);
  if (found == names.end()) {
    throw OptionError("unknown audio codec '" + value +
                      "' (known: mp3, aac, ac3, vorbis, pcm_s16le, amr_nb)");
  }
  return found->second;
}

std::string FormatName(const std::string& value) {
  static const std::map<std::string, std::string> names = {
      {"mp3", "mp3"},  {"adts", "adts"}, {"aac", "adts"}, {"mp4", "mp4"}, {"m4a", "mp4"},
      {"ipod", "mp4"}, {"ac3", "ac3"},   {"ogg", "ogg"},  {"wav", "wav"}, {"amr", "amr"}};
  std::string lower = value;
  std::transform(lower.begin(), lower.end(), lower.begin(),
                 [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
  auto found = names.find(lower);
  if (found == names.end()) {
    throw OptionError("unknown output format '" + value +
                      "' (known: mp3, adts, mp4, ac3, ogg, wav, amr)");
  }
  return found->second;
}

void CheckVideoSize(const std::string& value) {
  auto x = value.find('x');
  if (x == std::string::npos || !ParseWholeNumber(value.substr(0, x)) ||
      !ParseWholeNumber(value.substr(x + 1)) || *ParseWholeNumber(value.substr(0, x)) <= 0 ||
      *ParseWholeNumber(value.substr(x + 1)) <= 0) {
    Fail("-s", value, "expected WIDTHxHEIGHT");
  }
}

void CheckAspect(const std::string& value) {
  auto colon = value.find(':');
  bool good = colon == std::string::npos
                  ? ParseDecimal(value).value_or(0) > 0
                  : ParseDecimal(value.substr(0, colon)).value_or(0) > 0 &&
                        ParseDecimal(value.substr(colon + 1)).value_or(0) > 0;
  if (!good) Fail("-aspect", value, "expected A:B");
}

void ApplyValue(EngineOptions& options, const std::string& option, const std::string& value) {
  if (option == "-i") {
    options.input = value;
  } else if (option == "-acodec") {
    options.audioCodec = AudioCodecName(value);
  } else if (option == "-vcodec") {
    options.videoCodec = value;
  } else if (option == "-b") {
    options.videoBitrate = BitrateValue(option, value);
  } else if (option == "-s") {
    CheckVideoSize(value);
    options.videoSize = value;
  } else if (option == "-r") {
    auto rate = ParseDecimal(value);
    if (!rate || *rate <= 0) Fail(option, value, "expected a positive frame rate");
    options.frameRate = *rate;
  } else if (option == "-aspect") {
    CheckAspect(value);
    options.aspect = value;
  } else if (option == "-ab") {
    options.audioBitrate = BitrateValue(option, value);
  } else if (option == "-vol") {
    options.volumePercent = IntegerValue(option, value, 0, 100000);
  } else if (option == "-ac") {
    options.channels = IntegerValue(option, value, 1, 64);
  } else if (option == "-ar") {
    options.sampleRate = IntegerValue(option, value, 1, 1000000);
  } else if (option == "-f") {
    options.format = FormatName(value);
  } else if (option == "-ss") {
    auto start = ParseTimeText(value);
    if (!start) Fail(option, value, "expected hh:mm:ss or seconds");
    options.startSeconds = *start;
  } else if (option == "-t") {
    if (!value.empty() && value[0] == '-') Fail(option, value, "the length must be above zero");
    auto length = ParseTimeText(value);
    if (!length) Fail(option, value, "expected seconds or hh:mm:ss");
    if (*length <= 0) Fail(option, value, "the length must be above zero");
    options.durationSeconds = *length;
  } else if (option == "-target") {
    options.target = value;
  } else if (option == "-fadein") {
    options.fadeInSeconds = FadeSeconds(option, value);
  } else if (option == "-fadeout") {
    options.fadeOutSeconds = FadeSeconds(option, value);
  } else if (option == "-loudnorm") {
    options.loudnessTarget = LoudnessTarget(option, value);
  }
}

}  // namespace

std::optional<double> ParseTimeText(const std::string& text) {
  std::vector<std::string> parts;
  size_t begin = 0;
  while (true) {
    size_t colon = text.find(':', begin);
    parts.push_back(text.substr(begin, colon - begin));
    if (colon == std::string::npos) break;
    begin = colon + 1;
  }
  if (parts.size() > 3) return std::nullopt;
  double seconds = 0;
  for (size_t i = 0; i < parts.size(); ++i) {
    const bool last = i + 1 == parts.size();
    std::optional<double> value =
        last ? ParseDecimal(parts[i])
             : (ParseWholeNumber(parts[i]) && *ParseWholeNumber(parts[i]) >= 0 &&
                        parts[i].find('-') == std::string::npos
                    ? std::optional<double>(static_cast<double>(*ParseWholeNumber(parts[i])))
                    : std::nullopt);
    if (!value) return std::nullopt;
    // Minutes and seconds below an hour or minute field stay under 60.
    if (i > 0 && *value >= 60) return std::nullopt;
    seconds = seconds * 60 + *value;
  }
  if (seconds > 1e9) return std::nullopt;
  return seconds;
}

EngineOptions ParseEngineOptions(const std::vector<std::string>& arguments) {
  std::vector<std::string> words;
  for (const std::string& argument : arguments) {
    if (!IsBlank(argument)) words.push_back(Trimmed(argument));
  }
  if (words.empty()) throw OptionError("no arguments");

  EngineOptions options;
  // The output path comes last, so it is never mistaken for a missing value.
  if (IsOptionName(words.back())) throw OptionError("no output file named (it comes last)");
  options.output = words.back();
  words.pop_back();

  for (size_t i = 0; i < words.size(); ++i) {
    const std::string& word = words[i];
    if (FlagOptions().count(word)) {
      if (word == "-y") options.overwrite = true;
      if (word == "-vn") options.noVideo = true;
      continue;
    }
    if (ValueOptions().count(word)) {
      // A value left out is refused rather than skipped: "-ab -t 3" would
      // otherwise lose the bitrate silently, and "-t OUT" the cut.
      if (i + 1 >= words.size()) {
        throw OptionError("no value for " + word + " (the output file, given last, follows it)");
      }
      if (IsOptionName(words[i + 1])) {
        throw OptionError("no value for " + word + " (the next word is the option " + words[i + 1] +
                          ")");
      }
      ApplyValue(options, word, words[++i]);
      continue;
    }
    if (!word.empty() && word[0] == '-') throw OptionError("unknown option '" + word + "'");
    throw OptionError("unexpected argument '" + word + "' (only one output file, given last)");
  }
  if (options.input.empty()) throw OptionError("no input file given (-i SOURCE)");
  return options;
}

std::string UsageText() {
  return "evc.exe - Tonbrix converter engine\n"
         "usage: evc.exe [-y] -i SOURCE [options] OUTPUT\n"
         "\n"
         "  -y              replace OUTPUT if it exists (only once the new file is complete)\n"
         "  -i SOURCE       input file; its first audio stream is converted\n"
         "  -acodec NAME    mp3, aac, ac3, vorbis, pcm_s16le or amr_nb\n"
         "                  (default: by the extension of OUTPUT)\n"
         "  -ab N           audio bitrate: below 1000 in kbit/s, otherwise in bit/s;\n"
         "                  decimals allowed (12.2 is 12200 bit/s)\n"
         "  -vol N          volume in percent: 100 unchanged, 50 half, 200 double, 0 silence\n"
         "  -ac N           channel count\n"
         "  -ar N           sample rate in Hz\n"
         "  -f FMT          container: mp3, adts, mp4, ac3, ogg, wav or amr\n"
         "                  (default: by the extension: .mp3 .aac .m4a .ac3 .ogg .wav .amr)\n"
         "  -ss hh:mm:ss    start of the segment to keep\n"
         "  -t SECONDS      length of the segment to keep (at least one sample)\n"
         "  -fadein S       fade the kept part in over S seconds (0 to 30, a smooth curve)\n"
         "  -fadeout S      fade the kept part out over its last S seconds (0 to 30);\n"
         "                  a fade longer than half the part is shortened to half of it\n"
         "  -loudnorm L     bring the kept part to L LUFS (-30 to -5, e.g. -14; EBU R128)\n"
         "                  with peaks held under -1 dBTP; replaces the gain of -vol\n"
         "                  (fades and -loudnorm read the kept part twice: SOURCE is a file)\n"
         "  -vn, -vcodec NAME, -b N, -s WxH, -r N, -aspect A:B, -target X\n"
         "                  video options: accepted, without effect on audio-only output\n"
         "\n"
         "Every option named above takes a value except -y and -vn; a value left out\n"
         "is an error. Values an encoder cannot take are moved to the nearest value it\n"
         "supports. SOURCE is a local file or a pipe (a pipe silent for 5 s is an\n"
         "error), never a device or a network address; 8 MB of it without an audio\n"
         "frame (a leading ID3 tag aside) end the job. OUTPUT is never a device, a\n"
         "pipe or SOURCE itself.\n"
         "Decoding and encoding run on two threads; EVC_SINGLE_THREAD=1 in the\n"
         "environment keeps them on one (the output is the same to the byte).\n"
         "Progress lines read: size=     234kB time=14.91 bitrate= 128.5kbits/s\n";
}

}  // namespace evc
