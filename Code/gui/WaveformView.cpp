#include "WaveformView.h"

#include <QApplication>
#include <QKeyEvent>
#include <QLabel>
#include <QPainter>
#include <QScrollBar>
#include <QThreadPool>
#include <QToolButton>
#include <algorithm>
#include <atomic>
#include <cmath>
#include <optional>

#include "Artwork.h"
#include "WaveformEnvelope.h"

namespace sm = segment_marker;
namespace pf = part_fades;

namespace {

const QColor kBack{0x0b, 0x0e, 0x16};
const QColor kPartBack{0x12, 0x2a, 0x33};
const QColor kWave{0x2e, 0xc4, 0xb6};
const QColor kDim{0x0b, 0x0e, 0x16, 170};
const QColor kRulerBack{0x16, 0x1d, 0x2d};
const QColor kRulerText{0xc9, 0xd2, 0xe6};
const QColor kEdge{0xf4, 0xf6, 0xfb};
const QColor kPlayhead{0xff, 0x9f, 0x1c};

// The media library's envelope as the view reads it.
class MediaEnvelopeSource : public EnvelopeSource {
 public:
  explicit MediaEnvelopeSource(WaveformEnvelope envelope) : envelope_(std::move(envelope)) {}
  double Duration() const override { return envelope_.Seconds(); }
  bool Range(double t0, double t1, PeakPair& out) const override {
    if (envelope_.PairCount() == 0 || t1 <= 0.0 || t0 >= envelope_.Seconds()) return false;
    out = envelope_.Range(std::max(t0, 0.0), std::max(t1, t0));
    return true;
  }

 private:
  WaveformEnvelope envelope_;
};

// One loading thread for every view: a newer request waits at most for the
// piece of work under way, which stops at its next packet once dropped.
QThreadPool& EnvelopePool() {
  static QThreadPool pool;
  pool.setMaxThreadCount(1);
  return pool;
}

QString TimeText(double seconds, bool tenths) {
  const auto whole = static_cast<int64_t>(std::floor(seconds));
  QString text = QString("%1:%2").arg(whole / 60).arg(whole % 60, 2, 10, QChar('0'));
  if (tenths) {
    text += QString(".%1").arg(static_cast<int>(std::floor((seconds - whole) * 10)));
  }
  return text;
}

// The ruler's label step: the first that leaves room for a label.
double RulerStep(double seconds_per_pixel) {
  for (double step : {1.0, 2.0, 5.0, 10.0, 15.0, 30.0, 60.0, 120.0, 300.0, 600.0, 1800.0}) {
    if (step / seconds_per_pixel >= 48.0) return step;
  }
  return 3600.0;
}

QToolButton* MakeToolButton(const QString& name, const QString& text, const QString& tip,
                            QWidget* parent) {
  auto* button = new QToolButton(parent);
  button->setObjectName(name);
  button->setText(text);
  button->setToolTip(tip);
  button->setAccessibleName(tip);
  button->setFocusPolicy(Qt::TabFocus);
  button->setAutoRaise(true);
  return button;
}

}  // namespace

// Lives on the window thread; the worker only holds it to post results back.
struct WaveformView::Link {
  WaveformView* view = nullptr;
  std::atomic<bool> abort{false};
};

