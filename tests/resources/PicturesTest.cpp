// Every picture as the windows load it: from the resources target, by path.
#include <gtest/gtest.h>

#include <QIcon>
#include <QImage>
#include <QImageReader>
#include <QPixmap>

#include "resources/Pictures.h"

namespace tavrelo::resources {
namespace {

QImage load(const char* path, QByteArray* format = nullptr) {
  QImageReader reader{QString::fromLatin1(path)};
  const QImage image = reader.read();
  EXPECT_FALSE(image.isNull()) << path << ": " << reader.errorString().toStdString();
  if (format) *format = QImageReader::imageFormat(QString::fromLatin1(path));
  return image;
}

int transparentPixels(const QImage& image) {
  const QImage argb = image.convertToFormat(QImage::Format_ARGB32);
  int count = 0;
  for (int y = 0; y < argb.height(); ++y) {
    for (int x = 0; x < argb.width(); ++x) count += qAlpha(argb.pixel(x, y)) == 0;
  }
  return count;
}

int distinctColours(const QImage& image) {
  const QImage argb = image.convertToFormat(QImage::Format_ARGB32);
  QList<QRgb> seen;
  for (int y = 0; y < argb.height(); ++y) {
    for (int x = 0; x < argb.width(); ++x) {
      if (!seen.contains(argb.pixel(x, y))) seen.push_back(argb.pixel(x, y));
    }
  }
  return static_cast<int>(seen.size());
}

TEST(Pictures, ApplicationIconIsA32PixelIconOf256ColoursWithAMask) {
  QByteArray format;
  const QImage icon = load(kApplicationIcon, &format);
  EXPECT_EQ(format, "ico");
  EXPECT_EQ(icon.size(), QSize(32, 32));
  EXPECT_LE(distinctColours(icon), 256);
  EXPECT_EQ(qAlpha(icon.pixel(0, 0)), 0) << "corners show the ground";
  EXPECT_EQ(qAlpha(icon.pixel(31, 0)), 0);
  EXPECT_EQ(qAlpha(icon.pixel(13, 18)), 0) << "the disc's centre hole";
  EXPECT_EQ(qAlpha(icon.pixel(13, 10)), 255) << "the disc itself";
  EXPECT_GT(transparentPixels(icon), 100);
  EXPECT_LT(transparentPixels(icon), 32 * 32 / 2);
}

TEST(Pictures, DesktopIconsComeInEveryThemeSize) {
  for (int size : kDesktopIconSizes) {
    const QImage icon(desktopIconPath(size));
    ASSERT_FALSE(icon.isNull()) << size;
    EXPECT_EQ(icon.size(), QSize(size, size));
    EXPECT_TRUE(icon.hasAlphaChannel()) << size;
  }
  const QIcon icon = applicationIcon();
  EXPECT_EQ(icon.availableSizes().size(), std::size(kDesktopIconSizes));
  EXPECT_EQ(icon.pixmap(QSize(256, 256)).size(), QSize(256, 256));
}

TEST(Pictures, ButtonIconsAre32PixelsWithTransparencyAndA64PixelCompanion) {
  for (const char* path : kButtons) {
    SCOPED_TRACE(path);
    const QImage icon = load(path);
    EXPECT_EQ(icon.size(), QSize(32, 32));
    EXPECT_TRUE(icon.hasAlphaChannel());
    EXPECT_LE(distinctColours(icon), 256);
    EXPECT_EQ(qAlpha(icon.pixel(0, 0)), 0);
    EXPECT_EQ(qAlpha(icon.pixel(31, 31)), 0);
    const int clear = transparentPixels(icon);
    EXPECT_GT(clear, 32 * 32 / 5) << "a glyph on a transparent ground";
    EXPECT_LT(clear, 32 * 32 - 60) << "the glyph is not empty";

    QString large = QString::fromLatin1(path);
    large.replace(QStringLiteral(".png"), QStringLiteral("@2x.png"));
    const QImage twice(large);
    ASSERT_FALSE(twice.isNull());
    EXPECT_EQ(twice.size(), QSize(64, 64));
    const QIcon asIcon = buttonIcon(path);
    EXPECT_EQ(asIcon.pixmap(QSize(32, 32), 1.0).size(), QSize(32, 32));
    EXPECT_EQ(asIcon.pixmap(QSize(32, 32), 2.0).size(), QSize(64, 64)) << "the @2x drawing";
    EXPECT_EQ(asIcon.pixmap(QSize(32, 32), 2.0).toImage(),
              twice.convertToFormat(asIcon.pixmap(QSize(32, 32), 2.0).toImage().format()));
  }
}

TEST(Pictures, ButtonIconsAreAllDifferent) {
  for (std::size_t i = 0; i < std::size(kButtons); ++i) {
    for (std::size_t j = i + 1; j < std::size(kButtons); ++j) {
      EXPECT_NE(load(kButtons[i]), load(kButtons[j])) << kButtons[i] << " " << kButtons[j];
    }
  }
}

TEST(Pictures, BannerIsA141By23JpegWhoseEdgesAreThePanelsExactOlive) {
  QByteArray format;
  const QImage banner = load(kBanner, &format);
  EXPECT_EQ(format, "jpeg");
  ASSERT_EQ(banner.size(), QSize(141, 23));
  const QRgb olive = qRgb(128, 128, 0);
  for (QPoint corner : {QPoint(0, 0), QPoint(140, 0), QPoint(0, 22), QPoint(140, 22)}) {
    EXPECT_EQ(banner.pixel(corner), olive) << corner.x() << "," << corner.y();
  }
  // Right and bottom edges meet the panel: no seam anywhere along them.
  for (int y = 0; y < 23; ++y) EXPECT_EQ(banner.pixel(140, y), olive) << y;
  for (int x = 0; x < 141; ++x) EXPECT_EQ(banner.pixel(x, 22), olive) << x;
  // The letters are yellow: some pixels are bright red and green, without blue.
  int yellow = 0;
  for (int y = 0; y < 23; ++y) {
    for (int x = 0; x < 141; ++x) {
      const QRgb c = banner.pixel(x, y);
      yellow += qRed(c) > 220 && qGreen(c) > 220 && qBlue(c) < 90;
    }
  }
  EXPECT_GT(yellow, 60);
}

TEST(Pictures, DonationPictureIsA100By44Gif) {
  QByteArray format;
  const QImage donation = load(kDonation, &format);
  EXPECT_EQ(format, "gif");
  EXPECT_EQ(donation.size(), QSize(100, 44));
  EXPECT_EQ(qAlpha(donation.pixel(0, 0)), 0) << "rounded corners let the window show";
  const QRgb middle = donation.pixel(8, 22);
  EXPECT_EQ(qAlpha(middle), 255);
  EXPECT_GT(qRed(middle), 200) << "yellow-orange face";
  EXPECT_GT(qGreen(middle), 120);
  EXPECT_LT(qBlue(middle), 120);
}

TEST(Pictures, HandCursorIs32PixelsOf16ColoursWithItsHotSpotOnTheFingertip) {
  QImageReader reader{QString::fromLatin1(kHandCursor)};
  const QImage hand = reader.read();
  ASSERT_FALSE(hand.isNull()) << reader.errorString().toStdString();
  EXPECT_EQ(hand.size(), QSize(32, 32));
  EXPECT_LE(distinctColours(hand), 16);
  EXPECT_EQ(handCursorHotSpot(), QPoint(12, 1));
  EXPECT_EQ(qAlpha(hand.pixel(12, 1)), 255) << "the hot spot is on the hand";
  EXPECT_EQ(qAlpha(hand.pixel(12, 0)), 0) << "nothing above the fingertip";
  // White hand, black outline, blue cuff.
  EXPECT_EQ(hand.pixel(12, 1), qRgb(0, 0, 0));
  EXPECT_EQ(hand.pixel(12, 4), qRgb(255, 255, 255));
  int blue = 0;
  for (int y = 0; y < 32; ++y) {
    for (int x = 0; x < 32; ++x) blue += hand.pixel(x, y) == qRgb(0, 0, 255);
  }
  EXPECT_GT(blue, 15);

  const QCursor cursor = handCursor();
  EXPECT_EQ(cursor.shape(), Qt::BitmapCursor);
  EXPECT_EQ(cursor.hotSpot(), QPoint(12, 1));
  EXPECT_EQ(cursor.pixmap().size(), QSize(32, 32));
}

}  // namespace
}  // namespace tavrelo::resources
