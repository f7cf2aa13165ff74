// The artwork: every picture renders at 1x and 2x, and the window outline
// follows the opaque pixels of a picture.
#include <QDirIterator>
#include <QPainter>
#include <QtTest>

#include "Artwork.h"

class ArtworkTest : public QObject {
  Q_OBJECT

 private slots:
  void everyPictureRendersAtBothScales() {
    artwork::Picture("logo", QSize(8, 8), 1);  // registers the pictures
    int count = 0;
    for (QDirIterator it(":/artwork", {"*.svg"}); it.hasNext(); ++count) {
      const QString name = QFileInfo(it.next()).completeBaseName();
      for (qreal ratio : {1.0, 2.0}) {
        const QPixmap picture = artwork::Picture(name, QSize(24, 24), ratio);
        QVERIFY2(!picture.isNull(), qPrintable(name));
        QCOMPARE(picture.size(), QSize(24, 24) * ratio);
        QCOMPARE(picture.devicePixelRatio(), ratio);
        // Something is drawn: not every pixel is transparent.
        const QImage image = picture.toImage();
        bool drawn = false;
        for (int y = 0; y < image.height() && !drawn; ++y)
          for (int x = 0; x < image.width() && !drawn; ++x) drawn = qAlpha(image.pixel(x, y)) > 0;
        QVERIFY2(drawn, qPrintable(name));
      }
    }
    QVERIFY(count > 10);
    QVERIFY(artwork::Picture("no-such-picture", QSize(24, 24), 1).isNull());
  }

  void glyphTakesTheColour() {
    const QImage glyph =
        artwork::Glyph("glyph_stop", QSize(24, 24), 1, QColor(255, 0, 0)).toImage();
    const QRgb centre = glyph.pixel(12, 12);
    QCOMPARE(qAlpha(centre), 255);
    QCOMPARE(qRed(centre), 255);
    QCOMPARE(qGreen(centre), 0);
  }

  void regionFromOpaquePixels_data() {
    QTest::addColumn<QImage>("picture");
    QTest::addColumn<QRegion>("expected");
    QImage empty(4, 3, QImage::Format_ARGB32);
    empty.fill(Qt::transparent);
    QTest::newRow("all transparent") << empty << QRegion();

    QImage full(4, 3, QImage::Format_ARGB32);
    full.fill(Qt::white);
    QTest::newRow("all opaque") << full << QRegion(0, 0, 4, 3);

    // Two runs in one row, one run below: a hole in the middle of row 0.
    QImage runs = empty.copy();
    for (int x : {0, 3}) runs.setPixel(x, 0, qRgba(1, 2, 3, 255));
    runs.setPixel(1, 2, qRgba(1, 2, 3, 200));
    runs.setPixel(2, 2, qRgba(1, 2, 3, 127));  // below half opacity: outside
    QTest::newRow("runs and a hole")
        << runs << (QRegion(0, 0, 1, 1) + QRegion(3, 0, 1, 1) + QRegion(1, 2, 1, 1));
  }
  void regionFromOpaquePixels() {
    QFETCH(QImage, picture);
    QFETCH(QRegion, expected);
    QCOMPARE(artwork::RegionFromOpaquePixels(picture), expected);
  }

  // The main window's outline: rounded corners cut away, the body kept, at
  // the design size and larger.
  void backgroundOutline_data() {
    QTest::addColumn<QSize>("size");
    QTest::newRow("design size") << QSize(692, 519);
    QTest::newRow("larger") << QSize(900, 700);
  }
  void backgroundOutline() {
    QFETCH(QSize, size);
    const QRegion outline = artwork::RegionFromOpaquePixels(artwork::MainBackground(size, 1));
    QCOMPARE(outline.boundingRect(), QRect(QPoint(0, 0), size));
    for (QPoint corner : {QPoint(0, 0), QPoint(size.width() - 1, 0), QPoint(0, size.height() - 1),
                          QPoint(size.width() - 1, size.height() - 1)})
      QVERIFY(!outline.contains(corner));
    QVERIFY(outline.contains(QPoint(size.width() / 2, size.height() / 2)));
    QVERIFY(outline.contains(QPoint(size.width() / 2, 0)));
  }

  void backgroundAtTwiceTheResolution() {
    const QImage image = artwork::MainBackground(QSize(692, 519), 2);
    QCOMPARE(image.size(), QSize(1384, 1038));
    QCOMPARE(image.devicePixelRatio(), 2.0);
  }
};

QTEST_MAIN(ArtworkTest)
#include "ArtworkTest.moc"
