// The choice of the output folder on real folders. The person's answers come
// through UserInterface: a prepared folder (or a cancel) for the browser, and
// a record of the boxes. The real browser and boxes are exercised by the main
// window's tests; here the browser never has to list a folder like /proc.
#include <unistd.h>

#include <QDir>
#include <QScopeGuard>
#include <QTemporaryDir>
#include <QtTest>

#include "OutputFolder.h"
#include "Unit_CommonLib.h"
#include "UtilityObjects.h"

namespace {

class PreparedUserInterface : public UserInterface {
 public:
  std::string Answer;  // the folder chosen; empty to cancel
  std::string BrowserTitle;
  std::vector<std::pair<std::string, MessageIcon>> Boxes;

  int MessageBox(const std::string& text, MessageIcon icon, MessageButtons) override {
    Boxes.emplace_back(text, icon);
    return IDOK;
  }
  bool BrowseForFolder(const std::string& title, const std::string&, std::string& folder) override {
    BrowserTitle = title;
    if (Answer.empty()) return false;
    folder = Answer;
    return true;
  }
  std::optional<std::string> InputBox(const std::string&, const std::string&,
                                      const std::string&) override {
    return std::nullopt;
  }
  void ProcessMessages() override {}
  void Pause(int) override {}
};

}  // namespace

class OutputFolderTest : public QObject {
  Q_OBJECT

 private slots:
  void init() {
    root_ = std::make_unique<QTemporaryDir>();
    ui_ = PreparedUserInterface();
    app_ = std::make_unique<TAppFunc>((root_->path() + "/").toStdString());
    common_ = std::make_unique<TCommonLib>(*app_, sys_, ui_);
  }

  void choices_data() {
    QTest::addColumn<QString>("chosen");    // "" cancels; "@/x" is x inside the temp folder
    QTest::addColumn<QString>("current");   // inside the temp folder
    QTest::addColumn<QString>("message");   // the warning shown, if any
    QTest::addColumn<QString>("expected");  // "@current" or "@chosen"
    QTest::newRow("cancel keeps an existing folder") << ""
                                                     << "out"
                                                     << ""
                                                     << "@current";
    QTest::newRow("cancel re-creates a deleted folder") << ""
                                                        << "gone/deeper"
                                                        << ""
                                                        << "@current";
    QTest::newRow("writable folder is taken") << "@/music out"
                                              << "out"
                                              << ""
                                              << "@chosen";
    QTest::newRow("a chosen item that is no folder") << "/nonexistent/drive"
                                                     << "out"
                                                     << "The path is invalid."
                                                     << "@current";
    QTest::newRow("read-only folder keeps the current one") << "/proc/self"
                                                            << "out"
                                                            << "This is a read-only path."
                                                            << "@current";
    if (::geteuid() != 0) {
      QTest::newRow("folder without write permission") << "@/locked"
                                                       << "out"
                                                       << "This is a read-only path."
                                                       << "@current";
    }
  }
  void choices() {
    QFETCH(QString, chosen);
    QFETCH(QString, current);
    QFETCH(QString, message);
    QFETCH(QString, expected);
    const QString base = root_->path();
    const QString current_path = base + "/" + current;
    if (!current.startsWith("gone")) QVERIFY(QDir().mkpath(current_path));
    if (chosen.startsWith('@')) {
      chosen = base + chosen.mid(1);
      QVERIFY(QDir().mkpath(chosen));
      if (chosen.endsWith("locked"))
        QFile::setPermissions(chosen, QFile::ReadOwner | QFile::ExeOwner);
    }

    ui_.Answer = chosen.toStdString();
    const QString result =
        QString::fromStdString(SelectOutputFolder(*common_, current_path.toStdString()));

    QCOMPARE(QString::fromStdString(ui_.BrowserTitle), QString("Please select output folder:"));
    QCOMPARE(ui_.Boxes.size(), size_t(message.isEmpty() ? 0 : 1));
    if (!message.isEmpty()) {
      QCOMPARE(QString::fromStdString(ui_.Boxes[0].first), message);
      QVERIFY(ui_.Boxes[0].second == MessageIcon::Warning);
    }
    const QString wanted = expected == "@chosen" ? chosen : current_path;
    QCOMPARE(QDir::cleanPath(result), QDir::cleanPath(wanted));
    QVERIFY(QFileInfo(wanted).isDir());
    if (expected == "@chosen") {
      // The write probe leaves nothing behind.
      QCOMPARE(QDir(chosen).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot),
               QStringList());
    }
    if (chosen.endsWith("locked"))
      QFile::setPermissions(chosen, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
  }

