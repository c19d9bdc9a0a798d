#include "resources/PictureFiles.h"

#include <jpeglib.h>
#include <png.h>

#include <QByteArray>
#include <QFile>
#include <csetjmp>
#include <cstdio>
#include <memory>

namespace tavrelo::resources {
namespace {

QImage decodePng(const QByteArray& bytes) {
  png_image image{};
  image.version = PNG_IMAGE_VERSION;
  // png_image_free releases what begin_read allocated, whatever happens next.
  const auto release = [](png_image* p) { png_image_free(p); };
  const std::unique_ptr<png_image, decltype(release)> guard(&image, release);
  if (png_image_begin_read_from_memory(&image, bytes.constData(),
                                       static_cast<std::size_t>(bytes.size())) == 0) {
    return {};
  }
  image.format = PNG_FORMAT_BGRA;  // QImage::Format_ARGB32 on a little-endian machine
  QImage decoded(static_cast<int>(image.width), static_cast<int>(image.height),
                 QImage::Format_ARGB32);
  if (decoded.isNull() ||
      png_image_finish_read(&image, nullptr, decoded.bits(),
                            static_cast<png_int_32>(decoded.bytesPerLine()), nullptr) == 0) {
    return {};
  }
  return decoded;
}

struct JpegError {
  jpeg_error_mgr manager{};
  std::jmp_buf back;
};

// libjpeg's own error_exit ends the process; this one goes back to decodeJpeg.
[[noreturn]] void onJpegError(j_common_ptr info) {
  std::longjmp(reinterpret_cast<JpegError*>(info->err)->back, 1);
}

// Only C objects live between setjmp and a possible longjmp.
bool decodeJpegInto(const QByteArray& bytes, QImage& out) {
  jpeg_decompress_struct info{};
  JpegError error;
  info.err = jpeg_std_error(&error.manager);
  error.manager.error_exit = onJpegError;
  error.manager.output_message = [](j_common_ptr) {};
  if (setjmp(error.back) != 0) {
    jpeg_destroy_decompress(&info);
    return false;
  }
  jpeg_create_decompress(&info);
  jpeg_mem_src(&info, reinterpret_cast<const unsigned char*>(bytes.constData()),
               static_cast<unsigned long>(bytes.size()));
  jpeg_read_header(&info, TRUE);
  info.out_color_space = JCS_RGB;
  jpeg_start_decompress(&info);
  out = QImage(static_cast<int>(info.output_width), static_cast<int>(info.output_height),
               QImage::Format_RGB888);
  if (out.isNull()) {
    jpeg_destroy_decompress(&info);
    return false;
  }
  while (info.output_scanline < info.output_height) {
    JSAMPROW row = out.scanLine(static_cast<int>(info.output_scanline));
    jpeg_read_scanlines(&info, &row, 1);
  }
  jpeg_finish_decompress(&info);
  jpeg_destroy_decompress(&info);
  return true;
}

QImage decodeJpeg(const QByteArray& bytes) {
  QImage image;
  if (!decodeJpegInto(bytes, image)) return {};
  return image;
}

}  // namespace

QImage readPicture(const QString& resourcePath) {
  QFile file(resourcePath);
  if (!file.open(QIODevice::ReadOnly)) return {};
  const QByteArray bytes = file.readAll();
  if (bytes.startsWith("\x89PNG")) return decodePng(bytes);
  if (bytes.startsWith("\xFF\xD8\xFF")) return decodeJpeg(bytes);
  return QImage::fromData(bytes);
}

}  // namespace tavrelo::resources
