// TypedTime: what a person types into a Start Time or End Time cell, read
// before it reaches the list. The cells hold "hh:mm:ss" (two digits each,
// minutes and seconds below 60); a person may type that, or a shorter form
// that reads the same way as a clock does: "45" is 45 seconds, "1:30" one
// minute thirty, "1:02:03" an hour, two minutes and three seconds.
//
// Pure functions; any thread.
#pragma once

#include <optional>
#include <string>

namespace typed_time {

// How far a text in an open time editor is from a time: Invalid holds a
// character no time has or is too long to become one; Intermediate can still
// become one by typing on (or is a finished time out of range, which the
// editor lets through so that committing it can say why it is refused);
// Acceptable reads as a time (or is empty: a cleared cell).
enum class State { Invalid, Intermediate, Acceptable };
State Check(const std::string& text);

// The cell text for a typed time: "hh:mm:ss". Nothing for an empty text or
// one that does not read as a time.
std::optional<std::string> CellText(const std::string& text);

// Why `text` is refused, for the person: names the text and the form wanted.
std::string Refusal(const std::string& text);

}  // namespace typed_time
