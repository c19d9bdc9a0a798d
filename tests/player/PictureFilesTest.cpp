#include <gtest/gtest.h>

#include <QFile>
#include <QTemporaryDir>

#include "resources/PictureFiles.h"
#include "resources/Pictures.h"

namespace {

using tavrelo::resources::readPicture;

TEST(PictureFilesTest, ReadsTheButtonPngsWithTheirTransparency) {
  for (const char* path : tavrelo::resources::kButtons) {
    const QImage image = readPicture(QString::fromLatin1(path));
    ASSERT_FALSE(image.isNull()) << path;
    EXPECT_EQ(image.size(), QSize(32, 32)) << path;
    EXPECT_TRUE(image.hasAlphaChannel());
    EXPECT_EQ(qAlpha(image.pixel(0, 0)), 0) << path << ": corners are transparent";
  }
  EXPECT_EQ(readPicture(tavrelo::resources::desktopIconPath(32)).size(), QSize(32, 32));
}

TEST(PictureFilesTest, ReadsTheJpegBannerOnOlive) {
  const QImage banner = readPicture(QString::fromLatin1(tavrelo::resources::kBanner));
  ASSERT_EQ(banner.size(), QSize(141, 23));
  const QColor corner = banner.pixelColor(0, 0);
  EXPECT_NEAR(corner.red(), 128, 3);
  EXPECT_NEAR(corner.green(), 128, 3);
  EXPECT_NEAR(corner.blue(), 0, 3);
}

TEST(PictureFilesTest, BrokenOrMissingPicturesGiveANullImage) {
  QTemporaryDir folder;
  const QByteArray png = [] {
    QFile file(QString::fromLatin1(tavrelo::resources::kPlay));
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
  }();
  const QByteArray jpeg = [] {
    QFile file(QString::fromLatin1(tavrelo::resources::kBanner));
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
  }();
  ASSERT_GT(png.size(), 100);
  ASSERT_GT(jpeg.size(), 100);
  const QByteArray broken[] = {png.left(60), jpeg.left(200), QByteArray("\xFF\xD8\xFF\xE0junk", 8),
                               QByteArray("GIF89a"), QByteArray()};
  int n = 0;
  for (const QByteArray& bytes : broken) {
    const QString path = folder.filePath(QString::number(n++));
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(bytes);
    file.close();
    EXPECT_TRUE(readPicture(path).isNull()) << n;
  }
  EXPECT_TRUE(readPicture(folder.filePath("missing.png")).isNull());
}

}  // namespace
