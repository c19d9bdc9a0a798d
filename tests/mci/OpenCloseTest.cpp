// open and close: elements, aliases, device IDs, sharing, and the rule that
// neither opening nor closing moves the drive.
#include "tests/mci/MciTestSupport.h"

namespace tavrelo::testing {
namespace {

class MciOpen : public MciFixture {
 protected:
  void SetUp() override { useDisc(twelveTracks()); }
};

TEST_F(MciOpen, ElementsAliasesAndDeviceIds) {
  directory->drives['E'] = std::make_shared<FakeCdDrive>(clock, oneTrack());
  directory->drives['F'] = std::make_shared<FakeCdDrive>(clock, oneTrack());
  expect({"open  D:\\ type cdaudio alias cd wait shareable -> 1",
          "open e: type cdaudio alias E -> 2", "open cdaudio!F: alias f -> 3",
          "status CD number of tracks -> 12", "status e number of tracks -> 1",
          // Aliases are unique whatever their case; without one, the element is the alias.
          "open F: type cdaudio alias Cd -> error 289", "open D: type cdaudio shareable -> 4",
          "status d: mode -> stopped", "open D: type cdaudio shareable -> error 265",
          // The type alone takes the first CD drive and is then the alias.
          "open cdaudio shareable -> 5", "status CDAUDIO number of tracks -> 12",
          "open cdaudio shareable -> error 265",
          "open D: type cdaudio alias \"my cd\" shareable -> 6", "status \"MY CD\" mode -> stopped",
          "status my cd mode -> error 263"});
}

TEST_F(MciOpen, AFailedOpenOpensNothing) {
  expectEach("error 296", {"open Q:\\ type cdaudio alias q", "open D:\\music type cdaudio alias q",
                           "open DD: type cdaudio alias q", "open 1: type cdaudio alias q"});
  expectEach("error 306", {"open D:\\ type waveaudio alias q", "open nosuchdevice"});
  expect({"open all -> error 279", "open D: type cdaudio alias q bogus -> error 259",
          "status q mode -> error 263"});
  directory->drives.clear();
  expect({"open cdaudio alias q -> error 266"});
  mci::MciSession withoutDrives(nullptr, clock);
  EXPECT_EQ(withoutDrives.send("open cdaudio alias q").code, 266u);
}

TEST_F(MciOpen, CloseAndCloseAll) {
  expect({"close cd -> error 263", "close all ->",
          "open  D:\\ type cdaudio alias cd wait shareable -> 1",
          "open D: type cdaudio alias other shareable -> 2", "close cd bogus -> error 259",
          "status cd mode -> stopped", "close cd ->", "status cd mode -> error 263",
          "status other mode -> stopped", "status all mode -> error 279", "close all wait ->",
          "status other mode -> error 263",
          "open  D:\\ type cdaudio alias cd wait shareable -> 3"});
}

TEST_F(MciOpen, OnlyShareableOpensShareADriveAndEachKeepsItsTimeFormat) {
  expect({"open D: type cdaudio alias one -> 1",
          "open D: type cdaudio alias two shareable -> error 291", "close one ->",
          "open D: type cdaudio alias one shareable -> 2",
          "open D: type cdaudio alias two -> error 291",
          "open cdaudio!D:\\ alias two shareable -> 3", "play one ->", "pause two ->",
          "status one mode -> paused", "set two time format tmsf ->",
          "status one time format -> msf"});
}

TEST_F(MciOpen, OpeningAndClosingNeverMoveTheDrive) {
  openCd("tmsf");
  expect({"play cd from 3 ->"});
  clock.advance(10'000);
  expect({"close all ->"});  // Windows 2000/XP: closing does not stop the disc
  clock.advance(5'000);
  // The next program, in a session of its own, finds the disc playing on.
  session = std::make_unique<mci::MciSession>(directory, clock);
  openCd("tmsf");
  expect({"status cd mode -> playing", "status cd position -> 03:00:15:00"});
  EXPECT_EQ(drive->playCalls(), 1);
}

TEST_F(MciOpen, TheDeviceTypeIsOpenedForOneCommand) {
  expect({"status cdaudio mode -> stopped", "status CDAudio!d: number of tracks -> 12",
          "status cdaudio bogus -> error 290", "play cdaudio notify -> error 300",
          "play cdaudio ->",
          "close cdaudio -> error 263",  // closed again after each command
          "status cdaudio mode -> playing", "status cdaudio!Q: mode -> error 296",
          // An explicit open under the type name is used as it is.
          "open cdaudio shareable -> 5",  // each auto-open took an ID
          "set cdaudio time format tmsf ->", "status cdaudio time format -> tmsf"});
}

}  // namespace
}  // namespace tavrelo::testing
