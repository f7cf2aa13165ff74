// Start-up and shutdown of the whole program on a copy of its folder: the
// windows in order, the splash running the initialisation, the title from
// Res.dll and the program's version, the boxes for missing companion files
// and the end of the program, and closing the main window.
#include <QApplication>
#include <QElapsedTimer>
#include <QLabel>
#include <QtTest>

#include "FfmpegMediaGraph.h"
#include "FlashForm.h"
#include "InitFileForm.h"
#include "PictureButton.h"
#include "QtUserInterface.h"
#include "ShellTestSupport.h"
#include "TonbrixProgram.h"
#include "Unit_Convert.h"
#include "Unit_Converting.h"
#include "Unit_Option.h"

namespace {

struct Started {
  explicit Started(ProgramFolderCopy& folder)
      : context(folder.Path(), TONBRIX_APP_DIR "tonbrix", ui, launcher),
        program(context, std::make_unique<FfmpegMediaGraph>(FfmpegMediaGraph::Output::Silent)) {}
  QtUserInterface ui;
  RecordingLauncher launcher;
  TApplicationContext context;
  TonbrixProgram program;
};

QString ExpectedTitle() {
  const QStringList version = QStringLiteral(TONBRIX_PROJECT_VERSION).split('.');
  return "Tonbrix " + version[0] + "." + version[1];
}

}  // namespace

class StartupTest : public QObject {
  Q_OBJECT

 private slots:
  void windowsComeFirstInOrderAndHidden() {
    ProgramFolderCopy folder;
    Started started(folder);
    const std::vector<QWidget*>& order = started.program.CreationOrder();
    QCOMPARE(order.size(), size_t(4));
    QVERIFY(qobject_cast<TFrmMainForm*>(order[0]));
    QVERIFY(qobject_cast<TfrmConverting*>(order[1]));
    QVERIFY(qobject_cast<TfrmOption*>(order[2]));
    QVERIFY(qobject_cast<TFrmInitFileForm*>(order[3]));
    for (QWidget* window : order) QVERIFY(!window->isVisible());
    QCOMPARE(order[1]->windowTitle(), QString("Converting"));
    QCOMPARE(order[2]->windowTitle(), QString("Options"));
    QCOMPARE(order[2]->size(), QSize(476, 198));
    // Before the splash, none of the process-wide objects exists.
    QVERIFY(!started.context.CustomProc && !started.context.CommonLib && !started.context.AppFunc &&
            !started.context.SysFunc && !started.context.StrFunc && !started.context.FileFunc);
  }

  // Before the splash has made the process-wide objects, the window's
  // handlers do nothing: no box, no row, nothing made or connected.
  void handlersBeforeStartUpDoNothing() {
    ProgramFolderCopy folder;
    Started started(folder);
    BoxCollector boxes;
    TFrmMainForm& form = started.program.MainForm();
    form.FormDropFiles({QString::fromStdString(folder.Path()) + "song.mp3"});
    form.btnOpenFileClick();
    form.btnRemoveFileClick();
    form.btnClearFileClick();
    form.dxTreeSourceFileInfoKeyDown(Qt::Key_Delete);
    form.dxTreeSourceFileInfoKeyUp(Qt::Key_Down);
    form.actDxTreeListOnClickExecute();
    form.btnConvertClick();
    form.btnPlayClick();
    form.btnPauseClick();
    form.btnStopClick();
    form.cbbOutputFiletypeChange();
    form.cbbProfileChange();
    QVERIFY(boxes.Texts().isEmpty());
    QCOMPARE(form.SourceFiles().RowCount(), 0);
    QVERIFY(!started.context.CustomProc && !started.context.CommonLib);
    QVERIFY(form.WaveformEditing() == nullptr);
  }

