// Owners for the FFmpeg objects of the media service, and the one place where
// a libav error code becomes a MediaError text.
//
// Ownership: each pointer type frees its object with the matching libav free
// function. Threads: the owners are plain values; an object is used by one
// thread at a time.
#pragma once

#include <memory>
#include <string>

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libavutil/error.h>
#include <libswresample/swresample.h>
}

#include "MediaGraph.h"

struct FormatContextDeleter {
  void operator()(AVFormatContext* p) const { avformat_close_input(&p); }
};
struct CodecContextDeleter {
  void operator()(AVCodecContext* p) const { avcodec_free_context(&p); }
};
struct FrameDeleter {
  void operator()(AVFrame* p) const { av_frame_free(&p); }
};
struct PacketDeleter {
  void operator()(AVPacket* p) const { av_packet_free(&p); }
};
struct SwrContextDeleter {
  void operator()(SwrContext* p) const { swr_free(&p); }
};

using FormatContextPtr = std::unique_ptr<AVFormatContext, FormatContextDeleter>;
using CodecContextPtr = std::unique_ptr<AVCodecContext, CodecContextDeleter>;
using FramePtr = std::unique_ptr<AVFrame, FrameDeleter>;
using PacketPtr = std::unique_ptr<AVPacket, PacketDeleter>;
using SwrContextPtr = std::unique_ptr<SwrContext, SwrContextDeleter>;

// The library's own text for an error code ("Invalid data found when
// processing input").
inline std::string AvErrorText(int code) {
  char text[AV_ERROR_MAX_STRING_SIZE] = {};
  av_strerror(code, text, sizeof text);
  return text;
}

// `what` on "path" failed: the library's reason.
inline MediaError MakeMediaError(const std::string& what, const std::string& path, int code) {
  return MediaError(what + " \"" + path + "\": " + AvErrorText(code));
}

// Allocations that can only fail for lack of memory.
inline FramePtr MakeFrame() {
  FramePtr frame(av_frame_alloc());
  if (!frame) throw MediaError("Cannot allocate a decoded frame: " + AvErrorText(AVERROR(ENOMEM)));
  return frame;
}
inline PacketPtr MakePacket() {
  PacketPtr packet(av_packet_alloc());
  if (!packet) throw MediaError("Cannot allocate a packet: " + AvErrorText(AVERROR(ENOMEM)));
  return packet;
}
