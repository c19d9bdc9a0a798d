#include <gtest/gtest.h>
#include <stdlib.h>

#include <filesystem>
#include <memory>

#include "platform/audio/NullSink.h"
#include "platform/disc/CueImage.h"
#include "platform/drive/DigitalCdDrive.h"
#include "tests/drive/support/FaultyDisc.h"
#include "tests/drive/support/Wait.h"
#include "tools/testdisc/TestDisc.h"

namespace tavrelo::drive {
namespace {

constexpr int kSector = disc::kStereoFramesPerSector;

class ImageDir {
 public:
  ImageDir() {
    char pattern[] = "/tmp/tavrelo-image-XXXXXX";
    if (mkdtemp(pattern) == nullptr) throw std::runtime_error("mkdtemp failed");
    path = pattern;
  }
  ~ImageDir() {
    std::error_code ignored;
    std::filesystem::remove_all(path, ignored);
  }
  std::filesystem::path path;
};

std::vector<std::uint8_t> expected(const testdisc::TestDisc& image, Lba from, Lba to) {
  std::vector<std::uint8_t> bytes(static_cast<std::size_t>(to - from) * disc::kSectorBytes);
  for (Lba lba = from; lba < to; ++lba) {
    image.expectedSector(
        lba, std::span(bytes).subspan(static_cast<std::size_t>(lba - from) * disc::kSectorBytes,
                                      disc::kSectorBytes));
  }
  return bytes;
}

// Plays [from, to) of a generated image to a capturing null sink, with
// `unreadable` sectors made to fail every read.
std::vector<std::uint8_t> playImage(const testdisc::TestDisc& image, Lba from, Lba to,
                                    DriveStatus& after, const std::vector<Lba>& unreadable = {}) {
  auto nullSink = std::make_unique<audio::NullSink>(true);
  audio::NullSink* sink = nullSink.get();
  auto source = std::make_unique<testing::FaultyDisc>(disc::CueImage::open(image.cue));
  for (const Lba lba : unreadable) source->makeUnreadable(lba);
  EngineOptions options;
  DigitalCdDrive drive(std::move(source), std::move(nullSink), options);
  Toc toc;
  EXPECT_EQ(drive.readToc(toc), DriveError::None);
  EXPECT_EQ(toc, image.toc);
  EXPECT_EQ(drive.play(from, to), DriveError::None);
  testing::waitUntil(
      [&] {
        sink->advance(75 * kSector);
        return drive.status().audio != AudioStatus::Playing;
      },
      10000);
  after = drive.status();
  return sink->captured();
}

TEST(DigitalCdDriveImage, PlaysABinImageGaplesslyAcrossTracks) {
  ImageDir dir;
  const auto image = testdisc::writeDisc(
      dir.path,
      testdisc::DiscSpec{
          .tracks = testdisc::plainTracks(3, 2), .format = {}, .style = {}, .baseName = "disc"});
  const Lba boundary = image.toc.tracks[1].start;
  DriveStatus after;
  const auto heard = playImage(image, boundary - 40, boundary + 40, after);
  EXPECT_TRUE(heard == expected(image, boundary - 40, boundary + 40));
  EXPECT_EQ(after.audio, AudioStatus::Stopped);
  EXPECT_EQ(after.position, boundary + 40);
  EXPECT_EQ(after.track, 2);
}

TEST(DigitalCdDriveImage, PlaysFlacTracksWithPregapsToTheEndOfTheDisc) {
  ImageDir dir;
  auto tracks = testdisc::plainTracks(2, 1);
  tracks[1].indexZeroSectors = 30;
  const auto image =
      testdisc::writeDisc(dir.path, testdisc::DiscSpec{.tracks = tracks,
                                                       .format = testdisc::AudioFormat::Flac,
                                                       .style = {},
                                                       .baseName = "disc"});
  DriveStatus after;
  const auto heard = playImage(image, 150, image.toc.leadOut, after);
  EXPECT_TRUE(heard == expected(image, 150, image.toc.leadOut));
  EXPECT_EQ(after.audio, AudioStatus::Stopped);
  EXPECT_EQ(after.position, 150);  // the end of the disc sends the drive home
  EXPECT_EQ(after.track, 1);
}

TEST(DigitalCdDriveImage, UnreadableSectorsOfAnImagePlayAsSilence) {
  ImageDir dir;
  const auto image =
      testdisc::writeDisc(dir.path, testdisc::DiscSpec{.tracks = testdisc::plainTracks(2, 2),
                                                       .format = testdisc::AudioFormat::Wave,
                                                       .style = {},
                                                       .baseName = "disc"});
  const Lba boundary = image.toc.tracks[1].start;
  DriveStatus after;
  const auto heard =
      playImage(image, boundary - 30, boundary + 30, after, {boundary - 1, boundary, boundary + 7});
  auto want = expected(image, boundary - 30, boundary + 30);
  for (const int sector : {29, 30, 37}) {
    std::fill_n(want.begin() + sector * disc::kSectorBytes, disc::kSectorBytes, 0);
  }
  EXPECT_TRUE(heard == want);
  EXPECT_EQ(after.audio, AudioStatus::Stopped);
  EXPECT_EQ(after.position, boundary + 30);
}

TEST(DigitalCdDriveImage, TheImageTrayEjectsAndReloadsAtTrackOne) {
  ImageDir dir;
  const auto image = testdisc::writeDisc(
      dir.path,
      testdisc::DiscSpec{
          .tracks = testdisc::plainTracks(2, 2), .format = {}, .style = {}, .baseName = "disc"});
  auto nullSink = std::make_unique<audio::NullSink>();
  audio::NullSink* sink = nullSink.get();
  DigitalCdDrive drive(disc::CueImage::openAsDrive(image.cue), std::move(nullSink));
  const std::uint64_t loaded = drive.status().mediaGeneration;
  ASSERT_EQ(drive.play(image.toc.tracks[1].start, image.toc.leadOut), DriveError::None);
  sink->advance(kSector);
  ASSERT_EQ(drive.openTray(), DriveError::None);
  DriveStatus s = drive.status();
  EXPECT_TRUE(s.trayOpen);
  EXPECT_FALSE(s.mediaPresent);
  EXPECT_EQ(s.audio, AudioStatus::Stopped);
  EXPECT_FALSE(sink->running());
  ASSERT_EQ(drive.closeTray(), DriveError::None);
  s = drive.status();
  EXPECT_FALSE(s.trayOpen);
  EXPECT_TRUE(s.mediaPresent);
  EXPECT_EQ(s.position, image.toc.tracks[0].start);
  EXPECT_EQ(s.track, 1);
  EXPECT_NE(s.mediaGeneration, loaded);
  Toc toc;
  EXPECT_EQ(drive.readToc(toc), DriveError::None);
  EXPECT_EQ(toc, image.toc);
}

}  // namespace
}  // namespace tavrelo::drive