WaveformView::WaveformView(QWidget* parent) : QWidget(parent) {
  setObjectName("WaveformView1");
  setFocusPolicy(Qt::StrongFocus);
  setMouseTracking(true);
  setAttribute(Qt::WA_OpaquePaintEvent);
  setStyleSheet(
      "QToolButton { color: #c9d2e6; background: transparent; border: 1px solid transparent;"
      " border-radius: 3px; font-size: 11px; padding: 0 4px; }"
      "QToolButton:hover { border-color: #2ec4b6; }"
      "QToolButton:focus { border-color: #2ec4b6; }"
      "QToolButton:checked { background: #1f4b55; color: #f4f6fb; }"
      "QToolButton:disabled { color: #6f7c98; }"
      "QLabel { color: #c9d2e6; font-size: 11px; }"
      "QScrollBar:horizontal { background: #121826; height: 10px; border: none; }"
      "QScrollBar::handle:horizontal { background: #34415c; min-width: 16px; border-radius: 4px; }"
      "QScrollBar::add-line, QScrollBar::sub-line { width: 0; }");

  play_part_ = MakeToolButton("btnPlayPart", QString(), "Play the part (F5)", this);
  SetPartPlaying(false);
  loop_ = MakeToolButton("btnLoopPart", "Loop", "Loop the part", this);
  loop_->setCheckable(true);
  zoom_to_part_ = MakeToolButton("btnZoomToPart", "Zoom to part", "Zoom to part", this);
  // Short captions: the toolbar is narrow, and the tips say the rest.
  finishing_ = MakeToolButton("btnFinishingSettings", "Finish", "Finishing settings (F6)", this);
  suggest_hook_ = MakeToolButton("btnSuggestHook", "Hook", "Suggest the hook (F7)", this);
  hover_label_ = new QLabel(this);
  hover_label_->setObjectName("lblWaveformTime");
  hover_label_->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
  scroll_ = new QScrollBar(Qt::Horizontal, this);
  scroll_->setObjectName("sbWaveform");
  scroll_->setFocusPolicy(Qt::NoFocus);

  connect(play_part_, &QToolButton::clicked, this, &WaveformView::playPartRequested);
  connect(zoom_to_part_, &QToolButton::clicked, this, &WaveformView::ZoomToPart);
  connect(finishing_, &QToolButton::clicked, this, &WaveformView::finishingSettingsRequested);
  connect(suggest_hook_, &QToolButton::clicked, this, &WaveformView::suggestHookRequested);
  connect(scroll_, &QScrollBar::valueChanged, this, [this](int value) {
    if (syncing_scroll_) return;
    // The bar counts in milliseconds of the song.
    timeline_.ScrollTo(value / 1000.0);
    TimelineChanged();
  });
  timeline_.SetWidth(std::max(width(), 1));
}

WaveformView::~WaveformView() {
  if (link_) {
    link_->abort = true;
    link_->view = nullptr;
  }
}

QRect WaveformView::WaveRect() const {
  return QRect(0, kToolbarHeight, width(),
               std::max(height() - kToolbarHeight - kRulerHeight - kScrollHeight, 1));
}

QRect WaveformView::RulerRect() const {
  return QRect(0, WaveRect().bottom() + 1, width(), kRulerHeight);
}

QString WaveformView::HoverText() const { return hover_label_->text(); }

int64_t WaveformView::SongSeconds() const { return duration_; }

void WaveformView::ShowSong(const QString& file, int64_t duration) {
  duration_ = duration;
  if (file == file_) return;
  file_ = file;
  source_.reset();
  complete_ = false;
  cache_ = QImage();
  timeline_.SetDuration(static_cast<double>(std::max<int64_t>(duration, 1)));
  playhead_ = -1.0;
  StartLoading(file);
  TimelineChanged();
}

void WaveformView::StartLoading(const QString& file) {
  if (link_) {
    link_->abort = true;
    link_->view = nullptr;
  }
  link_ = std::make_shared<Link>();
  link_->view = this;
  if (file.isEmpty()) return;
  auto link = link_;
  const std::string path = file.toStdString();
  EnvelopePool().start([link, path] {
    const auto deliver = [&](std::optional<WaveformEnvelope> envelope, bool complete) {
      // A view that went (and with it, at exit, the application) set abort.
      if (link->abort) return;
      // No pairs: the file gives no waveform, which the view says.
      std::shared_ptr<const EnvelopeSource> source;
      if (envelope && envelope->PairCount() > 0) {
        source = std::make_shared<const MediaEnvelopeSource>(std::move(*envelope));
      }
      // Posted to the application object, which outlives every view; the
      // link says on the window thread whether the view still wants it.
      QMetaObject::invokeMethod(
          qApp,
          [link, source, complete] {
            if (link->view != nullptr) link->view->SetEnvelope(source, complete);
          },
          Qt::QueuedConnection);
    };
    try {
      if (auto sketch = SketchEnvelope(path, link->abort)) deliver(std::move(sketch), false);
      if (link->abort) return;
      deliver(FullEnvelope(path, link->abort), true);
    } catch (const MediaError&) {
      deliver(std::nullopt, true);
    }
  });
}

