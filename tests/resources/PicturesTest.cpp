// Every picture as the windows load it, from the resources target by path;
// the writers' own refusals. That the writers write what Qt reads back is
// shown by the generator's test: it draws every picture anew and compares.
#include <gtest/gtest.h>

#include <QIcon>
#include <QImageReader>

#include "resources/Pictures.h"
#include "tools/make-resources/GifFile.h"
#include "tools/make-resources/IconFile.h"
#include "tools/make-resources/JpegFile.h"

namespace tavrelo::resources {
namespace {

TEST(Pictures, EachLoadsInItsFormatAndSizeWithTransparentCorners) {
  const struct {
    const char* path;
    const char* format;
    QSize size;
    bool clearCorner;
  } table[] = {
      {kApplicationIcon, "ico", {32, 32}, true},
      {kHandCursor, "ico", {32, 32}, true},
      {kBanner, "jpeg", {141, 23}, false},
      {kDonation, "gif", {100, 44}, true},
  };
  for (const auto& row : table) {
    SCOPED_TRACE(row.path);
    QImageReader reader{QString::fromLatin1(row.path)};
    const QImage image = reader.read();
    ASSERT_FALSE(image.isNull()) << reader.errorString().toStdString();
    EXPECT_EQ(QImageReader::imageFormat(QString::fromLatin1(row.path)), row.format);
    EXPECT_EQ(image.size(), row.size);
    EXPECT_EQ(qAlpha(image.pixel(0, 0)) == 0, row.clearCorner);
  }
  // The banner's edges are the panel's olive, so no seam shows.
  EXPECT_EQ(QImage(kBanner).pixel(140, 22), qRgb(128, 128, 0));
  EXPECT_EQ(handCursor().hotSpot(), QPoint(12, 1));
  EXPECT_EQ(handCursor().pixmap().size(), QSize(32, 32));
}

TEST(Pictures, ButtonsAndDesktopIconsComeInEverySize) {
  for (const char* path : kButtons) {
    SCOPED_TRACE(path);
    const QIcon icon = buttonIcon(path);
    EXPECT_EQ(icon.pixmap(QSize(32, 32), 1.0).size(), QSize(32, 32));
    EXPECT_EQ(icon.pixmap(QSize(32, 32), 2.0).size(), QSize(64, 64)) << "the @2x drawing";
    EXPECT_EQ(qAlpha(QImage(path).pixel(0, 0)), 0);
  }
  for (int size : kDesktopIconSizes)
    EXPECT_EQ(QImage(desktopIconPath(size)).size(), QSize(size, size));
  EXPECT_EQ(applicationIcon().availableSizes().size(), std::size(kDesktopIconSizes));
}

TEST(Pictures, WritersRefuseWhatTheyCannotWrite) {
  QImage indexed(8, 8, QImage::Format_Indexed8);
  indexed.setColorTable(QList<QRgb>(17, qRgb(1, 2, 3)));
  indexed.fill(0);
  EXPECT_TRUE(artwork::encodeIcon(indexed, 4).isEmpty()) << "17 colours in 4 bits";
  EXPECT_TRUE(artwork::encodeIcon(indexed, 3).isEmpty()) << "no 3-bit icons";
  EXPECT_TRUE(artwork::encodeIcon(QImage(8, 8, QImage::Format_ARGB32), 8).isEmpty());
  EXPECT_TRUE(artwork::encodeCursor(indexed, 8, {8, 0}).isEmpty()) << "hot spot outside";
  EXPECT_TRUE(artwork::encodeGif(QImage(4, 4, QImage::Format_RGB32)).isEmpty());
  EXPECT_TRUE(artwork::encodeRgbJpeg(QImage(), 90).isEmpty());
  EXPECT_TRUE(artwork::encodeRgbJpeg(QImage(8, 8, QImage::Format_RGB32), 101).isEmpty());
}

}  // namespace
}  // namespace tavrelo::resources
