// The preview and the marker bar in a started program's main window
// (offscreen, silent audio output): the bar's controls, handles dragged and
// images clicked with the mouse, typed times committed in the list, the Play,
// Pause and Stop buttons with one and two selected rows, and the waveform of
// the selected song behind the bar.
#include <QAbstractButton>
#include <QFile>
#include <QLabel>
#include <QProcess>
#include <QtTest>

#include "FfmpegMediaGraph.h"
#include "MarkerBar.h"
#include "PictureButton.h"
#include "PreviewTestSupport.h"
#include "QtUserInterface.h"
#include "ShellLauncher.h"
#include "SourceListView.h"
#include "TonbrixProgram.h"
#include "Unit_Convert.h"
#include "WindowInput.h"

namespace {

class NoLauncher : public ShellLauncher {
 public:
  bool OpenUrl(const QUrl&) override { return true; }
};

}  // namespace

class MainFormPreviewTest : public QObject {
  Q_OBJECT

 private slots:
  void initTestCase() {
    for (const char* name : {"Res.dll", "Form.dll", "Help.html"})
      QVERIFY(QFile::copy(QStringLiteral(TONBRIX_APP_DIR) + name, folder_.filePath(name)));
    context_ = std::make_unique<TApplicationContext>(folder_.path().toStdString() + "/",
                                                     TONBRIX_APP_DIR "tonbrix", ui_, launcher_);
    program_ = std::make_unique<TonbrixProgram>(
        *context_, std::make_unique<FfmpegMediaGraph>(FfmpegMediaGraph::Output::Silent));
    program_->ShowMainWindow();
    form_ = &program_->MainForm();
    QVERIFY(QTest::qWaitForWindowExposed(form_));
    song200_ = QString::fromStdString(preview_test::SoundFile(200, "mp3"));
    song20_ = QString::fromStdString(preview_test::SoundFile(20, "wav"));
  }

  void init() {
    form_->btnStopClick();
    form_->btnClearFileClick();
    QCOMPARE(List().RowCount(), 0);
    // The marker's times outlive the files; each test starts from none.
    context_->CustomProc->Marker.PreviewStartSeconds = 0;
    context_->CustomProc->Marker.EndMarkerText.clear();
  }

  void markerBarControls() {
    QCOMPARE(form_->Panel1->size(), QSize(260, 19));
    QCOMPARE(form_->Panel1->objectName(), QString("Panel1"));
    QCOMPARE(form_->Splitter1->parentWidget(), form_->Panel1);
    QCOMPARE(form_->Splitter1->width(), 19);
    QCOMPARE(form_->Splitter2->width(), 19);
    QCOMPARE(form_->Splitter1->cursor().shape(), Qt::PointingHandCursor);
    // The children tile the bar from left to right.
    QCOMPARE(form_->Panel2->x(), 0);
    QCOMPARE(form_->Splitter1->x(), form_->Panel2->width());
    QCOMPARE(form_->Panel4->x(), form_->Splitter1->x() + 19);
    QCOMPARE(form_->Splitter2->x(), form_->Panel4->x() + form_->Panel4->width());
    QCOMPARE(form_->Panel3->x() + form_->Panel3->width(), 260);
  }

  // The handle face is imgL with its black shown as the handle's colour.
  void handleFaceFromPicture() {
    const QImage face = form_->Splitter1->grab().toImage();
    const QColor corner = face.pixelColor(1, 1);
    QVERIFY(corner != QColor(Qt::black));
    bool black_left = false;
    for (int y = 0; y < face.height(); ++y)
      for (int x = 0; x < face.width(); ++x)
        if ((face.pixel(x, y) & 0xffffff) == 0) black_left = true;
    QVERIFY(!black_left);
  }

  void draggingTheStartHandle() {
    AddAndSelect({song200_});
    // The cleared list left both outer images 2 wide; the whole file is 1 or 2.
    QVERIFY(form_->Panel2->width() <= 2);
    QVERIFY(form_->Panel3->width() <= 2);
    DragStartTo(56);
    QCOMPARE(form_->Panel2->width(), 56);
    QCOMPARE(Cell(0, SourceColumn::StartTime), std::string("00:00:48"));
    QCOMPARE(Cell(0, SourceColumn::ConvertDuration), std::string("00:02:32"));
  }

