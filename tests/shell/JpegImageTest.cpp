// Decoding JPEG pictures with libjpeg: Res.dll's splash picture, other
// pictures, and bytes that are no picture.
#include <QBuffer>
#include <QtTest>

#include "CompanionLibrary.h"
#include "JpegImage.h"
#include "TonbrixCompanion.h"

namespace {
QByteArray Encode(const QImage& image) {
  QByteArray bytes;
  QBuffer buffer(&bytes);
  buffer.open(QIODevice::WriteOnly);
  image.save(&buffer, "JPG", 95);
  return bytes;
}
QImage Decode(const QByteArray& bytes) {
  return DecodeJpeg(reinterpret_cast<const unsigned char*>(bytes.constData()), bytes.size());
}
}  // namespace

class JpegImageTest : public QObject {
  Q_OBJECT

 private slots:
  void splashPictureOfResDll() {
    CompanionLibrary res(TONBRIX_APP_DIR "Res.dll");
    QVERIFY(res.IsOpen());
    const auto find = res.Function<TonbrixFindResourceProc>(kResFindResourceExport);
    QVERIFY(find != nullptr);
    size_t size = 0;
    const unsigned char* bytes = find("ImgFlash", "jpeg", &size);
    QVERIFY(bytes != nullptr);
    QVERIFY(size > 1000);
    const QImage splash = DecodeJpeg(bytes, size);
    QCOMPARE(splash.size(), QSize(960, 600));
    // The picture is dark blue with the white product name on it, not blank.
    const QRgb corner = splash.pixel(20, 20);
    QVERIFY(qBlue(corner) > qRed(corner));
    QVERIFY(find("ImgFlash", "png", &size) == nullptr);
    QVERIFY(find("Other", "jpeg", &size) == nullptr);
  }

  void colourAndGreyPictures_data() {
    QTest::addColumn<QImage::Format>("format");
    QTest::newRow("colour") << QImage::Format_RGB32;
    QTest::newRow("grey") << QImage::Format_Grayscale8;
  }
  void colourAndGreyPictures() {
    QFETCH(QImage::Format, format);
    QImage source(37, 21, QImage::Format_RGB32);
    source.fill(QColor(200, 60, 30));
    source = source.convertToFormat(format);
    const QImage decoded = Decode(Encode(source));
    QCOMPARE(decoded.size(), QSize(37, 21));
    const QColor expected = source.pixelColor(18, 10);
    const QColor got = decoded.pixelColor(18, 10);
    QVERIFY(qAbs(got.red() - expected.red()) < 8);
    QVERIFY(qAbs(got.green() - expected.green()) < 8);
    QVERIFY(qAbs(got.blue() - expected.blue()) < 8);
  }

  void bytesThatAreNoPicture_data() {
    QTest::addColumn<QByteArray>("bytes");
    QImage source(64, 64, QImage::Format_RGB32);
    source.fill(Qt::green);
    const QByteArray good = Encode(source);
    QTest::newRow("nothing") << QByteArray();
    QTest::newRow("text") << QByteArray("this is not a picture");
    QTest::newRow("start of a header") << good.left(40);
    QTest::newRow("header garbled") << good.left(2) + QByteArray(good.size() - 2, '\x55');
  }
  void bytesThatAreNoPicture() {
    QFETCH(QByteArray, bytes);
    QVERIFY(Decode(bytes).isNull());
  }

  // A picture cut short still decodes (libjpeg pads the missing rows); what
  // matters is that nothing breaks.
  void truncatedPictureDoesNotBreak() {
    QImage source(64, 64, QImage::Format_RGB32);
    source.fill(Qt::green);
    const QByteArray good = Encode(source);
    const QImage decoded = Decode(good.left(good.size() / 2));
    QVERIFY(decoded.isNull() || decoded.size() == QSize(64, 64));
  }
};

QTEST_MAIN(JpegImageTest)
#include "JpegImageTest.moc"
