// play, pause, resume, stop, seek, the door and "wait", in every time format.
#include <gtest/gtest.h>

#include "tests/mci/MciTestSupport.h"

namespace tavrelo::testing {
namespace {

using drive::AudioStatus;
using drive::DriveError;

class MciTransport : public MciFixture {
 protected:
  void SetUp() override {
    MciFixture::SetUp();
    openTmsf();
  }
};

TEST_F(MciTransport, PlayStartsAtThePositionAndRunsOn) {
  EXPECT_EQ(ok("play cd"), "");
  EXPECT_EQ(ok("status cd mode"), "playing");
  clock.advance(2'000);
  EXPECT_EQ(ok("status cd position"), "01:00:02:00");
  clock.advance(4 * 60'000);
  EXPECT_EQ(ok("status cd current track"), "2");
  EXPECT_EQ(ok("status cd position"), "02:00:02:00");
}

TEST_F(MciTransport, PlayWhilePlayingLeavesTheStreamAlone) {
  ok("play cd");
  clock.advance(1'000);
  EXPECT_EQ(ok("play cd"), "");
  EXPECT_EQ(drive->playCalls(), 1);
  clock.advance(1'000);
  EXPECT_EQ(ok("status cd position"), "01:00:02:00");
}

TEST_F(MciTransport, PauseHoldsThePositionAndPlayResumes) {
  ok("play cd from 2");
  clock.advance(3'000);
  EXPECT_EQ(ok("pause cd wait"), "");
  EXPECT_EQ(ok("status cd mode"), "paused");
  clock.advance(10'000);
  EXPECT_EQ(ok("status cd position"), "02:00:03:00");
  EXPECT_EQ(ok("play cd"), "");
  EXPECT_EQ(ok("status cd mode"), "playing");
  clock.advance(1'000);
  EXPECT_EQ(ok("status cd position"), "02:00:04:00");
}

TEST_F(MciTransport, ResumeOnlyAfterPause) {
  EXPECT_EQ(fails("resume cd"), 262u);
  ok("play cd");
  ok("pause cd");
  EXPECT_EQ(ok("resume cd"), "");
  EXPECT_EQ(ok("status cd mode"), "playing");
}

TEST_F(MciTransport, StopKeepsThePositionAndSeekToOneRewinds) {
  ok("play cd from 5");
  clock.advance(7'000);
  EXPECT_EQ(ok("stop cd wait"), "");
  EXPECT_EQ(ok("status cd mode"), "stopped");
  EXPECT_EQ(ok("status cd position"), "05:00:07:00");
  EXPECT_EQ(ok("seek cd to 1 wait"), "");
  EXPECT_EQ(ok("status cd position"), "01:00:00:00");
  ok("play cd");
  clock.advance(1'000);
  EXPECT_EQ(ok("status cd position"), "01:00:01:00");
}

TEST_F(MciTransport, PlayFromTrackRunsToTheEndOfTheDisc) {
  EXPECT_EQ(ok("play cd from 6"), "");
  EXPECT_EQ(ok("status cd current track"), "6");
  EXPECT_EQ(drive->playTo(), 150 + 12 * 18000);
  EXPECT_EQ(ok("play cd from 12"), "");
  EXPECT_EQ(ok("status cd position"), "12:00:00:00");
}

TEST_F(MciTransport, RangesStopAtTheirEnd) {
  EXPECT_EQ(ok("play cd from 3 to 4"), "");
  clock.advance(4 * 60'000 + 500);
  EXPECT_EQ(ok("status cd mode"), "stopped");
  EXPECT_EQ(ok("status cd position"), "04:00:00:00");
  EXPECT_EQ(ok("status cd current track"), "4");
  EXPECT_EQ(ok("play cd from 3:0:1 to 3:0:2"), "");
  EXPECT_EQ(drive->playTo(), 150 + 2 * 18000 + 150);
}

TEST_F(MciTransport, ThePlayOfTheWholeDiscEndsAtTrackOne) {
  useDisc(discs::oneTrack());
  openTmsf();
  ok("play cd");
  clock.advance(3 * 60'000 + 100);
  EXPECT_EQ(ok("status cd mode"), "stopped");
  EXPECT_EQ(ok("status cd position"), "01:00:00:00");
}

TEST_F(MciTransport, OutOfRangeTargetsFailAndChangeNothing) {
  ok("play cd from 4");
  EXPECT_EQ(fails("play cd from 13"), 282u);
  EXPECT_EQ(fails("play cd from 0"), 282u);
  EXPECT_EQ(fails("play cd from 5 to 4"), 282u);
  EXPECT_EQ(fails("play cd from 1 to 13"), 282u);
  EXPECT_EQ(fails("play cd from 12:4:0:0"), 282u);  // past the lead-out
  EXPECT_EQ(fails("play cd from 1:0:60:0"), 282u);  // 60 seconds
  EXPECT_EQ(fails("play cd from 1:0:0:75"), 282u);  // 75 frames
  EXPECT_EQ(fails("seek cd to 13"), 282u);
  EXPECT_EQ(fails("seek cd to -1"), 282u);
  EXPECT_EQ(fails("seek cd to 0"), 282u);
  EXPECT_EQ(ok("status cd mode"), "playing");
  EXPECT_EQ(ok("status cd current track"), "4");
  EXPECT_EQ(drive->playCalls(), 1);
}

TEST_F(MciTransport, AnEmptyRangePlaysNothing) {
  EXPECT_EQ(ok("play cd from 3 to 3"), "");
  EXPECT_EQ(drive->playCalls(), 0);
  EXPECT_EQ(ok("status cd mode"), "stopped");
}

TEST_F(MciTransport, SeekStopsPlaybackAndMoves) {
  ok("play cd");
  EXPECT_EQ(ok("seek cd to 12"), "");
  EXPECT_EQ(ok("status cd mode"), "stopped");
  EXPECT_EQ(ok("status cd position"), "12:00:00:00");
  EXPECT_EQ(ok("seek cd to 7:1:2:3"), "");
  EXPECT_EQ(ok("status cd position"), "07:01:02:03");
  EXPECT_EQ(ok("seek cd to start"), "");
  EXPECT_EQ(ok("status cd position"), "01:00:00:00");
  ok("set cd time format msf");
  EXPECT_EQ(ok("seek cd to end"), "");
  EXPECT_EQ(ok("status cd position"), "48:01:74");  // lead-out - 1
  EXPECT_EQ(ok("seek cd to 48:1:74"), "");
  EXPECT_EQ(fails("seek cd to 48:2:0"), 282u);  // the lead-out itself
  EXPECT_EQ(ok("seek cd to 0:2:0"), "");
  EXPECT_EQ(fails("seek cd to 0:1:74"), 282u);  // in the lead-in
  EXPECT_EQ(ok("status cd position"), "00:02:00");
}

TEST_F(MciTransport, MillisecondsUseWindowsRounding) {
  ok("set cd time format milliseconds");
  EXPECT_EQ(ok("status cd position"), "2001");
  EXPECT_EQ(ok("seek cd to 62001"), "");  // 00:62:00 = frame 4650
  EXPECT_EQ(ok("set cd time format msf"), "");
  EXPECT_EQ(ok("status cd position"), "01:02:00");
  ok("set cd time format ms");
  EXPECT_EQ(ok("status cd position"), "62001");
  EXPECT_EQ(ok("seek cd to 2014"), "");  // 13 ms rounds to the next frame
  EXPECT_EQ(ok("status cd position"), "2014");
  EXPECT_EQ(fails("seek cd to 1000"), 282u);
}

TEST_F(MciTransport, TheDoorOpensAndCloses) {
  ok("play cd");
  EXPECT_EQ(ok("set cd door open wait"), "");
  EXPECT_EQ(ok("status cd mode"), "open");
  EXPECT_EQ(ok("status cd media present"), "false");
  EXPECT_EQ(ok("status cd ready"), "false");
  EXPECT_EQ(fails("status cd position"), 276u);
  EXPECT_EQ(fails("status cd number of tracks"), 276u);
  EXPECT_EQ(fails("play cd"), 276u);
  EXPECT_EQ(ok("set cd door closed wait"), "");
  EXPECT_EQ(ok("status cd mode"), "stopped");
  EXPECT_EQ(ok("status cd media present"), "true");
  EXPECT_EQ(ok("status cd ready"), "true");
  EXPECT_EQ(ok("status cd position"), "01:00:00:00");
}

TEST_F(MciTransport, PlayWaitReturnsWhenTheRangeIsDone) {
  const auto before = clock.nowMs();
  EXPECT_EQ(ok("play cd from 2 to 3 wait"), "");
  EXPECT_GE(clock.nowMs() - before, 4 * 60'000);
  EXPECT_EQ(ok("status cd mode"), "stopped");
  EXPECT_EQ(ok("status cd position"), "03:00:00:00");
}

TEST_F(MciTransport, PlayWaitGivesUpOnAStalledDrive) {
  ok("play cd from 2");
  drive->stall(true);
  const auto before = clock.nowMs();
  EXPECT_EQ(fails("play cd wait"), 262u);
  EXPECT_GE(clock.nowMs() - before, mci::CdAudioDevice::kStallMs);
  EXPECT_LT(clock.nowMs() - before, mci::CdAudioDevice::kStallMs + 1'000);
}

TEST_F(MciTransport, DriveFailuresBecomeMciCodes) {
  drive->failNextCommand(DriveError::Hardware);
  EXPECT_EQ(fails("play cd"), 262u);
  drive->failNextCommand(DriveError::Unavailable);
  EXPECT_EQ(fails("stop cd"), 262u);
  drive->failNextCommand(DriveError::NoMedia);
  EXPECT_EQ(fails("pause cd"), 276u);
  drive->failNextCommand(DriveError::OutOfRange);
  EXPECT_EQ(fails("seek cd to 2"), 282u);
  drive->failNextCommand(DriveError::Hardware);
  EXPECT_EQ(fails("set cd door open"), 262u);
  drive->breakDown();
  EXPECT_EQ(ok("status cd mode"), "not ready");
  EXPECT_EQ(ok("status cd ready"), "false");
}

TEST_F(MciTransport, TheTocIsReadOncePerDisc) {
  ok("status cd number of tracks");
  ok("status cd position");
  ok("status cd length");
  EXPECT_EQ(drive->readTocCalls(), 1);
  drive->insertDisc(discs::oneTrack());
  EXPECT_EQ(ok("status cd number of tracks"), "1");
  EXPECT_EQ(drive->readTocCalls(), 2);
  drive->failNextCommand(DriveError::Hardware);
  drive->insertDisc(discs::twelveTracks());
  EXPECT_EQ(fails("status cd number of tracks"), 262u);
  EXPECT_EQ(ok("status cd number of tracks"), "12");
}

}  // namespace
}  // namespace tavrelo::testing
