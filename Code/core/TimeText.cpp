#include "TimeText.h"

#include <charconv>
#include <cmath>
#include <limits>
#include <stdexcept>
#include <vector>

#include "Errors.h"
#include "TextHelpers.h"

namespace time_text {

namespace {

using text_helpers::SplitString;

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
  const double value = std::trunc(text_helpers::TextToNumber(item));
  // 2^63 is exactly representable; every double below it in magnitude fits.
  if (!(value >= -9223372036854775808.0 && value < 9223372036854775808.0)) {
    throw ConversionError("The time \"" + text + "\" is out of range");
  }
  return static_cast<int64_t>(value);
}

}  // namespace

// Worked in seconds rather than milliseconds: the same fields, and no overflow
// for counts near the top of the 64-bit range.
std::string SecondsToTimeText(int64_t seconds) {
  if (seconds < 0) seconds = 0;
  std::string text;
  text += seconds < 3600 ? "00:" : FormatTimeField(2, 3600, seconds) + ":";
  seconds %= 3600;
  text += seconds < 60 ? "00:" : FormatTimeField(2, 60, seconds) + ":";
  seconds %= 60;
  text += seconds < 1 ? "00" : FormatTimeField(2, 1, seconds);
  return text;
}

std::string FormatTimeField(int64_t width, int64_t divisor, int64_t value) {
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

bool ReadTimeTolerant(const std::string& text, int64_t& seconds) {
  const std::vector<std::string> parts = SplitString(text, ':');
  if (parts.size() < 3) return false;
  const int64_t h = TruncatedNumber(parts[0], text);
  const int64_t m = TruncatedNumber(parts[1], text);
  const int64_t s = TruncatedNumber(parts[2], text);
  seconds = TimeSeconds(h, m, s, text);
  return true;
}

bool ReadTimeStrict(const std::string& text, int64_t& seconds) {
  const std::vector<std::string> parts = SplitString(text, ':');
  if (parts.size() != 3) return false;
  seconds = TimeSeconds(ReadDecimalInteger(parts[0]), ReadDecimalInteger(parts[1]),
                        ReadDecimalInteger(parts[2]), text);
  return true;
}

int64_t ReadTimeFixed(const std::string& text) {
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

}  // namespace time_text
