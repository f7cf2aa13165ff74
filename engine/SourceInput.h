// The source file as the engine reads it. The engine opens the path itself and
// hands libavformat only a custom AVIOContext over that descriptor, so that no
// URL ever reaches FFmpeg: no network protocol, no device, no second file a
// playlist or a reference inside the source names. What may be read is a
// regular file or a pipe; a pipe that brings nothing for kPipeWaitSeconds ends
// the job, and so does a source that gives kMaxBytesWithoutAudio bytes without
// one decoded audio frame (a file of zeros, a huge file that is no audio),
// which keeps both the time and the memory of such a job small. An ID3v2 tag
// at the start (cover pictures of many MB) is not counted.
// Ownership: SourceInput owns the descriptor and the AVIOContext; the format
// context that uses the AVIOContext must be freed first. Thread: one thread
// (the one that demuxes) uses an object.
#pragma once

#include <sys/stat.h>

#include <cstdint>
#include <memory>
#include <string>

extern "C" {
#include <libavformat/avio.h>
}

namespace evc {

class SourceInput {
 public:
  static constexpr int kPipeWaitSeconds = 5;
  static constexpr int64_t kMaxBytesWithoutAudio = 8 << 20;

  // Opens the path; throws JobError with a one-line reason for a path
  // that cannot be opened or is neither a regular file nor a pipe.
  explicit SourceInput(const std::string& path);
  ~SourceInput();
  SourceInput(const SourceInput&) = delete;
  SourceInput& operator=(const SourceInput&) = delete;

  AVIOContext* io() const { return io_.get(); }
  const struct stat& info() const { return info_; }
  // Called for every decoded audio frame: the byte budget starts anew.
  void AudioDecoded() { bytesAtLastAudio_ = bytesRead_; }
  // Why the last read failed, when the engine itself stopped it (the pipe
  // stayed silent, the byte budget ran out); empty otherwise.
  const std::string& stopReason() const { return stopReason_; }
  // True when a pipe stayed silent: the job fails even after some audio.
  bool stalled() const { return stalled_; }
  // The reason to give when libavformat could not open the source with
  // `error`: the engine's own stop, a lying ID3 tag, or the library's text.
  std::string OpenFailureReason(int error) const;

 private:
  static int Read(void* opaque, uint8_t* buffer, int size);
  static int64_t Seek(void* opaque, int64_t offset, int whence);
  int ReadSome(uint8_t* buffer, int size);
  // The length an ID3v2 tag at the start of a regular file claims; 0 without.
  int64_t LeadingId3Bytes() const;
  bool WaitForPipe();

  struct IoDeleter {
    void operator()(AVIOContext* io) const;
  };

  std::string shownPath_;
  int fd_ = -1;
  struct stat info_ {};
  bool pipe_ = false;
  int64_t bytesRead_ = 0;
  int64_t bytesAtLastAudio_ = 0;
  std::string stopReason_;
  bool stalled_ = false;
  std::unique_ptr<AVIOContext, IoDeleter> io_;
};

}  // namespace evc