void WaveformView::SetEnvelope(std::shared_ptr<const EnvelopeSource> source, bool complete) {
  if (complete_ && !complete) return;  // a late sketch never hides the full envelope
  source_ = std::move(source);
  complete_ = complete;
  cache_ = QImage();
  update();
  emit envelopeChanged();
}

void WaveformView::SetPart(const sm::Part& part) {
  if (part.start == part_.start && part.end == part_.end) return;
  part_ = part;
  update();
}

void WaveformView::SetPlayhead(double seconds) {
  if (seconds == playhead_) return;
  playhead_ = seconds;
  update();
}

void WaveformView::SetPartPlaying(bool playing) {
  play_part_->setText(playing ? QString::fromUtf8("\u275A\u275A Part")
                              : QString::fromUtf8("\u25B6 Part"));
}

void WaveformView::ZoomToPart() {
  timeline_.ZoomToPart(part_);
  TimelineChanged();
}

void WaveformView::TimelineChanged() {
  SyncScrollBar();
  update();
}

void WaveformView::SyncScrollBar() {
  syncing_scroll_ = true;
  const int shown =
      static_cast<int>(std::lround((timeline_.ViewEnd() - timeline_.ViewStart()) * 1000));
  const int total = static_cast<int>(std::lround(timeline_.Duration() * 1000));
  scroll_->setRange(0, std::max(total - shown, 0));
  scroll_->setPageStep(std::max(shown, 1));
  scroll_->setSingleStep(std::max(shown / 10, 1));
  scroll_->setValue(static_cast<int>(std::lround(timeline_.ViewStart() * 1000)));
  scroll_->setEnabled(total > shown);
  syncing_scroll_ = false;
}

void WaveformView::resizeEvent(QResizeEvent*) {
  const int button_h = kToolbarHeight - 2;
  play_part_->setGeometry(2, 1, 52, button_h);
  loop_->setGeometry(56, 1, 40, button_h);
  zoom_to_part_->setGeometry(98, 1, 80, button_h);
  finishing_->setGeometry(180, 1, 44, button_h);
  // Wide enough for its progress ("12/20…").
  suggest_hook_->setGeometry(226, 1, 42, button_h);
  // The time under the mouse (or a fade's length) takes the rest of the bar.
  const int label_x = suggest_hook_->geometry().right() + 3;
  hover_label_->setGeometry(label_x, 1, std::max(width() - 2 - label_x, 0), button_h);
  scroll_->setGeometry(0, height() - kScrollHeight, width(), kScrollHeight);
  timeline_.SetWidth(width());
  TimelineChanged();
}

// The song's picture in device pixels: one min/max bar per device column,
// each read from the pyramid, so the cost follows the width, not the song.
void WaveformView::RenderWave(qreal dpr) {
  const QRect wave = WaveRect();
  const CacheKey key{timeline_.ViewStart(), timeline_.SecondsPerPixel(), wave.size(), dpr,
                     source_.get()};
  if (!cache_.isNull() && key == cache_key_) return;
  cache_key_ = key;
  const int columns = static_cast<int>(std::ceil(wave.width() * dpr));
  const int rows = static_cast<int>(std::ceil(wave.height() * dpr));
  cache_ = QImage(columns, rows, QImage::Format_ARGB32_Premultiplied);
  cache_.setDevicePixelRatio(dpr);
  cache_.fill(Qt::transparent);
  if (!source_) return;
  const QRgb colour = kWave.rgba();
  const double middle = rows / 2.0;
  const double half = rows / 2.0 - 1.0;
  const double seconds_per_column = timeline_.SecondsPerPixel() / dpr;
  for (int c = 0; c < columns; ++c) {
    const double t0 = timeline_.ViewStart() + c * seconds_per_column;
    PeakPair pair;
    if (!source_->Range(t0, t0 + seconds_per_column, pair)) continue;
    int top = static_cast<int>(std::floor(middle - pair.max * half));
    int bottom = static_cast<int>(std::ceil(middle - pair.min * half));
    top = std::clamp(top, 0, rows - 1);
    bottom = std::clamp(bottom, top, rows - 1);
    for (int y = top; y <= bottom; ++y) reinterpret_cast<QRgb*>(cache_.scanLine(y))[c] = colour;
  }
}

