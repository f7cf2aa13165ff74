#include "TextHelpers.h"

#include <charconv>
#include <cmath>
#include <cstdio>

#include "Errors.h"

namespace text_helpers {

namespace {

bool IsBlankOrControl(char c) { return static_cast<unsigned char>(c) <= 32; }

ConversionError NotANumber(const std::string& text) {
  return ConversionError("\"" + text + "\" is not a valid number");
}

}  // namespace

std::string TrimBlanks(const std::string& text) {
  std::size_t first = 0;
  std::size_t last = text.size();
  while (first < last && IsBlankOrControl(text[first])) ++first;
  while (last > first && IsBlankOrControl(text[last - 1])) --last;
  return text.substr(first, last - first);
}

std::vector<std::string> SplitString(const std::string& text, char separator) {
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
double TextToNumber(const std::string& text) {
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

// Worked in long double, the 80-bit type the cut to two decimals was made for,
// so that values such as 1023.99 KB are cut the same way.
std::string FormatFileSize(int64_t bytes) {
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

}  // namespace text_helpers
