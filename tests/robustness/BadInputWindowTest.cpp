// Bad input through the program's own paths, on the offscreen platform with
// the real media probe and the real evc.exe: broken and oddly named files are
// dropped on the main window and converted. What a person must see: the
// codec-missing dialog for a file that cannot be measured; for a file that
// cannot be converted, the engine's reason in the progress window's status bar
// and in log.txt; never a crash or a hang, never a partial file in the output
// folder, never a changed source file, and a main window usable afterwards.
#include <sys/mount.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QFileDialog>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QLineEdit>
#include <QPointer>
#include <QProcess>
#include <QPushButton>
#include <QRegularExpression>
#include <QStatusBar>
#include <QTest>
#include <QTimer>
#include <cerrno>
#include <cstring>
#include <filesystem>
#include <map>
#include <memory>
#include <set>

#include "../core/WatchedFifo.h"
#include "../list/ListFixtures.h"
#include "AppRig.h"
#include "BadInputCorpus.h"
#include "CodeErrorForm.h"
#include "ModalAnswer.h"
#include "Unit_Converting.h"

namespace {

namespace fs = std::filesystem;
using bad_input::BadSource;
using bad_input::Fingerprint;
using bad_input::Outcome;

const QString kMp3Type = "MP3 Audio Files (*.mp3)";
const QString kWavType = "WAV Audio Files";

// Good songs under names that have tripped up command lines and file systems:
// they must be added and converted under their own names.
std::vector<std::string> OddNames() {
  return {"  my  song  .mp3", "say \"hello\" it's mine.mp3", "-y -i --help.mp3",
          "Żółć über Déjà vu 東京 🎵.mp3",
          // 255 bytes, the longest name a file system takes.
          std::string(251, 'a') + ".mp3"};
}

// Closes every codec-missing dialog that opens, as a person pressing OK would,
// and counts them.
class CodecDialogCloser {
 public:
  CodecDialogCloser() {
    timer_.setInterval(10);
    QObject::connect(&timer_, &QTimer::timeout, [this] {
      auto* dialog = qobject_cast<TFrmCodeErrorForm*>(QApplication::activeModalWidget());
      if (dialog == nullptr || dialog == closing_) return;
      closing_ = dialog;
      ++Shown;
      dialog->BitBtn1->click();
    });
    timer_.start();
  }
  int Shown = 0;

 private:
  QTimer timer_;
  // A closed dialog is deleted and the next may get its address: QPointer
  // forgets the old one.
  QPointer<TFrmCodeErrorForm> closing_;
};

// The status bar texts of the progress window while a batch runs.
class StatusWatch {
 public:
  explicit StatusWatch(TfrmConverting* converting) {
    timer_.setInterval(10);
    QObject::connect(&timer_, &QTimer::timeout, [this, converting] {
      if (!converting->isVisible()) return;
      for (const QString& line :
           converting->statState->currentMessage().split(QRegularExpression("[\r\n]"))) {
        if (line.startsWith("evc.exe: ")) Reasons.insert(line);
      }
    });
    timer_.start();
  }
  std::set<QString> Reasons;

