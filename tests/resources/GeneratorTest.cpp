// The committed pictures are exactly what the generator draws today.
#include <gtest/gtest.h>

#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QTemporaryDir>

#include "resources/Pictures.h"
#include "tools/make-resources/Generator.h"

namespace tavrelo::artwork {
namespace {

QByteArray contents(const QString& path) {
  QFile file(path);
  return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
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

TEST(Generator, WritesTheCommittedFilesByteForByte) {
  QTemporaryDir out;
  ASSERT_TRUE(out.isValid());
  QString error;
  QStringList written = writePictures(out.path(), &error);
  ASSERT_FALSE(written.isEmpty()) << error.toStdString();
  written.sort();
  EXPECT_EQ(written, picturesUnder(QStringLiteral(TAVRELO_RESOURCES_DIR)))
      << "resources/ holds exactly the generated pictures";
  for (const QString& file : written) {
    const QByteArray fresh = contents(out.path() + QLatin1Char('/') + file);
    EXPECT_FALSE(fresh.isEmpty()) << file.toStdString();
    EXPECT_TRUE(fresh == contents(QStringLiteral(TAVRELO_RESOURCES_DIR "/") + file))
        << file.toStdString() << " differs from the committed one: run make-resources";
  }
}

TEST(Generator, EveryResourcePathIsAGeneratedFile) {
  QTemporaryDir out;
  QString error;
  const QStringList written = writePictures(out.path(), &error);
  ASSERT_FALSE(written.isEmpty()) << error.toStdString();
  QStringList paths{
      QString::fromLatin1(resources::kApplicationIcon), QString::fromLatin1(resources::kBanner),
      QString::fromLatin1(resources::kDonation), QString::fromLatin1(resources::kHandCursor)};
  for (const char* button : resources::kButtons) paths.push_back(QString::fromLatin1(button));
  for (int size : resources::kDesktopIconSizes) paths.push_back(resources::desktopIconPath(size));
  for (const QString& path : paths) {
    ASSERT_TRUE(path.startsWith(QStringLiteral(":/tavrelo/")));
    EXPECT_TRUE(written.contains(path.mid(10))) << path.toStdString();
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
