// The waveform envelope of an audio file: for drawing the whole file as a
// strip of min/max bars. Computed by decoding the file once, in-process.
//
// Ownership: the caller owns the returned vector. Threads: any thread; the
// call blocks while the file is decoded (a 5-minute MP3 takes a small
// fraction of a second), so a window should run it off its own thread for
// long files.
#pragma once

#include <cstddef>
#include <string>
#include <vector>

struct PeakPair {
  float min = 0.0f;  // lowest sample value in the slice, over all channels, -1..1
  float max = 0.0f;  // highest sample value in the slice, -1..1
};

// `count` pairs that divide the file's first audio stream into equal slices,
// first slice first. A file shorter than `count` short blocks repeats blocks
// over neighbouring slices. Throws MediaError naming the file when it cannot be
// opened or holds no audio that decodes.
std::vector<PeakPair> ComputePeaks(const std::string& path, size_t count);
