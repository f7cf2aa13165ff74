// One conversion, the engine's real work: demux and decode the first audio
// stream of the source, cut, fade, change the volume and the format in one
// filter graph, encode and mux into a temporary file that is renamed when it
// is complete. Messages and progress lines go to the given stream. With
// -fadein, -fadeout or -loudnorm the kept part is read twice: first to learn
// its length and loudness, then to convert it through a PartFinisher.
// Ownership: Convert() owns every library object it makes and frees them all
// before it returns or throws. Thread: the main thread of the engine, which
// decodes and filters; Convert() starts one more thread that encodes and
// writes, and joins it before it returns or throws (EVC_SINGLE_THREAD=1 in
// the environment keeps all the work on the calling thread, same output).
#pragma once

#include <ostream>
#include <stdexcept>

#include "EngineOptions.h"

namespace evc {

// A conversion that could not be done; what() is a one-line reason.
class JobError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// `text` with every "=" shown as "-": Tonbrix finds the time after the second
// "=" of whatever its pipe delivered, so the engine's own texts (file names
// in reasons included) carry no "=" apart from the progress lines.
std::string ShownText(std::string text);

// Throws JobError, OptionError (values that do not fit the output) or
// std::runtime_error (the output file); no output file is left behind then.
void Convert(const EngineOptions& options, std::ostream& console);

// The filter graph between the decoder and the encoder, as one description.
struct FilterPlan {
  std::optional<double> startSeconds;     // cut start; fades in when above zero
  std::optional<double> durationSeconds;  // cut length; fades out at its end
  int volumePercent = 100;
  std::string sampleFormat;  // av_get_sample_fmt_name of the encoder's format
  int sampleRate = 0;
  std::string channelLayout;  // av_channel_layout_describe text
};
std::string FilterDescription(const FilterPlan& plan);

}  // namespace evc
