// The engine's command line: the legacy ffmpeg-style options that Tonbrix
// builds, read into one plain value. Window-free and library-free, so that it
// can be tested and fuzzed on its own. Ownership: the caller owns the returned
// value. Thread: any; the parser keeps no state.
#pragma once

#include <cstdint>
#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

namespace evc {

// `reason` with every control character (a line break in a quoted option or
// file name, say) shown as "?": Tonbrix reads the engine's reason as one line.
std::string OneLine(std::string reason);

// A command line the engine cannot run; what() is a one-line reason.
class OptionError : public std::runtime_error {
 public:
  explicit OptionError(const std::string& reason) : std::runtime_error(OneLine(reason)) {}
};

struct EngineOptions {
  bool overwrite = false;  // -y
  std::string input;       // -i
  std::string output;      // the last argument
  std::string audioCodec;  // -acodec, normalised (mp3, aac, ac3, vorbis, pcm_s16le, amr_nb); empty:
                           // by extension
  std::string format;  // -f, normalised (mp3, adts, mp4, ac3, ogg, wav, amr); empty: by extension
  std::optional<int64_t> audioBitrate;    // -ab in bit/s (a decimal value rounded)
  std::optional<int> volumePercent;       // -vol
  std::optional<int> channels;            // -ac
  std::optional<int> sampleRate;          // -ar in Hz
  std::optional<double> startSeconds;     // -ss
  std::optional<double> durationSeconds;  // -t
  // Finishing of the cut part; absent unless given, and then every command
  // line without them converts exactly as before.
  std::optional<double> fadeInSeconds;   // -fadein, 0 to 30
  std::optional<double> fadeOutSeconds;  // -fadeout, 0 to 30
  std::optional<double> loudnessTarget;  // -loudnorm, LUFS from -30 to -5; replaces -vol
  // Video options: accepted so that every line Tonbrix builds runs, and
  // without effect on audio-only output.
  bool noVideo = false;  // -vn
  std::string videoCodec, videoSize, aspect, target;
  std::optional<int64_t> videoBitrate;
  std::optional<double> frameRate;
};

// Reads the arguments after the program name. Blank arguments are skipped.
// Throws OptionError for an unknown option, a bad value, a value left out (the
// next argument is another option, or there is none before the output path)
// or a missing input or output.
EngineOptions ParseEngineOptions(const std::vector<std::string>& arguments);

// Reads "hh:mm:ss[.frac]", "mm:ss[.frac]" or "seconds[.frac]"; nullopt when the
// text is not such a time (negative times included).
std::optional<double> ParseTimeText(const std::string& text);

// The text printed when the engine is started without arguments.
std::string UsageText();

}  // namespace evc
