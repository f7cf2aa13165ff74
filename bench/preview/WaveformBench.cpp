// How soon the marker bar shows a long song's waveform, and how long the
// window's thread is held when a row is chosen. Makes a 10-minute 192 kbit/s
// MP3 with the ffmpeg tool in a temporary folder, then times:
//  - the sketch and the full envelope on their own (media's WaveformEnvelope);
//  - in a marker bar (offscreen window): the call that asks for the waveform,
//    the wait until the first slices are shown, and until the full envelope;
//  - choosing another song while the first is still being read.
#include <QApplication>
#include <QElapsedTimer>
#include <QLabel>
#include <QTemporaryDir>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "MarkerBar.h"
#include "WaveformEnvelope.h"

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
  return 0;
}
