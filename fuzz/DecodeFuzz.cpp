// Fuzzes the engine's decoding: the bytes become a small source file that
// evc.exe's conversion entry point turns into a WAV file in a scratch folder.
// Every input must either convert (the output then exists) or fail with a
// one-line reason and leave no file behind; a crash, a hang or a leak found by
// the sanitizers is a fault. The first byte picks the source's extension, so
// the demuxers are probed the way a named file on disk would be.
#include <filesystem>
#include <sstream>
#include <string>

#include "Converter.h"
#include "EngineOptions.h"
#include "FuzzSupport.h"

extern "C" {
#include <libavutil/log.h>
}

namespace {

bool FolderHoldsOnly(const std::string& folder, const std::string& name) {
  for (const auto& entry : std::filesystem::directory_iterator(folder)) {
    if (entry.path().filename() != name) return false;
  }
  return true;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size == 0) return 0;
  static const bool quiet = [] {
    av_log_set_level(AV_LOG_QUIET);
    std::filesystem::create_directory(fuzz::ScratchFolder() + "out");
    return true;
  }();
  (void)quiet;

  const char* extension = fuzz::kSourceExtensions[data[0] % std::size(fuzz::kSourceExtensions)];
  const std::string source =
      fuzz::WriteScratchFile(std::string("source") + extension, data + 1, size - 1);
  const std::string folder = fuzz::ScratchFolder() + "out";
  const std::string output = folder + "/ring.wav";

  evc::EngineOptions options;
  options.overwrite = true;
  options.input = source;
  options.output = output;
  options.audioCodec = "pcm_s16le";
  // A short cut keeps one run brief even when the bytes claim hours of sound.
  options.durationSeconds = 2.0;

  std::ostringstream console;
  bool converted = false;
  try {
    evc::Convert(options, console);
    converted = true;
  } catch (const std::exception& error) {
    const std::string reason = error.what();
    if (reason.empty() || reason.find('\n') != std::string::npos) {
      fuzz::Fail("a failure without a one-line reason: " + reason);
    }
  }
  if (converted != std::filesystem::exists(output)) {
    fuzz::Fail(converted ? "converted without an output file" : "a failed conversion left a file");
  }
  if (!FolderHoldsOnly(folder, "ring.wav"))
    fuzz::Fail("a temporary file was left in the output folder");
  std::filesystem::remove(output);
  return 0;
}
