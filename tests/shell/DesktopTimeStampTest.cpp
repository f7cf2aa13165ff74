// The log's time stamp in the desktop's formats: the locale's short date and
// long time, and the start-up handing that formatter to the log.
#include <QFile>
#include <QtTest>

#include "DesktopTimeStamp.h"
#include "FfmpegMediaGraph.h"
#include "QtUserInterface.h"
#include "ShellTestSupport.h"
#include "TonbrixProgram.h"

class DesktopTimeStampTest : public QObject {
  Q_OBJECT

 private slots:
  // The date and time shapes written out by hand for each locale, so that the
  // stamp is checked against the locale's conventions, not against itself.
  void followsTheLocalesShortDateAndLongTime_data() {
    QTest::addColumn<QString>("locale");
    QTest::addColumn<QString>("date");  // QDate::toString pattern
    QTest::addColumn<QString>("time");  // QTime::toString pattern of the clock part
    QTest::newRow("German") << "de_DE"
                            << "dd.MM.yy"
                            << "HH:mm:ss";
    QTest::newRow("British") << "en_GB"
                             << "dd/MM/yyyy"
                             << "HH:mm:ss";
    QTest::newRow("American") << "en_US"
                              << "M/d/yy"
                              << "h:mm:ss AP";
  }
  void followsTheLocalesShortDateAndLongTime() {
    QFETCH(QString, locale);
    QFETCH(QString, date);
    QFETCH(QString, time);
    const TAppFunc::TimeStampFormatter stamp = DesktopTimeStamp(QLocale(locale));
    const QDateTime before = QDateTime::currentDateTime();
    const QString text = QString::fromStdString(stamp());
    const QDateTime after = QDateTime::currentDateTime();
    // The clock may pass a second between the looks: either reading will do.
    QStringList expected;
    for (const QDateTime& moment : {before, after}) {
      expected << moment.date().toString(date) + " " + moment.time().toString(time);
    }
    QVERIFY2(text.startsWith(expected[0]) || text.startsWith(expected[1]),
             qPrintable(text + " expected to start with " + expected.join(" or ")));
  }

  void startUpHandsTheDesktopsFormatsToTheLog() {
    ProgramFolderCopy folder;
    QtUserInterface ui;
    RecordingLauncher launcher;
    TApplicationContext context(folder.Path(), TONBRIX_APP_DIR "tonbrix", ui, launcher);
    TonbrixProgram program(context,
                           std::make_unique<FfmpegMediaGraph>(FfmpegMediaGraph::Output::Silent));
    BoxCollector boxes;
    program.ShowMainWindow();
    QVERIFY(context.AppFunc);

    const TAppFunc::TimeStampFormatter desktop = DesktopTimeStamp();
    const QString before = QString::fromStdString(desktop());
    context.AppFunc->WriteLog("probe");
    const QString after = QString::fromStdString(desktop());

    QFile log(folder.File("log.txt"));
    QVERIFY(log.open(QIODevice::ReadOnly));
    const QStringList lines = QString::fromUtf8(log.readAll()).split("\r\n", Qt::SkipEmptyParts);
    QVERIFY(!lines.isEmpty());
    const QString last = lines.last();
    QVERIFY2(last == "Tessaly " + before + "|probe" || last == "Tessaly " + after + "|probe",
             qPrintable(last + " / desktop stamp " + before));
  }
};

QTEST_MAIN(DesktopTimeStampTest)
#include "DesktopTimeStampTest.moc"