void WaveformView::paintEvent(QPaintEvent*) {
  QPainter painter(this);
  const QRect wave = WaveRect();
  painter.fillRect(rect(), kBack);
  painter.fillRect(QRect(0, 0, width(), kToolbarHeight), kRulerBack);

  const double part_x0 = timeline_.XAt(static_cast<double>(part_.start));
  const double part_x1 = timeline_.XAt(static_cast<double>(part_.end));
  const QRectF part_rect(part_x0, wave.top(), part_x1 - part_x0, wave.height());
  painter.fillRect(part_rect.intersected(QRectF(wave)), kPartBack);

  // The device painted on decides the pixels: the window's screen, or an
  // image that the widget is rendered into.
  const qreal dpr = painter.device()->devicePixelRatioF();
  RenderWave(dpr);
  painter.drawImage(wave.topLeft(), cache_);
  if (!source_ && !file_.isEmpty()) {
    painter.setPen(kRulerText);
    painter.drawText(wave, Qt::AlignCenter,
                     complete_ ? "No waveform for this file" : "Reading the waveform\u2026");
  }

  // Outside the part the song is dimmed.
  painter.fillRect(QRectF(wave.left(), wave.top(), std::max(part_x0, 0.0), wave.height()), kDim);
  if (part_x1 < wave.width()) {
    painter.fillRect(QRectF(part_x1, wave.top(), wave.width() - part_x1, wave.height()), kDim);
  }
  PaintSecondTicks(painter, wave);
  PaintFades(painter, wave);

  // The edges: a line and a grip at the foot (the top corners hold the fade
  // handles); the focused one is drawn heavier while the view has the focus.
  for (sm::Edge edge : {sm::Edge::Start, sm::Edge::End}) {
    const double exact = edge == sm::Edge::Start ? part_x0 : part_x1;
    if (exact < -4 || exact > width() + 4) continue;
    // An edge at either end of the song stays in sight on the outer column.
    const double x = std::clamp(exact, 1.0, width() - 1.0);
    const bool focused = hasFocus() && edge == focused_edge_;
    painter.setPen(QPen(focused ? kWave : kEdge, focused ? 2.0 : 1.0));
    painter.drawLine(QPointF(x, wave.top()), QPointF(x, wave.bottom() + 1));
    const double grip = edge == sm::Edge::Start ? 6.0 : -6.0;
    const double foot = wave.bottom() + 1;
    const QPointF triangle[3] = {QPointF(x, foot), QPointF(x + grip, foot), QPointF(x, foot - 8)};
    painter.setBrush(focused ? kWave : kEdge);
    painter.setPen(Qt::NoPen);
    painter.drawPolygon(triangle, 3);
  }

  if (playhead_ >= 0.0) {
    const double x = timeline_.XAt(playhead_);
    if (x >= 0 && x <= width()) {
      painter.setPen(QPen(kPlayhead, 1.0));
      painter.drawLine(QPointF(x, wave.top()), QPointF(x, wave.bottom() + 1));
    }
  }
  if (hover_ >= 0.0) {
    const double x = timeline_.XAt(hover_);
    painter.setPen(QPen(QColor(255, 255, 255, 60), 1.0));
    painter.drawLine(QPointF(x, wave.top()), QPointF(x, wave.bottom() + 1));
  }
  PaintRuler(painter);

  PaintFadeHandles(painter);

  if (hasFocus()) {
    painter.setBrush(Qt::NoBrush);
    painter.setPen(QPen(kWave, 1.0));
    painter.drawRect(QRectF(0.5, 0.5, width() - 1.0, height() - kScrollHeight - 1.0));
  }
}