  // Dragged past each other, the handles stop with one pixel between them.
  void handlesNeverPassEachOther() {
    AddAndSelect({song200_});
    window_input::DragHandle(form_->Splitter2, -150);
    const int end_left = form_->Splitter2->x();
    window_input::DragHandle(form_->Splitter1, 250);
    QCOMPARE(form_->Splitter1->x() + 19 + 1, end_left);
    QCOMPARE(form_->Panel4->width(), 1);
    window_input::DragHandle(form_->Splitter2, -100);
    QCOMPARE(form_->Splitter2->x(), end_left);
    QVERIFY(Cell(0, SourceColumn::StartTime) <= Cell(0, SourceColumn::EndTime));
  }

  void endHandleFullyRight() {
    AddAndSelect({song200_});
    DragEndTo(40);
    QCOMPARE(form_->Panel3->width(), 40);
    window_input::DragHandle(form_->Splitter2, 100);
    QCOMPARE(form_->Panel3->width(), 1);
    // The far right reads 101 percent; the end stays the end of the file.
    QCOMPARE(Cell(0, SourceColumn::EndTime), std::string("00:03:20"));
  }

  void clicksOnTheOuterImages_data() {
    QTest::addColumn<int>("modifiers");
    QTest::addColumn<int>("button");
    QTest::addColumn<int>("moved");
    QTest::newRow("ctrl") << int(Qt::ControlModifier) << int(Qt::LeftButton) << 1;
    QTest::newRow("shift") << int(Qt::ShiftModifier) << int(Qt::LeftButton) << 10;
    QTest::newRow("plain") << int(Qt::NoModifier) << int(Qt::LeftButton) << 5;
    QTest::newRow("right button") << int(Qt::NoModifier) << int(Qt::RightButton) << 0;
  }
  void clicksOnTheOuterImages() {
    QFETCH(int, modifiers);
    QFETCH(int, button);
    QFETCH(int, moved);
    AddAndSelect({song200_});
    DragStartTo(60);
    DragEndTo(60);
    QCOMPARE(form_->Panel2->width(), 60);
    QCOMPARE(form_->Panel3->width(), 60);
    const auto keys = Qt::KeyboardModifiers(modifiers);
    QTest::mouseClick(form_->Panel2, Qt::MouseButton(button), keys, QPoint(5, 9));
    QCOMPARE(form_->Panel2->width(), 60 - moved);
    QTest::mouseClick(form_->Panel3, Qt::MouseButton(button), keys, QPoint(5, 9));
    QCOMPARE(form_->Panel3->width(), 60 - moved);
    const int p = ((60 - moved - 3) * 121) / 260;
    QCOMPARE(Cell(0, SourceColumn::StartTime), TCommonLib::SecondsToTimeText(p * 200 / 100));
  }

  void clickOnANarrowImageDoesNothing() {
    AddAndSelect({song200_});
    DragStartTo(5);
    QCOMPARE(form_->Panel2->width(), 5);
    const std::string before = Cell(0, SourceColumn::StartTime);
    QTest::mouseClick(form_->Panel2, Qt::LeftButton, Qt::NoModifier, QPoint(2, 9));
    QCOMPARE(form_->Panel2->width(), 5);
    QCOMPARE(Cell(0, SourceColumn::StartTime), before);
  }

  // A committed edit in the list runs the typed-time rules; a cell that is no
  // time is reported once and the rows stay consistent.
  void typedTimesInTheList() {
    AddAndSelect({song200_, song20_});
    List().SetSelected(1, true);
    List().SetCell(1, SourceColumn::StartTime, "00:00:30");  // not by the person
    SetByPerson(0, SourceColumn::EndTime, "00:02:30");
    SetByPerson(0, SourceColumn::StartTime, "00:04:00");
    QCOMPARE(Cell(0, SourceColumn::StartTime), std::string("00:03:19"));
    QCOMPARE(Cell(0, SourceColumn::EndTime), std::string("00:03:20"));
    QCOMPARE(Cell(0, SourceColumn::ConvertDuration), std::string("00:00:01"));
    // Both selected rows were treated: the 20 s file keeps its last second.
    QCOMPARE(Cell(1, SourceColumn::StartTime), std::string("00:00:19"));
    QCOMPARE(Cell(1, SourceColumn::EndTime), std::string("00:00:20"));
    QCOMPARE(Cell(1, SourceColumn::ConvertDuration), std::string("00:00:01"));
  }

