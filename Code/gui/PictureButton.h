// TPictureButton: the picture buttons of the main window. One glyph from the
// artwork drawn over a rounded face, in four looks: normal, hover (brighter
// face, accent rim), pressed (darker face, glyph nudged down) and disabled
// (faded glyph). An optional caption is drawn under or beside the glyph.
//
// The button is a QAbstractButton: `clicked` is its click event. Its
// accessible name is its hint when it has one, else its role. Used on the
// user-interface thread only.
#pragma once

#include <QAbstractButton>

class TPictureButton : public QAbstractButton {
  Q_OBJECT

 public:
  enum class Face { Plain, Accent, Bare };

  // `glyph` names an artwork glyph ("play" for glyph_play.svg).
  TPictureButton(const QString& object_name, const QString& glyph, const QString& role,
                 QWidget* parent);

  // The hint, shown as tool tip unless `show` is false; it also becomes the
  // accessible name.
  void SetHint(const QString& hint, bool show = true);
  void SetFace(Face face);
  void SetGlyphSize(int size);

  QSize sizeHint() const override;

 protected:
  void paintEvent(QPaintEvent* event) override;
  void enterEvent(QEnterEvent* event) override;
  void leaveEvent(QEvent* event) override;

 private:
  QString glyph_;
  Face face_ = Face::Plain;
  int glyph_size_ = 22;
  bool hovered_ = false;
};
