// The finishing of a ringtone: the default fade-in and fade-out of a row and
// the loudness target, kept in Config/Finishing.ini (a file of their own, so
// that the other configuration files keep exactly their keys and bytes), and
// the engine options they add to a row's command line. Window-free.
// Ownership: plain values. Thread: the user-interface thread (TIniFile32).
#pragma once

#include <string>

#include "EngineCommand.h"

struct FinishingSettings {
  static constexpr double kMostFadeSeconds = 30;
  static constexpr double kLowestTarget = -30;
  static constexpr double kHighestTarget = -5;

  double FadeInSeconds = 0;   // the default for each row; 0: no fade
  double FadeOutSeconds = 0;  // the default for each row; 0: no fade
  bool NormalizeLoudness = false;
  double LoudnessTarget = -14;  // LUFS, used when NormalizeLoudness
};

// The settings in AppPath + "Config/Finishing.ini"; a missing or unreadable
// file, and each key that is missing or out of range, gives the default.
FinishingSettings ReadFinishingSettings(const std::string& app_path);

// Writes all four keys to AppPath + "Config/Finishing.ini". Throws FileError
// naming the file when it cannot be written.
void WriteFinishingSettings(const std::string& app_path, const FinishingSettings& settings);

// What a row's fades and the loudness setting add to its command line:
// " -fadein S", " -fadeout S" and " -loudnorm L", each only when used (a zero
// fade adds nothing), seconds to the millisecond with a "." decimal point.
// Values past the engine's limits are brought within them, so that a stored
// value never fails a conversion.
std::string FinishingFragment(double fade_in_seconds, double fade_out_seconds,
                              const FinishingSettings& settings);

// Adds FinishingFragment(...) to `command` before its output path, the
// engine's last argument, in both the line and the argument list.
void AppendFinishing(EngineCommand& command, double fade_in_seconds, double fade_out_seconds,
                     const FinishingSettings& settings);
