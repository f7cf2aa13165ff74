// The finishing commands in the main window exactly as the program builds it,
// with real clicks and keys: F6 and the waveform toolbar's button open the
// finishing settings; values typed into its spin boxes land in
// Config/Finishing.ini and TCustomProc::Finishing on OK and nowhere on Cancel;
// a file that cannot be written is reported and changes nothing; loudness on
// shows the Options window's volume list overridden, its value and the other
// settings files untouched. F7 and the button suggest the hook of the selected
// songs (synthetic songs with a repeated chorus) off the window thread: both
// rows' Start/End land near a chorus, the cells, the marker bar and the view
// agree, the window keeps handling events meanwhile, and rows removed, a song
// that cannot be read or the program closed during the run do no harm.
// Offscreen platform, silent audio output.
#include <QCheckBox>
#include <QComboBox>
#include <QDoubleSpinBox>
#include <QGroupBox>
#include <QLabel>
#include <QPushButton>
#include <QTemporaryDir>
#include <QToolButton>
#include <QtTest>
#include <filesystem>
#include <fstream>
#include <map>
#include <sstream>

#include "../list/ListFixtures.h"
#include "../media/SyntheticSongs.h"
#include "AppRig.h"
#include "FinishingCommands.h"
#include "FinishingForm.h"
#include "HookSuggestionRunner.h"
#include "MarkerBar.h"
#include "ModalAnswer.h"
#include "SourceListView.h"
#include "UnitCustomProc.h"
#include "Unit_Option.h"
#include "WaveformEditor.h"
#include "WaveformView.h"
#include "WindowInput.h"

namespace wi = window_input;
namespace sm = segment_marker;
namespace fs = std::filesystem;

namespace {

// Every file of a folder with its bytes.
std::map<std::string, std::string> FolderBytes(const fs::path& folder) {
  std::map<std::string, std::string> files;
  for (const auto& entry : fs::directory_iterator(folder)) {
    if (!entry.is_regular_file()) continue;
    std::ifstream in(entry.path(), std::ios::binary);
    std::ostringstream bytes;
    bytes << in.rdbuf();
    files[entry.path().filename().string()] = bytes.str();
  }
  return files;
}

// Replaces a spin box's text the way a person does: select all, type.
void TypeIntoSpin(QDoubleSpinBox* spin, const QString& text) {
  spin->setFocus();
  QTest::keyClick(spin, Qt::Key_A, Qt::ControlModifier);
  QTest::keyClicks(spin, text);
}

// A click on a check box's box, where a person aims.
void ClickCheckBox(QCheckBox* box) {
  QTest::mouseClick(box, Qt::LeftButton, Qt::NoModifier, QPoint(8, box->height() / 2));
}

}  // namespace

class FinishingJourneyTest : public QObject {
  Q_OBJECT

 private:
  QTemporaryDir sounds_;
  std::unique_ptr<AppRig> rig_;
  QString tone_;                     // 60 s
  QString songs_[2];                 // synthetic songs with a repeated chorus
  std::vector<double> choruses_[2];  // their choruses' starts, seconds

  TFrmMainForm& Form() { return rig_->Form(); }
  WaveformView* Wave() { return Form().WaveformView1; }
  TSourceListView* List() { return Form().dxTreeSourceFileInfo; }
  TCustomProc& Proc() { return *rig_->context->CustomProc; }
  FinishingCommands& Finishing() { return Form().WaveformEditing()->Finishing(); }
  HookSuggestionRunner& Hooks() { return Finishing().Hooks(); }
  fs::path ConfigFolder() { return fs::path(rig_->AppDir()) / "Config"; }
  std::string Cell(int row, SourceColumn column) { return rig_->List().Cell(row, column); }
  int64_t CellSeconds(int row, SourceColumn column) {
    return MarkerController::CellSeconds(rig_->List(), row, column, -1);
  }

