// How soon the marker bar shows a long song's waveform, and how long the
// window's thread is held when a row is chosen. Makes a 10-minute 192 kbit/s
// MP3 with the ffmpeg tool in a temporary folder, then times:
//  - the sketch and the full envelope on their own (media's WaveformEnvelope);
//  - in a marker bar (offscreen window): the call that asks for the waveform,
//    the wait until the first slices are shown, and until the full envelope;
//  - choosing another song while the first is still being read;
//  - the waveform view: the window thread held when it is given the song,
//    the wait for its sketch and full envelope, and the time to paint one
//    frame at 1x and 2x at three zooms, with its picture of the song redrawn
//    (a new zoom) and kept (an edge or the playhead moved).
#include <QApplication>
#include <QElapsedTimer>
#include <QLabel>
#include <QTemporaryDir>
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <string>
#include <vector>

#include "MarkerBar.h"
#include "WaveformEnvelope.h"
#include "WaveformView.h"

namespace {

std::string MakeSong(const QTemporaryDir& dir, const char* name, int seconds) {
  const std::string path = dir.filePath(name).toStdString();
  const std::string command =
      "ffmpeg -hide_banner -loglevel error -nostdin -y -f lavfi -i \"anoisesrc=d=" +
      std::to_string(seconds) +
      ":a=0.3:r=44100,volume='0.5+0.5*sin(t/7)':eval=frame\" -ac 2 "
      "-c:a libmp3lame -b:a 192k \"" +
      path + "\"";
  if (std::system(command.c_str()) != 0) {
    std::fprintf(stderr, "ffmpeg failed\n");
    std::exit(1);
  }
  return path;
}

template <typename F>
double Millis(F&& f) {
  const auto start = std::chrono::steady_clock::now();
  f();
  return std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start)
      .count();
}

// Runs the event loop until `done` or 30 s; the milliseconds it took.
template <typename Done>
double WaitFor(Done&& done) {
  QElapsedTimer timer;
  timer.start();
  while (!done() && timer.elapsed() < 30000) QApplication::processEvents(QEventLoop::AllEvents, 5);
  return timer.nsecsElapsed() / 1e6;
}

double ThreadCpuMillis() {
  timespec now{};
  clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
  return now.tv_sec * 1e3 + now.tv_nsec / 1e6;
}

// Paints `view` into an image of `dpr` device pixels per pixel `frames`
// times: the mean and the 95th percentile of the wall time, and the longest
// frame in this thread's own processor time (the machine is shared, so a
// frame's wall time can include waiting for a core).
struct FrameTimes {
  double mean, p95, longest_cpu;
};
FrameTimes PaintFrames(WaveformView& view, qreal dpr, bool redraw, int frames) {
  QImage image(view.size() * dpr, QImage::Format_ARGB32_Premultiplied);
  image.setDevicePixelRatio(dpr);
  std::vector<double> times;
  double longest_cpu = 0.0;
  for (int i = 0; i < frames; ++i) {
    if (redraw) view.DropCachedPicture();
    view.SetPlayhead(view.Timeline().TimeAt(i % view.width()));
    const double cpu = ThreadCpuMillis();
    times.push_back(Millis([&] { view.render(&image); }));
    longest_cpu = std::max(longest_cpu, ThreadCpuMillis() - cpu);
  }
  std::sort(times.begin(), times.end());
  double total = 0.0;
  for (double t : times) total += t;
  return {total / frames, times[times.size() * 95 / 100], longest_cpu};
}

void TimeWaveformView(const std::string& song) {
  WaveformView view(nullptr);
  view.resize(332, 148);  // the preview panel
  view.show();
  const double ask = Millis([&] { view.ShowSong(QString::fromStdString(song), 600); });
  const double first = WaitFor([&] { return view.HasEnvelope(); });
  const double full = first + WaitFor([&] { return view.EnvelopeComplete(); });
  std::printf("| view: window thread held when given the song | %.3f |\n", ask);
  std::printf("| view: song given to first waveform shown | %.1f |\n", first);
  std::printf("| view: song given to full envelope shown | %.1f |\n", full);
  view.SetPart({200, 230});

  std::printf(
      "\n| zoom | s per px | dpr | new zoom: mean / p95 / max cpu ms |"
      " same zoom: mean / p95 / max cpu ms |\n|---|---|---|---|---|\n");
  struct Zoom {
    const char* name;
    double seconds_per_pixel;
  };
  for (const Zoom& zoom : {Zoom{"whole song", 1e9}, Zoom{"part", 0.2},
                           Zoom{"closest", WaveformTimeline::kFinestSecondsPerPixel}}) {
    view.Timeline().SetZoom(zoom.seconds_per_pixel, 0);
    view.Timeline().ScrollTo(200);
    for (qreal dpr : {1.0, 2.0}) {
      const FrameTimes cold = PaintFrames(view, dpr, true, 200);
      const FrameTimes warm = PaintFrames(view, dpr, false, 200);
      std::printf("| %s | %.3f | %.0fx | %.3f / %.3f / %.3f | %.3f / %.3f / %.3f |\n", zoom.name,
                  view.Timeline().SecondsPerPixel(), dpr, cold.mean, cold.p95, cold.longest_cpu,
                  warm.mean, warm.p95, warm.longest_cpu);
    }
  }
}

}  // namespace

int main(int argc, char** argv) {
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  QApplication app(argc, argv);
  QTemporaryDir dir;
  const std::string long_song = MakeSong(dir, "ten_minutes.mp3", 600);
  const std::string other_song = MakeSong(dir, "other.mp3", 240);
  const size_t count = 260 * TMarkerBar::kSlicesPerPixel;
  std::atomic<bool> keep_going{false};

  std::printf("| what | ms |\n|---|---|\n");
  std::printf("| sketch, 10-minute MP3 | %.1f |\n",
              Millis([&] { SketchEnvelope(long_song, keep_going)->Slices(count); }));
  std::printf("| full envelope, 10-minute MP3 | %.1f |\n",
              Millis([&] { FullEnvelope(long_song, keep_going)->Slices(count); }));

  QLabel left;
  QLabel right;
  TMarkerBar bar(&left, &right, nullptr);
  bar.show();
  const double ask = Millis([&] { bar.ShowWaveformOf(QString::fromStdString(long_song)); });
  const double first = WaitFor([&] { return !bar.Waveform().empty(); });
  const double full = first + WaitFor([&] { return bar.WaveformComplete(); });
  std::printf("| window thread held by the request | %.3f |\n", ask);
  std::printf("| request to first waveform shown | %.1f |\n", first);
  std::printf("| request to full envelope shown | %.1f |\n", full);

  // Another song chosen while the long one is read.
  bar.ShowWaveformOf(QString());
  bar.ShowWaveformOf(QString::fromStdString(long_song));
  WaitFor([&] { return !bar.Waveform().empty(); });
  const double switch_ask = Millis([&] { bar.ShowWaveformOf(QString::fromStdString(other_song)); });
  const double switch_first = WaitFor([&] { return !bar.Waveform().empty(); });
  std::printf("| window thread held choosing another song mid-read | %.3f |\n", switch_ask);
  std::printf("| other song's first waveform after the switch | %.1f |\n", switch_first);
  TimeWaveformView(long_song);
  return 0;
}
