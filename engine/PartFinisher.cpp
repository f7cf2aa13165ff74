#include "PartFinisher.h"

#include <cstring>

#include "Converter.h"

extern "C" {
#include <libavfilter/buffersink.h>
#include <libavfilter/buffersrc.h>
#include <libavutil/channel_layout.h>
}

namespace evc {
namespace {

void Check(int result, const std::string& what) {
  if (result < 0) throw JobError(what + ": " + AvErrorText(result));
}

}  // namespace

PartFinisher::PartFinisher(const FinishingPlan& plan, Deliver deliver)
    : plan_(plan), deliver_(std::move(deliver)) {
  AVChannelLayout layout{};
  Check(av_channel_layout_from_string(&layout, plan_.channelLayout.c_str()),
        "cannot read the channel layout " + plan_.channelLayout);
  channels_ = layout.nb_channels;
  av_channel_layout_uninit(&layout);
  if (plan_.limit) limiter_.emplace(plan_.sampleRate, channels_, plan_.ceilingDb);
  if (!pulled_) throw JobError("out of memory");

  graph_.reset(avfilter_graph_alloc());
  if (!graph_) throw JobError("out of memory for the filter graph");
  graph_->nb_threads = 1;
  const std::string source = "time_base=1/" + std::to_string(plan_.sampleRate) +
                             ":sample_rate=" + std::to_string(plan_.sampleRate) +
                             ":sample_fmt=flt:channel_layout=" + plan_.channelLayout;
  Check(avfilter_graph_create_filter(&source_, avfilter_get_by_name("abuffer"), "in",
                                     source.c_str(), nullptr, graph_.get()),
        "cannot make the finishing filter source");
  Check(avfilter_graph_create_filter(&sink_, avfilter_get_by_name("abuffersink"), "out", nullptr,
                                     nullptr, graph_.get()),
        "cannot make the finishing filter sink");
  AVFilterContext* format = nullptr;
  const std::string formatArguments = "sample_fmts=" + plan_.sampleFormat;
  Check(avfilter_graph_create_filter(&format, avfilter_get_by_name("aformat"), "format",
                                     formatArguments.c_str(), nullptr, graph_.get()),
        "cannot make the finishing format filter");
  Check(avfilter_link(source_, 0, format, 0), "cannot link the finishing filters");
  Check(avfilter_link(format, 0, sink_, 0), "cannot link the finishing filters");
  Check(avfilter_graph_config(graph_.get(), nullptr), "cannot set up the finishing filters");
  if (plan_.frameSize > 0)
    av_buffersink_set_frame_size(sink_, static_cast<unsigned>(plan_.frameSize));
}

void PartFinisher::Add(const AVFrame& frame) {
  const auto* samples = reinterpret_cast<const float*>(frame.data[0]);
  scratch_.assign(samples, samples + static_cast<size_t>(frame.nb_samples) * channels_);
  if (plan_.gain != 1.0) {
    const auto gain = static_cast<float>(plan_.gain);
    for (float& sample : scratch_) sample *= gain;
  }
  ApplyFades(plan_.fades, position_, scratch_.data(), frame.nb_samples, channels_);
  position_ += frame.nb_samples;
  if (!limiter_) {
    Send(scratch_);
    return;
  }
  limited_.clear();
  limiter_->Process(scratch_.data(), frame.nb_samples, limited_);
  Send(limited_);
}

void PartFinisher::Finish() {
  if (limiter_) {
    limited_.clear();
    limiter_->Flush(limited_);
    Send(limited_);
  }
  Check(av_buffersrc_add_frame_flags(source_, nullptr, 0), "cannot finish the filters");
  Pull();
}

void PartFinisher::Send(const std::vector<float>& samples) {
  const int frames = static_cast<int>(samples.size() / static_cast<size_t>(channels_));
  if (frames == 0) return;
  FramePtr frame(av_frame_alloc());
  if (!frame) throw JobError("out of memory");
  frame->format = AV_SAMPLE_FMT_FLT;
  frame->sample_rate = plan_.sampleRate;
  frame->nb_samples = frames;
  Check(av_channel_layout_from_string(&frame->ch_layout, plan_.channelLayout.c_str()),
        "out of memory");
  Check(av_frame_get_buffer(frame.get(), 0), "out of memory");
  std::memcpy(frame->data[0], samples.data(), samples.size() * sizeof(float));
  frame->pts = sent_;
  sent_ += frames;
  Check(av_buffersrc_add_frame_flags(source_, frame.get(), 0), "cannot filter the audio");
  Pull();
}

void PartFinisher::Pull() {
  while (true) {
    const int got = av_buffersink_get_frame(sink_, pulled_.get());
    if (got == AVERROR(EAGAIN) || got == AVERROR_EOF) return;
    Check(got, "cannot filter the audio");
    deliver_(pulled_.get());
    av_frame_unref(pulled_.get());
  }
}

}  // namespace evc
