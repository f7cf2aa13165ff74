// MediaGraph: the media service as the rest of the program sees it. A graph
// measures a file's duration (a throwaway graph per batch of added files) and
// plays the preview (the one preview graph of the main window).
//
// Plain C++ on purpose: code without windows (the source list, the marker
// arithmetic, the command-line builder and their tests) holds a MediaGraph&
// and builds without FFmpeg or Qt Multimedia. The implementation lives in
// FfmpegMediaGraph.h.
//
// Ownership: whoever creates a graph owns it; nothing it returns needs freeing.
// Threads: a graph is used only from the thread that created it (the
// user-interface thread); its ticker is delivered on that thread too.
#pragma once

#include <cstdint>
#include <functional>
#include <stdexcept>
#include <string>

// A media operation failed: the file cannot be opened, the graph is not
// active, the audio output broke. The text names the operation and the file.
class MediaError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// What RenderFile returns for a file that opens. Only kRenderOk means a file
// that plays; the other codes say why nothing will be heard.
enum RenderResult : int {
  kRenderOk = 0,             // an audio stream was found and its decoder opened
  kRenderNoAudioStream = 1,  // the file opens but holds no audio stream
  kRenderNoDecoder = 2,      // there is an audio stream, but no decoder for it opens
};

enum class GraphState { Stopped, Paused, Running };

class MediaGraph {
 public:
  // Sender, current position and stop position (both in milliseconds; the stop
  // position is the duration).
  using TimerHandler =
      std::function<void(MediaGraph& sender, int64_t current_pos_ms, int64_t stop_pos_ms)>;

  // The ticker's period while running, in milliseconds.
  static constexpr int kDefaultTimerInterval = 1000;

  virtual ~MediaGraph() = default;

  // Active on: a fresh, empty graph that later operations act on. Active off:
  // everything in the graph is released and playback ends. Setting the state
  // it already has changes nothing.
  virtual bool Active() const = 0;
  virtual void SetActive(bool active) = 0;

  // Stops and empties the graph so that another file can be rendered; does
  // nothing while inactive.
  virtual void Clear() = 0;

  // Builds the chain for `path` (full path). Returns a RenderResult; throws
  // MediaError naming the file when it cannot be opened, or when the graph is
  // not active. Never opens an audio device and returns in bounded time.
  virtual int RenderFile(const std::string& path) = 0;

  // Length of the rendered file in milliseconds; 0 when nothing playable is
  // rendered.
  virtual int64_t Duration() = 0;

  // State changes. Run starts the ticker, Pause and Stop stop it. Each throws
  // MediaError when it fails (graph inactive, audio output broken).
  virtual void Run() = 0;
  virtual void Pause() = 0;
  virtual void Stop() = 0;
  virtual GraphState State() const = 0;

  // Position of what is being heard, in 100-ns units. Once the end of the
  // file has been played it is at least the duration.
  virtual int64_t CurrentPosition() = 0;

  // Moves playback to `position_ms` from the beginning (absolute); the stop
  // position stays the duration. Buffered audio from before the seek is
  // dropped, not played. Does nothing when no playable file is rendered.
  virtual void SeekTo(int64_t position_ms) = 0;

  // The ticker: called every TimerInterval() ms while the graph runs. The
  // handler may call any operation of the graph, including SetActive(false).
  virtual void SetOnTimer(TimerHandler handler) = 0;
  virtual int TimerInterval() const = 0;
  virtual void SetTimerInterval(int milliseconds) = 0;
};
