#include "tools/make-resources/GifFile.h"

#include <algorithm>
#include <cstdint>
#include <unordered_map>

namespace tavrelo::artwork {
namespace {

constexpr int kMaxCodes = 4096;  // 12-bit codes

void put16(QByteArray& out, int value) {
  out.append(static_cast<char>(value & 0xff));
  out.append(static_cast<char>((value >> 8) & 0xff));
}

// Packs variable-width codes least significant bit first, as GIF wants.
class BitWriter {
 public:
  void write(int code, int width) {
    buffer_ |= static_cast<std::uint32_t>(code) << bits_;
    bits_ += width;
    while (bits_ >= 8) {
      bytes_.append(static_cast<char>(buffer_ & 0xff));
      buffer_ >>= 8;
      bits_ -= 8;
    }
  }
  QByteArray finish() {
    if (bits_ > 0) bytes_.append(static_cast<char>(buffer_ & 0xff));
    buffer_ = 0;
    bits_ = 0;
    return bytes_;
  }

 private:
  QByteArray bytes_;
  std::uint32_t buffer_ = 0;
  int bits_ = 0;
};

QByteArray compress(const QImage& image, int minCodeSize) {
  const int clear = 1 << minCodeSize;
  const int end = clear + 1;
  int next = end + 1;
  int width = minCodeSize + 1;
  std::unordered_map<std::uint32_t, int> table;  // (prefix code << 8 | pixel) -> code
  BitWriter out;
  out.write(clear, width);

  int prefix = -1;
  for (int y = 0; y < image.height(); ++y) {
    const uchar* line = image.constScanLine(y);
    for (int x = 0; x < image.width(); ++x) {
      const int pixel = line[x];
      if (prefix < 0) {
        prefix = pixel;
        continue;
      }
      const std::uint32_t key = (static_cast<std::uint32_t>(prefix) << 8) | pixel;
      if (auto found = table.find(key); found != table.end()) {
        prefix = found->second;
        continue;
      }
      out.write(prefix, width);
      if (next < kMaxCodes) {
        table.emplace(key, next++);
        // The decoder adds its entries one code later, so it widens when the
        // code just assigned (next - 1) reaches the current width's limit.
        if (next > (1 << width) && width < 12) ++width;
      } else {
        out.write(clear, width);
        table.clear();
        next = end + 1;
        width = minCodeSize + 1;
      }
      prefix = pixel;
    }
  }
  out.write(prefix, width);
  out.write(end, width);
  return out.finish();
}

}  // namespace

QByteArray encodeGif(const QImage& indexed) {
  if (indexed.format() != QImage::Format_Indexed8 || indexed.isNull() || indexed.colorCount() < 1 ||
      indexed.colorCount() > 256 || indexed.width() > 0xffff || indexed.height() > 0xffff) {
    return {};
  }
  int tableBits = 1;  // the global colour table holds 2^tableBits entries
  while ((1 << tableBits) < indexed.colorCount()) ++tableBits;
  int transparentIndex = -1;
  for (int i = 0; i < indexed.colorCount(); ++i) {
    if (qAlpha(indexed.color(i)) == 0) {
      transparentIndex = i;
      break;
    }
  }

  QByteArray out("GIF89a");
  put16(out, indexed.width());
  put16(out, indexed.height());
  out.append(static_cast<char>(0x80 | ((tableBits - 1) << 4) | (tableBits - 1)));
  out.append('\0');  // background colour index
  out.append('\0');  // square pixels
  for (int i = 0; i < (1 << tableBits); ++i) {
    const QRgb c = i < indexed.colorCount() ? indexed.color(i) : 0;
    out.append(static_cast<char>(qRed(c)));
    out.append(static_cast<char>(qGreen(c)));
    out.append(static_cast<char>(qBlue(c)));
  }
  if (transparentIndex >= 0) {
    out.append("\x21\xf9\x04\x01", 4);  // graphic control: transparency flag
    put16(out, 0);
    out.append(static_cast<char>(transparentIndex));
    out.append('\0');
  }
  out.append('\x2c');
  put16(out, 0);
  put16(out, 0);
  put16(out, indexed.width());
  put16(out, indexed.height());
  out.append('\0');  // no local table, not interlaced

  // Pixel indexes never exceed the table, so tableBits bits hold them all;
  // GIF wants at least 2.
  const int minCodeSize = tableBits < 2 ? 2 : tableBits;
  out.append(static_cast<char>(minCodeSize));
  const QByteArray data = compress(indexed, minCodeSize);
  for (qsizetype at = 0; at < data.size(); at += 255) {
    const qsizetype length = std::min<qsizetype>(255, data.size() - at);
    out.append(static_cast<char>(length));
    out.append(data.constData() + at, length);
  }
  out.append('\0');
  out.append('\x3b');
  return out;
}

}  // namespace tavrelo::artwork
