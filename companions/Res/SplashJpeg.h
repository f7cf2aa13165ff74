// The splash JPEG, generated at build time by tonbrix_make_splash from
// splash.svg into SplashJpeg.c.
#pragma once

#include <cstddef>

extern "C" {
extern const unsigned char kSplashJpeg[];
extern const size_t kSplashJpegSize;
}
