// What the hook analysis hears in a song, frame by frame: the harmony as a
// 12-class chroma vector, the timbre as log energies of a few frequency bands,
// the loudness, all from one short-time Fourier transform on FFmpeg's own
// real FFT (av_tx); and an onset envelope (the rises of the level) at a finer
// step, for finding beats.
//
// Ownership: the caller owns the returned features. Threads: any thread; each
// call makes its own transform contexts and runs half of the transforms on a
// second thread of its own.
#pragma once

#include <atomic>
#include <cstddef>
#include <vector>

#include "HookAudio.h"

inline constexpr int kChromaClasses = 12;
inline constexpr int kTimbreBands = 12;

struct HookFeatures {
  double frame_seconds = 0;  // step between analysis frames
  size_t frames = 0;
  std::vector<float> chroma;     // frames x kChromaClasses, energy per pitch class (C first)
  std::vector<float> timbre;     // frames x kTimbreBands, band energies in dB
  std::vector<float> energy_db;  // frames, mean power in dB (-100 for silence)

  double onset_seconds = 0;  // step of the onset envelope
  std::vector<float> onset;  // level rise in dB, one value per onset step

  const float* Chroma(size_t frame) const { return &chroma[frame * kChromaClasses]; }
  const float* Timbre(size_t frame) const { return &timbre[frame * kTimbreBands]; }
};

// Analysis frames never exceed this count: longer songs get longer frames, so
// the similarity matrix of a very long file stays a few tens of megabytes.
inline constexpr size_t kMaxAnalysisFrames = 2400;

// Throws MediaError when the transform cannot be set up, HookCancelled when
// *cancel becomes true.
HookFeatures ExtractHookFeatures(const MonoAudio& audio, const std::atomic<bool>* cancel = nullptr);
