#include "FinishingSettings.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <optional>

#include "Errors.h"
#include "IniFiles32.h"

namespace {

constexpr char kFile[] = "Config/Finishing.ini";
constexpr char kSection[] = "Finishing";
constexpr char kFadeIn[] = "FadeIn";
constexpr char kFadeOut[] = "FadeOut";
constexpr char kNormalize[] = "NormalizeLoudness";
constexpr char kTarget[] = "LoudnessTarget";

// Seconds and LUFS as text: to the millisecond (or hundredth of a LU), the
// shortest form, a "." decimal point whatever the locale.
std::string NumberText(double value) {
  const double rounded = std::round(value * 1000) / 1000;
  char text[32];
  const auto result = std::to_chars(text, text + sizeof text, rounded == 0 ? 0.0 : rounded);
  return std::string(text, result.ptr);
}

std::optional<double> NumberValue(const std::string& text, double lowest, double highest) {
  double value = 0;
  const char* end = text.data() + text.size();
  const auto [ptr, error] = std::from_chars(text.data(), end, value);
  if (error != std::errc() || ptr != end || text.empty() || !std::isfinite(value)) {
    return std::nullopt;
  }
  if (value < lowest || value > highest) return std::nullopt;
  return value;
}

}  // namespace

FinishingSettings ReadFinishingSettings(const std::string& app_path) {
  FinishingSettings settings;
  try {
    const TIniFile32 ini(app_path + kFile);
    auto number = [&](const char* key, double fallback, double lowest, double highest) {
      return NumberValue(ini.ReadString(kSection, key, ""), lowest, highest).value_or(fallback);
    };
    settings.FadeInSeconds =
        number(kFadeIn, settings.FadeInSeconds, 0, FinishingSettings::kMostFadeSeconds);
    settings.FadeOutSeconds =
        number(kFadeOut, settings.FadeOutSeconds, 0, FinishingSettings::kMostFadeSeconds);
    settings.NormalizeLoudness = ini.ReadInteger(kSection, kNormalize, 0) == 1;
    settings.LoudnessTarget =
        number(kTarget, settings.LoudnessTarget, FinishingSettings::kLowestTarget,
               FinishingSettings::kHighestTarget);
  } catch (const FileError&) {
    // An unreadable file: the defaults, as for a missing one.
  }
  return settings;
}

void WriteFinishingSettings(const std::string& app_path, const FinishingSettings& settings) {
  TIniFile32 ini(app_path + kFile);
  ini.WriteString(kSection, kFadeIn, NumberText(settings.FadeInSeconds));
  ini.WriteString(kSection, kFadeOut, NumberText(settings.FadeOutSeconds));
  ini.WriteInteger(kSection, kNormalize, settings.NormalizeLoudness ? 1 : 0);
  ini.WriteString(kSection, kTarget, NumberText(settings.LoudnessTarget));
}

std::string FinishingFragment(double fade_in_seconds, double fade_out_seconds,
                              const FinishingSettings& settings) {
  std::string fragment;
  auto fade = [&](const char* option, double seconds) {
    if (!std::isfinite(seconds)) return;
    const std::string text =
        NumberText(std::clamp(seconds, 0.0, FinishingSettings::kMostFadeSeconds));
    if (text != "0") fragment += std::string(" ") + option + " " + text;
  };
  fade("-fadein", fade_in_seconds);
  fade("-fadeout", fade_out_seconds);
  if (settings.NormalizeLoudness) {
    const double target = std::isfinite(settings.LoudnessTarget) ? settings.LoudnessTarget : -14;
    fragment += " -loudnorm " + NumberText(std::clamp(target, FinishingSettings::kLowestTarget,
                                                      FinishingSettings::kHighestTarget));
  }
  return fragment;
}

void AppendFinishing(EngineCommand& command, double fade_in_seconds, double fade_out_seconds,
                     const FinishingSettings& settings) {
  const std::string fragment = FinishingFragment(fade_in_seconds, fade_out_seconds, settings);
  if (fragment.empty() || command.Arguments.size() < 2) return;
  // The line ends with a blank and the output path in double quotes.
  const std::string quoted = " \"" + command.Arguments.back() + "\"";
  const size_t at =
      command.Line.size() >= quoted.size() &&
              command.Line.compare(command.Line.size() - quoted.size(), quoted.size(), quoted) == 0
          ? command.Line.size() - quoted.size()
          : command.Line.size();
  command.Line.insert(at, fragment);
  std::vector<std::string> words;
  for (size_t start = 0; start < fragment.size();) {
    start = fragment.find_first_not_of(' ', start);
    if (start == std::string::npos) break;
    const size_t end = std::min(fragment.find(' ', start), fragment.size());
    words.push_back(fragment.substr(start, end - start));
    start = end;
  }
  command.Arguments.insert(command.Arguments.end() - 1, words.begin(), words.end());
}
