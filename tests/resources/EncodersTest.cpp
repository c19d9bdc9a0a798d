// The ICO, CUR and GIF writers and the palette reducer, checked by reading
// their output back through Qt's own decoders.
#include <gtest/gtest.h>

#include <QBuffer>
#include <QImageReader>
#include <random>

#include "tools/make-resources/GifFile.h"
#include "tools/make-resources/IconFile.h"
#include "tools/make-resources/JpegFile.h"
#include "tools/make-resources/Palette.h"

namespace tavrelo::artwork {
namespace {

// Random pixels over `colours` table entries; entries listed in `clear` are transparent.
QImage noise(int w, int h, int colours, std::initializer_list<int> clear = {}, unsigned seed = 7) {
  std::mt19937 random(seed);
  QImage image(w, h, QImage::Format_Indexed8);
  QList<QRgb> table;
  for (int i = 0; i < colours; ++i) {
    table.push_back(qRgb(static_cast<int>(random() % 256), static_cast<int>(random() % 256),
                         static_cast<int>(random() % 256)));
  }
  for (int i : clear) table[i] = qRgba(0, 0, 0, 0);
  image.setColorTable(table);
  for (int y = 0; y < h; ++y) {
    for (int x = 0; x < w; ++x) image.setPixel(x, y, static_cast<uint>(random() % colours));
  }
  return image;
}

QImage decode(const QByteArray& bytes, const char* format) {
  QBuffer buffer;
  buffer.setData(bytes);
  buffer.open(QIODevice::ReadOnly);
  QImageReader reader(&buffer, format);
  QImage image = reader.read();
  EXPECT_FALSE(image.isNull()) << format << ": " << reader.errorString().toStdString();
  return image.convertToFormat(QImage::Format_ARGB32);
}

// Pixel by pixel: transparent where the table entry is, the exact colour elsewhere.
void expectSamePixels(const QImage& indexed, const QImage& decoded) {
  ASSERT_EQ(decoded.size(), indexed.size());
  int wrong = 0;
  for (int y = 0; y < indexed.height(); ++y) {
    for (int x = 0; x < indexed.width(); ++x) {
      const QRgb want = indexed.color(indexed.pixelIndex(x, y));
      const QRgb got = decoded.pixel(x, y);
      const bool ok = qAlpha(want) == 0 ? qAlpha(got) == 0 : got == (want | 0xff000000u);
      if (!ok && ++wrong <= 3) ADD_FAILURE() << "pixel " << x << "," << y;
    }
  }
  EXPECT_EQ(wrong, 0);
}

TEST(IconFile, RoundTripsThroughQtAtEveryDepthAndOddWidths) {
  struct Case {
    int w, h, bits, colours;
  };
  for (Case c : {Case{32, 32, 8, 256}, Case{17, 5, 8, 200}, Case{32, 32, 4, 16}, Case{13, 7, 4, 11},
                 Case{9, 3, 1, 2}, Case{256, 256, 8, 256}}) {
    SCOPED_TRACE(testing::Message() << c.w << "x" << c.h << " " << c.bits << " bpp");
    const QImage image = noise(c.w, c.h, c.colours, {0});
    const QByteArray file = encodeIcon(image, c.bits);
    ASSERT_FALSE(file.isEmpty());
    expectSamePixels(image, decode(file, "ico"));
  }
}

TEST(IconFile, CursorKeepsItsHotSpotAndPicture) {
  const QImage image = noise(32, 32, 16, {0, 5});
  const QByteArray file = encodeCursor(image, 4, {12, 1});
  ASSERT_GE(file.size(), 22);
  EXPECT_EQ(file[2], 2) << "resource type: cursor";
  EXPECT_EQ(file[10], 12);
  EXPECT_EQ(file[12], 1);
  expectSamePixels(image, decode(file, "ico"));
}

TEST(IconFile, RefusesWhatItCannotWrite) {
  EXPECT_TRUE(encodeIcon(noise(32, 32, 17), 4).isEmpty()) << "17 colours in 4 bits";
  EXPECT_TRUE(encodeIcon(noise(32, 32, 2), 3).isEmpty()) << "no 3-bit icons";
  EXPECT_TRUE(encodeIcon(noise(257, 4, 2), 8).isEmpty()) << "wider than 256";
  EXPECT_TRUE(encodeIcon(QImage(8, 8, QImage::Format_ARGB32), 8).isEmpty()) << "not indexed";
  EXPECT_TRUE(encodeIcon(QImage(), 8).isEmpty());
  EXPECT_TRUE(encodeCursor(noise(32, 32, 16), 4, {32, 0}).isEmpty()) << "hot spot outside";
  EXPECT_TRUE(encodeCursor(noise(32, 32, 16), 4, {-1, 3}).isEmpty());
}

TEST(GifFile, RoundTripsThroughQtForSmallAndFullPalettes) {
  struct Case {
    int w, h, colours;
  };
  // Noise over 256 colours fills the 4096-code table many times over; the
  // flat and tiny cases exercise the code-width steps and the 2-bit minimum.
  for (Case c : {Case{300, 200, 256}, Case{100, 44, 200}, Case{64, 64, 2}, Case{1, 1, 1},
                 Case{37, 11, 5}, Case{33, 9, 16}}) {
    SCOPED_TRACE(testing::Message() << c.w << "x" << c.h << " " << c.colours << " colours");
    const QImage image = noise(c.w, c.h, c.colours);
    const QByteArray file = encodeGif(image);
    ASSERT_TRUE(file.startsWith("GIF89a"));
    expectSamePixels(image, decode(file, "gif"));
  }
}

TEST(GifFile, LongRunsAndTransparency) {
  QImage image(500, 300, QImage::Format_Indexed8);
  image.setColorTable({qRgb(10, 20, 30), qRgba(0, 0, 0, 0), qRgb(250, 200, 0)});
  for (int y = 0; y < image.height(); ++y) {
    for (int x = 0; x < image.width(); ++x) {
      image.setPixel(x, y, x < 100 ? 1u : static_cast<uint>((x / 50 + y / 30) % 3 == 0 ? 2 : 0));
    }
  }
  const QByteArray file = encodeGif(image);
  EXPECT_LT(file.size(), 500 * 300 / 10) << "runs compress";
  expectSamePixels(image, decode(file, "gif"));
}

TEST(GifFile, RefusesWhatItCannotWrite) {
  EXPECT_TRUE(encodeGif(QImage()).isEmpty());
  EXPECT_TRUE(encodeGif(QImage(4, 4, QImage::Format_RGB32)).isEmpty());
  QImage noTable(4, 4, QImage::Format_Indexed8);
  EXPECT_TRUE(encodeGif(noTable).isEmpty());
}

TEST(JpegFile, FlatBlocksOfGamutEdgeColoursComeBackExactly) {
  // 8 x 8 blocks of colours that a YCbCr JPEG cannot give back, one with
  // detail beside them; Qt's reader must return the flat blocks unchanged.
  const QRgb flat[] = {qRgb(128, 128, 0), qRgb(255, 255, 0), qRgb(0, 0, 255), qRgb(1, 254, 3)};
  QImage image(40, 16, QImage::Format_RGB32);
  for (int y = 0; y < 16; ++y) {
    for (int x = 0; x < 40; ++x) {
      image.setPixel(x, y, x < 32 ? flat[x / 8] : qRgb((x * 37 + y * 11) % 256, y * 16, x * 6));
    }
  }
  const QByteArray file = encodeRgbJpeg(image, 100);
  ASSERT_FALSE(file.isEmpty());
  QByteArray format;
  {
    QBuffer buffer;
    buffer.setData(file);
    buffer.open(QIODevice::ReadOnly);
    format = QImageReader::imageFormat(&buffer);
  }
  EXPECT_EQ(format, "jpeg");
  const QImage decoded = decode(file, "jpeg");
  ASSERT_EQ(decoded.size(), image.size());
  for (int y = 0; y < 16; ++y) {
    for (int x = 0; x < 32; ++x) {
      ASSERT_EQ(decoded.pixel(x, y), image.pixel(x, y)) << x << "," << y;
    }
  }
  // The detailed block is close, not exact: lossy, but not broken.
  int worst = 0;
  for (int y = 0; y < 16; ++y) {
    for (int x = 32; x < 40; ++x) {
      const QRgb a = decoded.pixel(x, y);
      const QRgb b = image.pixel(x, y);
      worst = std::max({worst, std::abs(qRed(a) - qRed(b)), std::abs(qGreen(a) - qGreen(b)),
                        std::abs(qBlue(a) - qBlue(b))});
    }
  }
  EXPECT_LE(worst, 8);
  EXPECT_TRUE(encodeRgbJpeg(QImage(), 90).isEmpty());
  EXPECT_TRUE(encodeRgbJpeg(image, 0).isEmpty());
  EXPECT_TRUE(encodeRgbJpeg(image, 101).isEmpty());
}

TEST(Palette, KeepsFewColoursExactlyAndPutsTransparencyFirst) {
  QImage image(20, 10, QImage::Format_ARGB32);
  image.fill(qRgba(0, 0, 0, 0));
  for (int x = 0; x < 10; ++x) {
    image.setPixel(x, 2, qRgb(255, 0, 0));
    image.setPixel(x, 3, qRgba(0, 0, 255, 128));
    image.setPixel(x + 10, 4, qRgba(9, 99, 199, 255));
  }
  const QImage out = quantise(image, 16);
  ASSERT_EQ(out.format(), QImage::Format_Indexed8);
  EXPECT_EQ(out.colorCount(), 4);
  EXPECT_EQ(out.color(0), qRgba(0, 0, 0, 0));
  for (int y = 0; y < 10; ++y) {
    for (int x = 0; x < 20; ++x) EXPECT_EQ(out.pixel(x, y), image.pixel(x, y)) << x << "," << y;
  }
}

TEST(Palette, ReducesAGradientToTheLimitWithSmallError) {
  QImage image(128, 128, QImage::Format_ARGB32);
  for (int y = 0; y < 128; ++y) {
    for (int x = 0; x < 128; ++x) image.setPixel(x, y, qRgb(x * 2, y * 2, (x + y) % 256));
  }
  for (int limit : {256, 16}) {
    const QImage out = quantise(image, limit);
    EXPECT_LE(out.colorCount(), limit);
    EXPECT_GE(out.colorCount(), limit * 3 / 4) << "the palette is used, not wasted";
    double error = 0;
    for (int y = 0; y < 128; ++y) {
      for (int x = 0; x < 128; ++x) {
        const QRgb a = image.pixel(x, y);
        const QRgb b = out.pixel(x, y);
        error += std::abs(qRed(a) - qRed(b)) + std::abs(qGreen(a) - qGreen(b)) +
                 std::abs(qBlue(a) - qBlue(b));
      }
    }
    EXPECT_LT(error / (128 * 128), limit == 256 ? 18 : 60) << limit;
    EXPECT_EQ(out, quantise(image, limit)) << "same input, same output";
  }
}

TEST(Palette, FlattenAlphaDropsFaintPixelsAndBlendsTheRestOverTheMatte) {
  QImage image(3, 1, QImage::Format_ARGB32);
  image.setPixel(0, 0, qRgba(255, 255, 255, 127));
  image.setPixel(1, 0, qRgba(255, 255, 255, 128));
  image.setPixel(2, 0, qRgba(10, 20, 30, 255));
  const QImage out = flattenAlpha(image, qRgb(0, 0, 0));
  EXPECT_EQ(out.pixel(0, 0), qRgba(0, 0, 0, 0));
  EXPECT_EQ(out.pixel(1, 0), qRgb(128, 128, 128));
  EXPECT_EQ(out.pixel(2, 0), qRgb(10, 20, 30));
}

}  // namespace
}  // namespace tavrelo::artwork