  void playPauseStop() {
    AddAndSelect({song20_});
    form_->btnPauseClick();  // nothing loaded: nothing
    QVERIFY(!form_->FilterGraph->Active());
    form_->btnPlay->click();
    QCOMPARE(context_->CommonLib->PreviewFile, song20_.toStdString());
    QVERIFY(context_->CustomProc->IsPlaying);
    QVERIFY(form_->panLogo->isHidden());
    QTRY_COMPARE_WITH_TIMEOUT(form_->pnlCurTime->text(), QString("00:00:01"), 3000);
    form_->btnPlay->click();  // playing: nothing
    QCOMPARE(form_->FilterGraph->State(), GraphState::Running);
    form_->btnPause->click();
    QCOMPARE(form_->FilterGraph->State(), GraphState::Paused);
    const QString frozen = form_->pnlCurTime->text();
    QTest::qWait(1300);
    QCOMPARE(form_->pnlCurTime->text(), frozen);
    form_->btnPause->click();  // paused: nothing
    QCOMPARE(form_->FilterGraph->State(), GraphState::Paused);
    form_->btnPlay->click();
    QCOMPARE(form_->FilterGraph->State(), GraphState::Running);
    form_->btnStop->click();
    QVERIFY(!form_->FilterGraph->Active());
    QCOMPARE(form_->pnlCurTime->text(), QString("00:00:00"));
    QVERIFY(!form_->panLogo->isHidden());
    form_->btnStop->click();  // stopped: the display stays
    QCOMPARE(form_->pnlCurTime->text(), QString("00:00:00"));
  }

  void playWithNothingSelectedDoesNothing() {
    form_->btnPlay->click();
    QVERIFY(!form_->FilterGraph->Active());
    QVERIFY(context_->CommonLib->PreviewFile.empty());
  }

  void twoSelectedRowsLeaveTheSecondPlaying() {
    AddAndSelect({song200_, song20_});
    List().SetSelected(1, true);
    form_->btnPlay->click();
    QCOMPARE(context_->CommonLib->PreviewFile, song20_.toStdString());
    QCOMPARE(form_->FilterGraph->State(), GraphState::Running);
  }

  // The start handle's time is where the next preview starts.
  void previewStartsAtTheStartHandle() {
    AddAndSelect({song200_});
    DragStartTo(56);  // 48 s
    form_->btnPlay->click();
    const int64_t position_ms = form_->FilterGraph->CurrentPosition() / 10000;
    QVERIFY2(position_ms >= 47900 && position_ms < 49500, std::to_string(position_ms).c_str());
    QTRY_COMPARE_WITH_TIMEOUT(form_->pnlCurTime->text(), QString("00:00:49"), 3000);
  }

