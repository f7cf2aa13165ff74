// The media service's side of the libav owners (libav/LibavOwners.h): the one
// place where a libav error code becomes a MediaError text, and the frame and
// packet allocations that can only fail for lack of memory.
//
// Ownership: the returned owners belong to the caller. Threads: any; an object
// is used by one thread at a time.
#pragma once

#include <string>

#include "LibavOwners.h"
#include "MediaGraph.h"

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
