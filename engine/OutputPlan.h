// What the engine writes: the container, the encoder and the encoder's values,
// worked out from the command line and the source, with every value an encoder
// cannot take moved to the nearest one it supports and a note saying so.
// Ownership: plain values owned by the caller. Thread: any.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "EngineOptions.h"

namespace evc {

struct OutputPlan {
  std::string muxer;        // libavformat muxer name: mp3, adts, ipod, mp4, ac3, ogg, wav, amr
  std::string codec;        // mp3, aac, ac3, vorbis, pcm_s16le or amr_nb
  std::string encoderName;  // libavcodec encoder; empty for amr_nb (opencore)
  int sampleRate = 0;
  int channels = 0;
  int64_t bitrate = 0;             // bit/s; 0 for PCM
  int amrMode = -1;                // opencore mode for amr_nb
  std::vector<std::string> notes;  // one line per moved value
};

// Throws OptionError when the container cannot be told or cannot hold the codec.
OutputPlan PlanOutput(const EngineOptions& options, int sourceSampleRate, int sourceChannels);

// The bitrates LAME can write at a sample rate (MPEG-1, -2 or -2.5 tables), bit/s.
std::vector<int64_t> Mp3Bitrates(int sampleRate);

}  // namespace evc
