// The pictures of Tonbrix's windows. All of them are drawn by this project:
// SVG files in artwork/ (compiled into the program) rendered at the screen's
// pixel ratio so that they stay sharp at 1x and 2x, and the main window's
// background, which is painted in code for any window size.
//
// Returned pixmaps and images are plain values owned by the caller. Call on
// the user-interface thread only (QPixmap and font use).
#pragma once

#include <QColor>
#include <QImage>
#include <QPixmap>
#include <QRegion>
#include <QSize>
#include <QString>

namespace artwork {

// The colours every window shares.
inline const QColor kWindowTop{0x25, 0x30, 0x49};
inline const QColor kWindowBottom{0x12, 0x17, 0x23};
inline const QColor kPanel{0x1c, 0x24, 0x35};
inline const QColor kPanelBorder{0x34, 0x41, 0x5c};
inline const QColor kAccent{0x2e, 0xc4, 0xb6};
inline const QColor kAccentBlue{0x3a, 0x86, 0xff};
inline const QColor kText{0xf4, 0xf6, 0xfb};
inline const QColor kMutedText{0x9a, 0xa6, 0xbf};

// The SVG named `name` (without folder and ".svg") at `size` window pixels,
// rendered for `pixel_ratio` device pixels per window pixel. A null pixmap
// when there is no such picture.
QPixmap Picture(const QString& name, QSize size, qreal pixel_ratio);

// A one-colour glyph (glyph_*.svg): the shape painted in `color`.
QPixmap Glyph(const QString& name, QSize size, qreal pixel_ratio, const QColor& color);

// The main window's background at `size` window pixels: the rounded outline,
// the title band and the panels of the preview, settings and list regions.
// Outside the outline the image is fully transparent.
QImage MainBackground(QSize size, qreal pixel_ratio);

// The window outline made of the opaque pixels of `picture` (alpha of at least
// 128): each row's runs of opaque pixels joined into one region, in the
// picture's own pixels.
QRegion RegionFromOpaquePixels(const QImage& picture);

}  // namespace artwork