 private:
  QTimer timer_;
};

QStringList LogMessages(const std::string& app_dir, const QString& prefix) {
  QFile log(QString::fromStdString(app_dir) + "log.txt");
  QStringList lines;
  if (!log.open(QIODevice::ReadOnly)) return lines;
  for (const QString& line : QString::fromUtf8(log.readAll()).split("\r\n")) {
    const QString message = line.mid(line.indexOf('|') + 1);
    if (message.startsWith(prefix)) lines << message;
  }
  return lines;
}

// Every entry of a folder, hidden ones included: an engine's temporary file
// starts with a dot.
std::set<std::string> FolderEntries(const std::string& folder) {
  std::set<std::string> names;
  for (const auto& entry : fs::directory_iterator(folder)) names.insert(entry.path().filename());
  return names;
}

// True when ffprobe reads the whole file without a complaint and finds sound.
bool PlaysThrough(const QString& path, double* seconds) {
  QProcess ffprobe;
  ffprobe.start("ffprobe",
                {"-v", "error", "-show_entries", "format=duration", "-of", "json", path});
  ffprobe.waitForFinished(30000);
  *seconds = QJsonDocument::fromJson(ffprobe.readAllStandardOutput())
                 .object()["format"]
                 .toObject()["duration"]
                 .toString()
                 .toDouble();
  QProcess decode;
  decode.start("ffmpeg", {"-v", "error", "-nostdin", "-i", path, "-f", "null", "-"});
  decode.waitForFinished(60000);
  return decode.exitCode() == 0 && decode.readAllStandardError().isEmpty() && *seconds > 0;
}

void ChooseOutput(AppRig& rig, const QString& type, const QString& folder) {
  const int index = rig.Form().cbbOutputFiletype->findText(type);
  QVERIFY(index >= 0);
  rig.Form().cbbOutputFiletype->setCurrentIndex(index);
  rig.Form().edtOutputFolder->setText(folder);
  rig.Form().chkShowOutputDirectory->setChecked(false);
  rig.Form().chkShutdown->setChecked(false);
}

// Runs the batch as the Convert button does, with no box expected; true when
// the windows came back usable.
bool ConvertAndCheckWindows(AppRig& rig) {
  auto unexpected_box = ModalAnswer::PressButton(QMessageBox::Ok, 900000);
  rig.Form().btnConvertClick();
  if (unexpected_box->Answered()) qWarning() << "unexpected box:" << unexpected_box->Seen().text;
  return !unexpected_box->Answered() && rig.Form().isEnabled() &&
         !rig.Form().frmConverting->isVisible() && !rig.EngineRunning();
}

// A tmpfs mounted on `folder` for one test; needs root.
class TinyDisk {
 public:
  TinyDisk(const std::string& folder, const char* options, unsigned long flags) : folder_(folder) {
    fs::create_directories(folder);
    mounted_ = ::mount("tonbrix-test", folder.c_str(), "tmpfs", MS_NOSUID | MS_NODEV | flags,
                       options) == 0;
    error_ = errno;
    // Without root, a folder without write permission stands in for the
    // read-only disk; nothing stands in for the full one.
    if (!mounted_ && (flags & MS_RDONLY) != 0 && ::geteuid() != 0)
      mounted_ = ::chmod(folder.c_str(), 0555) == 0;
  }
  ~TinyDisk() {
    if (mounted_) ::umount2(folder_.c_str(), MNT_DETACH);
  }
  bool Mounted() const { return mounted_; }
  QByteArray Why() const {
    return QByteArray("cannot mount a tmpfs here: ") + std::strerror(error_);
  }

 private:
  std::string folder_;
  bool mounted_ = false;
  int error_ = 0;
};

// Adds `path` the way a person does with the open dialog: the name typed into
// Qt's own dialog and accepted; the busy window then adds it. False when the
// dialog would not take the name.
bool AddThroughTheOpenDialog(AppRig& rig, const QString& path) {
  QFileDialog* dialog = rig.Form().dlgOpenSourceFile;
  dialog->setOption(QFileDialog::DontUseNativeDialog);
  int tries = 0;
  bool refused = false;
  QTimer poll;
  poll.setInterval(10);
  QObject::connect(&poll, &QTimer::timeout, [&] {
    if (!dialog->isVisible()) return;
    auto* name_box = dialog->findChild<QLineEdit*>("fileNameEdit");
    if (name_box == nullptr) return;
    if (++tries > 50) {  // half a second without the dialog taking the name
      refused = true;
      static_cast<QDialog*>(dialog)->reject();
      return;
    }
    name_box->setText(path);
    static_cast<QDialog*>(dialog)->accept();
  });
  poll.start();
  rig.Form().btnOpenFileClick();
  return !refused;
}

// What the engine itself says, as its last line, when it is started with
// `arguments` in `folder`.
QString EnginesOwnReason(const std::vector<std::string>& arguments, const std::string& folder) {
  QProcess engine;
  engine.setWorkingDirectory(QString::fromStdString(folder));
  engine.setProcessChannelMode(QProcess::MergedChannels);
  QStringList rest;
  for (std::size_t i = 1; i < arguments.size(); ++i) rest << QString::fromStdString(arguments[i]);
  engine.start(QString::fromStdString(arguments[0]), rest);
  engine.waitForFinished(60000);
  const QStringList lines =
      QString::fromUtf8(engine.readAll()).split(QRegularExpression("[\r\n]"), Qt::SkipEmptyParts);
  return lines.isEmpty() ? QString() : lines.last();
}

}  // namespace

