// A person's journeys through the main window exactly as the program builds
// it (program folder with the real evc.exe and companions, the splash and the
// show handler's set-up): the five steps of making a ringtone with the mouse
// and the keyboard sent to the real child widgets (the open dialog and a
// drop, Play/Pause/Stop, both handles dragged and both cells typed into, the
// output type and the Options window by keyboard, Convert, Stop, the progress
// window's close box), and the faults once found on that path: typed times,
// an empty part, rows dragged back onto the window, the header's tick box,
// what happens without a browser or file manager, maximising, and the
// progress window's keys. Offscreen platform, silent audio output.
#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QFileDialog>
#include <QLabel>
#include <QMimeData>
#include <QProgressBar>
#include <QPushButton>
#include <QStatusBar>
#include <QTemporaryDir>
#include <QTimer>
#include <QtTest>
#include <functional>

#include "../list/ListFixtures.h"
#include "AppRig.h"
#include "InitFileForm.h"
#include "MarkerBar.h"
#include "ModalAnswer.h"
#include "PictureButton.h"
#include "ProbeFile.h"
#include "SourceListView.h"
#include "UnitCustomProc.h"
#include "Unit_Converting.h"
#include "Unit_Option.h"
#include "WindowInput.h"

namespace wi = window_input;

namespace {

constexpr int kStart = static_cast<int>(SourceColumn::StartTime);
constexpr int kEnd = static_cast<int>(SourceColumn::EndTime);

// Runs `step` once the predicate holds, polled every 20 ms while the code
// under test runs its own event loops (a modal dialog, the batch).
class WhenReady : public QObject {
 public:
  WhenReady(std::function<bool()> ready, std::function<void()> step)
      : ready_(std::move(ready)), step_(std::move(step)) {
    connect(&timer_, &QTimer::timeout, this, [this] {
      if (done_ || !ready_()) return;
      done_ = true;
      timer_.stop();
      step_();
    });
    timer_.start(20);
  }
  bool Done() const { return done_; }

 private:
  std::function<bool()> ready_;
  std::function<void()> step_;
  QTimer timer_;
  bool done_ = false;
};

QStringList LogLines(const std::string& app_dir, const QString& marker) {
  QFile log(QString::fromStdString(app_dir) + "log.txt");
  QStringList lines;
  if (!log.open(QIODevice::ReadOnly)) return lines;
  for (const QString& line : QString::fromUtf8(log.readAll()).split("\r\n")) {
    const int at = line.indexOf(marker);
    if (at >= 0) lines << line.mid(at + marker.size());
  }
  return lines;
}

}  // namespace

class MainWindowJourneyTest : public QObject {
  Q_OBJECT

 private:
  QTemporaryDir sounds_;
  std::unique_ptr<QTemporaryDir> output_;  // a new one for every journey
  std::unique_ptr<AppRig> rig_;
  QString song_;   // 3 minutes
  QString short_;  // 12 seconds
  QString long_;   // 10 minutes: still converting when Stop comes

  TFrmMainForm& Form() { return rig_->Form(); }
  TSourceListView* View() { return Form().dxTreeSourceFileInfo; }
  SourceFileList& List() { return rig_->List(); }
  QString Cell(int row, SourceColumn column) {
    return QString::fromStdString(List().Cell(row, column));
  }

  // Adds files the way a drop from a file manager does.
  void DropFiles(const QStringList& files) { wi::DropFiles(View()->viewport(), files); }

  // Clicks a row of the list (its File Name cell).
  void ClickRow(int row) {
    QTest::mouseClick(View()->viewport(), Qt::LeftButton, Qt::NoModifier,
                      wi::CellCentre(View(), row, 1));
  }

  // Chooses the output folder through its button and the folder browser.
  void ChooseOutputFolder(const QString& folder) {
    wi::FileDialogAnswer answer(folder);
    wi::PressOnWindow(&Form(), Qt::Key_B, Qt::ControlModifier);
    QVERIFY(answer.Chosen());
    QCOMPARE(Form().edtOutputFolder->text(), folder);
  }

