// The waveform view's fades: the row's fades held to the part, the two
// handles in the part's top corners, their drag and their drawing. The rest
// of the view is in WaveformView.cpp.
#include <QLabel>
#include <QPainter>
#include <algorithm>
#include <cmath>

#include "WaveformView.h"

namespace pf = part_fades;

namespace {

const QColor kFade{0xff, 0xd1, 0x66};
const QColor kFadeShade{0x0b, 0x0e, 0x16, 140};
const QColor kHandleBorder{0x0b, 0x0e, 0x16};

}  // namespace

void WaveformView::SetFades(const RowFades& fades) {
  if (fades == fades_) return;
  fades_ = fades;
  update();
}

RowFades WaveformView::ShownFades() const {
  return pf::FadesForPart(fades_, part_.end - part_.start);
}

QRect WaveformView::FadeHandleRect(pf::Side side) const {
  const double fade = pf::FadeOf(ShownFades(), side);
  const auto x = static_cast<int>(std::lround(timeline_.XAt(pf::HandleTime(side, fade, part_))));
  // Inside the part: right of the fade-in's inner end, left of the fade-out's.
  const int left = side == pf::Side::In ? x + 1 : x - kFadeHandleSize;
  return QRect(left, WaveRect().top() + 1, kFadeHandleSize, kFadeHandleSize);
}

std::optional<pf::Side> WaveformView::FadeHandleAt(QPoint at) const {
  std::optional<pf::Side> found;
  int nearest = 0;
  for (pf::Side side : {pf::Side::In, pf::Side::Out}) {
    const QRect handle = FadeHandleRect(side);
    if (!handle.adjusted(0, -1, 0, 1).contains(at)) continue;
    const int distance = std::abs(handle.center().x() - at.x());
    if (!found || distance < nearest) {
      found = side;
      nearest = distance;
    }
  }
  return found;
}

QString WaveformView::FadeText(pf::Side side, double seconds) {
  // Short, to fit beside the toolbar's commands ("Out 12.5 s"); the curve
  // under the mouse says it is a fade.
  return QString("%1 %2 s")
      .arg(side == pf::Side::In ? "In" : "Out")
      .arg(seconds, 0, 'f', 1);
}

void WaveformView::MoveFadeTo(pf::Side side, double x, bool finished) {
  const double fade = pf::FadeAtTime(side, timeline_.TimeAt(x - fade_grab_offset_), part_);
  double& stored = pf::FadeOf(fades_, side);
  const bool changed = fade != stored;
  stored = fade;
  hover_label_->setText(FadeText(side, fade));
  if (changed) update();
  if (changed || finished) emit fadesChanged(fades_, finished);
}

// Each fade as its gain curve, mirrored about the middle like the waveform,
// with the sound it takes away shaded.
void WaveformView::PaintFades(QPainter& painter, const QRect& wave) const {
  const RowFades shown = ShownFades();
  const double middle = wave.top() + wave.height() / 2.0;
  const double half = wave.height() / 2.0;
  for (pf::Side side : {pf::Side::In, pf::Side::Out}) {
    const double fade = pf::FadeOf(shown, side);
    if (fade <= 0.0) continue;
    // From the silent end (the part's edge) to the handle.
    const double silent = static_cast<double>(side == pf::Side::In ? part_.start : part_.end);
    const double full = pf::HandleTime(side, fade, part_);
    const double x0 = timeline_.XAt(silent);
    const double x1 = timeline_.XAt(full);
    if (std::max(x0, x1) < 0.0 || std::min(x0, x1) > width()) continue;
    const int steps = std::clamp(static_cast<int>(std::abs(x1 - x0) / 2.0), 8, 400);
    QPolygonF upper;
    QPolygonF lower;
    for (int i = 0; i <= steps; ++i) {
      const double t = static_cast<double>(i) / steps;
      const double x = x0 + (x1 - x0) * t;
      const double reach = pf::FadeGain(t * fade, fade) * half;
      upper << QPointF(x, middle - reach);
      lower << QPointF(x, middle + reach);
    }
    QPolygonF shade_top = upper;
    shade_top << QPointF(x1, wave.top()) << QPointF(x0, wave.top());
    QPolygonF shade_bottom = lower;
    shade_bottom << QPointF(x1, wave.bottom() + 1) << QPointF(x0, wave.bottom() + 1);
    painter.setPen(Qt::NoPen);
    painter.setBrush(kFadeShade);
    painter.drawPolygon(shade_top);
    painter.drawPolygon(shade_bottom);
    painter.setPen(QPen(kFade, 1.0));
    painter.setBrush(Qt::NoBrush);
    painter.drawPolyline(upper);
    painter.drawPolyline(lower);
  }
}

// Over everything on the strip, so that they can always be grabbed.
void WaveformView::PaintFadeHandles(QPainter& painter) const {
  painter.setPen(QPen(kHandleBorder, 1.0));
  painter.setBrush(kFade);
  for (pf::Side side : {pf::Side::In, pf::Side::Out}) {
    const QRect handle = FadeHandleRect(side);
    if (handle.right() < 0 || handle.left() > width()) continue;
    painter.drawRect(QRectF(handle).adjusted(0.5, 0.5, -0.5, -0.5));
  }
}
