// Owners for the C objects of the FFmpeg libraries and of opencore-amrnb: each
// is a std::unique_ptr whose deleter calls the library's matching free
// function, so that no code path of the engine frees anything by hand.
// Ownership: whoever holds the pointer owns the object. Thread: plain values
// with no thread affinity; each object is used by one thread at a time (a
// frame passes from the decoding to the encoding thread through FrameQueue).
#pragma once

#include <memory>
#include <string>

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavfilter/avfilter.h>
#include <libavformat/avformat.h>
#include <libavutil/frame.h>
#include <libswresample/swresample.h>
}

namespace evc {

struct InputFormatDeleter {
  void operator()(AVFormatContext* context) const { avformat_close_input(&context); }
};
using InputFormatPtr = std::unique_ptr<AVFormatContext, InputFormatDeleter>;

// An output context owns its AVIOContext once the file has been opened.
struct OutputFormatDeleter {
  void operator()(AVFormatContext* context) const {
    if (context->pb && !(context->oformat->flags & AVFMT_NOFILE)) avio_closep(&context->pb);
    avformat_free_context(context);
  }
};
using OutputFormatPtr = std::unique_ptr<AVFormatContext, OutputFormatDeleter>;

struct CodecContextDeleter {
  void operator()(AVCodecContext* context) const { avcodec_free_context(&context); }
};
using CodecContextPtr = std::unique_ptr<AVCodecContext, CodecContextDeleter>;

struct FilterGraphDeleter {
  void operator()(AVFilterGraph* graph) const { avfilter_graph_free(&graph); }
};
using FilterGraphPtr = std::unique_ptr<AVFilterGraph, FilterGraphDeleter>;

struct FilterInOutDeleter {
  void operator()(AVFilterInOut* inout) const { avfilter_inout_free(&inout); }
};
using FilterInOutPtr = std::unique_ptr<AVFilterInOut, FilterInOutDeleter>;

struct FrameDeleter {
  void operator()(AVFrame* frame) const { av_frame_free(&frame); }
};
using FramePtr = std::unique_ptr<AVFrame, FrameDeleter>;

struct PacketDeleter {
  void operator()(AVPacket* packet) const { av_packet_free(&packet); }
};
using PacketPtr = std::unique_ptr<AVPacket, PacketDeleter>;

struct ResamplerDeleter {
  void operator()(SwrContext* context) const { swr_free(&context); }
};
using ResamplerPtr = std::unique_ptr<SwrContext, ResamplerDeleter>;

struct DictionaryDeleter {
  void operator()(AVDictionary* dictionary) const { av_dict_free(&dictionary); }
};
using DictionaryPtr = std::unique_ptr<AVDictionary, DictionaryDeleter>;

// The library's error text for an AVERROR code (av_err2str is a C compound
// literal macro that C++ cannot use).
std::string AvErrorText(int error);

}  // namespace evc
