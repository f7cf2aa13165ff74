#include "JpegImage.h"

// jpeglib.h needs FILE and size_t declared before it.
#include <cstdio>
// (apart, so that include sorting keeps it first)
#include <jpeglib.h>

#include <csetjmp>
#include <memory>

namespace {

// Everything one decoding needs, on the heap: libjpeg leaves a failed call
// through longjmp, and state that lives outside the jumping function's frame
// keeps its value across the jump.
struct JpegDecoder {
  jpeg_decompress_struct info{};
  jpeg_error_mgr error{};
  std::jmp_buf failed{};
  bool created = false;
  QImage image;

  ~JpegDecoder() {
    if (created) jpeg_destroy_decompress(&info);
  }
};

[[noreturn]] void JumpOut(j_common_ptr info) {
  auto* decoder = static_cast<JpegDecoder*>(info->client_data);
  std::longjmp(decoder->failed, 1);
}

// Warnings (a truncated file, for example) are not failures.
void IgnoreMessage(j_common_ptr) {}

// No object with a destructor lives in this frame, so the jump skips none.
bool Decode(JpegDecoder* decoder, const unsigned char* bytes, size_t size) {
  decoder->info.err = jpeg_std_error(&decoder->error);
  decoder->error.error_exit = JumpOut;
  decoder->error.output_message = IgnoreMessage;
  decoder->info.client_data = decoder;
  if (setjmp(decoder->failed) != 0) return false;

  jpeg_create_decompress(&decoder->info);
  decoder->created = true;
  jpeg_mem_src(&decoder->info, bytes, static_cast<unsigned long>(size));
  if (jpeg_read_header(&decoder->info, TRUE) != JPEG_HEADER_OK) return false;
  if (decoder->info.jpeg_color_space == JCS_CMYK || decoder->info.jpeg_color_space == JCS_YCCK)
    return false;
  decoder->info.out_color_space = JCS_RGB;
  jpeg_start_decompress(&decoder->info);
  if (decoder->info.output_components != 3) return false;

  decoder->image = QImage(static_cast<int>(decoder->info.output_width),
                          static_cast<int>(decoder->info.output_height), QImage::Format_RGB888);
  if (decoder->image.isNull()) return false;
  while (decoder->info.output_scanline < decoder->info.output_height) {
    JSAMPROW row = decoder->image.scanLine(static_cast<int>(decoder->info.output_scanline));
    jpeg_read_scanlines(&decoder->info, &row, 1);
  }
  jpeg_finish_decompress(&decoder->info);
  return true;
}

}  // namespace

QImage DecodeJpeg(const unsigned char* bytes, size_t size) {
  if (bytes == nullptr || size == 0) return {};
  auto decoder = std::make_unique<JpegDecoder>();
  if (!Decode(decoder.get(), bytes, size)) return {};
  return decoder->image;
}