  // The files in the list, in this order; the first row selected.
  void AddFiles(const QStringList& files) {
    wi::DropFiles(List()->viewport(), files);
    QTRY_COMPARE(rig_->List().RowCount(), static_cast<int>(files.size()));
    QTest::mouseClick(List()->viewport(), Qt::LeftButton, Qt::NoModifier,
                      wi::CellCentre(List(), 0, 1));
    QTRY_VERIFY(Wave()->isVisible());
  }
  void SelectBothRows() {
    QTest::mouseClick(List()->viewport(), Qt::LeftButton, Qt::NoModifier,
                      wi::CellCentre(List(), 0, 1));
    QTest::mouseClick(List()->viewport(), Qt::LeftButton, Qt::ShiftModifier,
                      wi::CellCentre(List(), 1, 1));
    QCOMPARE(rig_->List().SelectedRows().size(), std::size_t{2});
  }
  // Opens the finishing settings by F6 or the toolbar's button.
  FinishingForm* OpenSettings(bool by_key) {
    if (by_key) {
      wi::PressOnWindow(&Form(), Qt::Key_F6);
    } else {
      QTest::mouseClick(Wave()->FinishingButton(), Qt::LeftButton);
    }
    FinishingForm* window = Finishing().Form();
    if (window == nullptr) return nullptr;
    if (!QTest::qWaitFor([&] { return window->isVisible(); })) return nullptr;
    return window;
  }
  // "Normalize loudness" clicked in the finishing settings, OK, then the
  // Options window opened.
  void ToggleLoudnessThenOpenOptions() {
    FinishingForm* window = OpenSettings(true);
    QVERIFY(window != nullptr);
    ClickCheckBox(window->chkNormalizeLoudness);
    QTest::mouseClick(window->btnOk, Qt::LeftButton);
    QTRY_VERIFY(!window->isVisible());
    wi::PressOnWindow(&Form(), Qt::Key_I, Qt::ControlModifier);
    QTRY_VERIFY(Form().frmOption->isVisible());
  }
  // Both synthetic songs in the list, both selected, and the hook asked for.
  void SuggestForBothSongs(bool by_key) {
    AddFiles({songs_[0], songs_[1]});
    SelectBothRows();
    PressSuggest(by_key);
  }
  void PressSuggest(bool by_key) {
    if (by_key) {
      wi::PressOnWindow(&Form(), Qt::Key_F7);
    } else {
      QTest::mouseClick(Wave()->SuggestHookButton(), Qt::LeftButton);
    }
  }
  // `seconds` lies within 1.5 s (plus the rounding to whole seconds) of a
  // chorus start of song `song`.
  bool NearChorus(int song, int64_t seconds) {
    for (double start : choruses_[song]) {
      if (std::abs(static_cast<double>(seconds) - start) <= 2.0) return true;
    }
    return false;
  }

 private slots:
  void initTestCase() {
    tone_ = sounds_.filePath("tone.wav");
    list_test::MakeTone(tone_.toStdString(), 60.0);
    const synthetic_songs::SongPlan plans[2] = {{"pop.wav", 11, 120, "IVCVCBCO", 8},
                                                {"chorus_first.wav", 16, 96, "ICVCVCBCO", 8}};
    for (int i = 0; i < 2; ++i) {
      const synthetic_songs::Song song = synthetic_songs::Synthesize(plans[i]);
      choruses_[i] = song.chorus_starts;
      songs_[i] = QString::fromStdString(
          synthetic_songs::WriteSongFile(sounds_.path().toStdString(), plans[i].name, song));
    }
  }

  void init() {
    rig_ = std::make_unique<AppRig>();
    QVERIFY(QTest::qWaitForWindowExposed(&Form()));
    Form().activateWindow();
  }

  void cleanup() { rig_.reset(); }

