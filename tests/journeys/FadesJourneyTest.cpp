// A row's fades in the main window exactly as the program builds it: real
// mouse drags on the waveform view's fade handles set the selected row's fades
// (held to half the part and to 30 s, in steps of 0.1 s), each row keeps and
// shows its own, new rows start with the defaults of Config/Finishing.ini, and
// a conversion started with the Convert button gives a ringtone whose ends are
// faded and whose loudness meets the target, measured on the file with the
// ffmpeg tool's own ebur128 filter. Offscreen platform, silent audio output.
#include <QCheckBox>
#include <QLabel>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QToolButton>
#include <QtTest>
#include <cmath>
#include <cstring>
#include <optional>
#include <vector>

#include "../list/ListFixtures.h"
#include "AppRig.h"
#include "FinishingSettings.h"
#include "PartFades.h"
#include "PictureButton.h"
#include "SourceListView.h"
#include "UnitCustomProc.h"
#include "Unit_Converting.h"
#include "WaveformView.h"
#include "WindowInput.h"

namespace wi = window_input;
namespace pf = part_fades;

namespace {

QString TimeText(int seconds) {
  return QString::fromStdString(TCommonLib::SecondsToTimeText(seconds));
}

// The ffmpeg tool's output (both streams); nothing when it failed.
std::optional<QString> RunFfmpeg(const QStringList& arguments) {
  QProcess ffmpeg;
  ffmpeg.setProcessChannelMode(QProcess::MergedChannels);
  ffmpeg.start("ffmpeg", QStringList{"-hide_banner", "-nostdin"} + arguments);
  if (!ffmpeg.waitForFinished(120000) || ffmpeg.exitCode() != 0) {
    qWarning("%s", ffmpeg.readAll().constData());
    return std::nullopt;
  }
  return QString::fromUtf8(ffmpeg.readAll());
}

// The first channel of a decoded file at 44.1 kHz.
std::vector<float> DecodeFirstChannel(const QString& file) {
  QProcess ffmpeg;
  ffmpeg.start("ffmpeg", {"-hide_banner", "-nostdin", "-loglevel", "error", "-i", file, "-af",
                          "pan=mono|c0=c0", "-ar", "44100", "-f", "f32le", "-"});
  if (!ffmpeg.waitForFinished(120000) || ffmpeg.exitCode() != 0) return {};
  const QByteArray bytes = ffmpeg.readAllStandardOutput();
  std::vector<float> samples(static_cast<size_t>(bytes.size()) / sizeof(float));
  std::memcpy(samples.data(), bytes.constData(), samples.size() * sizeof(float));
  return samples;
}

double RmsDb(const std::vector<float>& samples, double from_seconds, double to_seconds) {
  const auto from = static_cast<size_t>(from_seconds * 44100);
  const auto to = std::min(static_cast<size_t>(to_seconds * 44100), samples.size());
  double sum = 0;
  for (size_t i = from; i < to; ++i) sum += double(samples[i]) * samples[i];
  return 10 * std::log10(std::max(sum / double(std::max<size_t>(to - from, 1)), 1e-20));
}

// The integrated loudness of a file by the ebur128 filter's summary.
double IntegratedLoudness(const QString& file) {
  const QString text =
      RunFfmpeg({"-nostats", "-i", file, "-af", "ebur128", "-f", "null", "-"}).value_or("");
  const QString summary = text.mid(text.lastIndexOf("Summary:"));
  const QRegularExpressionMatch found =
      QRegularExpression(R"(I:\s+(-?[0-9.]+) LUFS)").match(summary);
  return found.hasMatch() ? found.captured(1).toDouble() : std::nan("");
}

}  // namespace

class FadesJourneyTest : public QObject {
  Q_OBJECT

 private:
  QTemporaryDir sounds_;
  std::unique_ptr<QTemporaryDir> output_;
  std::unique_ptr<AppRig> rig_;
  QString song_;   // 3 minutes of a tone
  QString other_;  // 12 seconds of a tone
  QString music_;  // 40 seconds of quiet music-like sound

  TFrmMainForm& Form() { return rig_->Form(); }
  WaveformView* Wave() { return Form().WaveformView1; }
  TSourceListView* List() { return Form().dxTreeSourceFileInfo; }
  RowFades Fades(int row) { return rig_->List().Fades(row); }

