// open and close: elements, aliases, device IDs, sharing, and the rule that
// neither opening nor closing moves the drive.
#include <gtest/gtest.h>

#include "tests/mci/MciTestSupport.h"

namespace tavrelo::testing {
namespace {

using MciOpen = MciFixture;

TEST_F(MciOpen, RepliesWithTheDeviceIdInEveryElementForm) {
  directory->drives['E'] = std::make_shared<FakeCdDrive>(clock, discs::oneTrack());
  directory->drives['F'] = std::make_shared<FakeCdDrive>(clock, discs::oneTrack());
  EXPECT_EQ(ok("open  D:\\ type cdaudio alias cd wait shareable"), "1");
  EXPECT_EQ(ok("open e: type cdaudio alias e"), "2");
  EXPECT_EQ(ok("open cdaudio!F: alias f"), "3");
  EXPECT_EQ(ok("status cd number of tracks"), "12");
  EXPECT_EQ(ok("status e number of tracks"), "1");
  EXPECT_EQ(ok("status f number of tracks"), "1");
}

TEST_F(MciOpen, CdaudioAloneTakesTheFirstCdDrive) {
  directory->drives['G'] = std::make_shared<FakeCdDrive>(clock, discs::oneTrack());
  EXPECT_EQ(ok("open cdaudio alias x shareable"), "1");
  EXPECT_EQ(ok("status x number of tracks"), "12");  // D: comes before G:
  EXPECT_EQ(ok("open cdaudio shareable"), "2");      // the alias is then the type name
  EXPECT_EQ(ok("status CDAUDIO mode"), "stopped");
  EXPECT_EQ(fails("open cdaudio shareable"), 265u);
}

TEST_F(MciOpen, WithoutACdDriveOrWithABadElement) {
  directory->drives.clear();
  EXPECT_EQ(fails("open cdaudio alias cd"), 266u);
  useDisc(discs::twelveTracks());
  EXPECT_EQ(fails("open Q:\\ type cdaudio alias q"), 296u);       // no such drive
  EXPECT_EQ(fails("open D:\\music type cdaudio alias q"), 296u);  // a path, not a drive
  EXPECT_EQ(fails("open DD: type cdaudio alias q"), 296u);
  EXPECT_EQ(fails("open 1: type cdaudio alias q"), 296u);
  EXPECT_EQ(fails("open D:\\ type waveaudio alias w"), 306u);
  EXPECT_EQ(fails("open nosuchdevice"), 306u);
  EXPECT_EQ(fails("open all"), 279u);
  EXPECT_EQ(fails("open D: type cdaudio alias q bogus"), 259u);
  mci::MciSession withoutDrives(nullptr, clock);
  EXPECT_EQ(withoutDrives.send("open cdaudio alias q").code, 266u);
  EXPECT_EQ(withoutDrives.send("status cdaudio!D: mode").code, 266u);
  EXPECT_EQ(fails("status q mode"), 263u);  // nothing was opened by the failures
}

TEST_F(MciOpen, AliasesAreUniqueAndCaseInsensitive) {
  EXPECT_EQ(ok("open D: type cdaudio alias CD shareable"), "1");
  EXPECT_EQ(ok("status cd mode"), "stopped");
  EXPECT_EQ(fails("open D: type cdaudio alias cd shareable"), 289u);
  EXPECT_EQ(ok("open D: type cdaudio shareable"), "2");  // alias "d:"
  EXPECT_EQ(ok("status d: mode"), "stopped");
  EXPECT_EQ(fails("open D: type cdaudio shareable"), 265u);
}

TEST_F(MciOpen, CloseAndCloseAll) {
  EXPECT_EQ(fails("close cd"), 263u);
  EXPECT_EQ(ok("close all"), "");  // nothing open is fine
  openCd();
  EXPECT_EQ(ok("open D: type cdaudio alias other shareable"), "2");
  EXPECT_EQ(fails("close cd bogus"), 259u);
  EXPECT_EQ(ok("status cd mode"), "stopped");  // the failed close left it open
  EXPECT_EQ(ok("close cd"), "");
  EXPECT_EQ(fails("status cd mode"), 263u);
  EXPECT_EQ(ok("status other mode"), "stopped");
  EXPECT_EQ(fails("status all mode"), 279u);
  EXPECT_EQ(ok("close all wait"), "");
  EXPECT_EQ(fails("status other mode"), 263u);
  EXPECT_EQ(ok("open  D:\\ type cdaudio alias cd wait shareable"), "3");
}

TEST_F(MciOpen, ShareableOpensShareOneDrive) {
  openCd();
  EXPECT_EQ(ok("open cdaudio!D:\\ alias two shareable"), "2");
  EXPECT_EQ(ok("play cd"), "");
  EXPECT_EQ(ok("status two mode"), "playing");
  EXPECT_EQ(ok("pause two"), "");
  EXPECT_EQ(ok("status cd mode"), "paused");
  // Time formats belong to each alias, not to the drive.
  EXPECT_EQ(ok("set two time format tmsf"), "");
  EXPECT_EQ(ok("status cd time format"), "msf");
}

TEST_F(MciOpen, SharingIsRefusedWithoutShareable) {
  EXPECT_EQ(ok("open D: type cdaudio alias one"), "1");
  EXPECT_EQ(fails("open D: type cdaudio alias two shareable"), 291u);
  EXPECT_EQ(ok("close one"), "");
  EXPECT_EQ(ok("open D: type cdaudio alias one shareable"), "2");
  EXPECT_EQ(fails("open D: type cdaudio alias two"), 291u);
}

TEST_F(MciOpen, OpeningAndClosingNeverMoveTheDrive) {
  openCd();
  ok("set cd time format tmsf");
  ok("play cd from 3");
  clock.advance(10'000);
  ok("close all");  // Windows 2000/XP: closing does not stop the disc
  EXPECT_EQ(drive->status().audio, drive::AudioStatus::Playing);

  // A new program (a new session) finds it still playing where it is.
  clock.advance(5'000);
  mci::MciSession next(directory, clock);
  char reply[255];
  ASSERT_EQ(next.sendString("open  D:\\ type cdaudio alias cd wait shareable", reply, 255, nullptr),
            0u);
  ASSERT_EQ(next.sendString("set cd time format tmsf", reply, 255, nullptr), 0u);
  ASSERT_EQ(next.sendString("status cd mode", reply, 255, nullptr), 0u);
  EXPECT_STREQ(reply, "playing");
  ASSERT_EQ(next.sendString("status cd position", reply, 255, nullptr), 0u);
  EXPECT_STREQ(reply, "03:00:15:00");
  EXPECT_EQ(drive->playCalls(), 1);
}

}  // namespace
}  // namespace tavrelo::testing

namespace tavrelo::testing {
namespace {

TEST_F(MciOpen, TheDeviceTypeIsOpenedForOneCommand) {
  EXPECT_EQ(ok("status cdaudio mode"), "stopped");
  EXPECT_EQ(ok("status CDAudio!d: number of tracks"), "12");
  EXPECT_EQ(fails("status cdaudio bogus"), 290u);
  EXPECT_EQ(fails("play cdaudio notify"), 300u);
  EXPECT_EQ(ok("play cdaudio"), "");
  EXPECT_EQ(fails("close cdaudio"), 263u);  // closed again after each command
  EXPECT_EQ(ok("status cdaudio mode"), "playing");
  EXPECT_EQ(fails("status cdaudio!Q: mode"), 296u);
  // An explicit open under the type name is used as it is.
  EXPECT_EQ(ok("open cdaudio shareable"), "5");  // each auto-open took an ID
  EXPECT_EQ(ok("set cdaudio time format tmsf"), "");
  EXPECT_EQ(ok("status cdaudio time format"), "tmsf");
  useDisc(std::nullopt);
  directory->drives.clear();
  EXPECT_EQ(fails("status cdaudio mode"), 266u);
}

}  // namespace
}  // namespace tavrelo::testing
