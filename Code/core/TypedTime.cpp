#include "TypedTime.h"

#include <cstdio>
#include <vector>

namespace typed_time {

namespace {

// "h:m:s" has at most two digits in each of at most three fields.
constexpr std::size_t kMaxLength = 8;

struct Fields {
  std::vector<int> values;  // hours, minutes, seconds from the right
  bool complete = true;     // no field is empty
};

// The fields of a text made of digits and ":"; nothing when another
// character, a field of three digits or a fourth field appears.
std::optional<Fields> Split(const std::string& text) {
  if (text.size() > kMaxLength) return std::nullopt;
  Fields fields;
  int value = 0;
  int digits = 0;
  for (std::size_t at = 0; at <= text.size(); ++at) {
    const char c = at < text.size() ? text[at] : ':';
    if (c >= '0' && c <= '9') {
      if (++digits > 2) return std::nullopt;
      value = value * 10 + (c - '0');
      continue;
    }
    if (c != ':') return std::nullopt;
    if (digits == 0) fields.complete = false;
    fields.values.push_back(value);
    if (fields.values.size() > 3) return std::nullopt;
    value = 0;
    digits = 0;
  }
  return fields;
}

// Minutes and seconds below 60: a field other than the first of three.
bool InRange(const std::vector<int>& values) {
  for (std::size_t i = 0; i < values.size(); ++i) {
    const bool hours = values.size() == 3 && i == 0;
    if (!hours && values[i] >= 60) return false;
  }
  return true;
}

}  // namespace

State Check(const std::string& text) {
  if (text.empty()) return State::Acceptable;
  const std::optional<Fields> fields = Split(text);
  if (!fields) return State::Invalid;
  if (fields->complete && InRange(fields->values)) return State::Acceptable;
  return State::Intermediate;
}

std::optional<std::string> CellText(const std::string& text) {
  if (text.empty()) return std::nullopt;
  const std::optional<Fields> fields = Split(text);
  if (!fields || !fields->complete || !InRange(fields->values)) return std::nullopt;
  int part[3] = {0, 0, 0};  // hours, minutes, seconds
  const std::size_t count = fields->values.size();
  for (std::size_t i = 0; i < count; ++i) part[3 - count + i] = fields->values[i];
  char cell[16];
  std::snprintf(cell, sizeof cell, "%02d:%02d:%02d", part[0], part[1], part[2]);
  return std::string(cell);
}

std::string Refusal(const std::string& text) {
  return "\"" + text +
         "\" is not a time of the form hh:mm:ss (minutes and seconds run from 00 to 59)";
}

}  // namespace typed_time
