// Fuzzes the preview's decoder: the bytes become a small file that a
// PlaybackDecoder plays into memory, with one seek on the way. Every input
// must end (Finished) having handed out whole sample frames only, with a
// one-line reason when it stopped early; a crash, a division by zero, a hang
// or a leak found by the sanitizers is a fault.
//
// Input: the first byte picks the file's extension (as in DecodeFuzz, so that
// the two targets share their seeds' first byte), the second
// the seek target in tenths of a second (0: no seek) and, by its top bit,
// float output; the rest is the file.
#include <chrono>
#include <string>
#include <vector>

#include "FuzzSupport.h"
#include "PlaybackDecoder.h"

extern "C" {
#include <libavutil/log.h>
}

namespace {

// A little more than a second of output is read before and after the seek:
// enough to cross several frames, brief enough for many runs a second.
constexpr int kReadMs = 1200;

// Reads until `ms` of audio were taken or the decoder finished.
void ReadSome(PlaybackDecoder& decoder, const OutputFormat& format, int ms) {
  const size_t wanted = static_cast<size_t>(format.UsToBytes(int64_t{ms} * 1000));
  std::vector<uint8_t> bytes(4096);
  size_t taken = 0;
  while (taken < wanted && !decoder.Finished()) {
    decoder.WaitForAudio(bytes.size(), 50);
    const size_t n = decoder.Read(bytes.data(), bytes.size());
    if (n % static_cast<size_t>(format.BytesPerFrame()) != 0)
      fuzz::Fail("a part of a sample frame was read");
    taken += n;
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 2) return 0;
  static const bool quiet = [] {
    av_log_set_level(AV_LOG_QUIET);
    return true;
  }();
  (void)quiet;

  const char* extension = fuzz::kSourceExtensions[data[0] % std::size(fuzz::kSourceExtensions)];
  const std::string path =
      fuzz::WriteScratchFile(std::string("play") + extension, data + 2, size - 2);
  const int seek_tenths = data[1] & 0x7f;
  const OutputFormat format{8000, 1, (data[1] & 0x80) != 0};

  PlaybackDecoder decoder(path, format, 0);
  ReadSome(decoder, format, kReadMs);
  if (seek_tenths > 0) {
    decoder.Seek(int64_t{seek_tenths} * 100000);
    ReadSome(decoder, format, kReadMs);
  }
  const std::string error = decoder.Error();
  if (error.find('\n') != std::string::npos)
    fuzz::Fail("a failure without a one-line reason: " + error);
  return 0;
}
