#include "MarkerBar.h"

#include <QMouseEvent>
#include <QPainter>
#include <QThreadPool>
#include <atomic>
#include <mutex>

#include "Artwork.h"
#include "MediaGraph.h"
#include "SegmentMarker.h"
#include "WaveformEnvelope.h"

namespace sm = segment_marker;

namespace {

const QColor kBarBack{0x0b, 0x0e, 0x16};
const QColor kHandleFace{0x3a, 0x46, 0x62};

// One thread for every bar: a newer request waits at most for the piece of
// work under way, which stops at its next packet once it is dropped.
QThreadPool& WaveformPool() {
  static QThreadPool pool;
  pool.setMaxThreadCount(1);
  return pool;
}

}  // namespace

// The worker reaches the bar through this link, which the bar cuts when it
// goes; a result posted before that is dropped by Qt with the bar's events.
struct TMarkerBar::WaveformLink {
  std::mutex mutex;
  TMarkerBar* bar = nullptr;
};

// A handle: painted from its picture with black in the handle's colour,
// dragged with the left button.
class TMarkerBar::Handle : public QWidget {
 public:
  Handle(TMarkerBar* bar, const QString& name, QLabel* picture, bool start)
      : QWidget(bar), bar_(bar), picture_(picture), start_(start) {
    setObjectName(name);
    setCursor(Qt::PointingHandCursor);
  }

 protected:
  void paintEvent(QPaintEvent*) override {
    QPainter painter(this);
    painter.fillRect(rect(), kHandleFace);
    QImage image = picture_->pixmap().toImage().convertToFormat(QImage::Format_ARGB32);
    for (int y = 0; y < image.height(); ++y) {
      auto* row = reinterpret_cast<QRgb*>(image.scanLine(y));
      for (int x = 0; x < image.width(); ++x)
        if ((row[x] & 0xffffff) == 0 && qAlpha(row[x]) > 0) row[x] = kHandleFace.rgb();
    }
    painter.setRenderHint(QPainter::SmoothPixmapTransform);
    painter.drawImage(QRectF(rect()), image);
  }

  void mousePressEvent(QMouseEvent* event) override {
    if (event->button() != Qt::LeftButton) return;
    dragging_ = true;
    press_x_ = event->globalPosition().x();
    press_width_ = start_ ? bar_->StartImageWidth() : bar_->EndImageWidth();
  }
  void mouseMoveEvent(QMouseEvent* event) override {
    if (!dragging_) return;
    const int dx = qRound(event->globalPosition().x() - press_x_);
    if (start_) {
      bar_->SetStartImageWidth(press_width_ + dx);
    } else {
      bar_->SetEndImageWidth(press_width_ - dx);
    }
  }
  void mouseReleaseEvent(QMouseEvent* event) override {
    if (!dragging_ || event->button() != Qt::LeftButton) return;
    dragging_ = false;
    const int now = start_ ? bar_->StartImageWidth() : bar_->EndImageWidth();
    if (now == press_width_) return;
    if (start_) {
      emit bar_->startHandleMoved();
    } else {
      emit bar_->endHandleMoved();
    }
  }

 private:
  TMarkerBar* bar_;
  QLabel* picture_;
  bool start_;
  bool dragging_ = false;
  double press_x_ = 0;
  int press_width_ = 0;
};

// An image of the bar: over the waveform, the outer ones dim it, the middle
// one marks the segment. Presses on the outer ones are passed on.
class TMarkerBar::Image : public QLabel {
 public:
  enum class Part { Before, Segment, After };
  Image(TMarkerBar* bar, const QString& name, Part part) : QLabel(bar), bar_(bar), part_(part) {
    setObjectName(name);
    setScaledContents(true);
  }

 protected:
  void paintEvent(QPaintEvent*) override {
    QPainter painter(this);
    if (part_ == Part::Segment) {
      QColor tint = artwork::kAccent;
      tint.setAlpha(36);
      painter.fillRect(rect(), tint);
      painter.fillRect(QRect(0, 0, width(), 1), artwork::kAccent);
      painter.fillRect(QRect(0, height() - 1, width(), 1), artwork::kAccent);
    } else {
      painter.fillRect(rect(), QColor(5, 7, 12, 175));
    }
  }
  // A width set from outside (the list's clear sets both outer images back)
  // moves the rest of the bar along.
  void resizeEvent(QResizeEvent* event) override {
    QLabel::resizeEvent(event);
    if (part_ != Part::Segment) bar_->Layout();
  }
  void mousePressEvent(QMouseEvent* event) override { Pressed(event, false); }
  void mouseDoubleClickEvent(QMouseEvent* event) override { Pressed(event, true); }

 private:
  void Pressed(QMouseEvent* event, bool double_click) {
    if (part_ == Part::Before) {
      emit bar_->startImagePressed(event->button(), event->buttons(), event->modifiers(),
                                   double_click);
    } else if (part_ == Part::After) {
      emit bar_->endImagePressed(event->button(), event->buttons(), event->modifiers(),
                                 double_click);
    }
  }

  TMarkerBar* bar_;
  Part part_;
};