  // A folder kept as "~/Ringtones" (or relative) in the settings, or chosen so:
  // it is made in the home folder, never below wherever the program was
  // started, and a kept folder is still shown as it was written.
  void relativeFoldersAreMadeInTheHomeFolder_data() {
    QTest::addColumn<QString>("chosen");  // "" cancels
    QTest::addColumn<QString>("current");
    QTest::addColumn<QString>("made");  // below the home folder
    QTest::addColumn<QString>("expected");
    QTest::newRow("kept ~/Ringtones") << ""
                                      << "~/Ringtones"
                                      << "Ringtones"
                                      << "~/Ringtones";
    QTest::newRow("kept relative") << ""
                                   << "Ringtones/Mine"
                                   << "Ringtones/Mine"
                                   << "Ringtones/Mine";
    QTest::newRow("chosen ~/Music") << "~/Music"
                                    << "~/Ringtones"
                                    << "Music"
                                    << "@home/Music";
  }
  void relativeFoldersAreMadeInTheHomeFolder() {
    QFETCH(QString, chosen);
    QFETCH(QString, current);
    QFETCH(QString, made);
    QFETCH(QString, expected);
    const QString home = root_->path() + "/home";
    const QString started_in = root_->path() + "/started here";
    QVERIFY(QDir().mkpath(home + "/Music"));
    QVERIFY(QDir().mkpath(started_in));
    const QByteArray old_home = qgetenv("HOME");
    const QString old_working = QDir::currentPath();
    qputenv("HOME", home.toUtf8());
    QDir::setCurrent(started_in);
    const auto restore = qScopeGuard([&] {
      QDir::setCurrent(old_working);
      qputenv("HOME", old_home);
    });

    ui_.Answer = chosen.toStdString();
    const QString result =
        QString::fromStdString(SelectOutputFolder(*common_, current.toStdString()));

    QVERIFY(ui_.Boxes.empty());
    QCOMPARE(result, expected.replace("@home", home));
    QVERIFY(QFileInfo(home + "/" + made).isDir());
    QCOMPARE(QDir(started_in).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot),
             QStringList());
  }

  // A folder named "test" that the person keeps in the chosen folder is theirs:
  // the probe neither uses nor removes it.
  void usersOwnFoldersAreLeftAlone() {
    const QString chosen = root_->path() + "/ringtones";
    QVERIFY(QDir().mkpath(chosen + "/test"));
    QVERIFY(QDir().mkpath(chosen + "/.tonbrix-write-probe-keep"));
    ui_.Answer = chosen.toStdString();
    const QString result = QString::fromStdString(
        SelectOutputFolder(*common_, (root_->path() + "/out").toStdString()));
    QVERIFY(ui_.Boxes.empty());
    QCOMPARE(QDir::cleanPath(result), chosen);
    QCOMPARE(QDir(chosen).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot),
             QStringList({".tonbrix-write-probe-keep", "test"}));
  }

 private:
  std::unique_ptr<QTemporaryDir> root_;
  PreparedUserInterface ui_;
  TSysFunc sys_;
  std::unique_ptr<TAppFunc> app_;
  std::unique_ptr<TCommonLib> common_;
};

QTEST_MAIN(OutputFolderTest)
#include "OutputFolderTest.moc"
