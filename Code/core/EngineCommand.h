// One run of the converter engine: the command line as a text (the form that is
// logged and shown) and the argument list the engine is started with. The
// argument list never goes through a shell: a quoted path with blanks, quotes
// or non-ASCII letters is one argument.
#pragma once

#include <string>
#include <vector>

struct EngineCommand {
  std::string Line;                    // exactly as built and logged
  std::vector<std::string> Arguments;  // Arguments[0] is the engine's path
};