  void settingsAreKeptOnOkOnly_data() {
    QTest::addColumn<bool>("byKey");  // F6, else the toolbar's button
    QTest::addColumn<bool>("ok");     // OK, else Cancel
    QTest::newRow("F6, OK") << true << true;
    QTest::newRow("button, OK") << false << true;
    QTest::newRow("F6, Cancel") << true << false;
    QTest::newRow("button, Cancel") << false << false;
  }
  void settingsAreKeptOnOkOnly() {
    QFETCH(bool, byKey);
    QFETCH(bool, ok);
    AddFiles({tone_});  // the toolbar shows with a song
    FinishingForm* window = OpenSettings(byKey);
    QVERIFY(window != nullptr);
    QCOMPARE(window->spnFadeIn->value(), 0.0);
    QCOMPARE(window->spnLoudnessTarget->value(), -14.0);
    QVERIFY(!window->spnLoudnessTarget->isEnabled());
    TypeIntoSpin(window->spnFadeIn, "2.5");
    TypeIntoSpin(window->spnFadeOut, "4.3");
    ClickCheckBox(window->chkNormalizeLoudness);
    QVERIFY(window->spnLoudnessTarget->isEnabled());
    TypeIntoSpin(window->spnLoudnessTarget, "-16");
    QTest::mouseClick(ok ? window->btnOk : window->btnCancel, Qt::LeftButton);
    QTRY_VERIFY(!window->isVisible());

    const FinishingSettings stored = ReadFinishingSettings(rig_->AppDir());
    const FinishingSettings& used = Proc().Finishing;
    QCOMPARE(fs::exists(ConfigFolder() / "Finishing.ini"), ok);
    for (const FinishingSettings* settings : {&stored, &used}) {
      QCOMPARE(settings->FadeInSeconds, ok ? 2.5 : 0.0);
      QCOMPARE(settings->FadeOutSeconds, ok ? 4.3 : 0.0);
      QCOMPARE(settings->NormalizeLoudness, ok);
      QCOMPARE(settings->LoudnessTarget, ok ? -16.0 : -14.0);
    }
    // Opened again, the window shows the settings in use.
    window = OpenSettings(true);
    QVERIFY(window != nullptr);
    QCOMPARE(window->spnFadeOut->value(), ok ? 4.3 : 0.0);
    QTest::keyClick(window, Qt::Key_Escape);
    QTRY_VERIFY(!window->isVisible());
  }

  // F6 works with an empty list too, where the view (and its toolbar) is hidden.
  void f6OpensTheSettingsWithoutASong() {
    QVERIFY(!Wave()->isVisible());
    QVERIFY(OpenSettings(true) != nullptr);
  }

  void aFileThatCannotBeWrittenIsReported() {
    // A folder where the file should be: it cannot be written.
    fs::create_directories(ConfigFolder() / "Finishing.ini");
    FinishingForm* window = OpenSettings(true);
    QVERIFY(window != nullptr);
    TypeIntoSpin(window->spnFadeIn, "3");
    auto answer = ModalAnswer::PressButton(QMessageBox::Ok);
    QTest::mouseClick(window->btnOk, Qt::LeftButton);
    QVERIFY(answer->Answered());
    QVERIFY(answer->Seen().text.contains("Finishing.ini"));
    QVERIFY(window->isVisible());  // the values stay to be tried again
    QCOMPARE(window->spnFadeIn->value(), 3.0);
    QCOMPARE(Proc().Finishing.FadeInSeconds, 0.0);
  }

  void loudnessShowsTheVolumeListOverridden() {
    TfrmOption* options = Form().frmOption;
    QComboBox* volume = options->cbbAudioVolumeGain;
    // A volume chosen in the Options window first.
    wi::PressOnWindow(&Form(), Qt::Key_I, Qt::ControlModifier);
    QTRY_VERIFY(options->isVisible());
    QVERIFY(volume->isEnabled());
    const QString tip = volume->toolTip();
    volume->setFocus();
    QTest::keyClick(volume, Qt::Key_Down);
    const int chosen = volume->currentIndex();
    QTest::mouseClick(options->btnApply, Qt::LeftButton);
    QTRY_VERIFY(!options->isVisible());
    const auto files_before = FolderBytes(ConfigFolder());

    ToggleLoudnessThenOpenOptions();
    auto* note = options->findChild<QLabel*>("lblVolumeOverridden");
    QVERIFY(note != nullptr);
    QVERIFY(!volume->isEnabled());
    QVERIFY(note->isVisible());
    QCOMPARE(note->text(), QString("Normalize loudness (-14 LUFS) replaces the volume"));
    QCOMPARE(volume->toolTip(), note->text());
    QCOMPARE(volume->currentIndex(), chosen);
    QTest::mouseClick(options->btnApply, Qt::LeftButton);
    QTRY_VERIFY(!options->isVisible());
    // Only the finishing file is new; the other settings keep their bytes.
    auto files_after = FolderBytes(ConfigFolder());
    QVERIFY(files_after.erase("Finishing.ini") == 1);
    QVERIFY(files_after == files_before);

    // Off again: the list looks as before.
    ToggleLoudnessThenOpenOptions();
    QVERIFY(volume->isEnabled());
    QVERIFY(!note->isVisible());
    QCOMPARE(volume->toolTip(), tip);
    QCOMPARE(volume->currentIndex(), chosen);
  }