// Where each second falls, once the seconds are far enough apart to tell.
void WaveformView::PaintSecondTicks(QPainter& painter, const QRect& wave) const {
  const double pixels_per_second = 1.0 / timeline_.SecondsPerPixel();
  if (pixels_per_second < 6.0) return;
  painter.setPen(QPen(QColor(0xc9, 0xd2, 0xe6, 140), 1.0));
  const auto first = static_cast<int64_t>(std::ceil(timeline_.ViewStart()));
  for (int64_t s = first; s <= timeline_.ViewEnd(); ++s) {
    const double x = std::floor(timeline_.XAt(static_cast<double>(s))) + 0.5;
    painter.drawLine(QPointF(x, wave.bottom() - 4), QPointF(x, wave.bottom() + 1));
    painter.drawLine(QPointF(x, wave.top()), QPointF(x, wave.top() + 3));
  }
}

void WaveformView::PaintRuler(QPainter& painter) const {
  const QRect ruler = RulerRect();
  painter.fillRect(ruler, kRulerBack);
  const double step = RulerStep(timeline_.SecondsPerPixel());
  const double minor = step >= 10 ? step / 5 : (step >= 2 ? step / 2 : 0.5);
  QFont font = painter.font();
  font.setPixelSize(9);
  painter.setFont(font);
  painter.setPen(kRulerText);
  const double first_minor = std::ceil(timeline_.ViewStart() / minor) * minor;
  for (double t = first_minor; t <= timeline_.ViewEnd(); t += minor) {
    const double x = std::floor(timeline_.XAt(t)) + 0.5;
    const bool major = std::fmod(t + 1e-6, step) < 1e-3;
    painter.drawLine(QPointF(x, ruler.top()), QPointF(x, ruler.top() + (major ? 5 : 2)));
    if (major) {
      painter.drawText(QRectF(x + 2, ruler.top() + 1, 60, ruler.height() - 1),
                       Qt::AlignLeft | Qt::AlignVCenter, TimeText(t, false));
    }
  }
}

void WaveformView::MoveEdgeTo(sm::Edge edge, int64_t second, bool finished) {
  const sm::Part moved = WaveformTimeline::MoveEdge(part_, edge, second, SongSeconds());
  const bool changed = moved.start != part_.start || moved.end != part_.end;
  part_ = moved;
  if (changed) update();
  if (changed || finished) emit edgeMoved(part_, edge, finished);
}

void WaveformView::mousePressEvent(QMouseEvent* event) {
  setFocus(Qt::MouseFocusReason);
  const QPointF at = event->position();
  drag_last_x_ = at.x();
  if (event->button() != Qt::LeftButton) return;
  if (RulerRect().contains(at.toPoint())) {
    drag_ = Drag::Pan;
    return;
  }
  if (!WaveRect().contains(at.toPoint())) return;
  if (const std::optional<pf::Side> side = FadeHandleAt(at.toPoint())) {
    drag_ = *side == pf::Side::In ? Drag::FadeIn : Drag::FadeOut;
    const double fade = pf::FadeOf(ShownFades(), *side);
    fade_grab_offset_ = at.x() - timeline_.XAt(pf::HandleTime(*side, fade, part_));
    hover_label_->setText(FadeText(*side, fade));
    update();
    return;
  }
  const double start_x = timeline_.XAt(static_cast<double>(part_.start));
  const double end_x = timeline_.XAt(static_cast<double>(part_.end));
  const double to_start = std::abs(at.x() - start_x);
  const double to_end = std::abs(at.x() - end_x);
  if (std::min(to_start, to_end) <= kGrabDistance) {
    // Edges drawn on top of each other: the one on the side of the press.
    const bool start = to_start < to_end || (to_start == to_end && at.x() < start_x);
    drag_ = start ? Drag::StartEdge : Drag::EndEdge;
    focused_edge_ = start ? sm::Edge::Start : sm::Edge::End;
    update();
    return;
  }
  emit seekRequested(std::clamp(timeline_.TimeAt(at.x()), 0.0, timeline_.Duration()));
}

