// Decoding a JPEG picture held in memory (the splash picture of Res.dll) with
// libjpeg, called directly.
//
// Any thread may call it; the returned image is the caller's.
#pragma once

#include <QImage>
#include <cstddef>

// The picture as an RGB image; a null image when the bytes are no JPEG
// picture libjpeg can read (the reason goes nowhere: the caller shows no
// picture). Grey pictures come back as RGB too.
QImage DecodeJpeg(const unsigned char* bytes, size_t size);