  // Presses Convert with Ctrl+S; returns once the batch has ended.
  void ConvertByKey() { wi::PressOnWindow(&Form(), Qt::Key_S, Qt::ControlModifier); }

 private slots:
  void initTestCase() {
    song_ = sounds_.filePath("song.mp3");
    short_ = sounds_.filePath("short.wav");
    list_test::MakeTone(song_.toStdString(), 180.0, "libmp3lame");
    list_test::MakeTone(short_.toStdString(), 12.0);
    long_ = sounds_.filePath("long.mp3");
    list_test::MakeTone(long_.toStdString(), 600.0, "libmp3lame");
  }

  void init() {
    output_ = std::make_unique<QTemporaryDir>();
    rig_ = std::make_unique<AppRig>();
    QVERIFY(QTest::qWaitForWindowExposed(&Form()));
    Form().activateWindow();
    // Nothing opens the output folder unless a journey wants it.
    Form().chkShowOutputDirectory->setChecked(false);
  }

  void cleanup() { rig_.reset(); }

  // Start-up hands the controller every collaborator the window provides:
  // with no handler run yet, the preview, the marker, the profiles and the
  // batch all work, and Convert on an empty list reaches the batch (its own
  // message, not a failure) and leaves the window usable.
  void startUpConnectsEveryCollaborator() {
    TCustomProc& proc = *rig_->context->CustomProc;
    try {
      proc.SyncMarkerToSelection();
      proc.StopPreview();
      proc.SourceFileInfoEdited();
      proc.ApplyProfile();
      proc.SaveUserSettings();
    } catch (const std::exception& error) {
      QFAIL(error.what());
    }
    auto answer = ModalAnswer::PressButton(QMessageBox::Ok);
    ConvertByKey();
    QVERIFY(answer->Answered());
    QCOMPARE(answer->Seen().text,
             QString("Please add media files you want to convert into the list."));
    QVERIFY(Form().isEnabled());
    // The first thing a person does is served at once: a drop adds the row
    // and places the marker on it.
    DropFiles({short_});
    QCOMPARE(List().RowCount(), 1);
    QTRY_VERIFY(proc.Marker.MarkerReady);
  }

  // Step 1: the open dialog (Ctrl+O), a file name typed, the busy window.
  void addThroughTheOpenDialog() {
    wi::FileDialogAnswer choose(song_);
    wi::PressOnWindow(&Form(), Qt::Key_O, Qt::ControlModifier);
    QVERIFY(choose.Chosen());
    QTRY_COMPARE(List().RowCount(), 1);
    QCOMPARE(Cell(0, SourceColumn::FileName), song_);
    QCOMPARE(Cell(0, SourceColumn::Duration), QString("00:03:00"));
    QCOMPARE(Cell(0, SourceColumn::StartTime), QString("00:00:00"));
    QCOMPARE(Cell(0, SourceColumn::EndTime), QString("00:03:00"));
    QVERIFY(List().IsSelected(0));
    QTRY_COMPARE(Form().MarkerBar()->WaveformFile(), song_);
  }

  // Step 1 again: a drop from a file manager; the same file twice is one row.
  void addByDropping() {
    DropFiles({song_, short_});
    QCOMPARE(List().RowCount(), 2);
    DropFiles({short_});
    QCOMPARE(List().RowCount(), 2);
    QCOMPARE(Cell(1, SourceColumn::Duration), QString("00:00:12"));
  }

