// The waveform of an audio file, for the marker strip and the waveform view:
// one code path from the decoder to the min/max bars on the screen.
//
//   struct PeakPair { float min, max; };          // one bar, -1..1
//   class WaveformEnvelope {                       // what a view paints from
//     double SecondsPerPair() const;               // time one fine pair covers
//     size_t PairCount() const;                    // fine pairs in the file
//     double Seconds() const;                      // PairCount() * SecondsPerPair()
//     bool IsSketch() const;                       // coarse, from a quick look
//     PeakPair Range(double t0, double t1) const;  // min/max over [t0, t1), O(log n)
//     PeakPair PairRange(size_t first, size_t last) const;   // the same by pair index
//     const std::vector<PeakPair>& Pairs() const;            // the fine pairs
//     std::vector<PeakPair> Slices(size_t n) const;              // whole file in n bars
//     std::vector<PeakPair> Slices(double t0, double t1, size_t n) const;
//   };
//   std::optional<WaveformEnvelope> SketchEnvelope(path, abort);  // quick, coarse
//   std::optional<WaveformEnvelope> FullEnvelope(path, abort);    // every sample
//
// A pair holds the lowest and the highest sample value within its stretch of
// time over ALL channels of the file's first audio stream (mono, stereo and
// 5.1 alike), so one envelope draws the whole mix; this is what the marker
// strip has always shown. Values are clamped to -1..1.
//
// The full envelope keeps kPairsPerSecond pairs per second of audio (each pair
// a whole number of sample frames, see SecondsPerPair), fine enough for a view
// zoomed to 25 ms per pixel at twice the device pixels, and above it a pyramid
// of coarser levels (each pair of a level the min/max of two below), so that
// Range answers in O(log n) whatever its length: a 2000-column frame of a
// 10-minute song takes well under a millisecond. The full envelope decodes on
// every core (at most four): the file is cut into parts by time, each part
// read by its own decoder, and the parts meet at exact sample positions taken
// from the packets' timestamps; the result equals a single decoder's. Codecs
// whose decoders would not agree at a seam are read by one (see FullEnvelope).
//
// The sketch reads short pieces at kSketchPieces places through the file (a
// few hundredths of a second for a 10-minute song) and holds one pair per piece, so it paints
// through the same calls, coarsely, until the full envelope replaces it.
//
// Failures: both functions return no value only when `abort` became true and
// stopped them short (they look at it between packets, so they end within a
// packet's decoding); an envelope finished just before the abort is given. A file
// that cannot be opened or holds no audio that decodes throws MediaError with
// the file's name and the reason; a damaged tail gives the envelope of what
// was read, a file with no samples an empty envelope (PairCount() 0).
//
// Ownership: the caller owns the returned envelope, a plain value (copying it
// copies its arrays). Threads: both functions may run on any thread, several
// at once; each opens the file for itself. A const envelope may be read from
// any number of threads.
#pragma once

#include <atomic>
#include <cstddef>
#include <optional>
#include <string>
#include <vector>

#include "MediaGraph.h"  // MediaError

struct PeakPair {
  float min = 0.0f;  // lowest sample value in the stretch, over all channels, -1..1
  float max = 0.0f;  // highest sample value in the stretch, -1..1
};

class WaveformEnvelope {
 public:
  // The full envelope's resolution; a pair covers a whole number of sample
  // frames, so the exact figure is SecondsPerPair().
  static constexpr int kPairsPerSecond = 200;
  // The pieces a sketch reads.
  static constexpr int kSketchPieces = 520;

  WaveformEnvelope() = default;
  // `pairs` at `seconds_per_pair` each, the first starting at 0 s, read by
  // `decoders` decoders side by side.
  WaveformEnvelope(std::vector<PeakPair> pairs, double seconds_per_pair, bool sketch,
                   int decoders = 1);

  double SecondsPerPair() const { return seconds_per_pair_; }
  size_t PairCount() const { return levels_.empty() ? 0 : levels_[0].size(); }
  double Seconds() const { return static_cast<double>(PairCount()) * seconds_per_pair_; }
  bool IsSketch() const { return sketch_; }
  // How many decoders read the file side by side (for benchmarks and tests).
  int Decoders() const { return decoders_; }
  // The fine pairs themselves, first pair first.
  const std::vector<PeakPair>& Pairs() const;

  // The min/max over the pairs that overlap [t0, t1) seconds; a range
  // narrower than a pair gives the pair it falls in. A range wholly outside
  // the audio (or an empty envelope) gives PeakPair{} (a flat line).
  PeakPair Range(double t0, double t1) const;
  // The same over fine pairs [first, last), clamped to the envelope.
  PeakPair PairRange(size_t first, size_t last) const;
  // `count` equal slices of the whole file, first slice first. Slices finer
  // than the pairs repeat pairs; an empty envelope gives flat slices.
  std::vector<PeakPair> Slices(size_t count) const;
  // `count` equal slices of [t0, t1) seconds (one per view column).
  std::vector<PeakPair> Slices(double t0, double t1, size_t count) const;

 private:
  // levels_[0] are the fine pairs; levels_[k + 1][i] joins levels_[k][2i] and
  // levels_[k][2i + 1].
  std::vector<std::vector<PeakPair>> levels_;
  double seconds_per_pair_ = 0.0;
  bool sketch_ = false;
  int decoders_ = 1;
};

// A quick, coarse envelope: kSketchPieces pieces at equal steps through the
// file. Throws MediaError when the file does not decode or its length is
// unknown (then only the full envelope can tell it); no value on abort.
std::optional<WaveformEnvelope> SketchEnvelope(const std::string& path,
                                               const std::atomic<bool>& abort);

// The envelope of every sample at kPairsPerSecond. `parts` is how many
// decoders share the file (0: one per core, at most four). One decoder reads
// files under four seconds, and files whose codec's decoders would not agree
// at a seam (AAC, whose noise substitution draws from a random generator that
// runs through the file; fixed-point MPEG audio, whose rounding carries its
// error on) or whose timestamps do not name single samples. Throws MediaError
// when the file does not decode; no value on abort.
std::optional<WaveformEnvelope> FullEnvelope(const std::string& path,
                                             const std::atomic<bool>& abort, int parts = 0);
