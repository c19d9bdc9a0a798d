// The committed pictures are what the generator draws today. Qt's raster
// engine picks its blending code by CPU, so two machines may differ in the
// last bit of an antialiased edge: pictures are compared by their pixels,
// within a few levels.
#include <gtest/gtest.h>

#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QImage>
#include <QTemporaryDir>
#include <algorithm>
#include <cstdlib>

#include "resources/Pictures.h"
#include "tools/make-resources/Generator.h"

namespace tavrelo::artwork {
namespace {

QByteArray contents(const QString& path) {
  QFile file(path);
  return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

// The largest difference of any channel of any pixel; -1 when the two are not
// pictures of the same size.
int largestDifference(const QString& a, const QString& b) {
  const QImage first = QImage(a).convertToFormat(QImage::Format_ARGB32);
  const QImage second = QImage(b).convertToFormat(QImage::Format_ARGB32);
  if (first.isNull() || first.size() != second.size()) return -1;
  int largest = 0;
  for (int y = 0; y < first.height(); ++y) {
    for (int x = 0; x < first.width(); ++x) {
      const QRgb p = first.pixel(x, y);
      const QRgb q = second.pixel(x, y);
      for (const int shift : {0, 8, 16, 24}) {
        const int d = std::abs(int((p >> shift) & 0xff) - int((q >> shift) & 0xff));
        largest = std::max(largest, d);
      }
    }
  }
  return largest;
}

QStringList picturesUnder(const QString& root) {
  QStringList found;
  QDirIterator it(root, QDir::Files, QDirIterator::Subdirectories);
  while (it.hasNext()) {
    const QString path = QDir(root).relativeFilePath(it.next());
    if (!path.endsWith(QStringLiteral(".txt")) && !path.endsWith(QStringLiteral(".h")) &&
        !path.endsWith(QStringLiteral(".cpp"))) {
      found.push_back(path);
    }
  }
  found.sort();
  return found;
}

TEST(Generator, DrawsTheCommittedPictures) {
  QTemporaryDir out;
  ASSERT_TRUE(out.isValid());
  QString error;
  QStringList written = writePictures(out.path(), &error);
  ASSERT_FALSE(written.isEmpty()) << error.toStdString();
  written.sort();
  EXPECT_EQ(written, picturesUnder(QStringLiteral(TAVRELO_RESOURCES_DIR)))
      << "resources/ holds exactly the generated pictures";
  for (const QString& file : written) {
    const QString fresh = out.path() + QLatin1Char('/') + file;
    const QString committed = QStringLiteral(TAVRELO_RESOURCES_DIR "/") + file;
    EXPECT_FALSE(contents(fresh).isEmpty()) << file.toStdString();
    if (contents(fresh) == contents(committed)) continue;
    const int difference = largestDifference(fresh, committed);
    EXPECT_TRUE(difference >= 0 && difference <= 4)
        << file.toStdString() << " differs from the committed one by " << difference
        << " levels: run make-resources";
  }
}

TEST(Generator, ReportsAFolderItCannotWrite) {
  QTemporaryDir out;
  const QString blocker = out.path() + QStringLiteral("/file");
  QFile file(blocker);
  ASSERT_TRUE(file.open(QIODevice::WriteOnly));
  file.close();
  QString error;
  EXPECT_TRUE(writePictures(blocker + QStringLiteral("/sub"), &error).isEmpty());
  EXPECT_FALSE(error.isEmpty());
}

}  // namespace
}  // namespace tavrelo::artwork
