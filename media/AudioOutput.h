// Where the preview's sound goes: the system's default audio output through
// Qt Multimedia's QAudioSink, or, on a machine without one (a server, CI), a
// silent output that takes the audio at the speed a device would, so that the
// position, the ticker and the end of the file behave the same.
//
// Ownership: the graph owns its output. Threads: the owner thread of the graph
// only (QAudioSink belongs to the thread that created it).
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>

#include "PlaybackDecoder.h"

class AudioOutput {
 public:
  virtual ~AudioOutput() = default;

  // An output is playing from the moment it is made.
  virtual void Suspend() = 0;
  virtual void Resume() = 0;
  // Drops the audio it holds and counts the played time from zero again (a
  // seek); keeps a suspended output suspended. Throws MediaError on failure.
  virtual void Restart() = 0;

  // How many bytes Write takes now, and taking them.
  virtual size_t FreeBytes() = 0;
  virtual void Write(const uint8_t* data, size_t bytes) = 0;

  // Microseconds of audio played since the output was made or restarted.
  virtual int64_t PlayedUs() = 0;
  // Everything written has been played.
  virtual bool Drained() = 0;
  // The device went away or failed; the graph goes on with a silent output.
  virtual bool Broken() = 0;
  virtual bool IsSilent() const = 0;
};

// A started output on the system's default audio device; `format` is set to
// what the device takes (the decoder converts to it). Null when there is no
// device or it cannot be started. Needs a QCoreApplication.
std::unique_ptr<AudioOutput> OpenDeviceOutput(OutputFormat& format);

// A started silent output for `format`.
std::unique_ptr<AudioOutput> MakeSilentOutput(const OutputFormat& format);