  // Step 2: Play, Pause and Stop by their shortcuts.
  void listen() {
    DropFiles({short_});
    ClickRow(0);
    wi::PressOnWindow(&Form(), Qt::Key_P, Qt::ControlModifier);
    QTRY_VERIFY(rig_->context->CustomProc->IsPlaying);
    QTRY_VERIFY_WITH_TIMEOUT(Form().pnlCurTime->text() != "00:00:00", 5000);
    wi::PressOnWindow(&Form(), Qt::Key_U, Qt::ControlModifier);
    QVERIFY(!rig_->context->CustomProc->IsPlaying);
    wi::PressOnWindow(&Form(), Qt::Key_T, Qt::ControlModifier);
    QVERIFY(rig_->context->CommonLib->PreviewFile.empty());
  }

  // Step 3, typed: the editor opens with its text selected and wide enough
  // for "00:00:00"; typing replaces it; Return or Tab commits a whole time.
  void typeStartAndEndTimes_data() {
    QTest::addColumn<int>("column");
    QTest::addColumn<QString>("typed");
    QTest::addColumn<int>("end");  // Qt::Key that ends the edit
    QTest::addColumn<QString>("start");
    QTest::addColumn<QString>("endTime");
    QTest::addColumn<QString>("cut");
    QTest::newRow("start, Return") << kStart << "00:00:30" << int(Qt::Key_Return) << "00:00:30"
                                   << "00:03:00"
                                   << "00:02:30";
    QTest::newRow("start, Tab") << kStart << "00:01:05" << int(Qt::Key_Tab) << "00:01:05"
                                << "00:03:00"
                                << "00:01:55";
    QTest::newRow("end, Return") << kEnd << "00:02:00" << int(Qt::Key_Return) << "00:00:00"
                                 << "00:02:00"
                                 << "00:02:00";
    QTest::newRow("short form") << kStart << "1:30" << int(Qt::Key_Return) << "00:01:30"
                                << "00:03:00"
                                << "00:01:30";
    QTest::newRow("Escape keeps the cell")
        << kStart << "00:00:30" << int(Qt::Key_Escape) << "00:00:00"
        << "00:03:00"
        << "00:03:00";
    QTest::newRow("end past the song") << kEnd << "00:09:00" << int(Qt::Key_Return) << "00:00:00"
                                       << "00:03:00"
                                       << "00:03:00";
  }
  void typeStartAndEndTimes() {
    QFETCH(int, column);
    QFETCH(QString, typed);
    QFETCH(int, end);
    DropFiles({song_});
    QLineEdit* editor = wi::OpenCellEditor(View(), 0, column);
    QVERIFY(editor != nullptr);
    QCOMPARE(editor->selectedText(), editor->text());
    // The cursor stands at the end, and the first digit is not scrolled out
    // of sight.
    QCOMPARE(editor->cursorPosition(), editor->text().size());
    QCOMPARE(editor->cursorPositionAt(editor->contentsRect().topLeft() + QPoint(3, 5)), 0);
    QTest::keyClicks(editor, typed);
    QCOMPARE(editor->text(), typed);
    QTest::keyClick(editor, Qt::Key(end));
    QFETCH(QString, start);
    QFETCH(QString, endTime);
    QFETCH(QString, cut);
    QTRY_COMPARE(Cell(0, SourceColumn::StartTime), start);
    QTRY_COMPARE(Cell(0, SourceColumn::EndTime), endTime);
    QTRY_COMPARE(Cell(0, SourceColumn::ConvertDuration), cut);
  }

