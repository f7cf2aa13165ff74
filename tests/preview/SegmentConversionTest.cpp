// A ringtone holds the segment the marker shows: the handles are dragged and
// nudged with the mouse in the main window, the batch converts with the real
// evc.exe, and the output's decoded length is the row's Cut Time.
#include <QCheckBox>
#include <QComboBox>
#include <QLineEdit>
#include <QProcess>
#include <QtTest>

#include "AppRig.h"
#include "MarkerBar.h"
#include "ModalAnswer.h"
#include "PreviewTestSupport.h"
#include "Unit_Convert.h"
#include "WindowInput.h"

namespace {

// The length of what the file decodes to (the AMR container's own estimate
// is off by half a second): decoded to 8 kHz mono 16-bit, bytes counted.
double DecodedSeconds(const QString& path) {
  QProcess ffmpeg;
  ffmpeg.start("ffmpeg", {"-v", "error", "-nostdin", "-i", path, "-ac", "1", "-ar", "8000", "-f",
                          "s16le", "-"});
  ffmpeg.waitForFinished(60000);
  return ffmpeg.readAllStandardOutput().size() / 16000.0;
}

}  // namespace

class SegmentConversionTest : public QObject {
  Q_OBJECT

 private slots:
  void convertedLengthIsTheCutTime_data() {
    QTest::addColumn<int>("outputType");
    QTest::addColumn<QString>("extension");
    QTest::addColumn<int>("startWidth");
    QTest::addColumn<int>("endWidth");
    QTest::addColumn<int>("shiftClicksLeft");
    QTest::addColumn<int>("ctrlClicksRight");
    QTest::addColumn<QString>("cut");
    // 60 s song. a = 60 reads 26 percent (15 s); b = 120 reads 46 percent (27 s).
    QTest::newRow("mp3, dragged") << 0 << "mp3" << 60 << 120 << 0 << 0 << "00:00:12";
    // Two Shift-clicks on the left image: a = 40 reads 17 percent (10 s); three
    // Ctrl-clicks on the right one: b = 117 reads 47 percent (28 s).
    QTest::newRow("amr, nudged") << 1 << "amr" << 60 << 120 << 2 << 3 << "00:00:18";
    // The end handle fully right is 101 percent: the end of the file.
    // a = 150 reads 68 percent (40 s).
    QTest::newRow("wav, to the end") << 6 << "wav" << 150 << 1 << 0 << 0 << "00:00:20";
  }
  void convertedLengthIsTheCutTime() {
    QFETCH(int, outputType);
    QFETCH(QString, extension);
    QFETCH(int, startWidth);
    QFETCH(int, endWidth);
    QFETCH(int, shiftClicksLeft);
    QFETCH(int, ctrlClicksRight);

    AppRig rig;
    QTemporaryDir output;
    TFrmMainForm& form = rig.Form();
    form.show();
    QVERIFY(QTest::qWaitForWindowExposed(&form));
    form.cbbOutputFiletype->setCurrentIndex(outputType);
    form.ApplyProfile();
    form.edtOutputFolder->setText(output.path());
    form.chkShowOutputDirectory->setChecked(false);
    form.chkShutdown->setChecked(false);

    const std::string song = preview_test::SoundFile(60, "mp3");
    rig.context->CommonLib->AddSourceFiles(rig.List(), {song});
    QCOMPARE(rig.List().RowCount(), 1);
    rig.List().ClearSelection();
    rig.List().SetSelected(0, true);
    form.actDxTreeListOnClickExecute();

    // The end handle first makes room, so the start can go anywhere.
    window_input::DragHandle(form.Splitter2, form.Panel3->width() - 50);
    window_input::DragHandle(form.Splitter1, startWidth - form.Panel2->width());
    window_input::DragHandle(form.Splitter2, form.Panel3->width() - endWidth);
    QCOMPARE(form.Panel2->width(), startWidth);
    QCOMPARE(form.Panel3->width(), endWidth);
    for (int i = 0; i < shiftClicksLeft; ++i)
      QTest::mouseClick(form.Panel2, Qt::LeftButton, Qt::ShiftModifier, QPoint(3, 9));
    for (int i = 0; i < ctrlClicksRight; ++i)
      QTest::mouseClick(form.Panel3, Qt::LeftButton, Qt::ControlModifier, QPoint(3, 9));
    const std::string cut = rig.List().Cell(0, SourceColumn::ConvertDuration);
    QTEST(QString::fromStdString(cut), "cut");

    auto unexpected_box = ModalAnswer::PressButton(QMessageBox::Ok, 600000);
    form.btnConvertClick();
    QVERIFY2(!unexpected_box->Answered(), qPrintable(unexpected_box->Seen().text));
    QCOMPARE(rig.power.Requests, 0);

    int64_t cut_seconds = 0;
    QVERIFY(TCommonLib::ReadTimeStrict(cut, cut_seconds));
    const QString converted = output.filePath("tone_60s." + extension);
    QVERIFY2(QFile::exists(converted), qPrintable(converted));
    const double length = DecodedSeconds(converted);
    QVERIFY2(qAbs(length - cut_seconds) < 0.3,
             qPrintable(QString("%1 s for a Cut Time of %2").arg(length).arg(cut.c_str())));
  }
};

QTEST_MAIN(SegmentConversionTest)
#include "SegmentConversionTest.moc"
