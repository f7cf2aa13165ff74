// What a person does with the mouse and the keyboard in Tonbrix's windows,
// sent as real input events to the real child widgets: a marker handle
// dragged, the mouse dragged or its wheel turned over a widget, files
// dropped, a time cell of the list opened, typed into and committed, a key
// pressed on the main window (where its key preview sees it first), the
// header's tick box clicked.
//
// User-interface thread of a QApplication (the offscreen platform serves).
#pragma once

#include <QApplication>
#include <QFileDialog>
#include <QHeaderView>
#include <QLineEdit>
#include <QMimeData>
#include <QMouseEvent>
#include <QTest>
#include <QTimer>
#include <QTreeView>
#include <QWindow>

namespace window_input {

// Drags `handle` by `dx` pixels with the left button, in `steps` moves. The
// handle moves under the mouse, so each move is given in the handle's place
// at that time.
inline void DragHandle(QWidget* handle, int dx, int steps = 5) {
  const QPoint at(9, 9);
  QTest::mousePress(handle, Qt::LeftButton, Qt::NoModifier, at);
  const QPoint global_start = handle->mapToGlobal(at);
  for (int i = 1; i <= steps; ++i) {
    const QPoint global = global_start + QPoint(dx * i / steps, 0);
    QMouseEvent move(QEvent::MouseMove, handle->mapFromGlobal(global), global, Qt::NoButton,
                     Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(handle, &move);
  }
  const QPoint global_end = global_start + QPoint(dx, 0);
  QMouseEvent release(QEvent::MouseButtonRelease, handle->mapFromGlobal(global_end), global_end,
                      Qt::LeftButton, Qt::NoButton, Qt::NoModifier);
  QApplication::sendEvent(handle, &release);
}

// Drags with the left button inside `widget` from `from` to `to`, in
// `steps` moves (the widget itself stays put).
inline void DragMouse(QWidget* widget, QPoint from, QPoint to, int steps = 5) {
  QTest::mousePress(widget, Qt::LeftButton, Qt::NoModifier, from);
  for (int i = 1; i <= steps; ++i) {
    const QPoint at = from + (to - from) * i / steps;
    QMouseEvent move(QEvent::MouseMove, at, widget->mapToGlobal(at), Qt::NoButton, Qt::LeftButton,
                     Qt::NoModifier);
    QApplication::sendEvent(widget, &move);
  }
  QTest::mouseRelease(widget, Qt::LeftButton, Qt::NoModifier, to);
}

// Turns the mouse wheel by `notches` (positive away from the person) over
// `at` of `widget`.
inline void Wheel(QWidget* widget, QPoint at, int notches) {
  QWheelEvent wheel(QPointF(at), QPointF(widget->mapToGlobal(at)), QPoint(),
                    QPoint(0, 120 * notches), Qt::NoButton, Qt::NoModifier, Qt::NoScrollPhase,
                    false);
  QApplication::sendEvent(widget, &wheel);
}

// Files dropped on `target` the way a drop from a file manager comes.
inline void DropFiles(QWidget* target, const QStringList& files) {
  QMimeData mime;
  QList<QUrl> urls;
  for (const QString& file : files) urls << QUrl::fromLocalFile(file);
  mime.setUrls(urls);
  const QPointF at = QPointF(target->rect().center());
  QDragEnterEvent enter(at.toPoint(), Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
  QApplication::sendEvent(target, &enter);
  QDropEvent drop(at, Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
  QApplication::sendEvent(target, &drop);
}

// A double click as the window system delivers it: press, release, press,
// double click, release (QTest's own sends the double click alone).
inline void DoubleClick(QWidget* widget, QPoint at) {
  QTest::mousePress(widget, Qt::LeftButton, Qt::NoModifier, at);
  QTest::mouseRelease(widget, Qt::LeftButton, Qt::NoModifier, at);
  QTest::mousePress(widget, Qt::LeftButton, Qt::NoModifier, at);
  QTest::mouseDClick(widget, Qt::LeftButton, Qt::NoModifier, at);
  QTest::mouseRelease(widget, Qt::LeftButton, Qt::NoModifier, at);
}

// The centre of a cell of `view`, in its viewport.
inline QPoint CellCentre(QTreeView* view, int row, int column) {
  return view->visualRect(view->model()->index(row, column)).center();
}

// Double-clicks a cell and returns the editor that opened in it (nullptr when
// none did).
inline QLineEdit* OpenCellEditor(QTreeView* view, int row, int column) {
  DoubleClick(view->viewport(), CellCentre(view, row, column));
  QLineEdit* editor = nullptr;
  // Gives up after the wait's timeout; the caller then sees no editor.
  (void)QTest::qWaitFor([&] {
    for (QLineEdit* line : view->viewport()->findChildren<QLineEdit*>()) {
      if (line->isVisible()) editor = line;
    }
    return editor != nullptr;
  });
  return editor;
}

// Opens the cell's editor, types `text` as a person would (without selecting
// anything first) and ends with `end` (Return, Tab or Escape). False when no
// editor opened.
inline bool TypeIntoCell(QTreeView* view, int row, int column, const QString& text,
                         Qt::Key end = Qt::Key_Return) {
  QLineEdit* editor = OpenCellEditor(view, row, column);
  if (editor == nullptr) return false;
  QTest::keyClicks(editor, text);
  QTest::keyClick(editor, end);
  return true;
}

// A key pressed on `window` the way the window system delivers it: through
// its native window, so key previews see it before the focused control.
inline void PressOnWindow(QWidget* window, Qt::Key key,
                          Qt::KeyboardModifiers modifiers = Qt::NoModifier) {
  QTest::keyClick(window->windowHandle(), key, modifiers);
}

// Chooses `path` in the file dialog that the code about to run opens: the
// path typed into the dialog's name field, then Return. Arm it before that
// code runs; Chosen() tells whether a dialog came.
class FileDialogAnswer : public QObject {
 public:
  explicit FileDialogAnswer(QString path) : path_(std::move(path)) {
    connect(&poll_, &QTimer::timeout, this, [this] {
      auto* dialog = qobject_cast<QFileDialog*>(QApplication::activeModalWidget());
      if (dialog == nullptr || !dialog->isVisible() || chosen_) return;
      auto* name = dialog->findChild<QLineEdit*>("fileNameEdit");
      if (name == nullptr) return;
      chosen_ = true;
      poll_.stop();
      // Typed in one go: the dialog's completer would otherwise complete
      // each folder of the path while it is being typed.
      name->setText(path_);
      QTest::keyClick(name, Qt::Key_Return);
    });
    poll_.start(20);
  }
  bool Chosen() const { return chosen_; }

 private:
  QString path_;
  QTimer poll_;
  bool chosen_ = false;
};

// Clicks the header section `section` of `view`.
inline void ClickHeader(QTreeView* view, int section) {
  QHeaderView* header = view->header();
  const QPoint at(header->sectionViewportPosition(section) + header->sectionSize(section) / 2,
                  header->height() / 2);
  QTest::mouseClick(header->viewport(), Qt::LeftButton, Qt::NoModifier, at);
}

}  // namespace window_input
