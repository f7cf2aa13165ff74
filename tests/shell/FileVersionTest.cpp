// The version carried by a program file and its major.minor reading.
#include <QProcess>
#include <QTemporaryDir>
#include <QtTest>

#include "FileVersion.h"

class FileVersionTest : public QObject {
  Q_OBJECT

 private slots:
  void majorMinor_data() {
    QTest::addColumn<QString>("version");
    QTest::addColumn<QString>("expected");
    QTest::newRow("four pieces") << "1.7.0.0"
                                 << "1.7";
    QTest::newRow("two pieces") << "2.0"
                                << "2.0";
    QTest::newRow("two-digit minor") << "3.10.1.4"
                                     << "3.10";
    QTest::newRow("empty piece dropped") << "2..5"
                                         << "2.5";
    QTest::newRow("leading dots") << "..4.1"
                                  << "4.1";
    QTest::newRow("one piece") << "7"
                               << "7";
    QTest::newRow("empty") << ""
                           << "";
    QTest::newRow("dots only") << "..."
                               << "";
  }
  void majorMinor() {
    QFETCH(QString, version);
    QFETCH(QString, expected);
    QCOMPARE(QString::fromStdString(VersionMajorMinor(version.toStdString())), expected);
  }

  void theProgramCarriesTheProjectVersion() {
    const std::string program = TONBRIX_APP_DIR "tonbrix";
    QCOMPARE(QString::fromStdString(ReadFileVersion(program)),
             QStringLiteral(TONBRIX_PROJECT_VERSION));
    const QStringList pieces = QStringLiteral(TONBRIX_PROJECT_VERSION).split('.');
    QCOMPARE(QString::fromStdString(GetFileVersionText(program)), pieces[0] + "." + pieces[1]);
  }

  // Whatever the file, no version is read from it and nothing breaks.
  void filesWithoutAVersion_data() {
    QTest::addColumn<QByteArray>("content");
    QTest::addColumn<bool>("from_program");  // content is a prefix length of the program
    QTest::newRow("text file") << QByteArray(
                                      "FileVersion\0"
                                      "9.9.9.9\n",
                                      20)
                               << false;
    QTest::newRow("empty file") << QByteArray() << false;
    QTest::newRow("ELF magic only") << QByteArray(
                                           "\x7f"
                                           "ELF\x02\x01\x01",
                                           7)
                                    << false;
    QTest::newRow("program cut after its header") << QByteArray::number(64) << true;
    QTest::newRow("program cut in the middle") << QByteArray::number(200000) << true;
  }
  void filesWithoutAVersion() {
    QFETCH(QByteArray, content);
    QFETCH(bool, from_program);
    QTemporaryDir dir;
    QFile file(dir.filePath("candidate"));
    QVERIFY(file.open(QIODevice::WriteOnly));
    if (from_program) {
      QFile program(TONBRIX_APP_DIR "tonbrix");
      QVERIFY(program.open(QIODevice::ReadOnly));
      file.write(program.read(content.toLongLong()));
    } else {
      file.write(content);
    }
    file.close();
    QCOMPARE(QString::fromStdString(GetFileVersionText(file.fileName().toStdString())), QString());
  }

  void missingFileAndLibraryWithoutSection() {
    QCOMPARE(QString::fromStdString(GetFileVersionText("/nonexistent/tonbrix")), QString());
    // Res.dll is an ELF file of its own without a version.
    QCOMPARE(QString::fromStdString(GetFileVersionText(TONBRIX_APP_DIR "Res.dll")), QString());
  }

  // Another ELF file given a version section by the binary tools reads back
  // with the same rules.
  void versionAddedToAnotherFile() {
    QTemporaryDir dir;
    QFile section(dir.filePath("section"));
    QVERIFY(section.open(QIODevice::WriteOnly));
    section.write(
        QByteArray("FileVersion\0"
                   "3.10.1.4\0",
                   21));
    section.close();
    const QString target = dir.filePath("Res.dll");
    QVERIFY(QFile::copy(TONBRIX_APP_DIR "Res.dll", target));
    QProcess objcopy;
    objcopy.start("objcopy", {"--add-section", ".tonbrix.version=" + section.fileName(), target});
    if (!objcopy.waitForFinished() || objcopy.exitCode() != 0)
      QSKIP("objcopy from binutils is not available");
    QCOMPARE(QString::fromStdString(ReadFileVersion(target.toStdString())), QString("3.10.1.4"));
    QCOMPARE(QString::fromStdString(GetFileVersionText(target.toStdString())), QString("3.10"));
  }
};

QTEST_MAIN(FileVersionTest)
#include "FileVersionTest.moc"