  // A time that is not one is refused with a reason, and nothing changes.
  void typeATimeThatIsNotOne_data() {
    QTest::addColumn<int>("column");
    QTest::addColumn<QString>("typed");
    QTest::newRow("seconds past 59") << kStart << "00:00:75";
    QTest::newRow("minutes past 59") << kEnd << "00:75:00";
    QTest::newRow("half typed") << kEnd << "00:";
  }
  void typeATimeThatIsNotOne() {
    QFETCH(int, column);
    QFETCH(QString, typed);
    DropFiles({song_});
    const QString start = Cell(0, SourceColumn::StartTime);
    const QString end = Cell(0, SourceColumn::EndTime);
    auto answer = ModalAnswer::PressButton(QMessageBox::Ok);
    QVERIFY(wi::TypeIntoCell(View(), 0, column, typed));
    QTRY_VERIFY(answer->Answered());
    QVERIFY2(answer->Seen().text.contains("hh:mm:ss"), qPrintable(answer->Seen().text));
    QCOMPARE(Cell(0, SourceColumn::StartTime), start);
    QCOMPARE(Cell(0, SourceColumn::EndTime), end);
    QCOMPARE(Cell(0, SourceColumn::ConvertDuration), QString("00:03:00"));
  }

  // A cleared cell is the start or the end of the song.
  void clearACell() {
    DropFiles({song_});
    QVERIFY(wi::TypeIntoCell(View(), 0, kStart, "00:01:00"));
    QVERIFY(wi::TypeIntoCell(View(), 0, kEnd, "00:02:00"));
    QLineEdit* editor = wi::OpenCellEditor(View(), 0, kStart);
    QVERIFY(editor != nullptr);
    QTest::keyClick(editor, Qt::Key_Delete);
    QTest::keyClick(editor, Qt::Key_Return);
    QTRY_COMPARE(Cell(0, SourceColumn::StartTime), QString("00:00:00"));
    editor = wi::OpenCellEditor(View(), 0, kEnd);
    QVERIFY(editor != nullptr);
    QTest::keyClick(editor, Qt::Key_Backspace);
    QTest::keyClick(editor, Qt::Key_Return);
    QTRY_COMPARE(Cell(0, SourceColumn::EndTime), QString("00:03:00"));
  }

  // The part never comes out empty or backwards, whatever the handles or the
  // cells do; the engine gets at least a second.
  void partNeverEmpty() {
    DropFiles({song_});
    ClickRow(0);
    // The end handle dragged onto the start handle.
    wi::DragHandle(Form().Splitter2, -300);
    QVERIFY(Cell(0, SourceColumn::StartTime) < Cell(0, SourceColumn::EndTime));
    QCOMPARE(Cell(0, SourceColumn::ConvertDuration), QString("00:00:01"));
    // The start handle dragged onto it from the other side.
    wi::DragHandle(Form().Splitter2, 300);
    wi::DragHandle(Form().Splitter1, 300);
    QVERIFY(Cell(0, SourceColumn::StartTime) < Cell(0, SourceColumn::EndTime));
    QCOMPARE(Cell(0, SourceColumn::ConvertDuration), QString("00:00:01"));
    // A typed end before the start.
    QVERIFY(wi::TypeIntoCell(View(), 0, kStart, "00:02:00"));
    QVERIFY(wi::TypeIntoCell(View(), 0, kEnd, "00:01:00"));
    QCOMPARE(Cell(0, SourceColumn::StartTime), QString("00:02:00"));
    QCOMPARE(Cell(0, SourceColumn::EndTime), QString("00:02:01"));
    QCOMPARE(Cell(0, SourceColumn::ConvertDuration), QString("00:00:01"));
  }