  void waveformOfTheSelectedSong() {
    AddAndSelect({song200_});
    TMarkerBar* bar = form_->MarkerBar();
    QCOMPARE(bar->WaveformFile(), song200_);
    QTRY_VERIFY_WITH_TIMEOUT(bar->WaveformComplete(), 20000);
    QCOMPARE(bar->Waveform().size(), size_t(260 * TMarkerBar::kSlicesPerPixel));
    // The tone (at an eighth of full scale) is there in every slice.
    for (const PeakPair& p : bar->Waveform()) {
      QVERIFY2(p.max > 0.08f && p.max < 0.2f && p.min < -0.08f, std::to_string(p.max).c_str());
    }
    // The bar shows it: the middle of the segment is lit, not plain background.
    const QImage shown = form_->Panel1->grab().toImage();
    QVERIFY(shown.pixelColor(130, 9) != QColor(0x0b, 0x0e, 0x16));
    // Outside the segment the waveform is dimmed: darker than inside.
    DragStartTo(60);
    DragEndTo(70);
    const QImage marked = form_->Panel1->grab().toImage();
    // Columns in bar pixels; the picture has the screen's pixel ratio.
    const int ratio = marked.width() / 260;
    const auto brightness = [&marked, ratio](int from, int to) {
      int sum = 0;
      for (int x = from * ratio; x < to * ratio; ++x)
        for (int y = 0; y < marked.height(); ++y) sum += qGray(marked.pixel(x, y));
      return sum / (to - from);
    };
    QVERIFY(brightness(10, 50) * 2 < brightness(100, 150));
    QVERIFY(brightness(200, 250) * 2 < brightness(100, 150));
    // Under a real display, TONBRIX_PREVIEW_SHOT names a screenshot to take.
    const QByteArray shot = qgetenv("TONBRIX_PREVIEW_SHOT");
    if (!shot.isEmpty()) {
      form_->btnClearFileClick();
      AddAndSelect({QString::fromStdString(preview_test::SongFile())});
      QTRY_VERIFY_WITH_TIMEOUT(bar->WaveformComplete(), 20000);
      DragStartTo(62);
      DragEndTo(96);
      form_->btnPlay->click();
      QTest::qWait(2500);
      QProcess::execute("import", {"-window", "root", QString::fromUtf8(shot)});
    }
  }

  // Choosing another row while a waveform is computed is never held up, and
  // only the last chosen song's waveform is shown.
  void waveformFollowsTheSelection() {
    AddAndSelect({song200_, song20_});
    TMarkerBar* bar = form_->MarkerBar();
    QCOMPARE(bar->WaveformFile(), song200_);
    List().SetSelected(0, false);
    List().SetSelected(1, true);
    form_->actDxTreeListOnClickExecute();
    QCOMPARE(bar->WaveformFile(), song20_);
    QTRY_VERIFY_WITH_TIMEOUT(bar->WaveformComplete(), 20000);
    QCOMPARE(bar->WaveformFile(), song20_);
    QTest::qWait(300);
    QCOMPARE(bar->WaveformFile(), song20_);
    // Removing another song keeps it; once its own row is gone, it goes.
    List().SetSelected(1, false);
    List().SetSelected(0, true);
    form_->btnRemoveFileClick();
    QCOMPARE(bar->WaveformFile(), song20_);
    form_->btnClearFileClick();
    QVERIFY(bar->WaveformFile().isEmpty());
    QVERIFY(bar->Waveform().empty());
  }

 private:
  SourceFileList& List() { return form_->SourceFiles(); }
  std::string Cell(int row, SourceColumn column) { return List().Cell(row, column); }

  // Adds the files the way a drop does and selects the first row.
  void AddAndSelect(const QStringList& files) {
    form_->FormDropFiles(files);
    QCOMPARE(List().RowCount(), files.size());
    List().ClearSelection();
    List().SetSelected(0, true);
    form_->actDxTreeListOnClickExecute();
    QVERIFY(context_->CustomProc->Marker.MarkerReady);
  }

  // A cell edited and committed by the person, through the list's model.
  void SetByPerson(int row, SourceColumn column, const QString& text) {
    SourceListModel* model = form_->dxTreeSourceFileInfo->Model();
    QVERIFY(model->setData(model->index(row, static_cast<int>(column)), text, Qt::EditRole));
  }

  void DragStartTo(int a) {
    window_input::DragHandle(form_->Splitter1, a - form_->Panel2->width());
  }
  void DragEndTo(int b) { window_input::DragHandle(form_->Splitter2, form_->Panel3->width() - b); }

  QTemporaryDir folder_;
  QtUserInterface ui_;
  NoLauncher launcher_;
  std::unique_ptr<TApplicationContext> context_;
  std::unique_ptr<TonbrixProgram> program_;
  TFrmMainForm* form_ = nullptr;
  QString song200_;
  QString song20_;
};

QTEST_MAIN(MainFormPreviewTest)
#include "MainFormPreviewTest.moc"
