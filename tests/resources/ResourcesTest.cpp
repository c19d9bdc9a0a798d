// The committed pictures as the windows load them and as the generator draws
// them again (Qt's raster engine blends by CPU, so pictures are compared by
// their pixels, within a few levels); the demo disc's music and image.
#include <gtest/gtest.h>
#include <sys/wait.h>

#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QIcon>
#include <QImageReader>
#include <QTemporaryDir>
#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <limits>
#include <tuple>

#include "platform/disc/CueImage.h"
#include "resources/PictureFiles.h"
#include "resources/Pictures.h"
#include "tools/demo-disc/Synth.h"
#include "tools/make-resources/Generator.h"
#include "tools/make-resources/GifFile.h"
#include "tools/make-resources/IconFile.h"
#include "tools/make-resources/JpegFile.h"

namespace tavrelo {
namespace {

using namespace resources;
using namespace demodisc;

TEST(Pictures, EachLoadsInItsFormatAndSizeWithTransparentCorners) {
  const std::tuple<const char*, const char*, QSize, bool> table[] = {
      {kApplicationIcon, "ico", {32, 32}, true},
      {kHandCursor, "ico", {32, 32}, true},
      {kBanner, "jpeg", {141, 23}, false},
      {kDonation, "gif", {100, 44}, true},
  };
  for (const auto& [path, format, size, clearCorner] : table) {
    SCOPED_TRACE(path);
    const QImage image = readPicture(QString::fromLatin1(path));
    EXPECT_EQ(QImageReader::imageFormat(QString::fromLatin1(path)), format);
    EXPECT_EQ(image.size(), size);
    EXPECT_EQ(qAlpha(image.pixel(0, 0)) == 0, clearCorner);
  }
  // The banner's edges are the panel's olive, so no seam shows.
  EXPECT_EQ(readPicture(kBanner).pixel(140, 22), qRgb(128, 128, 0));
  EXPECT_EQ(handCursor().hotSpot(), QPoint(12, 1));

  for (const char* path : kButtons) {
    SCOPED_TRACE(path);
    const QIcon icon = buttonIcon(path);
    EXPECT_EQ(icon.pixmap(QSize(32, 32), 1.0).size(), QSize(32, 32));
    EXPECT_EQ(icon.pixmap(QSize(32, 32), 2.0).size(), QSize(64, 64)) << "the @2x drawing";
    EXPECT_EQ(qAlpha(readPicture(path).pixel(0, 0)), 0);
  }
  for (int size : kDesktopIconSizes)
    EXPECT_EQ(readPicture(desktopIconPath(size)).size(), QSize(size, size));
  EXPECT_EQ(applicationIcon().availableSizes().size(), std::size(kDesktopIconSizes));
}

TEST(Generator, DrawsTheCommittedPicturesAndRefusesWhatItCannotWrite) {
  QTemporaryDir out;
  QString error;
  QStringList written = artwork::writePictures(out.path(), &error);
  ASSERT_FALSE(written.isEmpty()) << error.toStdString();
  written.sort();
  const QDir committed(QStringLiteral(TAVRELO_RESOURCES_DIR));
  QStringList pictures;
  for (QDirIterator it(committed.path(), QDir::Files, QDirIterator::Subdirectories);
       it.hasNext();) {
    const QString path = committed.relativeFilePath(it.next());
    if (!path.endsWith(".txt") && !path.endsWith(".h") && !path.endsWith(".cpp")) {
      pictures.push_back(path);
    }
  }
  pictures.sort();
  EXPECT_EQ(written, pictures) << "resources/ holds exactly the generated pictures";
  for (const QString& file : written) {
    const QImage fresh = QImage(out.filePath(file)).convertToFormat(QImage::Format_ARGB32);
    const QImage old = QImage(committed.filePath(file)).convertToFormat(QImage::Format_ARGB32);
    ASSERT_FALSE(fresh.isNull()) << file.toStdString();
    ASSERT_EQ(fresh.size(), old.size()) << file.toStdString();
    int largest = 0;  // of any channel of any pixel
    for (qsizetype i = 0; i < fresh.sizeInBytes(); ++i)
      largest = std::max(largest, std::abs(fresh.constBits()[i] - old.constBits()[i]));
    EXPECT_LE(largest, 4) << file.toStdString() << " differs: run make-resources";
  }

  QFile blocker(out.filePath("file"));
  ASSERT_TRUE(blocker.open(QIODevice::WriteOnly));
  EXPECT_TRUE(artwork::writePictures(blocker.fileName() + "/sub", &error).isEmpty());
  EXPECT_TRUE(error.startsWith("icons/tavrelo2.ico: ")) << error.toStdString();

  // The writers refuse what they cannot write.
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

int run(const std::string& arguments) {
  const int status = std::system((std::string(TAVRELO_MAKE_DEMO_DISC) + " " + arguments).c_str());
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

// Headroom without clipping or DC, stereo, silence at both ends, and the same
// samples every time; one test, as rendering is slow under the sanitizers. An
// unplayable description gives two seconds of silence, not a crash.
TEST(DemoSongs, EverySongIsCleanStereoMusicOfItsOwn) {
  std::vector<std::int16_t> previous;
  for (const Song& song : demoSongs()) {
    SCOPED_TRACE(song.title);
    const auto pcm = renderSong(song);
    ASSERT_EQ(pcm.size(), 2 * static_cast<std::size_t>(std::ceil(songSeconds(song) * kSampleRate)));
    int peak = 0;
    double sum[2] = {0, 0}, lr = 0, ll = 0, rr = 0;
    for (std::size_t i = 0; i + 1 < pcm.size(); i += 2) {
      const double l = pcm[i], r = pcm[i + 1];
      peak = std::max({peak, std::abs(int{pcm[i]}), std::abs(int{pcm[i + 1]})});
      sum[0] += l;
      sum[1] += r;
      lr += l * r;
      ll += l * l;
      rr += r * r;
    }
    const double peakDb = 20 * std::log10(peak / 32768.0);
    EXPECT_LT(peakDb, -2.5) << "headroom";
    EXPECT_GT(peakDb, -4.0) << "loud enough";
    for (double channel : sum)
      EXPECT_LT(std::abs(channel / (pcm.size() / 2) / 32768.0), 1e-3) << "DC";
    EXPECT_LT(lr / std::sqrt(ll * rr), 0.97) << "some stereo spread";
    EXPECT_LT(std::abs(pcm[0]) + std::abs(pcm.back()), 8) << "no click at either end";
    EXPECT_NE(pcm, previous);
    previous = pcm;
  }
  EXPECT_EQ(renderSong(demoSongs().back()), previous) << "same song, same samples";

  Song empty, still = demoSongs()[0], endless = still, barless = still;
  empty.progression.clear();
  still.tempo = 0;
  endless.tempo = std::numeric_limits<double>::infinity();
  barless.bars = 0;
  for (const Song& song : {empty, still, endless, barless}) {
    EXPECT_FALSE(playable(song));
    EXPECT_EQ(renderSong(song), std::vector<std::int16_t>(2u * 2 * kSampleRate, 0));
  }
}

// Every track starts on a sector boundary, padded with silence; ten seconds
// into each, the reader returns the rendered samples. A place it cannot write
// is said, and so is a missing argument.
TEST(MakeDemoDisc, TheProgramsOwnDiscReaderPlaysIt) {
  QTemporaryDir temp;
  const std::filesystem::path dir = temp.path().toStdString(), cue = dir / "nested" / "demo.cue";
  ASSERT_EQ(run("'" + cue.string() + "' >/dev/null"), 0);
  const auto source = disc::CueImage::open(cue);
  ASSERT_TRUE(source);
  const disc::Toc toc = source->readToc();
  ASSERT_EQ(toc.tracks.size(), demoSongs().size());
  disc::Lba start = disc::kLeadInFrames;
  for (std::size_t s = 0; s < demoSongs().size(); ++s) {
    SCOPED_TRACE(s + 1);
    const auto pcm = renderSong(demoSongs()[s]);
    EXPECT_TRUE(toc.tracks[s].audio);
    EXPECT_EQ(toc.tracks[s].start, start);
    std::vector<std::uint8_t> sector(disc::kSectorBytes);
    const disc::Lba at = start + 10 * disc::kFramesPerSecond;
    ASSERT_EQ(source->readAudio(at, 1, sector), 1);
    // Both little-endian 16-bit samples.
    const auto first = static_cast<std::size_t>(at - start) * 2 * disc::kStereoFramesPerSector;
    EXPECT_EQ(0, std::memcmp(sector.data(), pcm.data() + first, sector.size()));
    start += static_cast<disc::Lba>((pcm.size() / 2 + 587) / 588);
  }
  EXPECT_EQ(toc.leadOut, start);

  std::ofstream(dir / "file") << "x";
  EXPECT_EQ(run("'" + (dir / "file" / "demo.cue").string() + "' 2>/dev/null"), 1);
  EXPECT_EQ(run("2>/dev/null"), 2) << "usage";
}

}  // namespace
}  // namespace tavrelo
