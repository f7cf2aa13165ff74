// Owners for the C objects of the FFmpeg libraries, shared by the converter
// engine (evc.exe) and the media service: each is a std::unique_ptr whose
// deleter calls the library's matching free function, so that no code path
// frees anything by hand. Plus AvErrorText, the library's text for an error
// code, which both turn into their own failure type (ConversionError in the
// engine, MediaError in media/LibavPtr.h).
//
// Why its own folder: the engine must build without Qt and without the media
// service, and the media service must not depend on the engine; this folder
// is the header-only CMake target tonbrix_libav that both link, and it holds
// nothing but the FFmpeg libraries. The owners live in the global namespace,
// beside the C types they own.
//
// Ownership: whoever holds the pointer owns the object. Thread: plain values
// with no thread affinity; each object is used by one thread at a time (the
// engine passes a frame from its decoding to its encoding thread through
// FrameQueue; the preview's decoder keeps its objects on its own thread).
#pragma once

#include <memory>
#include <string>

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavfilter/avfilter.h>
#include <libavformat/avformat.h>
#include <libavutil/error.h>
#include <libavutil/frame.h>
#include <libswresample/swresample.h>
}

// A context opened for reading (avformat_open_input).
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

// The library's own text for an error code ("Invalid data found when
// processing input"); av_err2str is a C compound-literal macro that C++
// cannot use.
inline std::string AvErrorText(int error) {
  char text[AV_ERROR_MAX_STRING_SIZE] = {};
  av_strerror(error, text, sizeof text);
  return text;
}
