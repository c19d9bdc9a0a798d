#include "tools/make-resources/JpegFile.h"

#include <jpeglib.h>

#include <csetjmp>
#include <cstdio>
#include <cstdlib>
#include <vector>

namespace tavrelo::artwork {
namespace {

// libjpeg reports errors by calling error_exit, which must not return.
struct ErrorManager {
  jpeg_error_mgr base;
  std::jmp_buf escape;
};

[[noreturn]] void onError(j_common_ptr info) {
  std::longjmp(reinterpret_cast<ErrorManager*>(info->err)->escape, 1);
}

// Owns the compressor and the memory buffer libjpeg allocates for the output.
struct Compressor {
  jpeg_compress_struct info{};
  unsigned char* output = nullptr;
  unsigned long outputSize = 0;
  Compressor() = default;
  Compressor(const Compressor&) = delete;
  Compressor& operator=(const Compressor&) = delete;
  ~Compressor() {
    jpeg_destroy_compress(&info);
    std::free(output);
  }
};

// Kept apart from the QByteArray work so that nothing with a destructor
// lives between setjmp and a longjmp.
bool compress(Compressor& c, ErrorManager& errors, const std::vector<unsigned char>& rgb, int width,
              int height, int quality) {
  c.info.err = jpeg_std_error(&errors.base);
  errors.base.error_exit = onError;
  if (setjmp(errors.escape)) return false;
  jpeg_create_compress(&c.info);
  jpeg_mem_dest(&c.info, &c.output, &c.outputSize);
  c.info.image_width = static_cast<JDIMENSION>(width);
  c.info.image_height = static_cast<JDIMENSION>(height);
  c.info.input_components = 3;
  c.info.in_color_space = JCS_RGB;
  jpeg_set_defaults(&c.info);
  jpeg_set_colorspace(&c.info, JCS_RGB);  // also writes the Adobe marker
  jpeg_set_quality(&c.info, quality, TRUE);
  c.info.dct_method = JDCT_ISLOW;
  jpeg_start_compress(&c.info, TRUE);
  while (c.info.next_scanline < c.info.image_height) {
    JSAMPROW row = const_cast<JSAMPROW>(rgb.data() + std::size_t{c.info.next_scanline} * 3 * width);
    jpeg_write_scanlines(&c.info, &row, 1);
  }
  jpeg_finish_compress(&c.info);
  return true;
}

}  // namespace

QByteArray encodeRgbJpeg(const QImage& picture, int quality) {
  if (picture.isNull() || quality < 1 || quality > 100) return {};
  const QImage source = picture.convertToFormat(QImage::Format_RGB888);
  const int width = source.width();
  const int height = source.height();
  std::vector<unsigned char> rgb(std::size_t{3} * width * height);
  for (int y = 0; y < height; ++y) {
    std::copy_n(source.constScanLine(y), 3 * width, rgb.begin() + std::ptrdiff_t{3} * width * y);
  }
  Compressor c;
  ErrorManager errors{};
  if (!compress(c, errors, rgb, width, height, quality)) return {};
  return QByteArray(reinterpret_cast<const char*>(c.output), static_cast<qsizetype>(c.outputSize));
}

}  // namespace tavrelo::artwork
