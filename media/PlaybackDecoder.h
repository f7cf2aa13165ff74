// PlaybackDecoder: decodes one file for the preview on a thread of its own and
// keeps a short buffer of audio in the output's sample format, ready for the
// audio output to take.
//
// Ownership: the graph owns its decoder; destroying it stops and joins the
// thread. Threads: every public function is called from the owner thread (the
// graph's); the decoding thread only fills the buffer.
#pragma once

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

// Interleaved PCM as the audio output takes it.
struct OutputFormat {
  int sample_rate = 44100;
  int channels = 2;
  bool is_float = false;  // float32 samples instead of int16

  int BytesPerFrame() const { return channels * (is_float ? 4 : 2); }
  int64_t BytesToUs(int64_t bytes) const { return bytes / BytesPerFrame() * 1000000 / sample_rate; }
  int64_t UsToBytes(int64_t us) const { return us * sample_rate / 1000000 * BytesPerFrame(); }
};

class PlaybackDecoder {
 public:
  // Starts decoding `path` from `start_us` (microseconds from the beginning
  // of the audio stream). Throws MediaError for a format without a rate or
  // channels.
  PlaybackDecoder(std::string path, const OutputFormat& format, int64_t start_us);
  ~PlaybackDecoder();
  PlaybackDecoder(const PlaybackDecoder&) = delete;
  PlaybackDecoder& operator=(const PlaybackDecoder&) = delete;

  // Drops everything buffered and goes on from `position_us`; the next bytes
  // read are the audio at that position (to the sample), faded in over a few
  // milliseconds so that the jump does not click.
  void Seek(int64_t position_us);

  // Takes up to `max_bytes` (whole sample frames) of buffered audio; never
  // waits.
  size_t Read(uint8_t* destination, size_t max_bytes);
  size_t Available() const;
  // Waits until `bytes` are buffered, the file has been decoded to its end,
  // or `timeout_ms` has passed. True unless the time ran out.
  bool WaitForAudio(size_t bytes, int timeout_ms) const;

  // The whole file from the last seek has been decoded and read out (or the
  // file could not be decoded at all).
  bool Finished() const;
  // Why decoding stopped before the end (a failed seek, a read error), or
  // empty. A file that does not open says so through the probe instead.
  std::string Error() const;

 private:
  struct Stream;  // the decoding thread's libav state

  void ThreadMain();
  void DecodeLoop();
  // Puts converted audio into the buffer, waiting for room. False when the
  // audio is stale (a seek came in) or the decoder is shutting down.
  bool Push(const uint8_t* data, size_t bytes, uint64_t generation);

  const std::string path_;
  const OutputFormat format_;

  mutable std::mutex mutex_;
  mutable std::condition_variable changed_;
  std::vector<uint8_t> ring_;
  size_t head_ = 0;
  size_t size_ = 0;
  uint64_t generation_ = 1;  // counts seeks; audio of an older one is dropped
  bool seek_pending_ = false;
  int64_t seek_target_us_ = 0;
  uint64_t ended_generation_ = 0;  // the generation whose audio was decoded to the end
  bool dead_ = false;              // the thread ended for good (open failed, error)
  std::string error_;              // why it ended, when an exception ended it
  std::atomic<bool> quit_{false};

  std::thread thread_;
};
