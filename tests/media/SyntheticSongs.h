// Songs with a known structure, made by the tests themselves for the hook
// analysis: intro, verses, choruses, bridge and outro, each section with its
// own chords, key, sounds, drums and level, the choruses repeated with small
// changes (a few melody notes, the level) under a constant noise floor. The
// section order, tempo and lengths come from a plan; all randomness is seeded,
// so a plan always gives the same samples.
#pragma once

#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <numbers>
#include <random>
#include <stdexcept>
#include <string>
#include <vector>

namespace synthetic_songs {

enum class Part { Intro, Verse, Chorus, Bridge, Outro };

inline char PartLetter(Part p) {
  switch (p) {
    case Part::Intro:
      return 'I';
    case Part::Verse:
      return 'V';
    case Part::Chorus:
      return 'C';
    case Part::Bridge:
      return 'B';
    case Part::Outro:
      return 'O';
  }
  return '?';
}

// "IVCVCBCO" -> the parts.
inline std::vector<Part> Order(const std::string& letters) {
  std::vector<Part> parts;
  for (char c : letters) {
    switch (c) {
      case 'I':
        parts.push_back(Part::Intro);
        break;
      case 'V':
        parts.push_back(Part::Verse);
        break;
      case 'C':
        parts.push_back(Part::Chorus);
        break;
      case 'B':
        parts.push_back(Part::Bridge);
        break;
      case 'O':
        parts.push_back(Part::Outro);
        break;
      default:
        break;
    }
  }
  return parts;
}

struct SongPlan {
  const char* name;  // file name, its extension chooses the container
  uint32_t seed;
  double bpm;
  const char* order;  // letters of the parts, see Order
  int chorus_bars;    // the other parts' lengths follow from the seed
};

struct Song {
  int rate = 22050;
  std::vector<float> samples;
  std::vector<double> chorus_starts;   // seconds
  std::vector<double> section_starts;  // seconds, one per part of the order
};

namespace detail {

// One period of a tone with the given harmonic amplitudes, for a wavetable
// oscillator (a sum of sines per sample would make the tests slow).
struct Wavetable {
  static constexpr int kSize = 4096;
  std::vector<float> table;
  explicit Wavetable(const std::vector<float>& harmonics) : table(kSize + 1) {
    for (int i = 0; i <= kSize; ++i) {
      double v = 0.0;
      for (size_t h = 0; h < harmonics.size(); ++h) {
        v += harmonics[h] *
             std::sin(2.0 * std::numbers::pi * static_cast<double>(h + 1) * i / kSize);
      }
      table[i] = static_cast<float>(v);
    }
    float peak = 0.0f;
    for (float v : table) peak = std::max(peak, std::abs(v));
    for (float& v : table) v /= peak;
  }
};

inline double MidiHz(double midi) { return 440.0 * std::pow(2.0, (midi - 69.0) / 12.0); }

// Adds a note: `decay` 0 holds it, otherwise it fades by that many nepers per second.
inline void AddNote(std::vector<float>& out, int rate, const Wavetable& w, double midi,
                    double start, double length, float gain, double decay) {
  const size_t first = static_cast<size_t>(start * rate);
  const size_t count = static_cast<size_t>(length * rate);
  const double step = MidiHz(midi) / rate * Wavetable::kSize;
  const double attack = 0.01 * rate;
  const double release = 0.03 * rate;
  double phase = 0.0;
  for (size_t i = 0; i < count && first + i < out.size(); ++i) {
    double env = std::min(1.0, i / attack) * std::min(1.0, (count - i) / release);
    if (decay > 0) env *= std::exp(-decay * static_cast<double>(i) / rate);
    const int index = static_cast<int>(phase);
    const double frac = phase - index;
    const float v = static_cast<float>(w.table[index] * (1.0 - frac) + w.table[index + 1] * frac);
    out[first + i] += gain * static_cast<float>(env) * v;
    phase += step;
    if (phase >= Wavetable::kSize) phase -= Wavetable::kSize;
  }
}

// A drum hit: a falling sine for the kick, filtered noise for snare and hi-hat.
inline void AddHit(std::vector<float>& out, int rate, char kind, double start, float gain,
                   std::mt19937& random) {
  std::uniform_real_distribution<float> noise(-1.0f, 1.0f);
  const size_t first = static_cast<size_t>(start * rate);
  const double length = kind == 'k' ? 0.15 : kind == 's' ? 0.12 : 0.04;
  const size_t count = static_cast<size_t>(length * rate);
  double phase = 0.0;
  float previous = 0.0f;
  for (size_t i = 0; i < count && first + i < out.size(); ++i) {
    const double t = static_cast<double>(i) / rate;
    const float env = static_cast<float>(std::exp(-t / (length / 4)));
    float v = 0.0f;
    if (kind == 'k') {
      phase += 2.0 * std::numbers::pi * (50.0 + 100.0 * std::exp(-t * 30.0)) / rate;
      v = static_cast<float>(std::sin(phase));
    } else {
      const float white = noise(random);
      // A snare keeps some body; a hi-hat is the difference of neighbours (bright).
      v = kind == 's' ? 0.6f * white + 0.4f * previous : white - previous;
      previous = white;
    }
    out[first + i] += gain * env * v;
  }
}

struct Sound {
  int tone;      // which wavetable the chords use
  double decay;  // of the chord notes (0: held)
  int chord_octave;
  float level_db;
  std::string drums;  // per eighth note of a bar: k kick, s snare, h hi-hat, '.' nothing
  int key;
  std::vector<int> degrees;  // scale degrees of the chords, one per bar
  std::vector<int> melody;   // scale steps, eight per bar
};

}  // namespace detail

// Renders the song of `plan`.
inline Song Synthesize(const SongPlan& plan) {
  using namespace detail;
  Song song;
  const int rate = song.rate;
  std::mt19937 random(plan.seed);
  auto pick = [&](int low, int high) {
    return std::uniform_int_distribution<int>(low, high)(random);
  };

  const std::vector<Wavetable> tones = {
      Wavetable({1.0f, 0.25f, 0.06f}),                                   // soft pad
      Wavetable({1.0f, 0.5f, 0.33f, 0.25f, 0.2f, 0.17f, 0.14f, 0.12f}),  // bright saw-like
      Wavetable({1.0f, 0.0f, 0.4f, 0.0f, 0.25f, 0.0f, 0.15f}),           // hollow organ
      Wavetable({1.0f, 0.7f, 0.1f, 0.3f}),                               // plucked string
  };
  const Wavetable bass({1.0f, 0.3f});
  const Wavetable lead({1.0f, 0.4f, 0.2f, 0.1f});

  const int key = pick(0, 11);
  auto progression = [&](int bars) {
    std::vector<int> d(static_cast<size_t>(bars));
    const int cycle = 4;
    std::vector<int> base(cycle);
    for (int& b : base) b = pick(0, 5);
    base[0] = pick(0, 1) ? 0 : 5;
    for (int i = 0; i < bars; ++i) d[static_cast<size_t>(i)] = base[static_cast<size_t>(i % cycle)];
    return d;
  };
  auto melody = [&](int bars) {
    std::vector<int> m(static_cast<size_t>(bars * 8));
    for (int& n : m) n = pick(-1, 9);  // -1: rest
    return m;
  };
  const int verse_bars = pick(3, 4) * 2;
  const int bridge_bars = pick(2, 4) * 2;
  // Sounds of the parts: choruses loud and bright with busy drums, verses
  // softer, the bridge in another key, intro and outro thin.
  Sound verse{3, 3.0, 4, -9.0f, "k.h.k.h.", key, progression(verse_bars), melody(verse_bars)};
  Sound chorus{
      1, 0.0, 4, -2.0f, "khshkhsh", key, progression(plan.chorus_bars), melody(plan.chorus_bars)};
  Sound bridge{2, 0.0, 3, -7.0f, "k...k...", (key + 5) % 12, progression(bridge_bars), {}};
  Sound intro{0, 0.0, 4, -14.0f, "........", key, progression(4), {}};
  Sound outro{0, 0.0, 4, -14.0f, "........", key, {0, 0, 5, 0}, {}};
  const std::vector<int> verse_two_melody = melody(verse_bars);

  const double bar = 4 * 60.0 / plan.bpm;
  const std::vector<Part> order = Order(plan.order);
  double total = 0.0;
  for (Part p : order) {
    const Sound& s = p == Part::Verse    ? verse
                     : p == Part::Chorus ? chorus
                     : p == Part::Bridge ? bridge
                     : p == Part::Intro  ? intro
                                         : outro;
    total += bar * static_cast<double>(s.degrees.size());
  }
  song.samples.assign(static_cast<size_t>((total + 1.0) * rate), 0.0f);

  static constexpr int kScale[] = {0, 2, 4, 5, 7, 9, 11};
  auto scale_note = [](int key_root, int step) {
    const int octave = step >= 0 ? step / 7 : -1;
    return key_root + 12 * octave + kScale[((step % 7) + 7) % 7];
  };
  std::normal_distribution<float> jitter(0.0f, 1.0f);
  double t = 0.0;
  int verses_seen = 0;
  for (Part p : order) {
    Sound s = p == Part::Verse    ? verse
              : p == Part::Chorus ? chorus
              : p == Part::Bridge ? bridge
              : p == Part::Intro  ? intro
                                  : outro;
    song.section_starts.push_back(t);
    if (p == Part::Chorus) {
      song.chorus_starts.push_back(t);
      // Every chorus differs a little: a few melody notes and the level.
      for (int i = 0; i < 3; ++i)
        s.melody[static_cast<size_t>(pick(0, static_cast<int>(s.melody.size()) - 1))] = pick(-1, 9);
      s.level_db += jitter(random);
    }
    if (p == Part::Verse && verses_seen++ % 2 == 1)
      s.melody = verse_two_melody;  // other words, other tune
    const float gain = std::pow(10.0f, s.level_db / 20.0f);
    for (size_t b = 0; b < s.degrees.size(); ++b) {
      const double start = t + bar * static_cast<double>(b);
      const int degree = s.degrees[b];
      const int root = 12 * (s.chord_octave + 1) + s.key;
      // The chord: a triad of the scale, held over the bar or struck on each beat.
      for (int v = 0; v < 3; ++v) {
        const int note = scale_note(root, degree + 2 * v);
        if (s.decay > 0) {
          for (int beat = 0; beat < 4; ++beat) {
            AddNote(song.samples, rate, tones[s.tone], note, start + beat * bar / 4, bar / 4,
                    0.25f * gain, s.decay);
          }
        } else {
          AddNote(song.samples, rate, tones[s.tone], note, start, bar, 0.22f * gain, 0.0);
        }
      }
      AddNote(song.samples, rate, bass, scale_note(12 * 2 + s.key, degree), start, bar,
              0.35f * gain, 0.0);
      for (int e = 0; e < 8; ++e) {
        const double at = start + e * bar / 8;
        if (!s.melody.empty()) {
          const int step = s.melody[b * 8 + static_cast<size_t>(e)];
          if (step >= 0)
            AddNote(song.samples, rate, lead, scale_note(12 * 6 + s.key, step), at, bar / 8,
                    0.15f * gain, 4.0);
        }
        const char hit = s.drums[static_cast<size_t>(e)];
        if (hit != '.')
          AddHit(song.samples, rate, hit, at, (hit == 'h' ? 0.15f : 0.5f) * gain, random);
      }
    }
    t += bar * static_cast<double>(s.degrees.size());
  }
  // The noise floor of a recording, and nothing above full scale.
  std::uniform_real_distribution<float> noise(-1.0f, 1.0f);
  float peak = 0.0f;
  for (float& v : song.samples) {
    v += 0.003f * noise(random);
    peak = std::max(peak, std::abs(v));
  }
  if (peak > 0.95f) {
    for (float& v : song.samples) v *= 0.95f / peak;
  }
  return song;
}

// Writes 16-bit mono PCM in a RIFF/WAVE file.
inline void WriteWav(const std::filesystem::path& path, const std::vector<float>& samples,
                     int rate) {
  std::string bytes;
  auto u32 = [&](uint32_t v) {
    for (int i = 0; i < 4; ++i) bytes.push_back(static_cast<char>((v >> (8 * i)) & 0xff));
  };
  auto u16 = [&](uint16_t v) {
    bytes.push_back(static_cast<char>(v & 0xff));
    bytes.push_back(static_cast<char>(v >> 8));
  };
  const uint32_t data = static_cast<uint32_t>(samples.size() * 2);
  bytes += "RIFF";
  u32(36 + data);
  bytes += "WAVEfmt ";
  u32(16);
  u16(1);
  u16(1);
  u32(static_cast<uint32_t>(rate));
  u32(static_cast<uint32_t>(rate * 2));
  u16(2);
  u16(16);
  bytes += "data";
  u32(data);
  for (float v : samples) {
    const auto s = static_cast<int16_t>(std::lround(std::clamp(v, -1.0f, 1.0f) * 32767.0f));
    u16(static_cast<uint16_t>(s));
  }
  std::ofstream(path, std::ios::binary) << bytes;
}

// Runs the ffmpeg tool; the output's extension chooses its container.
inline void Ffmpeg(const std::string& arguments, const std::filesystem::path& out) {
  const std::string command =
      "ffmpeg -hide_banner -loglevel error -nostdin -y " + arguments + " \"" + out.string() + "\"";
  if (std::system(command.c_str()) != 0) throw std::runtime_error("ffmpeg failed: " + command);
}

// Writes `song` as folder/name: a WAV as is, an .mp3 or .flac encoded from it
// by the ffmpeg tool. The file is made under a temporary name and renamed into
// place, so tests running side by side never read half a file. Returns the path.
inline std::string WriteSongFile(const std::filesystem::path& folder, const std::string& name,
                                 const Song& song) {
  std::filesystem::create_directories(folder);
  const std::filesystem::path target = folder / name;
  const std::string prefix = ".part-" + std::to_string(getpid()) + "-";
  const std::filesystem::path wav = folder / (prefix + name + ".wav");
  WriteWav(wav, song.samples, song.rate);
  const std::string ext = target.extension().string();
  if (ext == ".wav") {
    std::filesystem::rename(wav, target);
  } else {
    const std::filesystem::path part = folder / (prefix + name);
    const std::string codec = ext == ".mp3" ? "-c:a libmp3lame -b:a 128k" : "-c:a flac";
    Ffmpeg("-i \"" + wav.string() + "\" " + codec + " -f " + ext.substr(1), part);
    std::filesystem::remove(wav);
    std::filesystem::rename(part, target);
  }
  return target.string();
}

}  // namespace synthetic_songs
