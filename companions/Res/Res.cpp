// Res.dll: Tonbrix's resource library. It holds the splash picture (a JPEG
// rendered from splash.svg when the project is built) and the texts that make
// up the software information: maker, product, two About texts and the home
// page. No e-mail address exists for this project, so text 5 is left out of
// the table and reads as empty.
#include <cstring>
#include <string_view>

#include "SplashJpeg.h"
#include "TonbrixCompanion.h"

namespace {

struct StringEntry {
  unsigned id;
  const char* text;
};

constexpr StringEntry kStrings[] = {
    {0, "The Tonbrix developers"},
    {1, "Tonbrix"},
    {2,
     "Tonbrix turns your music into phone ringtones: mark the part you want, pick a "
     "format and a quality, and convert."},
    // A relative address names a page in the program folder: the help page is
    // the project's own home.
    {4, "Help.html"},
    {7, "Made with Qt 6, the FFmpeg libraries, opencore-amrnb and libjpeg."},
};

}  // namespace

extern "C" {

__attribute__((visibility("default"))) int TonbrixLoadString(unsigned id, char* buffer,
                                                             int buffer_size) {
  if (buffer == nullptr || buffer_size <= 0) return 0;
  buffer[0] = '\0';
  for (const StringEntry& entry : kStrings) {
    if (entry.id != id) continue;
    size_t count = std::strlen(entry.text);
    if (count > static_cast<size_t>(buffer_size - 1)) count = buffer_size - 1;
    std::memcpy(buffer, entry.text, count);
    buffer[count] = '\0';
    return static_cast<int>(count);
  }
  return 0;
}

__attribute__((visibility("default"))) const unsigned char* TonbrixFindResource(const char* name,
                                                                                const char* type,
                                                                                size_t* size) {
  if (name == nullptr || type == nullptr) return nullptr;
  if (std::string_view(name) != "ImgFlash" || std::string_view(type) != "jpeg") return nullptr;
  if (size != nullptr) *size = kSplashJpegSize;
  return kSplashJpeg;
}
}