class BadInputWindowTest : public QObject {
  Q_OBJECT

 private:
  QTemporaryDir folder_;
  std::string Folder() const { return folder_.path().toStdString() + "/"; }

  // Writes a bad source under a name of its own and returns its path.
  std::string Write(const BadSource& bad) {
    const std::string path = Folder() + bad.label + "_" + bad.fileName;
    WriteBytes(path, bad.bytes());
    return path;
  }

 private slots:
  void droppingEachBadFile_data() {
    QTest::addColumn<int>("index");
    const std::vector<BadSource> corpus = bad_input::BadSources();
    for (size_t i = 0; i < corpus.size(); ++i) QTest::newRow(corpus[i].label.c_str()) << int(i);
  }
  // A file that cannot be measured gives one codec-missing dialog and no row;
  // one that measures gets its row. Nothing else happens to the file.
  void droppingEachBadFile() {
    QFETCH(int, index);
    const BadSource bad = bad_input::BadSources()[index];
    const std::string path = Write(bad);
    const std::string before = Fingerprint(path);
    AppRig rig;
    CodecDialogCloser dialogs;

    rig.Form().FormDropFiles({QString::fromStdString(path)});

    const int rows = rig.List().RowCount();
    qInfo("%s: %s", bad.label.c_str(), rows == 1 ? "added" : "codec-missing dialog");
    QCOMPARE(dialogs.Shown + rows, 1);
    if (bad.whenAdded == Outcome::Refused) QCOMPARE(dialogs.Shown, 1);
    if (bad.whenAdded == Outcome::Accepted) QCOMPARE(rows, 1);
    if (rows == 1) {
      QCOMPARE(QString::fromStdString(rig.List().Cell(0, SourceColumn::FileName)),
               QString::fromStdString(path));
      QVERIFY(rig.List().Cell(0, SourceColumn::Duration) != "00:00:00");
    }
    QCOMPARE(Fingerprint(path), before);
    QVERIFY(rig.Form().isEnabled());
  }

