// TCommonLib: the constructor, the text helpers and the builders of the engine
// command-line fragments. The process and support-service operations live in
// their own files.
#include "Unit_CommonLib.h"

#include <charconv>
#include <cmath>
#include <cstdio>
#include <limits>
#include <stdexcept>

#include "Errors.h"

namespace {

bool IsBlankOrControl(char c) { return static_cast<unsigned char>(c) <= 32; }

std::string TrimBlanks(const std::string& text) {
  std::size_t first = 0;
  std::size_t last = text.size();
  while (first < last && IsBlankOrControl(text[first])) ++first;
  while (last > first && IsBlankOrControl(text[last - 1])) --last;
  return text.substr(first, last - first);
}

ConversionError NotANumber(const std::string& text) {
  return ConversionError("\"" + text + "\" is not a valid number");
}

ConversionError NotAnInteger(const std::string& text) {
  return ConversionError("\"" + text + "\" is not a valid integer");
}

// A decimal integer: an optional sign and at least one digit, nothing else.
int64_t ReadDecimalInteger(const std::string& text) {
  std::size_t at = 0;
  bool negative = false;
  if (!text.empty() && (text[0] == '+' || text[0] == '-')) {
    negative = text[0] == '-';
    at = 1;
  }
  if (at == text.size()) throw NotAnInteger(text);
  // Read the magnitude as unsigned so that the most negative value fits.
  uint64_t magnitude = 0;
  const char* begin = text.data() + at;
  const char* end = text.data() + text.size();
  const auto [stop, error] = std::from_chars(begin, end, magnitude);
  if (error != std::errc() || stop != end) throw NotAnInteger(text);
  const uint64_t limit =
      static_cast<uint64_t>(std::numeric_limits<int64_t>::max()) + (negative ? 1 : 0);
  if (magnitude > limit) throw ConversionError("\"" + text + "\" is out of range");
  return negative ? static_cast<int64_t>(0 - magnitude) : static_cast<int64_t>(magnitude);
}

// hours * 3600 + minutes * 60 + seconds, refusing a sum that does not fit.
int64_t TimeSeconds(int64_t hours, int64_t minutes, int64_t seconds, const std::string& text) {
  int64_t h = 0;
  int64_t m = 0;
  int64_t total = 0;
  if (__builtin_mul_overflow(hours, int64_t{3600}, &h) ||
      __builtin_mul_overflow(minutes, int64_t{60}, &m) || __builtin_add_overflow(h, m, &total) ||
      __builtin_add_overflow(total, seconds, &total)) {
    throw ConversionError("The time \"" + text + "\" is out of range");
  }
  return total;
}

// A whole number of the tolerant reading, cut toward zero.
int64_t TruncatedNumber(const std::string& item, const std::string& text) {
  const double value = std::trunc(TCommonLib::TextToNumber(item));
  // 2^63 is exactly representable; every double below it in magnitude fits.
  if (!(value >= -9223372036854775808.0 && value < 9223372036854775808.0)) {
    throw ConversionError("The time \"" + text + "\" is out of range");
  }
  return static_cast<int64_t>(value);
}

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

TCommonLib::TCommonLib(TAppFunc& app, TSysFunc& sys, UserInterface& ui)
    : AppPath(app.GetAppPath()), app_(app), sys_(sys), ui_(ui) {}

// ---- Text helpers -------------------------------------------------------------

std::vector<std::string> TCommonLib::SplitString(const std::string& text, char separator) {
  std::vector<std::string> items;
  std::size_t from = 0;
  for (;;) {
    const auto at = text.find(separator, from);
    if (at == std::string::npos) break;
    items.push_back(text.substr(from, at - from));
    from = at + 1;
  }
  if (from < text.size()) items.push_back(text.substr(from));
  return items;
}

// The decimal point is always ".", whatever the user's locale says: the texts
// read here are time fields and the engine's elapsed seconds, which are never
// written in a localised form.
double TCommonLib::TextToNumber(const std::string& text) {
  const std::string trimmed = TrimBlanks(text);
  std::string kept;
  bool seen_point = false;
  bool seen_plus = false;
  bool seen_minus = false;
  for (const char c : trimmed) {
    if (c >= '0' && c <= '9') {
      kept += c;
    } else if (c == '.') {
      if (!seen_point) kept += c;
      seen_point = true;
    } else if (c == '+') {
      if (!seen_plus) kept += c;
      seen_plus = true;
    } else if (c == '-') {
      if (!seen_minus) kept += c;
      seen_minus = true;
    }
  }
  if (kept.size() < 2) {
    if (kept.empty() || kept == "+" || kept == "-") return 0;
    if (kept == ".") throw NotANumber(text);
    return kept[0] - '0';
  }
  // Only the first character may be a sign; later signs are dropped ("5-3" is 53).
  std::string number(1, kept[0]);
  for (std::size_t i = 1; i < kept.size(); ++i) {
    if (kept[i] != '+' && kept[i] != '-') number += kept[i];
  }
  const bool negative = number[0] == '-';
  const std::size_t start = (number[0] == '+' || number[0] == '-') ? 1 : 0;
  double value = 0;
  const char* begin = number.data() + start;
  const char* end = number.data() + number.size();
  const auto [stop, error] = std::from_chars(begin, end, value, std::chars_format::fixed);
  if (error != std::errc() || stop != end) throw NotANumber(text);
  return negative ? -value : value;
}

// Worked in seconds rather than milliseconds: the same fields, and no overflow
// for counts near the top of the 64-bit range.
std::string TCommonLib::SecondsToTimeText(int64_t seconds) {
  if (seconds < 0) seconds = 0;
  std::string text;
  text += seconds < 3600 ? "00:" : FormatTimeField(2, 3600, seconds) + ":";
  seconds %= 3600;
  text += seconds < 60 ? "00:" : FormatTimeField(2, 60, seconds) + ":";
  seconds %= 60;
  text += seconds < 1 ? "00" : FormatTimeField(2, 1, seconds);
  return text;
}

std::string TCommonLib::FormatTimeField(int64_t width, int64_t divisor, int64_t value) {
  if (divisor == 0) throw std::invalid_argument("FormatTimeField: divisor 0");
  // The quotient's magnitude as unsigned, so that INT64_MIN / -1 cannot trap.
  const bool negative = (value < 0) != (divisor < 0) && value != 0;
  const uint64_t v = value < 0 ? 0 - static_cast<uint64_t>(value) : static_cast<uint64_t>(value);
  const uint64_t d =
      divisor < 0 ? 0 - static_cast<uint64_t>(divisor) : static_cast<uint64_t>(divisor);
  const uint64_t quotient = v / d;
  std::string digits = std::to_string(quotient);
  if (width > 0 && static_cast<uint64_t>(width) > digits.size()) {
    digits.insert(0, static_cast<std::size_t>(width) - digits.size(), '0');
  }
  return (negative && quotient != 0 ? "-" : "") + digits;
}

// Worked in long double, the 80-bit type the cut to two decimals was made for,
// so that values such as 1023.99 KB are cut the same way.
std::string TCommonLib::FormatFileSize(int64_t bytes) {
  if (bytes < 0) bytes = 0;
  static const char* const kUnits[] = {" B", " KB", " MB", " GB"};
  int unit = 0;
  long double v = 0;
  if (bytes < (int64_t{1} << 30)) {
    v = static_cast<long double>(bytes);
    for (int step = 0; step < 3; ++step) {
      if (v >= 1024) {
        ++unit;
        v /= 1024;
      }
    }
  } else {
    unit = 3;
    v = static_cast<long double>(bytes) / 1024 / 1024 / 1024;
  }
  v = std::trunc(v * 100) / 100;
  char text[64];
  std::snprintf(text, sizeof text, "%.15Lg", v);
  return std::string(text) + kUnits[unit];
}

bool TCommonLib::ReadTimeTolerant(const std::string& text, int64_t& seconds) {
  const std::vector<std::string> parts = SplitString(text, ':');
  if (parts.size() < 3) return false;
  const int64_t h = TruncatedNumber(parts[0], text);
  const int64_t m = TruncatedNumber(parts[1], text);
  const int64_t s = TruncatedNumber(parts[2], text);
  seconds = TimeSeconds(h, m, s, text);
  return true;
}

bool TCommonLib::ReadTimeStrict(const std::string& text, int64_t& seconds) {
  const std::vector<std::string> parts = SplitString(text, ':');
  if (parts.size() != 3) return false;
  seconds = TimeSeconds(ReadDecimalInteger(parts[0]), ReadDecimalInteger(parts[1]),
                        ReadDecimalInteger(parts[2]), text);
  return true;
}

int64_t TCommonLib::ReadTimeFixed(const std::string& text) {
  // Characters 1-2, 4-5 and 7-8 are the fields; the separators between them
  // are not looked at.
  const auto field = [&text](std::size_t at) -> int64_t {
    if (text.size() < at + 2) {
      throw ConversionError("\"" + text + "\" is not a time of the form hh:mm:ss");
    }
    const std::string part = text.substr(at, 2);
    if (part[0] < '0' || part[0] > '9' || part[1] < '0' || part[1] > '9') {
      throw ConversionError("\"" + part + "\" in the time \"" + text + "\" is not a valid integer");
    }
    return (part[0] - '0') * 10 + (part[1] - '0');
  };
  return field(0) * 3600 + field(3) * 60 + field(6);
}

// ---- Engine command-line fragments -----------------------------------------------

std::string TCommonLib::GetCodecOption(const std::vector<std::string>& items, int index) {
  return Fragment(items, index, " ", " -vcodec xvid -acodec mp3");
}

std::string TCommonLib::GetVideoBitrateOption(const std::vector<std::string>& items, int index) {
  return Fragment(items, index, " -b ", " -b 512");
}

std::string TCommonLib::GetVideoSizeOption(const std::vector<std::string>& items, int index) {
  return Fragment(items, index, " -s ", " -s 320x240");
}

std::string TCommonLib::GetFrameRateOption(const std::vector<std::string>& items, int index) {
  return Fragment(items, index, " -r ", " -r 25");
}

std::string TCommonLib::GetAspectOption(const std::vector<std::string>& items, int index) {
  return Fragment(items, index, " -aspect ", " -aspect 4:3");
}

std::string TCommonLib::GetAudioBitrateOption(const std::vector<std::string>& items, int index) {
  return Fragment(items, index, " -ab ", " -ab 64");
}

std::string TCommonLib::GetVolumeOption(const std::vector<std::string>& items, int index) {
  return Fragment(items, index, " -vol ", " ");
}

// The channel texts begin with the count: "2 channels, Stereo" gives " -ac 2".
std::string TCommonLib::GetAudioChannelsOption(const std::vector<std::string>& items, int index) {
  const std::string item = ItemAt(items, index);
  return item.empty() ? std::string(" -ac 2") : " -ac " + item.substr(0, 1);
}

std::string TCommonLib::GetSampleRateOption(const std::vector<std::string>& items, int index) {
  return Fragment(items, index, " -ar ", " -ar 44100");
}

// "none" forces no container. A missing entry forces none either: a bare
// " -f " would make the engine take the next option as the format's name.
std::string TCommonLib::GetFormatOption(const std::vector<std::string>& items, int index) {
  const std::string item = ItemAt(items, index);
  return item.empty() || item == "none" ? std::string() : " -f " + item;
}

std::string TCommonLib::GetOutputExtension(const std::vector<std::string>& items, int index) {
  const std::string item = ItemAt(items, index);
  return item.empty() ? std::string(".avi") : item;
}