  // Started from another working directory: the companion files beside the
  // program are found, the splash covers the initialisation for at least two
  // seconds, and the title reads product, blank, major.minor.
  void startsFromAnyFolderWithSplashAndTitle() {
    ProgramFolderCopy folder;
    QTemporaryDir elsewhere;
    const QString previous = QDir::currentPath();
    QVERIFY(QDir::setCurrent(elsewhere.path()));
    Started started(folder);
    BoxCollector boxes;

    bool splash_seen = false;
    bool objects_before_first_tick = true;
    QTimer::singleShot(120, [&] {
      auto* splash = qobject_cast<TFrmFlashForm*>(QApplication::activeModalWidget());
      splash_seen = splash != nullptr && splash->isVisible() && splash->size() == QSize(480, 300) &&
                    !splash->ImgFlash->pixmap().isNull();
      objects_before_first_tick = started.context.CommonLib != nullptr;
    });
    QElapsedTimer clock;
    clock.start();
    started.program.ShowMainWindow();
    const qint64 elapsed = clock.elapsed();
    QDir::setCurrent(previous);

    QVERIFY(splash_seen);
    QVERIFY(!objects_before_first_tick);
    QVERIFY2(elapsed >= 1990, qPrintable(QString::number(elapsed)));
    QCOMPARE(boxes.Texts(), QStringList());
    QVERIFY(!started.context.Terminated);

    TApplicationContext& context = started.context;
    QVERIFY(context.CustomProc && context.CommonLib && context.AppFunc && context.SysFunc &&
            context.StrFunc && context.FileFunc);
    QCOMPARE(QString::fromStdString(context.CommonLib->AppPath),
             QString::fromStdString(folder.Path()));
    QCOMPARE(QString::fromStdString(context.SoftInfo.ProductName), QString("Tonbrix"));
    QCOMPARE(QString::fromStdString(context.SoftInfo.AppPath),
             QString::fromStdString(folder.Path()));
    TFrmMainForm& main_form = started.program.MainForm();
    QCOMPARE(main_form.windowTitle(), ExpectedTitle());
    QCOMPARE(main_form.lblTitle->text(), ExpectedTitle());
    QVERIFY(main_form.isVisible());
    QVERIFY(main_form.acceptDrops());
    QVERIFY(main_form.tmrClearMemory != nullptr && main_form.tmrClearMemory->isActive());
  }

  // Showing a splash before the application's loop runs handles pending
  // events, so on a slow machine the first tick, the whole start-up and the
  // splash's close can all happen inside show(). The splash still returns.
  void theSplashReturnsWhenItClosesWhileBeingShown() {
    QImage picture(2 * 48, 2 * 30, QImage::Format_RGB32);
    picture.fill(Qt::darkBlue);
    QtUserInterface ui;
    int initialised = 0;
    TFrmFlashForm splash(picture, [&] { ++initialised; }, ui, nullptr);
    splash.Timer1->setInterval(0);  // due before show() has returned
    splash.Timer2->setInterval(5);
    bool rescued = false;
    QTimer rescue;
    rescue.setSingleShot(true);
    QObject::connect(&rescue, &QTimer::timeout, [&] {
      rescued = true;
      QCoreApplication::exit();  // ends every running loop, the splash's too
    });
    rescue.start(10000);
    splash.exec();
    QVERIFY(!rescued);
    QCOMPARE(initialised, 1);
    QVERIFY(!splash.isVisible());
    QCOMPARE(splash.result(), int(QDialog::Accepted));
  }

  void missingCompanionFiles_data() {
    QTest::addColumn<QStringList>("missing");
    QTest::addColumn<QStringList>("boxes");
    QTest::newRow("Form.dll") << QStringList{"Form.dll"}
                              << QStringList{
                                     "'Form.dll' is not found. Please reinstall this program."};
    QTest::newRow("Res.dll") << QStringList{"Res.dll"}
                             << QStringList{
                                    "'Res.dll' is not found. Please reinstall this program."};
    QTest::newRow("both") << QStringList{"Res.dll", "Form.dll"}
                          << QStringList{"'Form.dll' is not found. Please reinstall this program.",
                                         "'Res.dll' is not found. Please reinstall this program."};
  }
  void missingCompanionFiles() {
    QFETCH(QStringList, missing);
    QFETCH(QStringList, boxes);
    ProgramFolderCopy folder;
    for (const QString& name : missing) QVERIFY(folder.Remove(name));
    Started started(folder);
    BoxCollector collector;

    // Run returns without a message loop: the application has ended.
    QCOMPARE(started.program.Run(), 0);
    QCOMPARE(collector.Texts(), boxes);
    for (const ModalAnswer::Box& box : collector.Seen) {
      QCOMPARE(box.title, QString("Tonbrix"));
      QCOMPARE(box.icon, QMessageBox::Information);
      QCOMPARE(box.buttons, QMessageBox::StandardButtons(QMessageBox::Ok));
    }
    QVERIFY(started.context.Terminated);
    QVERIFY(!started.program.MainForm().isVisible());
  }

  void closingStopsThePreviewAndEnds() {
    ProgramFolderCopy folder;
    Started started(folder);
    started.program.ShowMainWindow();
    TFrmMainForm& main_form = started.program.MainForm();
    main_form.FilterGraph->SetActive(true);
    QVERIFY(!started.context.Terminated);
    main_form.btnWindowClose->click();
    QVERIFY(!main_form.isVisible());
    QVERIFY(!main_form.FilterGraph->Active());
    QVERIFY(started.context.Terminated);
  }
};

TONBRIX_QTEST_MAIN(StartupTest)
#include "StartupTest.moc"