  void Start(const FinishingSettings& settings) {
    rig_ = std::make_unique<AppRig>(
        [&](const std::string& app_dir) { WriteFinishingSettings(app_dir, settings); });
    QVERIFY(QTest::qWaitForWindowExposed(&Form()));
    Form().activateWindow();
    Form().chkShowOutputDirectory->setChecked(false);
  }
  void ClickRow(int row) {
    QTest::mouseClick(List()->viewport(), Qt::LeftButton, Qt::NoModifier,
                      wi::CellCentre(List(), row, 1));
  }
  // The files in the list, the first row selected and its waveform drawn.
  void LoadSongs(const QStringList& files) {
    wi::DropFiles(List()->viewport(), files);
    QTRY_COMPARE(rig_->List().RowCount(), files.size());
    ClickRow(0);
    QTRY_VERIFY(Wave()->isVisible());
    QTRY_VERIFY_WITH_TIMEOUT(Wave()->EnvelopeComplete(), 10000);
  }
  void TypePart(int start, int end) {
    QVERIFY(wi::TypeIntoCell(List(), 0, static_cast<int>(SourceColumn::EndTime), TimeText(end)));
    QVERIFY(
        wi::TypeIntoCell(List(), 0, static_cast<int>(SourceColumn::StartTime), TimeText(start)));
    QCOMPARE(Wave()->Part().start, start);
    QCOMPARE(Wave()->Part().end, end);
  }
  // Where the handle's inner end is now, in the view's x.
  double HandleX(pf::Side side) {
    const segment_marker::Part part = Wave()->Part();
    const double fade = pf::FadeOf(pf::FadesForPart(Wave()->Fades(), part.end - part.start), side);
    return Wave()->Timeline().XAt(pf::HandleTime(side, fade, part));
  }
  // Drags the fade handle of `side` by its middle so that its fade's inner
  // end comes to `seconds` of the song.
  void DragFade(pf::Side side, double seconds) {
    const QPoint from = Wave()->FadeHandleRect(side).center();
    const double grab = from.x() - HandleX(side);
    const QPoint to(static_cast<int>(std::lround(Wave()->Timeline().XAt(seconds) + grab)),
                    from.y());
    wi::DragMouse(Wave(), from, to, 8);
  }

 private slots:
  void initTestCase() {
    song_ = sounds_.filePath("song.mp3");
    other_ = sounds_.filePath("other.wav");
    music_ = sounds_.filePath("music.wav");
    list_test::MakeTone(song_.toStdString(), 180.0, "libmp3lame");
    list_test::MakeTone(other_.toStdString(), 12.0);
    // Pink noise under a moving tone, about -33 LUFS: loudness normalization
    // has 19 dB to add.
    QVERIFY(RunFfmpeg({"-loglevel", "error", "-y", "-f", "lavfi", "-i",
                       "anoisesrc=d=40:c=pink:a=0.02:r=44100:seed=7", "-f", "lavfi", "-i",
                       "aevalsrc=0.02*sin(2*PI*220*t)*(1+0.5*sin(2*PI*0.5*t)):s=44100:d=40",
                       "-filter_complex", "[0][1]amix=inputs=2:normalize=0,pan=stereo|c0=c0|c1=c0",
                       music_})
                .has_value());
  }

  void init() { output_ = std::make_unique<QTemporaryDir>(); }
  void cleanup() { rig_.reset(); }

