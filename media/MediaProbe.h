// Opening audio files with libavformat/libavcodec, and measuring them: the
// duration that a file gets in the source list comes from ProbeMedia.
//
// Everything here runs in-process, never opens an audio device, and is bounded
// in time: each blocking libav call gets a deadline through an interrupt
// callback, so a damaged or endless file ends in a MediaError instead of a
// hang. Opening and measuring are bounded in what they read as well (see
// kOpenReadLimit), and only regular files are opened.
//
// Ownership: OpenAudioInput returns an AudioInput that owns its libav objects.
// Threads: any thread; one AudioInput is used by one thread at a time.
#pragma once

#include <atomic>
#include <chrono>
#include <cstdint>
#include <memory>
#include <string>

#include "LibavPtr.h"
#include "MediaGraph.h"

// How long one blocking libav call (opening, reading the stream information,
// one read or seek, a whole duration count) may take before it is abandoned.
inline constexpr std::chrono::milliseconds kMediaCallTimeLimit{10000};

// How much of a file opening it and reading its stream information may read.
// A file that holds no sound the demuxer recognises within that much is not
// audio: a parser that finds no frame keeps what it read, so without a limit
// a big file of zeros is read, and held, through to its end. Opening reads a
// leading ID3 tag whole, cover art included, hence the larger figure.
inline constexpr int64_t kOpenReadLimit = 32 << 20;
inline constexpr int64_t kStreamInfoReadLimit = 16 << 20;
// How much counting the packets may read between two packets.
inline constexpr int64_t kReadWithoutPacketLimit = 16 << 20;

// What the interrupt callback checks; it lives on the heap so that its
// address, given to libav, stays put while the AudioInput moves.
struct InterruptState {
  std::chrono::steady_clock::time_point deadline;
  const std::atomic<bool>* abort = nullptr;  // optional; set from another thread
  // The reading budget (see AudioInput::LimitReading): the input's byte count
  // when it was set, how many bytes may follow (0: no limit), and whether the
  // budget was what ended a call.
  const AVFormatContext* format = nullptr;
  int64_t read_mark = 0;
  int64_t read_allowance = 0;
  bool read_limit_reached = false;
};

struct AudioInput {
  std::string path;
  std::unique_ptr<InterruptState> interrupt;
  InputFormatPtr format;
  int stream_index = -1;    // -1: no audio stream
  CodecContextPtr decoder;  // null when no decoder opens for the stream
  int render_result = kRenderNoAudioStream;

  AVStream* Stream() const { return stream_index >= 0 ? format->streams[stream_index] : nullptr; }
  // Gives the next blocking call `limit` from now.
  void ArmDeadline(std::chrono::milliseconds limit = kMediaCallTimeLimit) {
    interrupt->deadline = std::chrono::steady_clock::now() + limit;
  }
  // From now on, reading more than `bytes` ends the blocking call under way
  // (AVERROR_EXIT, with read_limit_reached set); 0 lifts the limit. Playback
  // and seeking read as much as the file needs and set no limit.
  void LimitReading(int64_t bytes) {
    interrupt->read_mark = BytesRead();
    interrupt->read_allowance = bytes;
    interrupt->read_limit_reached = false;
  }
  // Something was found: the budget starts again from here, and a read that
  // ran out of it earlier stays told (read_limit_reached is kept).
  void MarkProgress() { interrupt->read_mark = BytesRead(); }
  int64_t BytesRead() const {
    const AVFormatContext* opened = interrupt->format;
    return opened && opened->pb ? opened->pb->bytes_read : 0;
  }
};

// Opens `path`, reads its stream information, picks the best audio stream and
// opens a decoder for it. A file that opens but has no audio stream, or no
// decoder for it, comes back with render_result telling so. Throws MediaError
// naming the file when it cannot be opened or read as media at all, and,
// without opening it, when it is not a regular file (a FIFO would wait for a
// writer, a device may never end). Only the local file of that name is read,
// whatever the name looks like ("udp://..." or "concat:..." are file names).
AudioInput OpenAudioInput(const std::string& path, const std::atomic<bool>* abort = nullptr);

struct MediaInfo {
  int render_result = kRenderNoAudioStream;
  int64_t duration_ms = 0;        // 0 unless render_result is kRenderOk
  bool duration_counted = false;  // the packets were counted (see ProbeMedia)
  int sample_rate = 0;
  int channels = 0;
  int64_t start_time_us = 0;  // the stream's first timestamp; position 0 plays from here
};

// Opens `path` like OpenAudioInput and measures its length. Throws MediaError
// when the file cannot be opened.
MediaInfo ProbeMedia(const std::string& path);

// The length of an opened input in milliseconds, exact where the file tells
// it (see the .cpp for when the packets are counted instead).
int64_t MeasureDurationMs(AudioInput& input, bool* counted = nullptr);
