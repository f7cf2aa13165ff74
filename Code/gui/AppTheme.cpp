#include "AppTheme.h"

#include <QApplication>
#include <QPalette>
#include <QStyleFactory>

#include "Artwork.h"

namespace {

// The field colours of the main window's controls; the window colour is the
// panel shade the Options window always had.
const QColor kWindow{0x1a, 0x21, 0x30};
const QColor kField{0x12, 0x18, 0x26};
const QColor kFieldAlternate{0x16, 0x1d, 0x2d};
const QColor kSelectedText{0x0f, 0x14, 0x20};
const QColor kDisabledText{0x6f, 0x7c, 0x98};

// Rules by control type, so that a window made by Qt (a message box, a file
// dialog, the name prompt) is covered as well as the program's own. A styled
// control draws no focus frame of its own, hence a :focus rule for each. The
// Fusion style draws the rest (progress bars, scroll bars, group boxes) from
// the palette.
const char kStyleSheet[] = R"(
  QComboBox, QLineEdit {
    background: #121826; color: #f4f6fb; border: 1px solid #34415c; border-radius: 5px;
    padding: 2px 8px; selection-background-color: #2ec4b6; selection-color: #0f1420;
    font-size: 13px;
  }
  QComboBox:hover, QLineEdit:hover { border-color: #2ec4b6; }
  QComboBox:focus, QLineEdit:focus { border: 2px solid #2ec4b6; padding: 1px 7px; }
  QComboBox:disabled, QLineEdit:disabled { color: #6f7c98; }
  QComboBox::drop-down { border: none; width: 22px; }
  QComboBox::down-arrow { image: url(:/artwork/combo_arrow.svg); width: 10px; height: 6px; }
  QComboBox::down-arrow:disabled { image: none; }
  QComboBox QAbstractItemView {
    background: #121826; color: #f4f6fb; selection-background-color: #2ec4b6;
  }
  QAbstractSpinBox {
    background: #121826; color: #f4f6fb; border: 1px solid #34415c; border-radius: 5px;
    padding: 2px 4px; selection-background-color: #2ec4b6; selection-color: #0f1420;
    font-size: 13px;
  }
  QAbstractSpinBox:hover { border-color: #2ec4b6; }
  QAbstractSpinBox:focus { border: 2px solid #2ec4b6; padding: 1px 3px; }
  QAbstractSpinBox:disabled { color: #6f7c98; }
  QAbstractSpinBox::up-button, QAbstractSpinBox::down-button {
    width: 18px; border: none; background: transparent;
  }
  QAbstractSpinBox::up-arrow { image: url(:/artwork/spin_up_arrow.svg); width: 10px; height: 6px; }
  QAbstractSpinBox::down-arrow { image: url(:/artwork/combo_arrow.svg); width: 10px; height: 6px; }
  QAbstractSpinBox::up-arrow:disabled, QAbstractSpinBox::down-arrow:disabled { image: none; }
  QAbstractSpinBox QLineEdit, QAbstractSpinBox QLineEdit:focus {
    border: none; padding: 0; background: transparent;
  }
  QTreeView {
    background: #121826; alternate-background-color: #161d2d; color: #f4f6fb;
    border: 1px solid #34415c; gridline-color: #2a3347; font-size: 12px;
    selection-background-color: #2ec4b6; selection-color: #0f1420;
  }
  QTreeView:focus, QListView:focus { border: 1px solid #2ec4b6; }
  QHeaderView::section {
    background: #253049; color: #c9d2e6; border: none; border-right: 1px solid #34415c;
    border-bottom: 1px solid #34415c; padding: 3px 4px; font-size: 12px;
  }
  QCheckBox::indicator { width: 16px; height: 16px; }
  QCheckBox::indicator:unchecked { image: url(:/artwork/uncheck.svg); }
  QCheckBox::indicator:checked { image: url(:/artwork/check.svg); }
  QCheckBox:focus { border: 1px solid #2ec4b6; border-radius: 4px; }
  QPushButton {
    background: #253049; color: #f4f6fb; border: 1px solid #34415c; border-radius: 5px;
    padding: 3px 8px; font-size: 12px;
  }
  QPushButton:hover, QPushButton:default { border-color: #2ec4b6; }
  QPushButton:focus { border: 2px solid #2ec4b6; padding: 2px 7px; }
  QPushButton:pressed { background: #2ec4b6; color: #0f1420; }
  QPushButton:disabled { color: #6f7c98; }
  QProgressBar { background: #121826; border: 1px solid #34415c; border-radius: 4px; }
  QProgressBar::chunk { background: #2ec4b6; border-radius: 3px; }
  QToolTip { background: #253049; color: #f4f6fb; border: 1px solid #34415c; }
)";

}  // namespace

QPalette TonbrixPalette() {
  QPalette palette;
  const auto set = [&](QPalette::ColorRole role, const QColor& color) {
    palette.setColor(QPalette::All, role, color);
  };
  set(QPalette::Window, kWindow);
  set(QPalette::WindowText, artwork::kText);
  set(QPalette::Base, kField);
  set(QPalette::AlternateBase, kFieldAlternate);
  set(QPalette::Text, artwork::kText);
  set(QPalette::PlaceholderText, kDisabledText);
  set(QPalette::Button, artwork::kWindowTop);
  set(QPalette::ButtonText, artwork::kText);
  set(QPalette::BrightText, Qt::white);
  set(QPalette::Highlight, artwork::kAccent);
  set(QPalette::HighlightedText, kSelectedText);
  set(QPalette::ToolTipBase, artwork::kWindowTop);
  set(QPalette::ToolTipText, artwork::kText);
  set(QPalette::Link, artwork::kAccent);
  set(QPalette::LinkVisited, artwork::kAccentBlue);
  // The bevels Fusion draws around buttons, frames and bars.
  set(QPalette::Light, artwork::kPanelBorder);
  set(QPalette::Midlight, artwork::kPanelBorder);
  set(QPalette::Mid, artwork::kWindowTop);
  set(QPalette::Dark, artwork::kWindowBottom);
  set(QPalette::Shadow, Qt::black);
  for (QPalette::ColorRole role : {QPalette::WindowText, QPalette::Text, QPalette::ButtonText}) {
    palette.setColor(QPalette::Disabled, role, kDisabledText);
  }
  palette.setColor(QPalette::Disabled, QPalette::Highlight, artwork::kPanelBorder);
  return palette;
}

void ApplyTonbrixTheme(QApplication& app) {
  QApplication::setStyle(QStyleFactory::create(QStringLiteral("Fusion")));
  QApplication::setPalette(TonbrixPalette());
  app.setStyleSheet(QString::fromLatin1(kStyleSheet));
}
