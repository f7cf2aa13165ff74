// Fuzzes the engine's command-line reading: the bytes are split at NUL into
// the arguments after the program name. A line is either read into options
// or refused with an OptionError whose reason is one line; anything else
// (another exception, a crash) is a fault.
#include <cmath>
#include <string>
#include <vector>

#include "EngineOptions.h"
#include "FuzzSupport.h"

namespace {

void CheckOneLine(const std::string& reason) {
  if (reason.empty()) fuzz::Fail("an option error without a reason");
  if (reason.find('\n') != std::string::npos)
    fuzz::Fail("a reason of more than one line: " + reason);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  std::vector<std::string> arguments(1);
  for (size_t i = 0; i < size; ++i) {
    if (data[i] == 0) {
      arguments.emplace_back();
    } else {
      arguments.back().push_back(static_cast<char>(data[i]));
    }
  }

  try {
    const evc::EngineOptions options = evc::ParseEngineOptions(arguments);
    if (options.input.empty() || options.output.empty())
      fuzz::Fail("options without input or output");
    if (options.startSeconds &&
        !(std::isfinite(*options.startSeconds) && *options.startSeconds >= 0)) {
      fuzz::Fail("a start time that is no time");
    }
    if (options.durationSeconds &&
        !(std::isfinite(*options.durationSeconds) && *options.durationSeconds >= 0)) {
      fuzz::Fail("a duration that is no time");
    }
  } catch (const evc::OptionError& error) {
    CheckOneLine(error.what());
  }

  for (const std::string& argument : arguments) {
    if (const auto seconds = evc::ParseTimeText(argument)) {
      if (!std::isfinite(*seconds) || *seconds < 0) fuzz::Fail("ParseTimeText gave " + argument);
    }
  }
  return 0;
}
