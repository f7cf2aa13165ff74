// Addresses as the system commands hand them to the desktop.
#include <QtTest>

#include "ShellLauncher.h"

class ShellLauncherTest : public QObject {
  Q_OBJECT

 private slots:
  void urlForAddress_data() {
    QTest::addColumn<QString>("text");
    QTest::addColumn<QUrl>("expected");
    const QString folder = "/opt/Tonbrix/";
    QTest::newRow("web address") << "https://example.org/x" << QUrl("https://example.org/x");
    QTest::newRow("mail address") << "mailto:someone@example.org"
                                  << QUrl("mailto:someone@example.org");
    QTest::newRow("file beside the program")
        << "Help.html" << QUrl::fromLocalFile(folder + "Help.html");
    QUrl section = QUrl::fromLocalFile(folder + "Help.html");
    section.setFragment("codecs");
    QTest::newRow("section of a file") << "Help.html#codecs" << section;
    QTest::newRow("absolute path")
        << "/usr/share/doc/x.html" << QUrl::fromLocalFile("/usr/share/doc/x.html");
    QTest::newRow("blank in the name")
        << "My Help.html" << QUrl::fromLocalFile(folder + "My Help.html");
  }
  void urlForAddress() {
    QFETCH(QString, text);
    QFETCH(QUrl, expected);
    QCOMPARE(UrlForAddress(text, "/opt/Tonbrix/"), expected);
  }
};

QTEST_MAIN(ShellLauncherTest)
#include "ShellLauncherTest.moc"
