// Suggesting the hook of a song: the part a person would pick as its
// ringtone, the most repeated and energetic section (the chorus), starting on
// a section boundary moved onto a beat.
//
// How: the song is decoded to mono at a low rate (HookAudio), described frame
// by frame by chroma, timbre and loudness (HookFeatures), compared with itself
// (HookSimilarity): passages that come back often and loudly score high.
// Section starts come from the novelty of the self-similarity (HookBoundaries);
// the best-scoring section's start, moved onto the nearest strong beat
// (HookBeats), begins the part. A song with nothing repeated (one tone, noise)
// gets its loudest stretch instead: a suggestion is always made for a song
// that decodes.
//
// No window code and no Qt: only the FFmpeg libraries.
//
// Ownership: plain values. Threads: any thread, typically a worker; calls
// share nothing, so several may run at once. The optional cancel flag is
// polled between and inside the stages.
#pragma once

#include <atomic>
#include <cstdint>
#include <string>

#include "HookAudio.h"

struct HookSuggestion {
  int64_t start_ms = 0;  // the part, 0 <= start_ms < end_ms <= song_ms
  int64_t end_ms = 0;
  int64_t song_ms = 0;  // the length of the decoded song
};

// The analysis works at this rate.
inline constexpr int kHookAnalysisRate = 11025;

// The length a suggestion gets when the row's current part is not usable.
inline constexpr double kDefaultHookSeconds = 30.0;
// Parts shorter than this are not kept as the suggestion's length.
inline constexpr double kShortestKeptPartSeconds = 5.0;

// The program's rule for the length of a suggested part: the row's current
// part length when that is at least 5 s, else 30 s; never longer than the song
// (when the song's length is known, i.e. > 0).
double HookLengthSeconds(double current_part_seconds, double song_seconds);

// The suggested part of `path`, `seconds` long where the song allows (the
// part ends at the song's end at the latest). Throws MediaError naming the file
// when it cannot be read as audio, std::invalid_argument when `seconds` is not
// a positive number, HookCancelled when *cancel became true.
HookSuggestion SuggestHook(const std::string& path, double seconds,
                           const std::atomic<bool>* cancel = nullptr);

// The same on audio already decoded.
HookSuggestion SuggestHookInAudio(const MonoAudio& audio, double seconds,
                                  const std::atomic<bool>* cancel = nullptr);