  // Step 3 with the handles, steps 4 and 5: a marked part converted to AMR
  // with the keyboard; the ringtone lasts exactly the Cut Time.
  void markPickAndConvert() {
    DropFiles({song_});
    ClickRow(0);
    wi::DragHandle(Form().Splitter1, 40);
    wi::DragHandle(Form().Splitter2, -150);
    QVERIFY(wi::TypeIntoCell(View(), 0, kEnd, "00:01:00"));
    QVERIFY(wi::TypeIntoCell(View(), 0, kStart, "00:00:50"));
    QCOMPARE(Cell(0, SourceColumn::ConvertDuration), QString("00:00:10"));

    // The output type by keyboard: the combo box shows it has the focus.
    QComboBox* types = Form().cbbOutputFiletype;
    types->setFocus(Qt::TabFocusReason);
    QVERIFY(types->hasFocus());
    QTest::keyClick(types, Qt::Key_Down);
    QCOMPARE(types->currentIndex(), 1);  // AMR
    // The quality by keyboard too: Normal, then one step up.
    QComboBox* profile = Form().cbbProfile;
    QCOMPARE(profile->currentText(), QString("Normal Quality"));
    profile->setFocus(Qt::TabFocusReason);
    QTest::keyClick(profile, Qt::Key_Down);
    QCOMPARE(profile->currentText(), QString("Excellent Quality"));
    ChooseOutputFolder(output_->path());

    ConvertByKey();
    const QStringList parameters = LogLines(rig_->AppDir(), "|parameter: ");
    QCOMPARE(parameters.size(), 1);
    QVERIFY2(parameters[0].contains("-ss 00:00:50 -t 10"), qPrintable(parameters[0]));
    QVERIFY2(parameters[0].contains("-acodec amr_nb ") && parameters[0].contains(" -ab 192 "),
             qPrintable(parameters[0]));
    const QString ringtone = output_->filePath("song.amr");
    QVERIFY(QFile::exists(ringtone));
    QCOMPARE(qRound(ProbeFile(ringtone).duration), 10);
    QVERIFY(Form().isEnabled());
    QVERIFY(!Form().frmConverting->isVisible());
  }

