// Text helpers shared by the whole core: trimming, splitting at a separator,
// the tolerant reading of a number and the size text of the source list.
// Pure functions; any thread.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace text_helpers {

// `text` without the blanks and control characters (every byte up to 32) at
// either end.
std::string TrimBlanks(const std::string& text);

// The pieces between separators; empty pieces are kept except a trailing
// one: "a::b" -> a, "", b; ":a" -> "", a; "a:" -> a; "" -> nothing.
std::vector<std::string> SplitString(const std::string& text, char separator);

// Tolerant reading of a number: keeps digits, the first ".", the first "+"
// and the first "-". Throws ConversionError for what still does not convert.
double TextToNumber(const std::string& text);

// "1.5 KB", "4.76 MB": cut (not rounded) to two decimals.
std::string FormatFileSize(int64_t bytes);

}  // namespace text_helpers
