#include "Artwork.h"

#include <QFile>
#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>
#include <QSvgRenderer>

static void LoadArtworkResources() {
  // The pictures live in a static library; its resources must be registered
  // by hand before the first use.
  static const bool loaded = [] {
    Q_INIT_RESOURCE(artwork);
    return true;
  }();
  (void)loaded;
}

namespace artwork {

namespace {

// The layout of the background, in window pixels of the 692 x 519 design.
constexpr int kTitleBandHeight = 56;
constexpr qreal kCornerRadius = 16;
const QRectF kPreviewPanel(12, 64, 352, 236);
const QRectF kSettingsPanel(374, 64, 306, 236);
const QRectF kListPanel(12, 308, 668, 199);

QImage RenderSvg(const QString& name, QSize size, qreal pixel_ratio) {
  LoadArtworkResources();
  QSvgRenderer svg(QStringLiteral(":/artwork/%1.svg").arg(name));
  if (!svg.isValid() || size.isEmpty()) return {};
  QImage image(size * pixel_ratio, QImage::Format_ARGB32_Premultiplied);
  image.fill(Qt::transparent);
  {
    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing);
    svg.render(&painter, QRectF(QPointF(0, 0), QSizeF(image.size())));
  }
  image.setDevicePixelRatio(pixel_ratio);
  return image;
}

void PaintPanel(QPainter& painter, const QRectF& rect) {
  painter.setPen(QPen(kPanelBorder, 1));
  painter.setBrush(kPanel);
  painter.drawRoundedRect(rect.adjusted(0.5, 0.5, -0.5, -0.5), 8, 8);
}

}  // namespace

QPixmap Picture(const QString& name, QSize size, qreal pixel_ratio) {
  QImage image = RenderSvg(name, size, pixel_ratio);
  return image.isNull() ? QPixmap() : QPixmap::fromImage(image);
}

QPixmap Glyph(const QString& name, QSize size, qreal pixel_ratio, const QColor& color) {
  QImage image = RenderSvg(name, size, pixel_ratio);
  if (image.isNull()) return {};
  QPainter painter(&image);
  painter.setCompositionMode(QPainter::CompositionMode_SourceIn);
  painter.fillRect(QRectF(QPointF(0, 0), QSizeF(size)), color);
  painter.end();
  return QPixmap::fromImage(image);
}

QImage MainBackground(QSize size, qreal pixel_ratio) {
  QImage image(size * pixel_ratio, QImage::Format_ARGB32_Premultiplied);
  image.setDevicePixelRatio(pixel_ratio);
  image.fill(Qt::transparent);
  QPainter painter(&image);
  painter.setRenderHint(QPainter::Antialiasing);

  const QRectF outline(0, 0, size.width(), size.height());
  QPainterPath body;
  body.addRoundedRect(outline, kCornerRadius, kCornerRadius);
  QLinearGradient fill(0, 0, size.width() * 0.3, size.height());
  fill.setColorAt(0, kWindowTop);
  fill.setColorAt(1, kWindowBottom);
  painter.fillPath(body, fill);

  // The title band: a brighter strip with the accent line under it.
  painter.save();
  painter.setClipPath(body);
  QLinearGradient band(0, 0, 0, kTitleBandHeight);
  band.setColorAt(0, QColor(0x30, 0x3d, 0x5c));
  band.setColorAt(1, QColor(0x22, 0x2c, 0x43));
  painter.fillRect(QRectF(0, 0, size.width(), kTitleBandHeight), band);
  QLinearGradient accent(0, 0, size.width(), 0);
  accent.setColorAt(0, kAccent);
  accent.setColorAt(1, kAccentBlue);
  painter.fillRect(QRectF(0, kTitleBandHeight - 2, size.width(), 2), accent);
  painter.restore();

  // The logo at the start of the title band.
  QImage logo = RenderSvg("logo", QSize(34, 34), pixel_ratio);
  if (!logo.isNull()) painter.drawImage(QPointF(14, 10), logo);

  PaintPanel(painter, kPreviewPanel);
  PaintPanel(painter, kSettingsPanel);
  PaintPanel(painter, kListPanel);

  painter.setPen(QPen(QColor(0x44, 0x52, 0x70), 1));
  painter.setBrush(Qt::NoBrush);
  painter.drawPath(QPainterPath(body).translated(0, 0));
  return image;
}

QRegion RegionFromOpaquePixels(const QImage& picture) {
  const QImage argb = picture.convertToFormat(QImage::Format_ARGB32);
  QRegion region;
  for (int y = 0; y < argb.height(); ++y) {
    const auto* row = reinterpret_cast<const QRgb*>(argb.constScanLine(y));
    int x = 0;
    while (x < argb.width()) {
      while (x < argb.width() && qAlpha(row[x]) < 128) ++x;
      const int start = x;
      while (x < argb.width() && qAlpha(row[x]) >= 128) ++x;
      if (x > start) region += QRect(start, y, x - start, 1);
    }
  }
  return region;
}

}  // namespace artwork