  // Everything that measured, converted in one batch with the good songs
  // under odd names: each job ends with a complete ringtone or with the
  // engine's reason, and the batch goes on to the next.
  void convertingWhatWasAdded() {
    std::map<std::string, std::string> fingerprints;
    QStringList dropped;
    for (const BadSource& bad : bad_input::BadSources()) {
      if (bad.whenAdded == Outcome::Refused) continue;
      const std::string path = Write(bad);
      fingerprints[path] = Fingerprint(path);
      dropped << QString::fromStdString(path);
    }
    std::set<std::string> odd_titles;
    for (const std::string& name : OddNames()) {
      const std::string path = Folder() + name;
      fs::copy_file(bad_input::Sources::Get().mp3, path, fs::copy_options::overwrite_existing);
      fingerprints[path] = Fingerprint(path);
      dropped << QString::fromStdString(path);
      odd_titles.insert(name.substr(0, name.size() - 4));
    }
    AppRig rig;
    QTemporaryDir output;
    ChooseOutput(rig, kMp3Type, output.path());
    {
      CodecDialogCloser dialogs;
      rig.Form().FormDropFiles(dropped);
    }
    const int jobs = rig.List().RowCount();
    for (const std::string& title : odd_titles) {
      bool found = false;
      for (int row = 0; row < jobs; ++row)
        found |= rig.List().Cell(row, SourceColumn::FileName) == Folder() + title + ".mp3";
      QVERIFY2(found, title.c_str());
    }

    StatusWatch status(rig.Form().frmConverting);
    QVERIFY(ConvertAndCheckWindows(rig));

    // Each job left either a ringtone that plays through, or a reason.
    const QStringList reasons = LogMessages(rig.AppDir(), "Convert error. ->evc.exe: ");
    const std::set<std::string> outputs = FolderEntries(output.path().toStdString());
    QCOMPARE(int(outputs.size()) + reasons.size(), jobs);
    QCOMPARE(int(status.Reasons.size()), reasons.size());
    for (const std::string& name : outputs) {
      double seconds = 0;
      const QString path = output.filePath(QString::fromStdString(name));
      QVERIFY2(PlaysThrough(path, &seconds), name.c_str());
      qInfo("converted: %s (%.2f s)", name.c_str(), seconds);
    }
    for (const std::string& title : odd_titles)
      QVERIFY2(outputs.count(title + ".mp3") == 1, title.c_str());
    for (const QString& reason : reasons) qInfo("refused: %s", qPrintable(reason));
    // The ten-hour header promises sound that is not there: never a ringtone.
    for (const std::string& name : outputs)
      QVERIFY2(name.find("ten_hour") == std::string::npos, name.c_str());
    for (const auto& [path, before] : fingerprints) QCOMPARE(Fingerprint(path), before);
  }

  // An output folder that cannot be written, then a disk that fills up half
  // way: the engine's reason, nothing left behind, the windows usable.
  void unwritableOutputFolders_data() {
    QTest::addColumn<QString>("options");
    QTest::addColumn<bool>("readOnly");
    QTest::newRow("read-only folder") << "size=1m" << true;
    QTest::newRow("full disk") << "size=64k" << false;
  }
  void unwritableOutputFolders() {
    QFETCH(QString, options);
    QFETCH(bool, readOnly);
    // Thirty seconds of WAV are about 5 MB: far more than the small disk holds.
    const std::string song = Folder() + "thirty seconds.wav";
    list_test::MakeTone(song, 30.0);
    const std::string before = Fingerprint(song);
    const std::string disk = Folder() + "disk-" + std::to_string(readOnly);
    TinyDisk mount(disk, options.toUtf8().constData(), readOnly ? MS_RDONLY : 0);
    if (!mount.Mounted()) QSKIP(mount.Why().constData());

    AppRig rig;
    ChooseOutput(rig, kWavType, QString::fromStdString(disk));
    rig.Form().FormDropFiles({QString::fromStdString(song)});
    QCOMPARE(rig.List().RowCount(), 1);
    StatusWatch status(rig.Form().frmConverting);
    QVERIFY(ConvertAndCheckWindows(rig));

    const QStringList reasons = LogMessages(rig.AppDir(), "Convert error. ->evc.exe: ");
    QCOMPARE(reasons.size(), 1);
    qInfo("%s: %s", QTest::currentDataTag(), qPrintable(reasons[0]));
    QCOMPARE(status.Reasons.size(), size_t{1});
    QCOMPARE(*status.Reasons.begin(), reasons[0].mid(reasons[0].indexOf("evc.exe: ")));
    QVERIFY(FolderEntries(disk).empty());
    QCOMPARE(Fingerprint(song), before);
  }