  void dragFadeHandles_data() {
    QTest::addColumn<int>("start");  // the part typed first
    QTest::addColumn<int>("end");
    QTest::addColumn<bool>("zoom");     // zoomed to the part first
    QTest::addColumn<bool>("fadeIn");   // which handle is dragged
    QTest::addColumn<double>("first");  // a drag to this second first (< 0: none)
    QTest::addColumn<double>("to");     // then to this second of the song
    QTest::addColumn<double>("wanted");
    QTest::addColumn<bool>("exact");  // held to a limit: exactly `wanted`
    QTest::newRow("fade-in") << 20 << 60 << true << true << -1.0 << 24.0 << 4.0 << false;
    QTest::newRow("fade-out") << 20 << 60 << true << false << -1.0 << 54.0 << 6.0 << false;
    QTest::newRow("fade-in held to half the part")
        << 20 << 30 << true << true << -1.0 << 29.0 << 5.0 << true;
    QTest::newRow("fade-out held to half the part")
        << 20 << 30 << true << false << -1.0 << 10.0 << 5.0 << true;
    QTest::newRow("fade-in held to 30 s")
        << 0 << 180 << false << true << -1.0 << 100.0 << 30.0 << true;
    QTest::newRow("fade-out held to 30 s")
        << 0 << 180 << false << false << -1.0 << 60.0 << 30.0 << true;
    QTest::newRow("fade-in dragged back to 0")
        << 20 << 60 << true << true << 26.0 << 15.0 << 0.0 << true;
    QTest::newRow("fade-out dragged back to 0")
        << 20 << 60 << true << false << 50.0 << 62.0 << 0.0 << true;
  }
  void dragFadeHandles() {
    QFETCH(int, start);
    QFETCH(int, end);
    QFETCH(bool, zoom);
    QFETCH(bool, fadeIn);
    QFETCH(double, first);
    QFETCH(double, to);
    QFETCH(double, wanted);
    QFETCH(bool, exact);
    Start(FinishingSettings{});
    LoadSongs({song_});
    TypePart(start, end);
    if (zoom) QTest::mouseClick(Wave()->ZoomToPartButton(), Qt::LeftButton);
    const pf::Side side = fadeIn ? pf::Side::In : pf::Side::Out;
    const pf::Side still = fadeIn ? pf::Side::Out : pf::Side::In;
    // Half a pixel of the mouse, and the step it rounds to.
    const double slack = Wave()->Timeline().SecondsPerPixel() / 2 + pf::kStepSeconds / 2 + 1e-9;
    if (first >= 0) {
      DragFade(side, first);
      const double expected = fadeIn ? first - start : end - first;
      QVERIFY2(std::abs(pf::FadeOf(Fades(0), side) - expected) <= slack,
               qPrintable(QString::number(pf::FadeOf(Fades(0), side))));
    }
    DragFade(side, to);
    const double fade = pf::FadeOf(Fades(0), side);
    if (exact) {
      QCOMPARE(fade, wanted);
    } else {
      QVERIFY2(std::abs(fade - wanted) <= slack, qPrintable(QString::number(fade)));
    }
    // Whole tenths only; the other fade is left alone; the view shows the row.
    QCOMPARE(std::round(fade * 10) / 10, fade);
    QCOMPARE(pf::FadeOf(Fades(0), still), 0.0);
    QCOMPARE(Wave()->Fades(), Fades(0));
    // The edges stayed where they were.
    QCOMPARE(Wave()->Part().start, start);
    QCOMPARE(Wave()->Part().end, end);
  }

  // The row's fade follows the handle while the mouse moves, and the view
  // tells the length; the press itself moves nothing.
  void fadeFollowsTheMouseLive() {
    Start(FinishingSettings{});
    LoadSongs({song_});
    TypePart(20, 60);
    QTest::mouseClick(Wave()->ZoomToPartButton(), Qt::LeftButton);
    const QPoint from = Wave()->FadeHandleRect(pf::Side::In).center();
    QTest::mousePress(Wave(), Qt::LeftButton, Qt::NoModifier, from);
    QCOMPARE(Fades(0), RowFades{});
    const QPoint at(
        static_cast<int>(std::lround(from.x() + 3.0 / Wave()->Timeline().SecondsPerPixel())),
        from.y());
    QMouseEvent move(QEvent::MouseMove, at, Wave()->mapToGlobal(at), Qt::NoButton, Qt::LeftButton,
                     Qt::NoModifier);
    QApplication::sendEvent(Wave(), &move);
    const double live = Fades(0).FadeInSeconds;
    QVERIFY2(std::abs(live - 3.0) <= 0.2, qPrintable(QString::number(live)));
    QCOMPARE(Wave()->HoverText(), QString("In %1 s").arg(live, 0, 'f', 1));
    QTest::mouseRelease(Wave(), Qt::LeftButton, Qt::NoModifier, at);
    QCOMPARE(Fades(0).FadeInSeconds, live);
  }

  // The edges are still dragged on the strip, also right beside a handle.
  void edgesKeepTheirDrag() {
    Start(FinishingSettings{});
    LoadSongs({song_});
    TypePart(20, 60);
    QTest::mouseClick(Wave()->ZoomToPartButton(), Qt::LeftButton);
    const QRect handle = Wave()->FadeHandleRect(pf::Side::In);
    const int edge_x = static_cast<int>(std::lround(Wave()->Timeline().XAt(20)));
    // Just outside the part, level with the handle.
    const QPoint from(edge_x - 2, handle.center().y());
    const QPoint to(static_cast<int>(std::lround(Wave()->Timeline().XAt(25))) - 2, from.y());
    wi::DragMouse(Wave(), from, to, 6);
    QCOMPARE(Wave()->Part().start, 25);
    QCOMPARE(rig_->List().Cell(0, SourceColumn::StartTime), std::string("00:00:25"));
    QCOMPARE(Fades(0), RowFades{});
  }

