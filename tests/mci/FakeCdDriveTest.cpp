// The fake drive keeps the CdDrive contract that the device tests rely on.
#include <gtest/gtest.h>

#include "tests/mci/MciTestSupport.h"

namespace tavrelo::testing {
namespace {

using drive::AudioStatus;
using drive::DriveError;

TEST(FakeCdDrive, PlaysAtSeventyFiveFramesASecondAndStopsAtTheEndOfItsRange) {
  ManualClock clock;
  FakeCdDrive drive(clock, discs::twelveTracks());
  ASSERT_EQ(drive.play(150, 300), DriveError::None);
  clock.advance(1'000);
  EXPECT_EQ(drive.status().position, 225);
  EXPECT_EQ(drive.status().audio, AudioStatus::Playing);
  clock.advance(1'000);
  EXPECT_EQ(drive.status().audio, AudioStatus::Stopped);
  EXPECT_EQ(drive.status().position, 300);
}

TEST(FakeCdDrive, TheEndOfTheDiscReturnsToTrackOne) {
  ManualClock clock;
  FakeCdDrive drive(clock, discs::oneTrack());
  ASSERT_EQ(drive.play(13000, 13650), DriveError::None);
  clock.advance(10'000);
  const auto s = drive.status();
  EXPECT_EQ(s.audio, AudioStatus::Stopped);
  EXPECT_EQ(s.position, 150);
  EXPECT_EQ(s.track, 1);
}

TEST(FakeCdDrive, TrayAndGenerations) {
  ManualClock clock;
  FakeCdDrive drive(clock, discs::oneTrack());
  const auto first = drive.status().mediaGeneration;
  ASSERT_EQ(drive.play(150, 13650), DriveError::None);
  ASSERT_EQ(drive.openTray(), DriveError::None);
  auto s = drive.status();
  EXPECT_TRUE(s.trayOpen);
  EXPECT_FALSE(s.mediaPresent);
  EXPECT_EQ(s.audio, AudioStatus::Stopped);
  EXPECT_NE(s.mediaGeneration, first);
  disc::Toc toc;
  EXPECT_EQ(drive.readToc(toc), DriveError::NoMedia);
  EXPECT_EQ(drive.play(150, 300), DriveError::NoMedia);
  ASSERT_EQ(drive.closeTray(), DriveError::None);
  EXPECT_TRUE(drive.status().mediaPresent);
  EXPECT_EQ(drive.readToc(toc), DriveError::None);
  EXPECT_EQ(toc, discs::oneTrack());
}

TEST(FakeCdDrive, RefusesAddressesOutsideTheDisc) {
  ManualClock clock;
  FakeCdDrive drive(clock, discs::oneTrack());
  EXPECT_EQ(drive.play(150, 13651), DriveError::OutOfRange);
  EXPECT_EQ(drive.play(300, 200), DriveError::OutOfRange);
  EXPECT_EQ(drive.seek(13650), DriveError::OutOfRange);
  EXPECT_EQ(drive.seek(-1), DriveError::OutOfRange);
  EXPECT_EQ(drive.resume(), DriveError::NotPaused);
}

}  // namespace
}  // namespace tavrelo::testing
