// The last stage before the encoder when the kept part is finished with
// fades or a loudness target: it takes the part as interleaved float at the
// output rate and layout, applies the fades and the loudness gain, holds the
// true peak under the ceiling, and converts to the encoder's sample format
// and frame size in a small filter graph of its own. Ownership: owns its
// graph and frames; the frames it hands on are valid during the callback.
// Thread: the decoding thread of the engine.
#pragma once

#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "Fades.h"
#include "LibavOwners.h"
#include "Loudness.h"

namespace evc {

struct FinishingPlan {
  FadePlan fades;
  double gain = 1.0;   // the loudness gain, linear
  bool limit = false;  // true with a loudness target: hold the true peak
  double ceilingDb = kTruePeakCeilingDb;
  int sampleRate = 0;
  std::string channelLayout;  // av_channel_layout_describe text
  std::string sampleFormat;   // the encoder's, av_get_sample_fmt_name
  int frameSize = 0;          // samples per encoder frame; 0: any
};

class PartFinisher {
 public:
  using Deliver = std::function<void(AVFrame*)>;
  // Throws JobError when the conversion graph cannot be built.
  PartFinisher(const FinishingPlan& plan, Deliver deliver);
  // `frame`: interleaved float (AV_SAMPLE_FMT_FLT) in the plan's rate and layout.
  void Add(const AVFrame& frame);
  // Hands on what the limiter and the graph still hold.
  void Finish();

 private:
  void Send(const std::vector<float>& samples);
  void Pull();

  FinishingPlan plan_;
  Deliver deliver_;
  int channels_ = 0;
  int64_t position_ = 0;  // samples of the part seen so far
  int64_t sent_ = 0;      // samples handed to the graph
  std::optional<TruePeakLimiter> limiter_;
  std::vector<float> scratch_, limited_;
  FilterGraphPtr graph_;
  AVFilterContext* source_ = nullptr;
  AVFilterContext* sink_ = nullptr;
  FramePtr pulled_{av_frame_alloc()};
};

}  // namespace evc