  // New rows take the defaults of Config/Finishing.ini; each row keeps its
  // own fades and the view shows those of the row selected.
  void eachRowShowsItsOwnFades() {
    FinishingSettings settings;
    settings.FadeInSeconds = 1.5;
    settings.FadeOutSeconds = 2;
    Start(settings);
    LoadSongs({song_, other_});
    QCOMPARE(Fades(0), (RowFades{1.5, 2}));
    QCOMPARE(Fades(1), (RowFades{1.5, 2}));
    QCOMPARE(Wave()->Fades(), (RowFades{1.5, 2}));
    DragFade(pf::Side::Out, 170.0);  // 10 s before the end, at the whole song's zoom
    const RowFades dragged = Fades(0);
    QVERIFY2(std::abs(dragged.FadeOutSeconds - 10.0) <= 0.5,
             qPrintable(QString::number(dragged.FadeOutSeconds)));
    QCOMPARE(Fades(1), (RowFades{1.5, 2}));
    ClickRow(1);
    QTRY_COMPARE(Wave()->SongFile(), other_);
    QCOMPARE(Wave()->Fades(), (RowFades{1.5, 2}));
    ClickRow(0);
    QTRY_COMPARE(Wave()->SongFile(), song_);
    QCOMPARE(Wave()->Fades(), dragged);
    // Removing the first row leaves the second its own fades.
    QTest::mouseClick(Form().btnRemoveFile, Qt::LeftButton);
    QTRY_COMPARE(rig_->List().RowCount(), 1);
    QCOMPARE(Fades(0), (RowFades{1.5, 2}));
  }

  // Fades set with the handles and loudness normalization on, converted with
  // the Convert button: the ringtone fades in and out and meets -14 LUFS.
  void convertsAFadedRingtoneAtTheLoudnessTarget() {
    FinishingSettings settings;
    settings.NormalizeLoudness = true;
    settings.LoudnessTarget = -14;
    Start(settings);
    LoadSongs({music_});
    TypePart(5, 20);
    QTest::mouseClick(Wave()->ZoomToPartButton(), Qt::LeftButton);
    DragFade(pf::Side::In, 8.0);
    DragFade(pf::Side::Out, 17.0);
    const RowFades fades = Fades(0);
    QVERIFY2(std::abs(fades.FadeInSeconds - 3.0) <= 0.2,
             qPrintable(QString::number(fades.FadeInSeconds)));
    QVERIFY2(std::abs(fades.FadeOutSeconds - 3.0) <= 0.2,
             qPrintable(QString::number(fades.FadeOutSeconds)));

    wi::FileDialogAnswer answer(output_->path());
    wi::PressOnWindow(&Form(), Qt::Key_B, Qt::ControlModifier);
    QVERIFY(answer.Chosen());
    QCOMPARE(Form().edtOutputFolder->text(), output_->path());
    QTest::mouseClick(Form().btnConvert, Qt::LeftButton);
    const QString ringtone = output_->filePath("music.mp3");
    QTRY_VERIFY_WITH_TIMEOUT(QFile::exists(ringtone) && !rig_->EngineRunning() &&
                                 Form().isEnabled() && !Form().frmConverting->isVisible(),
                             60000);

    // The line the engine was given carries the row's fades and the target.
    QFile log(QString::fromStdString(rig_->AppDir()) + "log.txt");
    QVERIFY(log.open(QIODevice::ReadOnly));
    const QString expected = QString(" -ss 00:00:05 -t 15 -fadein %1 -fadeout %2 -loudnorm -14 \"")
                                 .arg(fades.FadeInSeconds)
                                 .arg(fades.FadeOutSeconds);
    QVERIFY2(QString::fromUtf8(log.readAll()).contains(expected), qPrintable(expected));

    const std::vector<float> samples = DecodeFirstChannel(ringtone);
    const double seconds = samples.size() / 44100.0;
    QVERIFY2(std::abs(seconds - 15.0) < 0.2, qPrintable(QString::number(seconds)));
    const double middle = RmsDb(samples, 6.0, 9.0);
    const double head = RmsDb(samples, 0.0, 0.3);
    const double tail = RmsDb(samples, seconds - 0.3, seconds);
    QVERIFY2(head < middle - 20 && tail < middle - 20,
             qPrintable(
                 QString("head %1 dB, middle %2 dB, tail %3 dB").arg(head).arg(middle).arg(tail)));
    // Half way through the fade-in the level is well under the middle too.
    QVERIFY(RmsDb(samples, 0.9, 1.1) < middle - 3);
    const double loudness = IntegratedLoudness(ringtone);
    QVERIFY2(std::abs(loudness - -14.0) <= 1.0, qPrintable(QString::number(loudness)));
    qInfo("Faded ringtone: head %.1f dB, middle %.1f dB, tail %.1f dB; %.2f LUFS", head, middle,
          tail, loudness);
  }
};

QTEST_MAIN(FadesJourneyTest)
#include "FadesJourneyTest.moc"
