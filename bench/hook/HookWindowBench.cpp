// "Hook" (F7) on 20 rows of the main window as the program builds it
// (AppRig, offscreen platform): the time until every row has its part, and how
// long the window's event loop waited between two turns meanwhile (a 1-ms
// timer stamps each turn): the longest and the 99th-percentile wait are what
// a person would feel as a stalled window. The same waits with nothing
// running are printed beside them as the floor of this machine.
//
// The songs: four structured songs from the tests' song maker, each written
// under five names (WAV, in a temporary folder), so that the list holds 20
// different files.
#include <unistd.h>

#include <QApplication>
#include <QElapsedTimer>
#include <QTimer>
#include <QtTest>
#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <vector>

#include "AppRig.h"
#include "FinishingCommands.h"
#include "HookSuggestionRunner.h"
#include "SourceListView.h"
#include "SyntheticSongs.h"
#include "WaveformEditor.h"
#include "WaveformView.h"
#include "WindowInput.h"

namespace {

constexpr int kSongs = 20;

struct Waits {
  double longest_ms = 0;
  double p99_ms = 0;
  int turns = 0;
};

// Runs the event loop until `done` holds, stamping each turn of a 1-ms timer.
Waits WaitWhileStamping(const std::function<bool()>& done) {
  std::vector<double> gaps;
  QElapsedTimer clock;
  clock.start();
  qint64 last = clock.nsecsElapsed();
  QTimer stamp;
  QObject::connect(&stamp, &QTimer::timeout, [&] {
    const qint64 now = clock.nsecsElapsed();
    gaps.push_back((now - last) / 1e6);
    last = now;
  });
  stamp.start(1);
  while (!done()) QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 50);
  stamp.stop();
  Waits waits;
  waits.turns = static_cast<int>(gaps.size());
  if (gaps.empty()) return waits;
  std::sort(gaps.begin(), gaps.end());
  waits.longest_ms = gaps.back();
  waits.p99_ms = gaps[std::min(gaps.size() - 1, gaps.size() * 99 / 100)];
  return waits;
}

void Print(const char* what, const Waits& w) {
  std::printf("%-34s longest %6.1f ms, 99%% %5.1f ms (%d turns)\n", what, w.longest_ms, w.p99_ms,
              w.turns);
}

}  // namespace

int main(int argc, char* argv[]) {
  qputenv("QT_QPA_PLATFORM", "offscreen");
  QApplication app(argc, argv);
  char pattern[] = "/tmp/tonbrix-hook-window-bench-XXXXXX";
  if (!mkdtemp(pattern)) return 1;
  const std::filesystem::path folder = pattern;

  const synthetic_songs::SongPlan plans[4] = {{"a.wav", 11, 120, "IVCVCBCO", 8},
                                              {"b.wav", 13, 146, "IVCVCBCO", 8},
                                              {"c.wav", 16, 96, "ICVCVCBCO", 8},
                                              {"d.wav", 20, 90, "IVCVCBBCO", 6}};
  QStringList files;
  double seconds = 0;
  for (int i = 0; i < kSongs; ++i) {
    const synthetic_songs::SongPlan& plan = plans[i % 4];
    static synthetic_songs::Song songs[4];
    if (songs[i % 4].samples.empty()) songs[i % 4] = synthetic_songs::Synthesize(plan);
    const std::string name = "song" + std::to_string(i) + ".wav";
    files << QString::fromStdString(synthetic_songs::WriteSongFile(folder, name, songs[i % 4]));
    seconds += static_cast<double>(songs[i % 4].samples.size()) / songs[i % 4].rate;
  }

  AppRig rig;
  TFrmMainForm& form = rig.Form();
  TSourceListView* list = form.dxTreeSourceFileInfo;
  window_input::DropFiles(list->viewport(), files);
  if (!QTest::qWaitFor([&] { return rig.List().RowCount() == kSongs; }, 60000)) {
    std::fprintf(stderr, "the %d songs did not all reach the list\n", kSongs);
    return 1;
  }
  QTest::mouseClick(list->viewport(), Qt::LeftButton, Qt::NoModifier,
                    window_input::CellCentre(list, 0, 1));
  list->scrollToBottom();
  QTest::mouseClick(list->viewport(), Qt::LeftButton, Qt::ShiftModifier,
                    window_input::CellCentre(list, kSongs - 1, 1));
  std::printf("rows: %d, selected: %zu, songs: %.0f s of audio in all\n", rig.List().RowCount(),
              rig.List().SelectedRows().size(), seconds);
  // Let the waveform of the selected song load first.
  QTest::qWait(2000);

  QElapsedTimer idle_clock;
  idle_clock.start();
  Print("idle window (3 s)", WaitWhileStamping([&] { return idle_clock.elapsed() > 3000; }));

  HookSuggestionRunner& hooks = form.WaveformEditing()->Finishing().Hooks();
  QElapsedTimer clock;
  clock.start();
  window_input::PressOnWindow(&form, Qt::Key_F7);
  const Waits running = WaitWhileStamping([&] { return !hooks.Running(); });
  const double total = clock.elapsed() / 1000.0;
  Print("window while suggesting", running);
  int set = 0;
  for (int row = 0; row < rig.List().RowCount(); ++row) {
    set += rig.List().Cell(row, SourceColumn::ConvertDuration) == "00:00:30" ? 1 : 0;
  }
  std::printf("%d of %d rows got a 30-s part in %.1f s (%.2f s a song)\n", set, kSongs, total,
              total / kSongs);
  std::filesystem::remove_all(folder);
  return 0;
}