  // The settings in use (read at start-up after the windows are made) are
  // shown as the Options window opens, whoever set them.
  void settingsInUseShowAsTheOptionsWindowOpens() {
    FinishingSettings settings;
    settings.NormalizeLoudness = true;
    settings.LoudnessTarget = -20;
    Proc().Finishing = settings;
    wi::PressOnWindow(&Form(), Qt::Key_I, Qt::ControlModifier);
    QTRY_VERIFY(Form().frmOption->isVisible());
    QVERIFY(!Form().frmOption->cbbAudioVolumeGain->isEnabled());
    QCOMPARE(Form().frmOption->cbbAudioVolumeGain->toolTip(),
             QString("Normalize loudness (-20 LUFS) replaces the volume"));
  }

  void suggestsTheHookOfEachSelectedRow_data() {
    QTest::addColumn<bool>("byKey");  // F7, else the toolbar's button
    QTest::newRow("F7") << true;
    QTest::newRow("button") << false;
  }
  void suggestsTheHookOfEachSelectedRow() {
    QFETCH(bool, byKey);
    int ticks_while_running = 0;
    QTimer ticker;
    connect(&ticker, &QTimer::timeout, [&] { ticks_while_running += Hooks().Running() ? 1 : 0; });
    ticker.start(5);
    SuggestForBothSongs(byKey);
    // The command returned at once: the analysis runs elsewhere, with the busy look.
    QVERIFY(Hooks().Running());
    QVERIFY(!Wave()->SuggestHookButton()->isEnabled());
    QCOMPARE(Wave()->SuggestHookButton()->text(), QString("1/2…"));
    QCOMPARE(Wave()->SuggestHookButton()->toolTip(), QString("Suggesting 1/2…"));
    QVERIFY(QApplication::overrideCursor() != nullptr);
    QCOMPARE(QApplication::overrideCursor()->shape(), Qt::WaitCursor);
    QTRY_VERIFY_WITH_TIMEOUT(!Hooks().Running(), 60000);
    QVERIFY(ticks_while_running > 0);
    QVERIFY(Wave()->SuggestHookButton()->isEnabled());
    QCOMPARE(Wave()->SuggestHookButton()->text(), QString("Hook"));
    QCOMPARE(Wave()->SuggestHookButton()->toolTip(), QString("Suggest the hook (F7)"));
    QVERIFY(QApplication::overrideCursor() == nullptr);

    for (int row = 0; row < 2; ++row) {
      const int64_t start = CellSeconds(row, SourceColumn::StartTime);
      const int64_t end = CellSeconds(row, SourceColumn::EndTime);
      QVERIFY2(NearChorus(row, start),
               qPrintable(QString("row %1 starts at %2").arg(row).arg(start)));
      QCOMPARE(end - start, int64_t{30});  // a new row's part is the whole song
      QCOMPARE(CellSeconds(row, SourceColumn::ConvertDuration), int64_t{30});
    }
    // The view and the marker show the last selected row's new part.
    const int64_t start = CellSeconds(1, SourceColumn::StartTime);
    const int64_t end = CellSeconds(1, SourceColumn::EndTime);
    QTRY_COMPARE(Wave()->Part().start, start);
    QCOMPARE(Wave()->Part().end, end);
    const int64_t duration = Proc().Marker.MarkerDuration;
    QVERIFY(std::abs(Form().MarkerBar()->StartImageWidth() -
                     sm::StartImageWidthFor(start, duration)) <= 1);
    QVERIFY(std::abs(Form().MarkerBar()->EndImageWidth() - sm::EndImageWidthFor(end, duration)) <=
            2);
  }