void WaveformView::mouseMoveEvent(QMouseEvent* event) {
  const double x = event->position().x();
  hover_ = std::clamp(timeline_.TimeAt(x), 0.0, timeline_.Duration());
  // Over a fade handle the text tells its fade, else the time under the mouse.
  const std::optional<pf::Side> over =
      drag_ == Drag::None ? FadeHandleAt(event->position().toPoint()) : std::nullopt;
  hover_label_->setText(over ? FadeText(*over, pf::FadeOf(ShownFades(), *over))
                             : TimeText(hover_, true));
  switch (drag_) {
    case Drag::StartEdge:
    case Drag::EndEdge:
      MoveEdgeTo(drag_ == Drag::StartEdge ? sm::Edge::Start : sm::Edge::End,
                 WaveformTimeline::WholeSecondAt(timeline_.TimeAt(x)), false);
      break;
    case Drag::FadeIn:
    case Drag::FadeOut:
      MoveFadeTo(drag_ == Drag::FadeIn ? pf::Side::In : pf::Side::Out, x, false);
      break;
    case Drag::Pan:
      // The ruler follows the mouse: dragging right shows earlier times.
      timeline_.PanBy(drag_last_x_ - x);
      TimelineChanged();
      break;
    case Drag::None:
      break;
  }
  drag_last_x_ = x;
  update();
}

void WaveformView::mouseReleaseEvent(QMouseEvent* event) {
  if (drag_ == Drag::StartEdge || drag_ == Drag::EndEdge) {
    MoveEdgeTo(drag_ == Drag::StartEdge ? sm::Edge::Start : sm::Edge::End,
               WaveformTimeline::WholeSecondAt(timeline_.TimeAt(event->position().x())), true);
  }
  if (drag_ == Drag::FadeIn || drag_ == Drag::FadeOut) {
    MoveFadeTo(drag_ == Drag::FadeIn ? pf::Side::In : pf::Side::Out, event->position().x(), true);
  }
  drag_ = Drag::None;
}

void WaveformView::leaveEvent(QEvent*) {
  hover_ = -1.0;
  hover_label_->clear();
  update();
}

void WaveformView::wheelEvent(QWheelEvent* event) {
  const double steps = event->angleDelta().y() / 120.0;
  if (steps == 0.0) {
    event->ignore();
    return;
  }
  timeline_.ZoomAround(event->position().x(), std::pow(1.25, steps));
  TimelineChanged();
  event->accept();
}

void WaveformView::keyPressEvent(QKeyEvent* event) {
  const bool shift = event->modifiers().testFlag(Qt::ShiftModifier);
  const double focus_x = timeline_.XAt(
      static_cast<double>(focused_edge_ == sm::Edge::Start ? part_.start : part_.end));
  switch (event->key()) {
    case Qt::Key_Left:
    case Qt::Key_Right: {
      const int64_t step = (shift ? 5 : 1) * (event->key() == Qt::Key_Left ? -1 : 1);
      const int64_t from = focused_edge_ == sm::Edge::Start ? part_.start : part_.end;
      MoveEdgeTo(focused_edge_, from + step, true);
      return;
    }
    case Qt::Key_Plus:
    case Qt::Key_Equal:
      timeline_.ZoomAround(std::clamp(focus_x, 0.0, double(width())), 2.0);
      TimelineChanged();
      return;
    case Qt::Key_Minus:
      timeline_.ZoomAround(std::clamp(focus_x, 0.0, double(width())), 0.5);
      TimelineChanged();
      return;
    case Qt::Key_Space:
      emit playPartRequested();
      return;
    default:
      QWidget::keyPressEvent(event);
  }
}

// Tab goes from the start edge to the end edge (Shift+Tab back) before it
// leaves the view, so the keyboard reaches both edges and still gets out.
bool WaveformView::focusNextPrevChild(bool next) {
  if (hasFocus()) {
    if (next && focused_edge_ == sm::Edge::Start) {
      focused_edge_ = sm::Edge::End;
      update();
      return true;
    }
    if (!next && focused_edge_ == sm::Edge::End) {
      focused_edge_ = sm::Edge::Start;
      update();
      return true;
    }
  }
  return QWidget::focusNextPrevChild(next);
}

void WaveformView::focusInEvent(QFocusEvent* event) {
  if (event->reason() == Qt::TabFocusReason) focused_edge_ = sm::Edge::Start;
  if (event->reason() == Qt::BacktabFocusReason) focused_edge_ = sm::Edge::End;
  update();
}

void WaveformView::focusOutEvent(QFocusEvent*) { update(); }
