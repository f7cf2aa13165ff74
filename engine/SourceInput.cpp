#include "SourceInput.h"

#include <fcntl.h>
#include <poll.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <chrono>
#include <cstring>

#include "Converter.h"
#include "LibavOwners.h"

extern "C" {
#include <libavutil/mem.h>
}

namespace evc {
namespace {

constexpr int kBufferSize = 64 * 1024;

// "udp://host/x.mp3" and the like: a name FFmpeg would have read as a
// network address, which the engine never opens.
bool LooksLikeAddress(const std::string& path) {
  const size_t colon = path.find("://");
  if (colon == std::string::npos || colon == 0) return false;
  for (size_t i = 0; i < colon; ++i) {
    const char c = path[i];
    if (!std::isalnum(static_cast<unsigned char>(c)) && c != '+' && c != '-' && c != '.') {
      return false;
    }
  }
  return true;
}

std::string KindOf(mode_t mode) {
  if (S_ISDIR(mode)) return "a folder";
  if (S_ISCHR(mode) || S_ISBLK(mode)) return "a device";
  if (S_ISSOCK(mode)) return "a socket";
  return "not a regular file";
}

}  // namespace

void SourceInput::IoDeleter::operator()(AVIOContext* io) const {
  // The library may have replaced the buffer it was given; it owns whichever
  // one the context holds now.
  av_freep(&io->buffer);
  avio_context_free(&io);
}

SourceInput::SourceInput(const std::string& path) : shownPath_(ShownText(path)) {
  // O_NONBLOCK: opening a pipe that has no writer must not wait; reads wait
  // in poll() instead, with a limit.
  fd_ = open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK | O_NOCTTY);
  if (fd_ < 0) {
    const int error = errno;
    if (error == ENOENT && LooksLikeAddress(path)) {
      throw JobError("cannot open " + shownPath_ +
                            ": network addresses are not read, only local files");
    }
    throw JobError("cannot open " + shownPath_ + ": " + std::strerror(error));
  }
  if (fstat(fd_, &info_) != 0) {
    const int error = errno;
    close(fd_);
    throw JobError("cannot open " + shownPath_ + ": " + std::strerror(error));
  }
  pipe_ = S_ISFIFO(info_.st_mode);
  if (!S_ISREG(info_.st_mode) && !pipe_) {
    close(fd_);
    throw JobError("cannot open " + shownPath_ + ": it is " + KindOf(info_.st_mode) +
                          ", not a file");
  }
  if (!pipe_) {
    // A regular file never blocks; reads go back to the ordinary mode.
    fcntl(fd_, F_SETFL, fcntl(fd_, F_GETFL) & ~O_NONBLOCK);
  }

  auto* buffer = static_cast<unsigned char*>(av_malloc(kBufferSize));
  if (!buffer) {
    close(fd_);
    throw JobError("out of memory for reading " + shownPath_);
  }
  AVIOContext* io = avio_alloc_context(buffer, kBufferSize, 0, this, &SourceInput::Read, nullptr,
                                       pipe_ ? nullptr : &SourceInput::Seek);
  if (!io) {
    av_free(buffer);
    close(fd_);
    throw JobError("out of memory for reading " + shownPath_);
  }
  io_.reset(io);
  // A leading tag with a large cover picture is no reason to give up: its
  // bytes are outside the budget (a file holds at most its own size).
  bytesAtLastAudio_ = std::min<int64_t>(LeadingId3Bytes(), info_.st_size);
}

SourceInput::~SourceInput() {
  io_.reset();
  if (fd_ >= 0) close(fd_);
}

int SourceInput::Read(void* opaque, uint8_t* buffer, int size) {
  return static_cast<SourceInput*>(opaque)->ReadSome(buffer, size);
}

int SourceInput::ReadSome(uint8_t* buffer, int size) {
  if (bytesRead_ - bytesAtLastAudio_ >= kMaxBytesWithoutAudio) {
    stopReason_ = "no audio could be decoded from " + shownPath_ + " (" +
                  std::to_string(kMaxBytesWithoutAudio >> 20) + " MB read without one audio frame)";
    return AVERROR(EIO);
  }
  while (true) {
    if (pipe_ && !WaitForPipe()) {
      stopReason_ = "nothing arrived from " + shownPath_ + " for " +
                    std::to_string(kPipeWaitSeconds) + " seconds";
      stalled_ = true;
      return AVERROR(ETIMEDOUT);
    }
    const ssize_t got = read(fd_, buffer, static_cast<size_t>(size));
    if (got > 0) {
      bytesRead_ += got;
      return static_cast<int>(got);
    }
    if (got == 0) return AVERROR_EOF;
    if (errno == EINTR || errno == EAGAIN) continue;
    return AVERROR(errno);
  }
}

// True when the pipe has bytes or its writer has gone (read() then says
// which); false when it stayed silent for kPipeWaitSeconds.
bool SourceInput::WaitForPipe() {
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(kPipeWaitSeconds);
  while (true) {
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
        deadline - std::chrono::steady_clock::now());
    if (left.count() <= 0) return false;
    pollfd wanted{fd_, POLLIN, 0};
    const int ready = poll(&wanted, 1, static_cast<int>(left.count()));
    if (ready > 0) return true;
    if (ready < 0 && errno != EINTR) return true;  // read() reports the error
  }
}

int64_t SourceInput::Seek(void* opaque, int64_t offset, int whence) {
  auto* self = static_cast<SourceInput*>(opaque);
  if (whence & AVSEEK_SIZE) return self->info_.st_size;
  const off_t at = lseek(self->fd_, offset, whence & ~AVSEEK_FORCE);
  return at < 0 ? AVERROR(errno) : at;
}

int64_t SourceInput::LeadingId3Bytes() const {
  // An ID3v2 tag states its own length in its first ten bytes.
  unsigned char header[10] = {};
  if (pipe_ || pread(fd_, header, sizeof header, 0) != 10 || std::memcmp(header, "ID3", 3) != 0) {
    return 0;
  }
  return 10 + ((int64_t{header[6]} & 0x7f) << 21) + ((header[7] & 0x7f) << 14) +
         ((header[8] & 0x7f) << 7) + (header[9] & 0x7f);
}

std::string SourceInput::OpenFailureReason(int error) const {
  // A tag that says it is longer than the whole file leaves the libraries
  // nothing to probe.
  const int64_t tagBytes = LeadingId3Bytes();
  if (tagBytes > 0 && tagBytes >= info_.st_size) {
    return "cannot open " + shownPath_ + ": its ID3 tag claims " + std::to_string(tagBytes) +
           " bytes but the file has only " + std::to_string(info_.st_size) +
           ", so no audio follows it";
  }
  if (!stopReason_.empty()) return stopReason_;
  return "cannot open " + shownPath_ + ": " + AvErrorText(error);
}

}  // namespace evc
