// Shared pieces of the fuzz targets: a private temporary folder that lives as
// long as the process, and writing the fuzz bytes to a file in it. Each target
// is a plain LLVMFuzzerTestOneInput; the same source links either with
// libFuzzer (the clang build) or with ReplayMain.cpp, which replays stored
// inputs in every build. Thread: the fuzzing thread only.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

namespace fuzz {

// The folder is made on first use and removed at exit.
inline const std::string& ScratchFolder() {
  static const std::string folder = [] {
    std::string pattern = (std::filesystem::temp_directory_path() / "tonbrix-fuzz-XXXXXX").string();
    if (mkdtemp(pattern.data()) == nullptr) {
      std::perror("mkdtemp");
      std::abort();
    }
    static const std::string removeAtExit = pattern;
    std::atexit([] {
      std::error_code ignored;
      std::filesystem::remove_all(removeAtExit, ignored);
    });
    return pattern + "/";
  }();
  return folder;
}

// Writes the bytes to `name` inside the scratch folder; returns the full path.
inline std::string WriteScratchFile(const std::string& name, const uint8_t* data, size_t size) {
  const std::string path = ScratchFolder() + name;
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(reinterpret_cast<const char*>(data), static_cast<std::streamsize>(size));
  if (!out) {
    std::perror(path.c_str());
    std::abort();
  }
  return path;
}

// The extensions a decoding target's first byte picks from, so that the
// demuxers are probed the way a named file on disk would be (make-seeds.sh
// writes its audio seeds in this order).
inline constexpr const char* kSourceExtensions[] = {".mp3", ".ogg", ".m4a",  ".wav", ".amr",
                                                    ".aac", ".ac3", ".flac", ".wma", ".bin"};

// A broken promise of the code under test: report it the way a sanitizer
// would, so that libFuzzer keeps the input.
[[noreturn]] inline void Fail(const std::string& what) {
  std::fprintf(stderr, "fuzz check failed: %s\n", what.c_str());
  std::abort();
}

}  // namespace fuzz
