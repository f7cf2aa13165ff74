// Audio files for the media tests, made with the ffmpeg command-line tool. Every
// accepted input type is there, plus files with a silent first part (to see
// where a seek lands) and damaged files.
#pragma once

#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <ostream>
#include <stdexcept>
#include <string>
#include <vector>

namespace media_fixtures {

// Length of the sound fixtures: 12.5 s, so that whole seconds read 12 and a
// duration off by half a second shows.
inline constexpr int64_t kSoundMs = 12500;
// The onset fixtures are silent up to kOnsetMs, then a 440 Hz tone at half
// amplitude up to kOnsetEndMs.
inline constexpr int64_t kOnsetMs = 5000;
inline constexpr int64_t kOnsetEndMs = 8000;
// The burst fixtures are silent but for a full-scale square wave from
// kBurstMs to kBurstEndMs (6 s long).
inline constexpr int64_t kBurstMs = 3000;
inline constexpr int64_t kBurstEndMs = 3500;
// Loud and quiet noise, 12.5 s, for the noise.* and mono.mp3 fixtures.
inline const std::string kNoise =
    "anoisesrc=d=12.5:a=0.6:r=44100:seed=11,volume='0.3+0.7*abs(sin(t/2))':eval=frame";

struct SoundFile {
  const char* name;
  const char* encoder_options;
};

// One file per accepted input type; the VBR MP3s get louder halfway, so that
// a length guessed from the first frames' bitrate is far off.
inline const std::vector<SoundFile>& SoundFiles() {
  static const std::vector<SoundFile> files = {
      {"cbr.mp3", "-c:a libmp3lame -b:a 128k"},
      {"vbr_xing.mp3", "-c:a libmp3lame -q:a 2"},
      {"vbr_noxing.mp3", "-c:a libmp3lame -q:a 2 -write_xing 0"},
      {"sound.mp2", "-c:a mp2"},
      {"sound.wma", "-c:a wmav2"},
      {"sound.wav", "-c:a pcm_s16le"},
      {"sound.ogg", "-c:a libvorbis"},
      {"sound.aac", "-c:a aac"},
      {"sound.ac3", "-c:a ac3"},
      {"sound.m4a", "-c:a aac"},
      {"sound.tta", "-c:a tta"},
  };
  return files;
}

// gtest prints a SoundFile by its name.
inline void PrintTo(const SoundFile& f, std::ostream* out) { *out << f.name; }

// The files live in the test build folder and are made the first time a test
// asks for them; a file is written under a temporary name and renamed into
// place, so tests running side by side never see half a file.
class Fixtures {
 public:
  static const Fixtures& Get() {
    static const Fixtures fixtures;
    return fixtures;
  }

  std::string Path(const std::string& name) const {
    const std::filesystem::path target = folder_ / name;
    if (!std::filesystem::exists(target)) Build(name, target);
    return target.string();
  }

 private:
  Fixtures() : folder_(TONBRIX_MEDIA_FIXTURE_DIR) { std::filesystem::create_directories(folder_); }

