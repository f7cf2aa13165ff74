// The program's command-line tools: what `tonbrix` does when it is started
// with --suggest-hook or --help instead of without arguments. They run before
// the application object exists, so they need no display and open no window.
//
// Ownership: nothing is kept. Threads: the main thread, before anything else.
#pragma once

#include <cstdint>
#include <optional>
#include <ostream>
#include <string>

// A time in milliseconds as "hh:mm:ss.mmm" (hours grow past two digits when
// they must).
std::string FormatClockTime(int64_t ms);

// Runs the tool that the arguments ask for, writing its result to `out` and a
// one-line reason for a failure to `err`. Returns its exit code: 0 done, 1 the
// file could not be read, 2 the arguments were wrong. Returns nothing when the
// arguments ask for no tool (no arguments at all, or ones the window start
// handles as before).
std::optional<int> RunCommandLineTool(int argc, char* argv[], std::ostream& out, std::ostream& err);