  // The Options window by keyboard: Ctrl+I opens it, Tab moves, Esc cancels,
  // Enter is OK.
  void optionsWindowByKeyboard() {
    TfrmOption* options = Form().frmOption;
    wi::PressOnWindow(&Form(), Qt::Key_I, Qt::ControlModifier);
    QTRY_VERIFY(options->isVisible());
    QVERIFY(QTest::qWaitForWindowActive(options));
    QWidget* first = QApplication::focusWidget();
    QTest::keyClick(options, Qt::Key_Tab);
    QVERIFY(QApplication::focusWidget() != first);
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Escape);
    QTRY_VERIFY(!options->isVisible());
    wi::PressOnWindow(&Form(), Qt::Key_I, Qt::ControlModifier);
    QTRY_VERIFY(options->isVisible());
    QVERIFY(QTest::qWaitForWindowActive(options));
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Return);
    QTRY_VERIFY(!options->isVisible());
  }

  // Stop while the engine runs: no engine left, no partial ringtone, the
  // windows usable. Meanwhile the Options window stays usable and Escape on
  // the progress window does nothing.
  void stopWhileConverting() {
    DropFiles({long_});
    Form().cbbOutputFiletype->setCurrentIndex(4);  // M4A, slow enough to stop
    ChooseOutputFolder(output_->path());
    wi::PressOnWindow(&Form(), Qt::Key_I, Qt::ControlModifier);
    QTRY_VERIFY(Form().frmOption->isVisible());
    bool options_usable = false;
    bool escape_ignored = false;
    std::shared_ptr<ModalAnswer> no_box;
    std::shared_ptr<ModalAnswer> yes;
    WhenReady stop(
        [&] { return Form().frmConverting->isVisible() && rig_->EngineRunning(); },
        [&] {
          options_usable = Form().frmOption->isEnabled() && !Form().isEnabled();
          no_box = ModalAnswer::PressButton(QMessageBox::Yes, 500);
          QTest::keyClick(Form().frmConverting, Qt::Key_Escape);
          QTest::qWait(700);
          escape_ignored = !no_box->Answered() && Form().frmConverting->isVisible();
          yes = ModalAnswer::PressButton(QMessageBox::Yes);
          QTest::mouseClick(Form().frmConverting->btnStop, Qt::LeftButton);
        });
    ConvertByKey();
    QVERIFY(stop.Done());
    QVERIFY(options_usable);
    QVERIFY(escape_ignored);
    QVERIFY(yes->Answered());
    QCOMPARE(yes->Seen().text, QString("Are you sure you want to stop the work ? "));
    QTRY_VERIFY(!rig_->EngineRunning());
    const QStringList left = QDir(output_->path()).entryList(QDir::Files | QDir::Hidden);
    QVERIFY2(left.isEmpty(), qPrintable(left.join(", ")));
    QVERIFY(Form().isEnabled());
  }

  // Stop during the pause before a job's engine starts: that engine is not
  // started at all, and nothing is written.
  void stopBeforeTheEngineStarts() {
    DropFiles({short_});
    ChooseOutputFolder(output_->path());
    std::shared_ptr<ModalAnswer> yes;
    bool engine_seen = false;
    WhenReady stop([&] { return Form().frmConverting->isVisible(); },
                   [&] {
                     yes = ModalAnswer::PressButton(QMessageBox::Yes);
                     QTest::mouseClick(Form().frmConverting->btnStop, Qt::LeftButton);
                   });
    QTimer watch;
    connect(&watch, &QTimer::timeout, [&] { engine_seen |= rig_->EngineRunning(); });
    watch.start(20);
    ConvertByKey();
    QVERIFY(stop.Done());
    QVERIFY(yes->Answered());
    QVERIFY(!engine_seen);
    QVERIFY(QDir(output_->path()).entryList(QDir::Files | QDir::Hidden).isEmpty());
    QVERIFY(Form().isEnabled());
  }

  // The progress window's close box while converting: Yes ends the engine,
  // and the output folder is still shown (here: nothing can show it, so the
  // person is told where it is).
  void closeWhileConverting() {
    DropFiles({long_, short_});
    Form().cbbOutputFiletype->setCurrentIndex(4);
    ChooseOutputFolder(output_->path());
    Form().chkShowOutputDirectory->setChecked(true);
    rig_->launcher.Fails = true;
    std::shared_ptr<ModalAnswer> yes;
    std::shared_ptr<ModalAnswer> folder_box;
    WhenReady close(
        [&] { return Form().frmConverting->isVisible() && rig_->EngineRunning(); },
        [&] {
          yes = ModalAnswer::PressButton(QMessageBox::Yes);
          // The close box: the question runs (and is answered)
          // before this returns.
          Form().frmConverting->windowHandle()->close();
          folder_box = ModalAnswer::PressButton(QMessageBox::Ok, 30000);
        });
    ConvertByKey();
    QVERIFY(close.Done());
    QVERIFY(yes->Answered());
    QCOMPARE(yes->Seen().text, QString("Are you sure to stop processing ?"));
    QTRY_VERIFY(!rig_->EngineRunning());
    QTRY_VERIFY(folder_box->Answered());
    QVERIFY2(folder_box->Seen().text.contains(output_->path()),
             qPrintable(folder_box->Seen().text));
    QVERIFY(Form().isEnabled());
  }

  // The header's tick box ticks and unticks every row and shows the mixed
  // state.
  void headerTickBox() {
    DropFiles({song_, short_});
    QAbstractItemModel* model = View()->model();
    const auto header_state = [&] {
      return model->headerData(0, Qt::Horizontal, Qt::CheckStateRole).toInt();
    };
    QCOMPARE(header_state(), int(Qt::Checked));
    wi::ClickHeader(View(), 0);
    QCOMPARE(Cell(0, SourceColumn::CheckStatus), QString("False"));
    QCOMPARE(Cell(1, SourceColumn::CheckStatus), QString("False"));
    QCOMPARE(header_state(), int(Qt::Unchecked));
    // One row ticked by its own box: the header shows the mix.
    const QRect cell = View()->visualRect(model->index(1, 0));
    QStyleOptionViewItem option;
    option.initFrom(View()->viewport());
    option.rect = cell;
    option.features |= QStyleOptionViewItem::HasCheckIndicator;
    const QRect box =
        View()->style()->subElementRect(QStyle::SE_ItemViewItemCheckIndicator, &option, View());
    QTest::mouseClick(View()->viewport(), Qt::LeftButton, Qt::NoModifier, box.center());
    QCOMPARE(Cell(1, SourceColumn::CheckStatus), QString("True"));
    QCOMPARE(header_state(), int(Qt::PartiallyChecked));
    wi::ClickHeader(View(), 0);
    QCOMPARE(Cell(0, SourceColumn::CheckStatus), QString("True"));
    QCOMPARE(Cell(1, SourceColumn::CheckStatus), QString("True"));
    QCOMPARE(header_state(), int(Qt::Checked));
  }

  // Rows dragged out and dropped back on the main window leave the list,
  // exactly those, and are never added again; a drag offers copies at most.
  void rowsDroppedBackOnTheWindow() {
    DropFiles({song_, short_});
    ClickRow(1);
    QVERIFY(!(View()->model()->supportedDragActions() & Qt::MoveAction));
    const QModelIndexList dragged = View()->selectionModel()->selectedRows();
    QCOMPARE(dragged.size(), 1);
    std::unique_ptr<QMimeData> mime(View()->model()->mimeData(dragged));
    // Dropped on the settings area of the main window.
    QWidget* target = &Form();
    const QPoint at = Form().cbbProfile->geometry().center() + QPoint(0, 40);
    QDragEnterEvent enter(at, Qt::CopyAction, mime.get(), Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(target, &enter);
    QDropEvent drop(at, Qt::CopyAction, mime.get(), Qt::LeftButton, Qt::NoModifier, QEvent::Drop);
    QApplication::sendEvent(target, &drop);
    QCOMPARE(List().RowCount(), 2);
    QVERIFY(!List().IsSelected(0));
    // The drag ends on the window: the dragged row leaves the list.
    Form().dxTreeSourceFileInfoEndDrag(target);
    QCOMPARE(List().RowCount(), 1);
    QCOMPARE(Cell(0, SourceColumn::FileName), song_);
  }

  // A real drag with the mouse: on this platform nothing takes the drop, so
  // the rows leave the list, and only the dragged ones.
  void dragRowsOutWithTheMouse() {
    DropFiles({song_, short_});
    ClickRow(0);
    const QPoint from = wi::CellCentre(View(), 0, 1);
    QTest::mousePress(View()->viewport(), Qt::LeftButton, Qt::NoModifier, from);
    for (int step = 1; step <= 6; ++step) {
      QTest::mouseMove(View()->viewport(), from + QPoint(step * 10, step * 10));
    }
    QTest::mouseRelease(View()->viewport(), Qt::LeftButton, Qt::NoModifier, from + QPoint(60, 60));
    QTRY_COMPARE(List().RowCount(), 1);
    QCOMPARE(Cell(0, SourceColumn::FileName), short_);
  }

  // Without a browser or file manager, each command says what could not be
  // opened and where it is.
  void nothingToOpenWith_data() {
    QTest::addColumn<int>("key");
    QTest::addColumn<QString>("button");  // clicked instead of a key when set
    QTest::addColumn<QString>("where");
    QTest::newRow("help (F1)") << int(Qt::Key_F1) << ""
                               << "Help.html";
    QTest::newRow("home page") << 0 << "btnHomePage"
                               << "";
    QTest::newRow("e-mail") << 0 << "btnEMail"
                            << "mailto:";
  }
  void nothingToOpenWith() {
    QFETCH(int, key);
    QFETCH(QString, button);
    QFETCH(QString, where);
    rig_->launcher.Fails = true;
    auto answer = ModalAnswer::PressButton(QMessageBox::Ok);
    if (button.isEmpty()) {
      wi::PressOnWindow(&Form(), Qt::Key(key));
    } else {
      QTest::mouseClick(Form().findChild<QWidget*>(button), Qt::LeftButton);
    }
    QVERIFY(answer->Answered());
    QCOMPARE(answer->Seen().icon, QMessageBox::Warning);
    QVERIFY(answer->Seen().text.startsWith("Tonbrix could not open"));
    QVERIFY2(answer->Seen().text.contains(where), qPrintable(answer->Seen().text));
    if (key == Qt::Key_F1) {
      QVERIFY(answer->Seen().text.contains(QString::fromStdString(rig_->AppDir()) + "Help.html"));
    }
  }

  // The frameless window has one size: a maximise leaves it as it is, and it
  // opens inside the screen.
  void notMaximisable() {
    const QSize size = Form().size();
    QCOMPARE(size, QSize(692, 519));
    const QRect screen = Form().screen()->availableGeometry();
    QVERIFY(screen.contains(Form().frameGeometry()));
    Form().showMaximized();
    QTest::qWait(100);
    QCOMPARE(Form().size(), size);
    QVERIFY(!(Form().windowState() & Qt::WindowMaximized));
    QCOMPARE(Form().btnWindowClose->geometry().right(), 675);
  }

  // The idle window has no timer waking it up to repaint the handles.
  void idleWindowWakesNothing() {
    DropFiles({song_});
    ClickRow(0);
    wi::DragHandle(Form().Splitter1, 30);
    QTRY_VERIFY(!Form().tmrPaintSP->isActive());
    QVERIFY(!Form().frmConverting->tmrChanging->isActive());
  }

  // Focus shows on the controls that take it, and combo boxes show their
  // arrow.
  void focusAndArrowsShow() {
    QComboBox* types = Form().cbbOutputFiletype;
    Form().cbbProfile->setFocus(Qt::TabFocusReason);
    QTRY_VERIFY(Form().cbbProfile->hasFocus());
    const QImage without = types->grab().toImage();
    types->setFocus(Qt::TabFocusReason);
    QTRY_VERIFY(types->hasFocus());
    const QImage with = types->grab().toImage();
    QVERIFY(without != with);
    // The arrow's pale stroke in the drop-down area at the right.
    bool arrow = false;
    for (int y = 0; y < with.height(); ++y) {
      for (int x = with.width() - 22; x < with.width(); ++x) {
        const QColor c = with.pixelColor(x, y);
        if (c.red() > 150 && c.green() > 160 && c.blue() > 180) arrow = true;
      }
    }
    QVERIFY(arrow);
  }

  // Last, since it ends the application: the power-off after a batch ends it
  // at once from the running message loop; no window is closed first, so
  // nothing is asked and the settings are not saved by the close handler.
  void powerOffEndsAtOnce() {
    DropFiles({short_});
    ChooseOutputFolder(output_->path());
    QVERIFY(wi::TypeIntoCell(View(), 0, kEnd, "00:00:02"));
    QTest::mouseClick(Form().chkShutdown, Qt::LeftButton);
    QVERIFY(Form().chkShutdown->isChecked());
    const QString settings = QString::fromStdString(rig_->AppDir()) + "Config/UserSettings.ini";
    QFile::remove(settings);
    auto no_box = ModalAnswer::PressButton(QMessageBox::Yes, 60000);
    QTimer give_up;
    give_up.setSingleShot(true);
    connect(&give_up, &QTimer::timeout, [] { QCoreApplication::exit(1); });
    give_up.start(120000);
    QTimer::singleShot(0, this, [this] { ConvertByKey(); });
    QCOMPARE(QApplication::exec(), 0);
    QCOMPARE(rig_->power.Requests, 1);
    QVERIFY(rig_->context->Terminated);
    QVERIFY(!no_box->Answered());
    QVERIFY(!QFile::exists(settings));
    QVERIFY(QFile::exists(output_->filePath("short.mp3")));
  }
};

TONBRIX_QTEST_MAIN(MainWindowJourneyTest)
#include "MainWindowJourneyTest.moc"