  void Build(const std::string& name, const std::filesystem::path& target) const {
    const std::filesystem::path part = folder_ / (".part-" + std::to_string(getpid()) + "-" + name);
    // Both channels written out: ffmpeg's own mono-to-stereo mix would lower the
    // level by 3 dB.
    const std::string tone = "if(gte(t,5),0.5*sin(2*PI*440*t),0)";
    const std::string onset = "aevalsrc='" + tone + "|" + tone + "':d=8:s=44100";
    const std::string quiet_half =
        "anoisesrc=d=12.5:a=0.5:r=44100:seed=7,volume='if(lt(t,6),0,1)':eval=frame";
    bool made = false;
    for (const SoundFile& f : SoundFiles()) {
      if (name != f.name) continue;
      const std::string source =
          name.rfind("vbr", 0) == 0 ? quiet_half : std::string("sine=f=440:d=12.5:r=44100");
      Make(part, "-f lavfi -i \"" + source + "\" -ac 2 " + f.encoder_options);
      made = true;
    }
    if (made) {
    } else if (name == "onset.wav") {
      Make(part, "-f lavfi -i \"" + onset + "\" -c:a pcm_s16le");
    } else if (name == "onset.mp3") {
      Make(part, "-f lavfi -i \"" + onset + "\" -c:a libmp3lame -q:a 2 -write_xing 0");
    } else if (name == "onset.ogg") {
      Make(part, "-f lavfi -i \"" + onset + "\" -c:a libvorbis");
    } else if (name.rfind("noise.", 0) == 0) {
      // Noise changes from sample to sample, so an envelope a sample off shows.
      const std::string ext = name.substr(6);
      Make(part, "-f lavfi -i \"" + kNoise + "\" -ac 2 -c:a " + CodecFor(ext));
    } else if (name == "long.mp3") {
      Make(part,
           "-f lavfi -i \"anoisesrc=d=120:a=0.5:r=44100:seed=2\" -ac 2 -c:a libmp3lame -b:a 192k");
    } else if (name == "mono.mp3") {
      Make(part, "-f lavfi -i \"" + kNoise + "\" -ac 1 -c:a libmp3lame -b:a 128k");
    } else if (name == "surround.m4a") {
      // Six channels, each at its own level, so that a lost channel shows.
      std::string channels;
      for (int c = 0; c < 6; ++c) {
        channels += (c ? "|" : "") + std::to_string(0.15 * (c + 1)) + "*sin(2*PI*" +
                    std::to_string(110 * (c + 1)) + "*t)*(0.5+0.5*sin(7*t))";
      }
      Make(part, "-f lavfi -i \"aevalsrc='" + channels + "':d=9:s=48000:c=5.1\" -c:a aac");
    } else if (name == "short.mp3") {
      Make(part, "-f lavfi -i \"anoisesrc=d=0.6:a=0.4:r=44100:seed=5\" -ac 2 -c:a libmp3lame");
    } else if (name == "short.wav") {
      Make(part, "-f lavfi -i \"anoisesrc=d=0.3:a=0.4:r=22050:seed=5\" -ac 1 -c:a pcm_s16le");
    } else if (name.rfind("burst.", 0) == 0) {
      // Silence, then full scale from kBurstMs to kBurstEndMs, then silence.
      const std::string ext = name.substr(6);
      const std::string square = "if(between(t,3,3.5),if(lt(mod(t,0.01),0.005),1,-1),0)";
      Make(part, "-f lavfi -i \"aevalsrc='" + square + "|" + square + "':d=6:s=44100\" -c:a " +
                     CodecFor(ext));
    } else if (name == "video_only.mkv") {
      Make(part, "-f lavfi -i color=c=black:s=32x32:d=1 -c:v mpeg4");
    } else if (name == "empty.mp3") {
      WriteBytes(part, "");
    } else if (name == "text.mp3") {
      WriteBytes(part,
                 "This is a plain text file that only pretends to be a song.\n"
                 "It has a few lines of words and nothing else in it at all.\n");
    } else if (name == "zero.wav") {
      WriteBytes(part, ZeroLengthWav());
    } else if (name == "truncated.mp3") {
      // The Xing header still promises 12.5 s; the data stops after a few frames.
      WriteBytes(part, Head(Path("vbr_xing.mp3"), 6000));
    } else if (name == "truncated.m4a") {
      // An MP4 whose index (written last) is cut away.
      WriteBytes(part, Head(Path("sound.m4a"), 20000));
    } else {
      throw std::runtime_error("no recipe for fixture " + name);
    }
    std::filesystem::rename(part, target);
  }

  static void Make(const std::filesystem::path& out, const std::string& arguments) {
    // The extension of the final name tells ffmpeg the container.
    const std::string ext = out.string().substr(out.string().rfind('.') + 1);
    const std::string muxer = ext == "mp3"   ? "mp3"
                              : ext == "mp2" ? "mp2"
                              : ext == "wma" ? "asf"
                              : ext == "aac" ? "adts"
                              : ext == "m4a" ? "ipod"
                              : ext == "mkv" ? "matroska"
                                             : ext;
    const std::string command = "ffmpeg -hide_banner -loglevel error -nostdin -y " + arguments +
                                " -f " + muxer + " \"" + out.string() + "\"";
    if (std::system(command.c_str()) != 0) throw std::runtime_error("ffmpeg failed: " + command);
  }

  // The encoder for a noise or burst fixture of that extension.
  static std::string CodecFor(const std::string& ext) {
    return ext == "mp3"    ? "libmp3lame -b:a 192k"
           : ext == "m4a"  ? "aac"
           : ext == "ogg"  ? "libvorbis"
           : ext == "flac" ? "flac"
                           : "pcm_s16le";
  }

  static void WriteBytes(const std::filesystem::path& out, const std::string& bytes) {
    std::ofstream(out, std::ios::binary) << bytes;
  }

  static std::string Head(const std::string& from, size_t bytes) {
    std::ifstream in(from, std::ios::binary);
    std::string data(bytes, '\0');
    in.read(data.data(), static_cast<std::streamsize>(bytes));
    data.resize(static_cast<size_t>(in.gcount()));
    return data;
  }

  // A RIFF/WAVE header for 44.1 kHz stereo 16-bit PCM whose data chunk is empty.
  static std::string ZeroLengthWav() {
    std::string h;
    auto u32 = [&](uint32_t v) {
      for (int i = 0; i < 4; ++i) h.push_back(static_cast<char>((v >> (8 * i)) & 0xff));
    };
    auto u16 = [&](uint16_t v) {
      h.push_back(static_cast<char>(v & 0xff));
      h.push_back(static_cast<char>(v >> 8));
    };
    h += "RIFF";
    u32(36);
    h += "WAVEfmt ";
    u32(16);
    u16(1);
    u16(2);
    u32(44100);
    u32(44100 * 4);
    u16(4);
    u16(16);
    h += "data";
    u32(0);
    return h;
  }

  std::filesystem::path folder_;
};

}  // namespace media_fixtures