  // What is not a regular file, named like a song, dropped or chosen in the
  // open dialog: the codec-missing dialog and no row, at once, without it
  // being opened (a FIFO nobody writes to used to hold the window for good).
  void addingWhatIsNotARegularFile_data() {
    QTest::addColumn<QString>("kind");
    QTest::addColumn<bool>("byDialog");
    for (const char* kind : {"fifo", "link to /dev/zero", "gigabyte of zeros", "folder"}) {
      QTest::newRow((std::string(kind) + ", dropped").c_str()) << kind << false;
      // The dialog opens a folder instead of choosing it.
      if (std::string(kind) != "folder")
        QTest::newRow((std::string(kind) + ", open dialog").c_str()) << kind << true;
    }
  }
  void addingWhatIsNotARegularFile() {
    QFETCH(QString, kind);
    QFETCH(bool, byDialog);
    const std::string path = Folder() + "special " +
                             std::to_string(std::hash<std::string>()(QTest::currentDataTag())) +
                             ".mp3";
    std::unique_ptr<WatchedFifo> fifo;
    if (kind == "fifo") {
      fifo = std::make_unique<WatchedFifo>(path);
    } else if (kind == "link to /dev/zero") {
      fs::create_symlink("/dev/zero", path);
    } else if (kind == "gigabyte of zeros") {
      std::ofstream{path};
      fs::resize_file(path, std::uintmax_t{1} << 30);
    } else {
      fs::create_directory(path);
    }
    AppRig rig;
    CodecDialogCloser dialogs;
    if (byDialog) {
      if (!AddThroughTheOpenDialog(rig, QString::fromStdString(path)))
        QSKIP("Qt's dialog does not take this name");
    } else {
      rig.Form().FormDropFiles({QString::fromStdString(path)});
    }
    QCOMPARE(dialogs.Shown, 1);
    QCOMPARE(rig.List().RowCount(), 0);
    QVERIFY(rig.Form().isEnabled());
    if (fifo) {
      QVERIFY(!fifo->OpenedForReading());
      QVERIFY(!fifo->OpenedForWriting());
    }
    std::error_code ignored;
    fs::remove_all(path, ignored);
  }

  // An output folder the engine cannot use, and a job it refuses: its reason,
  // exactly as the engine gives it and however long, is the log's
  // "Convert error." line and what the status bar shows at the end.
  void theEnginesReasonReachesThePerson_data() {
    QTest::addColumn<QString>("job");
    QTest::newRow("output folder is a file") << "file";
    QTest::newRow("output folder of 5000 characters") << "long";
    QTest::newRow("segment of no length") << "empty segment";
  }
  void theEnginesReasonReachesThePerson() {
    QFETCH(QString, job);
    const std::string song = Folder() + "three seconds.wav";
    if (!fs::exists(song)) list_test::MakeTone(song, 3.0);
    QTemporaryDir output;
    std::string folder = output.path().toStdString();
    if (job == "file") {
      folder += "/not a folder";
      WriteBytes(folder, "x");
    } else if (job == "long") {
      for (int i = 0; i < 17; ++i) folder += "/" + std::string(300, 'd');
    }

    AppRig rig;
    ChooseOutput(rig, kMp3Type, QString::fromStdString(folder));
    rig.Form().FormDropFiles({QString::fromStdString(song)});
    QCOMPARE(rig.List().RowCount(), 1);
    if (job == "empty segment") {
      rig.List().SetCell(0, SourceColumn::StartTime, "00:00:02");
      rig.List().SetCell(0, SourceColumn::EndTime, "00:00:02");
    }
    QVERIFY(ConvertAndCheckWindows(rig));

    const QString reason =
        EnginesOwnReason(rig.context->CustomProc->LastCommand.Arguments, rig.AppDir());
    QVERIFY2(reason.startsWith("evc.exe: ") && reason.size() > 9, qPrintable(reason));
    QCOMPARE(LogMessages(rig.AppDir(), "Convert error. ->"),
             QStringList{"Convert error. ->" + reason});
    QCOMPARE(rig.Form().frmConverting->statState->currentMessage(), reason);
    qInfo("%s: %d characters", QTest::currentDataTag(), int(reason.size()));
  }
};

TONBRIX_QTEST_MAIN(BadInputWindowTest)
#include "BadInputWindowTest.moc"
