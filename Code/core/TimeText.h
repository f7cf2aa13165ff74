// Time texts of the source list and the progress window: whole seconds as
// "hh:mm:ss" and the three ways such a text is read back. Pure functions; any
// thread.
#pragma once

#include <cstdint>
#include <string>

namespace time_text {

// Whole seconds as hh:mm:ss, hours unbounded; zero and below give 00:00:00.
std::string SecondsToTimeText(int64_t seconds);

// value div divisor in decimal, zero-padded on the left to `width`.
std::string FormatTimeField(int64_t width, int64_t divisor, int64_t value);

// The three ways a time text is read back, all giving whole seconds.
// Tolerant: at least three ":" pieces, each read by TextToNumber and cut
// toward zero. Strict: exactly three pieces, each a decimal integer.
// Fixed-position: characters 1-2, 4-5 and 7-8 of "hh:mm:ss". The tolerant
// and strict readings leave `seconds` unchanged and return false when the
// text has another number of pieces. A piece that does not convert, or a
// time beyond the 64-bit range, throws ConversionError naming the text.
bool ReadTimeTolerant(const std::string& text, int64_t& seconds);
bool ReadTimeStrict(const std::string& text, int64_t& seconds);
int64_t ReadTimeFixed(const std::string& text);

}  // namespace time_text
