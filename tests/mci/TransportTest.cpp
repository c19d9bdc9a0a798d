// play, pause, resume, stop, seek, the door and "wait", in every time format.
#include "tests/mci/MciTestSupport.h"

namespace tavrelo::testing {
namespace {

using drive::DriveError;

using MciTransport = MciFixture;

// Play runs on (played again, the stream is left alone); pause holds the
// position until play or resume; stop keeps it until a seek.
TEST_F(MciTransport, PlayPauseResumeAndStop) {
  expect({"resume cd -> error 262", "play cd ->", "status cd mode -> playing"});
  clock.advance(1'000);
  expect({"play cd ->"});
  clock.advance(4 * 60'000);
  expect({"status cd current track -> 2", "status cd position -> 02:00:01:00"});
  EXPECT_EQ(drive->playCalls(), 1);
  expect({"pause cd wait ->", "status cd mode -> paused"});
  clock.advance(10'000);
  expect({"status cd position -> 02:00:01:00", "play cd ->", "status cd mode -> playing"});
  clock.advance(1'000);
  expect({"status cd position -> 02:00:02:00", "pause cd ->", "resume cd ->",
          "status cd mode -> playing"});
  clock.advance(5'000);
  expect({"stop cd wait ->", "status cd mode -> stopped", "status cd position -> 02:00:07:00",
          "seek cd to 1 wait ->", "status cd position -> 01:00:00:00"});
}

TEST_F(MciTransport, PlaysRunToTheEndOfTheDiscOrOfTheirRange) {
  expect({"play cd from 6 ->", "status cd current track -> 6"});
  EXPECT_EQ(drive->playTo(), 150 + 12 * 18000);
  expect({"play cd from 3 to 4 ->"});
  clock.advance(4 * 60'000 + 500);
  expect({"status cd mode -> stopped", "status cd position -> 04:00:00:00"});
  expect({"play cd from 3:0:1 to 3:0:2 ->"});
  EXPECT_EQ(drive->playTo(), 150 + 2 * 18000 + 150);
  expect({"stop cd ->", "play cd from 3 to 3 ->", "status cd mode -> stopped"});
  EXPECT_EQ(drive->playCalls(), 3);  // an empty range plays nothing

  // The play of the whole disc ends back at track 1.
  useDisc(oneTrack());
  openCd("tmsf");
  expect({"play cd ->"});
  clock.advance(3 * 60'000 + 100);
  expect({"status cd mode -> stopped", "status cd position -> 01:00:00:00"});
}

TEST_F(MciTransport, OutOfRangeTargetsFailAndChangeNothing) {
  expect({"play cd from 4 ->"});
  expectEach("error 282",
             {"play cd from 13", "play cd from 0", "play cd from 5 to 4", "play cd from 1 to 13",
              "play cd from 12:4:0:0" /* the lead-out */, "play cd from 1:0:60:0",
              "play cd from 1:0:0:75", "seek cd to 13", "seek cd to -1"});
  expect({"status cd mode -> playing", "status cd current track -> 4"});
  EXPECT_EQ(drive->playCalls(), 1);
}

TEST_F(MciTransport, SeekStopsAndMovesInEveryTimeFormat) {
  expect({"play cd ->", "seek cd to 12 ->", "status cd mode -> stopped",
          "status cd position -> 12:00:00:00", "seek cd to 7:1:2:3 ->",
          "status cd position -> 07:01:02:03", "seek cd to start ->",
          "status cd position -> 01:00:00:00", "set cd time format msf ->", "seek cd to end ->",
          "status cd position -> 48:01:74",  // lead-out - 1
          "seek cd to 48:2:0 -> error 282",  // the lead-out itself
          "seek cd to 0:1:74 -> error 282",  // in the lead-in
          "seek cd to 0:2:0 ->",
          // Milliseconds round as Windows does: 00:62:00 is frame 4650, 13 ms the next frame.
          "set cd time format milliseconds ->", "seek cd to 62001 ->", "set cd time format msf ->",
          "status cd position -> 01:02:00", "set cd time format ms ->", "seek cd to 2014 ->",
          "status cd position -> 2014", "seek cd to 1000 -> error 282"});
}

TEST_F(MciTransport, TheDoorOpensAndCloses) {
  expect({"play cd ->", "set cd door open wait ->", "status cd mode -> open",
          "status cd number of tracks -> error 276", "play cd -> error 276",
          "set cd door closed wait ->", "status cd mode -> stopped",
          "status cd position -> 01:00:00:00"});
}

TEST_F(MciTransport, PlayWaitReturnsWhenTheRangeIsDoneOrTheDriveStalls) {
  auto before = clock.nowMs();
  expect({"play cd from 2 to 3 wait ->"});
  EXPECT_GE(clock.nowMs() - before, 4 * 60'000);
  expect({"status cd mode -> stopped", "status cd position -> 03:00:00:00"});

  expect({"play cd from 2 ->"});
  drive->stall(true);
  before = clock.nowMs();
  expect({"play cd wait -> error 262"});
  EXPECT_GE(clock.nowMs() - before, mci::CdAudioDevice::kStallMs);
  EXPECT_LT(clock.nowMs() - before, mci::CdAudioDevice::kStallMs + 1'000);
}

TEST_F(MciTransport, DriveFailuresBecomeMciCodes) {
  const std::pair<DriveError, std::string_view> failures[] = {
      {DriveError::Hardware, "play cd -> error 262"},
      {DriveError::Unavailable, "stop cd -> error 262"},
      {DriveError::NoMedia, "pause cd -> error 276"},
      {DriveError::OutOfRange, "seek cd to 2 -> error 282"},
      {DriveError::Hardware, "set cd door open -> error 262"}};
  for (const auto& [error, step] : failures) {
    drive->failNextCommand(error);
    expect({step});
  }
  drive->breakDown();
  expect({"status cd mode -> not ready", "status cd ready -> false"});
}

TEST_F(MciTransport, TheTocIsReadOncePerDisc) {
  expect({"status cd number of tracks -> 12", "status cd length -> 47:59:74"});
  EXPECT_EQ(drive->readTocCalls(), 1);
  drive->insertDisc(oneTrack());
  expect({"status cd number of tracks -> 1"});
  EXPECT_EQ(drive->readTocCalls(), 2);
  drive->failNextCommand(DriveError::Hardware);
  drive->insertDisc(twelveTracks());
  expect({"status cd number of tracks -> error 262", "status cd number of tracks -> 12"});
}

}  // namespace
}  // namespace tavrelo::testing
