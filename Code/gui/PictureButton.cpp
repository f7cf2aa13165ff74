#include "PictureButton.h"

#include <QEnterEvent>
#include <QPainter>
#include <QPainterPath>

#include "Artwork.h"

TPictureButton::TPictureButton(const QString& object_name, const QString& glyph,
                               const QString& role, QWidget* parent)
    : QAbstractButton(parent), glyph_(glyph) {
  setObjectName(object_name);
  setAccessibleName(role);
  setCursor(Qt::PointingHandCursor);
  setFocusPolicy(Qt::NoFocus);
  setAttribute(Qt::WA_Hover);
}

void TPictureButton::SetHint(const QString& hint, bool show) {
  setToolTip(show ? hint : QString());
  if (!hint.isEmpty()) setAccessibleName(hint);
}

void TPictureButton::SetFace(Face face) {
  face_ = face;
  update();
}

void TPictureButton::SetGlyphSize(int size) {
  glyph_size_ = size;
  update();
}

QSize TPictureButton::sizeHint() const { return {glyph_size_ + 14, glyph_size_ + 14}; }

void TPictureButton::enterEvent(QEnterEvent* event) {
  hovered_ = true;
  update();
  QAbstractButton::enterEvent(event);
}

void TPictureButton::leaveEvent(QEvent* event) {
  hovered_ = false;
  update();
  QAbstractButton::leaveEvent(event);
}

void TPictureButton::paintEvent(QPaintEvent*) {
  QPainter painter(this);
  painter.setRenderHint(QPainter::Antialiasing);
  const bool enabled = isEnabled();
  const bool pressed = enabled && isDown();
  const bool hovered = enabled && hovered_ && !pressed;
  const QRectF face = QRectF(rect()).adjusted(0.5, 0.5, -0.5, -0.5);

  if (face_ != Face::Bare || hovered || pressed) {
    QColor top, bottom, rim;
    if (face_ == Face::Accent) {
      top = pressed ? artwork::kAccent.darker(130) : artwork::kAccent.lighter(hovered ? 115 : 100);
      bottom = pressed ? artwork::kAccentBlue.darker(130)
                       : artwork::kAccentBlue.lighter(hovered ? 115 : 100);
      rim = hovered ? artwork::kText : QColor(0x1b, 0x6f, 0x98);
    } else {
      top = pressed ? QColor(0x1a, 0x21, 0x31)
                    : QColor(hovered ? 0x3d : 0x2f, hovered ? 0x4c : 0x3a, hovered ? 0x70 : 0x55);
      bottom = pressed
                   ? QColor(0x15, 0x1b, 0x28)
                   : QColor(hovered ? 0x2e : 0x25, hovered ? 0x3a : 0x2e, hovered ? 0x57 : 0x45);
      rim = hovered ? artwork::kAccent : artwork::kPanelBorder;
    }
    if (!enabled) {
      top = top.darker(140);
      bottom = bottom.darker(140);
      rim = artwork::kPanelBorder;
    }
    QLinearGradient fill(0, 0, 0, height());
    fill.setColorAt(0, top);
    fill.setColorAt(1, bottom);
    painter.setPen(QPen(rim, 1));
    painter.setBrush(fill);
    const qreal radius = qMin<qreal>(8, height() / 4.0);
    painter.drawRoundedRect(face, radius, radius);
  }

  QColor ink = enabled ? artwork::kText : artwork::kMutedText;
  if (!enabled) ink.setAlphaF(0.45);
  const qreal ratio = devicePixelRatioF();
  const QString caption = text();
  const QSize glyph_size(glyph_size_, glyph_size_);
  const QPixmap glyph = artwork::Glyph("glyph_" + glyph_, glyph_size, ratio, ink);
  const int nudge = pressed ? 1 : 0;

  if (caption.isEmpty()) {
    const QPoint at((width() - glyph_size_) / 2, (height() - glyph_size_) / 2 + nudge);
    painter.drawPixmap(at, glyph);
    return;
  }
  // Glyph above its caption.
  QFont font = painter.font();
  font.setBold(true);
  font.setPixelSize(13);
  painter.setFont(font);
  const int text_height = painter.fontMetrics().height();
  const int top = (height() - glyph_size_ - 4 - text_height) / 2 + nudge;
  painter.drawPixmap(QPoint((width() - glyph_size_) / 2, top), glyph);
  painter.setPen(ink);
  painter.drawText(QRect(0, top + glyph_size_ + 4, width(), text_height), Qt::AlignCenter, caption);
}