  // A part of at least 5 s keeps its length; a shorter one becomes 30 s.
  void keepsTheLengthOfAChosenPart_data() {
    QTest::addColumn<int>("chosen");  // seconds of the part typed first
    QTest::addColumn<int>("length");  // of the suggested part
    QTest::newRow("12 s kept") << 12 << 12;
    QTest::newRow("5 s kept") << 5 << 5;
    QTest::newRow("3 s becomes 30") << 3 << 30;
  }
  void keepsTheLengthOfAChosenPart() {
    QFETCH(int, chosen);
    QFETCH(int, length);
    AddFiles({songs_[0]});
    const int kEnd = static_cast<int>(SourceColumn::EndTime);
    QVERIFY(wi::TypeIntoCell(List(), 0, kEnd,
                             QString::fromStdString(TCommonLib::SecondsToTimeText(chosen))));
    PressSuggest(true);
    QTRY_VERIFY_WITH_TIMEOUT(!Hooks().Running(), 60000);
    const int64_t start = CellSeconds(0, SourceColumn::StartTime);
    QCOMPARE(CellSeconds(0, SourceColumn::EndTime) - start, int64_t{length});
    QVERIFY(NearChorus(0, start));
  }

  void rowsRemovedMeanwhileTakeNothing_data() {
    QTest::addColumn<bool>("clearAll");  // Ctrl+L, else Delete on the first row
    QTest::newRow("list cleared") << true;
    QTest::newRow("first row removed") << false;
  }
  void rowsRemovedMeanwhileTakeNothing() {
    QFETCH(bool, clearAll);
    SuggestForBothSongs(true);
    QVERIFY(Hooks().Running());
    if (clearAll) {
      wi::PressOnWindow(&Form(), Qt::Key_L, Qt::ControlModifier);
    } else {
      QTest::mouseClick(List()->viewport(), Qt::LeftButton, Qt::NoModifier,
                        wi::CellCentre(List(), 0, 1));
      QTest::keyClick(List(), Qt::Key_Delete);
    }
    QCOMPARE(rig_->List().RowCount(), clearAll ? 0 : 1);
    QTRY_VERIFY_WITH_TIMEOUT(!Hooks().Running(), 60000);
    if (clearAll) {
      QCOMPARE(rig_->List().RowCount(), 0);
      return;
    }
    // The row left is the second song's, and it took its own suggestion.
    QCOMPARE(QString::fromStdString(Cell(0, SourceColumn::FileName)), songs_[1]);
    QVERIFY(NearChorus(1, CellSeconds(0, SourceColumn::StartTime)));
  }

  void aSongThatCannotBeReadKeepsItsPart() {
    const QString doomed = sounds_.filePath("doomed.wav");
    QVERIFY(QFile::copy(tone_, doomed));
    AddFiles({doomed, songs_[0]});
    const std::string part_before =
        Cell(0, SourceColumn::StartTime) + Cell(0, SourceColumn::EndTime);
    QVERIFY(QFile::remove(doomed));
    SelectBothRows();
    auto answer = ModalAnswer::PressButton(QMessageBox::Ok);
    PressSuggest(true);
    QTRY_VERIFY_WITH_TIMEOUT(!Hooks().Running(), 60000);
    QTRY_VERIFY(answer->Answered());
    QVERIFY(answer->Seen().text.contains("doomed.wav"));
    QCOMPARE(Cell(0, SourceColumn::StartTime) + Cell(0, SourceColumn::EndTime), part_before);
    QVERIFY(NearChorus(0, CellSeconds(1, SourceColumn::StartTime)));
  }

  // Closing the program while songs are analysed ends the analyses and
  // neither hangs nor writes into a list that is gone.
  void closingWhileSuggestingEndsCleanly() {
    SuggestForBothSongs(true);
    QVERIFY(Hooks().Running());
    rig_.reset();
    QCoreApplication::processEvents();
    QVERIFY(rig_ == nullptr);
  }
};

TONBRIX_QTEST_MAIN(FinishingJourneyTest)
#include "FinishingJourneyTest.moc"