TMarkerBar::TMarkerBar(QLabel* imgL, QLabel* imgR, QWidget* parent)
    : QWidget(parent),
      Panel2(nullptr),
      Splitter1(nullptr),
      Panel4(nullptr),
      Splitter2(nullptr),
      Panel3(nullptr) {
  setObjectName("Panel1");
  resize(sm::kBarWidth, sm::kBarHeight);
  Panel2 = new Image(this, "Panel2", Image::Part::Before);
  Splitter1 = new Handle(this, "Splitter1", imgL, true);
  Panel4 = new Image(this, "Panel4", Image::Part::Segment);
  Splitter2 = new Handle(this, "Splitter2", imgR, false);
  Panel3 = new Image(this, "Panel3", Image::Part::After);
  Panel2->resize(1, sm::kBarHeight);
  Panel3->resize(1, sm::kBarHeight);
  Layout();
}

TMarkerBar::~TMarkerBar() {
  if (link_) {
    std::lock_guard lock(link_->mutex);
    link_->bar = nullptr;
  }
  if (abort_) *abort_ = true;
}

void TMarkerBar::SetStartImageWidth(int width) {
  Panel2->resize(sm::ClampStartImageWidth(width, EndImageWidth()), sm::kBarHeight);
  Layout();
}

void TMarkerBar::SetEndImageWidth(int width) {
  Panel3->resize(sm::ClampEndImageWidth(width, StartImageWidth()), sm::kBarHeight);
  Layout();
}

void TMarkerBar::Layout() {
  if (Panel3 == nullptr) return;  // still being built
  const int a = Panel2->width();
  const int b = Panel3->width();
  const int h = sm::kBarHeight;
  const QPoint start_before = Splitter1->pos();
  const QPoint end_before = Splitter2->pos();
  Panel2->setGeometry(0, 0, a, h);
  Splitter1->setGeometry(sm::StartHandleLeft(a), 0, sm::kHandleWidth, h);
  const int middle = sm::StartHandleLeft(a) + sm::kHandleWidth;
  Panel4->setGeometry(middle, 0, sm::EndHandleLeft(b) - middle, h);
  Splitter2->setGeometry(sm::EndHandleLeft(b), 0, sm::kHandleWidth, h);
  Panel3->setGeometry(sm::kBarWidth - b, 0, b, h);
  if (Splitter1->pos() != start_before || Splitter2->pos() != end_before) emit handlesMoved();
}

void TMarkerBar::resizeEvent(QResizeEvent* event) {
  QWidget::resizeEvent(event);
  Layout();
}

void TMarkerBar::paintEvent(QPaintEvent*) {
  QPainter painter(this);
  painter.fillRect(rect(), kBarBack);
  if (peaks_.empty()) return;
  // One line per device pixel column, from the slice under it.
  const qreal ratio = devicePixelRatioF();
  const int columns = qMax(1, qRound(width() * ratio));
  const qreal middle = height() / 2.0;
  const qreal reach = height() / 2.0 - 1;
  QPen pen(artwork::kAccent);
  pen.setWidthF(1.0 / ratio);
  painter.setPen(pen);
  for (int x = 0; x < columns; ++x) {
    const PeakPair& p = peaks_[static_cast<size_t>(x) * peaks_.size() / columns];
    if (p.max < p.min) continue;
    const qreal at = (x + 0.5) / ratio;
    painter.drawLine(QPointF(at, middle - p.max * reach), QPointF(at, middle - p.min * reach));
  }
}

void TMarkerBar::ShowWaveformOf(const QString& file) {
  if (file == waveform_file_) return;
  waveform_file_ = file;
  peaks_.clear();
  complete_ = false;
  update();
  emit waveformChanged();
  StartWaveform(file);
}

void TMarkerBar::StartWaveform(const QString& file) {
  const unsigned generation = ++generation_;
  if (abort_) *abort_ = true;  // the file asked for before is no longer wanted
  abort_ = std::make_shared<std::atomic<bool>>(false);
  if (!link_) {
    link_ = std::make_shared<WaveformLink>();
    link_->bar = this;
  }
  if (file.isEmpty()) return;
  const size_t count = static_cast<size_t>(sm::kBarWidth * kSlicesPerPixel);
  auto abort = abort_;
  auto link = link_;
  const std::string path = file.toStdString();
  WaveformPool().start([abort, link, path, count, generation] {
    const auto deliver = [&](std::vector<PeakPair> peaks, bool complete) {
      std::lock_guard lock(link->mutex);
      if (link->bar == nullptr || *abort) return;
      TMarkerBar* bar = link->bar;
      QMetaObject::invokeMethod(
          bar,
          [bar, generation, complete, peaks = std::move(peaks)]() mutable {
            bar->TakeWaveform(generation, std::move(peaks), complete);
          },
          Qt::QueuedConnection);
    };
    // A file whose length is unknown has no sketch, yet its full envelope
    // may still come; a file that does not decode shows none.
    try {
      if (auto sketch = SketchEnvelope(path, *abort)) deliver(sketch->Slices(count), false);
    } catch (const MediaError&) {
    }
    try {
      auto full = FullEnvelope(path, *abort);
      if (full && full->PairCount() > 0) deliver(full->Slices(count), true);
    } catch (const MediaError&) {
    }
  });
}

void TMarkerBar::TakeWaveform(unsigned generation, std::vector<PeakPair> peaks, bool complete) {
  if (generation != generation_) return;
  if (complete_ && !complete) return;
  peaks_ = std::move(peaks);
  complete_ = complete;
  update();
  emit waveformChanged();
}
