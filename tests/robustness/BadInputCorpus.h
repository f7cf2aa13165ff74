// The corpus of bad input shared by the engine's and the windows' robustness
// tests: broken files made at test time from three good three-second sources
// (made once by the ffmpeg tool), each with what Tonbrix does with it when it
// is added to the list and when the engine is asked to convert it. Plain C++:
// usable from GoogleTest and QtTest alike. One thread.
#pragma once

#include <cstdint>
#include <cstdlib>
#include <functional>
#include <ostream>
#include <random>
#include <stdexcept>
#include <string>
#include <vector>

#include "../core/TempFolder.h"

namespace bad_input {

// FNV-1a over the file's bytes, with its size: enough to see any change.
inline std::string Fingerprint(const std::string& file) {
  const std::string bytes = ReadBytes(file);
  uint64_t hash = 1469598103934665603ull;
  for (unsigned char c : bytes) hash = (hash ^ c) * 1099511628211ull;
  return std::to_string(bytes.size()) + ":" + std::to_string(hash);
}

// A three-second 440 Hz stereo tone encoded with `codecArguments`.
inline void MakeWithFfmpeg(const std::string& output, const std::string& codecArguments) {
  const std::string command =
      "ffmpeg -nostdin -loglevel error -y -f lavfi -i "
      "\"sine=frequency=440:sample_rate=44100:duration=3\" -ac 2 " +
      codecArguments + " '" + output + "'";
  if (std::system(command.c_str()) != 0) throw std::runtime_error("failed: " + command);
}

inline std::string Truncated(const std::string& file, double share) {
  const std::string bytes = ReadBytes(file);
  return bytes.substr(0, static_cast<size_t>(bytes.size() * share));
}

inline std::string RandomBytes(size_t size, unsigned seed) {
  std::mt19937 generator(seed);
  std::string bytes(size, '\0');
  for (char& c : bytes) c = static_cast<char>(generator() & 0xff);
  return bytes;
}

// A canonical 44-byte PCM WAV header claiming `dataBytes` of samples.
inline std::string WavHeader(uint32_t rate, uint16_t channels, uint32_t dataBytes) {
  auto u32 = [](uint32_t v) {
    return std::string{char(v), char(v >> 8), char(v >> 16), char(v >> 24)};
  };
  auto u16 = [](uint16_t v) { return std::string{char(v), char(v >> 8)}; };
  const uint16_t block = channels * 2;
  return "RIFF" + u32(36 + dataBytes) + "WAVEfmt " + u32(16) + u16(1) + u16(channels) + u32(rate) +
         u32(rate * block) + u16(block) + u16(16) + "data" + u32(dataBytes);
}

// The well-formed sources every case is cut from, made once.
class Sources {
 public:
  static Sources& Get() {
    static Sources sources;
    return sources;
  }
  std::string mp3, ogg, m4a;

 private:
  Sources() {
    mp3 = folder_.Path() + "good.mp3";
    ogg = folder_.Path() + "good.ogg";
    m4a = folder_.Path() + "good.m4a";
    MakeWithFfmpeg(mp3, "-c:a libmp3lame -b:a 128k");
    MakeWithFfmpeg(ogg, "-c:a libvorbis");
    MakeWithFfmpeg(m4a, "-c:a aac -b:a 96k");
  }
  TempFolder folder_;
};

// What happens to a bad file at one stage. A cut-short stream may still hold
// whole frames: then it measures, or converts, as those frames.
enum class Outcome { Refused, Accepted, AcceptedOrRefused };

struct BadSource {
  std::string label;
  std::string fileName;
  std::function<std::string()> bytes;
  Outcome whenAdded;      // probed for the list: no duration means the codec dialog
  Outcome whenConverted;  // run through evc.exe
};

// Test names and failure messages show the label, not the bytes.
inline void PrintTo(const BadSource& source, std::ostream* out) { *out << source.label; }

inline std::vector<BadSource> BadSources() {
  using O = Outcome;
  return {
      {"empty_mp3", "empty.mp3", [] { return std::string(); }, O::Refused, O::Refused},
      {"empty_wav", "empty.wav", [] { return std::string(); }, O::Refused, O::Refused},
      {"text_named_mp3", "notes.mp3",
       [] { return std::string("These are my lyrics, not a song.\nLine two.\n"); }, O::Refused,
       O::Refused},
      {"random_mp3", "noise.mp3", [] { return RandomBytes(64 * 1024, 1); }, O::Refused, O::Refused},
      {"random_ogg", "noise.ogg", [] { return RandomBytes(64 * 1024, 2); }, O::Refused, O::Refused},
      {"random_m4a", "noise.m4a", [] { return RandomBytes(64 * 1024, 3); }, O::Refused, O::Refused},
      {"random_wav", "noise.wav", [] { return RandomBytes(64 * 1024, 4); }, O::Refused, O::Refused},
      {"truncated_mp3_header", "cut.mp3", [] { return Truncated(Sources::Get().mp3, 0.01); },
       O::AcceptedOrRefused, O::AcceptedOrRefused},
      {"truncated_mp3_half", "cut.mp3", [] { return Truncated(Sources::Get().mp3, 0.5); },
       O::AcceptedOrRefused, O::AcceptedOrRefused},
      {"truncated_ogg_header", "cut.ogg", [] { return Truncated(Sources::Get().ogg, 0.05); },
       O::AcceptedOrRefused, O::Refused},
      {"truncated_ogg_half", "cut.ogg", [] { return Truncated(Sources::Get().ogg, 0.5); },
       O::AcceptedOrRefused, O::AcceptedOrRefused},
      // The MP4 index (moov) is written last by the ffmpeg tool: half a file
      // has no index at all.
      {"truncated_m4a_half", "cut.m4a", [] { return Truncated(Sources::Get().m4a, 0.5); },
       O::AcceptedOrRefused, O::Refused},
      {"truncated_m4a_tail", "cut.m4a", [] { return Truncated(Sources::Get().m4a, 0.97); },
       O::AcceptedOrRefused, O::AcceptedOrRefused},
      {"zero_second_wav", "zero.wav", [] { return WavHeader(44100, 2, 0); }, O::Refused,
       O::Refused},
      // 22050 Hz mono for ten hours: 1.5 GB promised, not one sample present.
      {"ten_hour_wav_header_only", "long.wav",
       [] { return WavHeader(22050, 1, 22050u * 2 * 36000); }, O::AcceptedOrRefused, O::Refused},
  };
}

}  // namespace bad_input
