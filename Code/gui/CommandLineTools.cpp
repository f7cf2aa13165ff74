#include "CommandLineTools.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <exception>
#include <string_view>

extern "C" {
#include <libavutil/log.h>
}

#include "HookSuggester.h"

namespace {

constexpr int kToolDone = 0;
constexpr int kToolUnreadableFile = 1;
constexpr int kToolBadArguments = 2;

const char kUsage[] =
    "Usage: tonbrix\n"
    "       tonbrix --suggest-hook FILE [SECONDS]\n"
    "       tonbrix --help\n"
    "\n"
    "Without arguments Tonbrix opens its window; apart from the options below\n"
    "the program takes no arguments.\n"
    "\n"
    "  --suggest-hook FILE [SECONDS]\n"
    "      Suggests the part of the song FILE to make a ringtone of: its most\n"
    "      repeated, energetic section (the chorus), SECONDS long (default 30,\n"
    "      never past the song's end). Prints its start and end as\n"
    "      \"hh:mm:ss.mmm hh:mm:ss.mmm\" on one line.\n"
    "  --help\n"
    "      Prints this text.\n";

// Reasons are printed on one line, whatever the library's text holds.
std::string OneLine(std::string text) {
  for (char& c : text) {
    if (c == '\n' || c == '\r') c = ' ';
  }
  return text;
}

// A positive, finite number of seconds with "." as decimal point, whatever the
// locale says.
std::optional<double> ParseSeconds(std::string_view text) {
  double value = 0.0;
  const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
  if (error != std::errc() || end != text.data() + text.size()) return std::nullopt;
  if (!std::isfinite(value) || value <= 0.0) return std::nullopt;
  return value;
}

int SuggestHookTool(int argc, char* argv[], std::ostream& out, std::ostream& err) {
  if (argc < 3 || argc > 4) {
    err << "tonbrix: --suggest-hook takes a FILE and optionally SECONDS (see tonbrix --help)\n";
    return kToolBadArguments;
  }
  double seconds = kDefaultHookSeconds;
  if (argc == 4) {
    const std::optional<double> parsed = ParseSeconds(argv[3]);
    if (!parsed) {
      err << "tonbrix: SECONDS must be a positive number of seconds, not \"" << OneLine(argv[3])
          << "\"\n";
      return kToolBadArguments;
    }
    seconds = *parsed;
  }
  // The libraries' own messages about a damaged file would add lines to the
  // one-line result or reason.
  av_log_set_level(AV_LOG_QUIET);
  try {
    const HookSuggestion hook = SuggestHook(argv[2], seconds);
    out << FormatClockTime(hook.start_ms) << ' ' << FormatClockTime(hook.end_ms) << '\n';
    return kToolDone;
  } catch (const std::exception& e) {
    err << "tonbrix: " << OneLine(e.what()) << '\n';
    return kToolUnreadableFile;
  }
}

}  // namespace

std::string FormatClockTime(int64_t ms) {
  ms = std::max<int64_t>(ms, 0);
  char text[32];
  std::snprintf(text, sizeof text, "%02lld:%02lld:%02lld.%03lld",
                static_cast<long long>(ms / 3600000), static_cast<long long>(ms / 60000 % 60),
                static_cast<long long>(ms / 1000 % 60), static_cast<long long>(ms % 1000));
  return text;
}

std::optional<int> RunCommandLineTool(int argc, char* argv[], std::ostream& out,
                                      std::ostream& err) {
  if (argc < 2) return std::nullopt;
  const std::string_view first = argv[1];
  if (first == "--help" || first == "-h") {
    out << kUsage;
    return kToolDone;
  }
  if (first == "--suggest-hook") return SuggestHookTool(argc, argv, out, err);
  return std::nullopt;
}
