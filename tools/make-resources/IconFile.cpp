#include "tools/make-resources/IconFile.h"

#include <cstdint>

namespace tavrelo::artwork {
namespace {

constexpr int kDirectorySize = 6;
constexpr int kEntrySize = 16;
constexpr int kInfoHeaderSize = 40;

void put16(QByteArray& out, int value) {
  out.append(static_cast<char>(value & 0xff));
  out.append(static_cast<char>((value >> 8) & 0xff));
}

void put32(QByteArray& out, std::uint32_t value) {
  for (int shift = 0; shift < 32; shift += 8)
    out.append(static_cast<char>((value >> shift) & 0xff));
}

// Rows of a BMP are padded to whole 32-bit words.
int rowBytes(int width, int bits) {
  return ((width * bits + 31) / 32) * 4;
}

bool transparent(const QImage& image, int index) {
  return index < image.colorCount() && qAlpha(image.color(index)) == 0;
}

QByteArray encode(const QImage& indexed, int bits, int type, QPoint hotSpot) {
  const int w = indexed.width();
  const int h = indexed.height();
  if (indexed.format() != QImage::Format_Indexed8 || (bits != 1 && bits != 4 && bits != 8) ||
      w < 1 || h < 1 || w > 256 || h > 256 || indexed.colorCount() > (1 << bits)) {
    return {};
  }
  const int xorRow = rowBytes(w, bits);
  const int andRow = rowBytes(w, 1);
  const int paletteBytes = (1 << bits) * 4;
  const int imageBytes = kInfoHeaderSize + paletteBytes + (xorRow + andRow) * h;

  QByteArray out;
  put16(out, 0);
  put16(out, type);
  put16(out, 1);
  out.append(static_cast<char>(w == 256 ? 0 : w));
  out.append(static_cast<char>(h == 256 ? 0 : h));
  out.append(static_cast<char>(bits >= 8 ? 0 : 1 << bits));
  out.append('\0');
  if (type == 2) {
    put16(out, hotSpot.x());
    put16(out, hotSpot.y());
  } else {
    put16(out, 1);
    put16(out, bits);
  }
  put32(out, static_cast<std::uint32_t>(imageBytes));
  put32(out, kDirectorySize + kEntrySize);

  put32(out, kInfoHeaderSize);
  put32(out, static_cast<std::uint32_t>(w));
  put32(out, static_cast<std::uint32_t>(2 * h));  // colour rows, then mask rows
  put16(out, 1);
  put16(out, bits);
  put32(out, 0);  // BI_RGB
  put32(out, static_cast<std::uint32_t>((xorRow + andRow) * h));
  put32(out, 0);
  put32(out, 0);
  put32(out, 0);
  put32(out, 0);

  for (int i = 0; i < (1 << bits); ++i) {
    // Transparent entries are black: with the mask bit set, black leaves the
    // screen as it is, any other colour would invert it.
    const QRgb c = i < indexed.colorCount() && !transparent(indexed, i) ? indexed.color(i) : 0;
    out.append(static_cast<char>(qBlue(c)));
    out.append(static_cast<char>(qGreen(c)));
    out.append(static_cast<char>(qRed(c)));
    out.append('\0');
  }
  // Both bitmaps run bottom-up.
  for (int y = h - 1; y >= 0; --y) {
    QByteArray row(xorRow, '\0');
    const uchar* line = indexed.constScanLine(y);
    for (int x = 0; x < w; ++x) {
      const int index = transparent(indexed, line[x]) ? 0 : line[x];
      const int bit = x * bits;
      row[bit / 8] = static_cast<char>(row[bit / 8] | (index << (8 - bits - bit % 8)));
    }
    out.append(row);
  }
  for (int y = h - 1; y >= 0; --y) {
    QByteArray row(andRow, '\0');
    const uchar* line = indexed.constScanLine(y);
    for (int x = 0; x < w; ++x) {
      if (transparent(indexed, line[x]))
        row[x / 8] = static_cast<char>(row[x / 8] | (0x80 >> (x % 8)));
    }
    out.append(row);
  }
  return out;
}

}  // namespace

QByteArray encodeIcon(const QImage& indexed, int bitsPerPixel) {
  return encode(indexed, bitsPerPixel, 1, {});
}

QByteArray encodeCursor(const QImage& indexed, int bitsPerPixel, QPoint hotSpot) {
  if (hotSpot.x() < 0 || hotSpot.y() < 0 || hotSpot.x() >= indexed.width() ||
      hotSpot.y() >= indexed.height()) {
    return {};
  }
  return encode(indexed, bitsPerPixel, 2, hotSpot);
}

}  // namespace tavrelo::artwork
