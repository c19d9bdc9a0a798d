// Status items and reply formats on several discs: twelve tracks, one track,
// a first track that starts late, data tracks, and no disc at all.
#include <gtest/gtest.h>

#include "tests/mci/MciTestSupport.h"

namespace tavrelo::testing {
namespace {

using MciStatus = MciFixture;

TEST_F(MciStatus, TwelveTracksInEveryTimeFormat) {
  openCd();
  EXPECT_EQ(ok("status cd number of tracks"), "12");
  EXPECT_EQ(ok("status cd position"), "00:02:00");
  EXPECT_EQ(ok("status cd position track 3"), "08:02:00");
  EXPECT_EQ(ok("status cd position start"), "00:02:00");
  EXPECT_EQ(ok("status cd length"), "47:59:74");  // lead-out - start - 1 frame
  EXPECT_EQ(ok("status cd length track 1"), "04:00:00");
  EXPECT_EQ(ok("status cd length track 12"), "03:59:74");  // the last track is 1 frame less
  EXPECT_EQ(ok("status cd type track 7"), "audio");
  EXPECT_EQ(ok("status cd current track"), "1");

  ok("set cd time format tmsf");
  EXPECT_EQ(ok("status cd position"), "01:00:00:00");
  EXPECT_EQ(ok("status cd position track 3"), "03:00:00:00");
  EXPECT_EQ(ok("status cd position track 12"), "12:00:00:00");
  EXPECT_EQ(ok("status cd position start"), "01:00:00:00");
  EXPECT_EQ(ok("status cd length"), "47:59:74");  // still MSF
  EXPECT_EQ(ok("status cd length track 2"), "04:00:00");

  ok("set cd time format ms");
  EXPECT_EQ(ok("status cd position"), "2001");
  EXPECT_EQ(ok("status cd position track 3"), "482001");
  EXPECT_EQ(ok("status cd length track 1"), "240001");
}

TEST_F(MciStatus, BadTrackNumbers) {
  openTmsf();
  EXPECT_EQ(fails("status cd position track 13"), 282u);
  EXPECT_EQ(fails("status cd position track 0"), 282u);
  EXPECT_EQ(fails("status cd length track -1"), 282u);
  EXPECT_EQ(fails("status cd type track 99"), 282u);
  EXPECT_EQ(fails("status cd type track 4294967295"), 282u);
  EXPECT_EQ(fails("status cd length track 2147483648"), 282u);
}

TEST_F(MciStatus, OneTrack) {
  useDisc(discs::oneTrack());
  openTmsf();
  EXPECT_EQ(ok("status cd number of tracks"), "1");
  EXPECT_EQ(ok("status cd length"), "02:59:74");
  EXPECT_EQ(ok("status cd length track 1"), "02:59:74");
  EXPECT_EQ(ok("status cd current track"), "1");
  EXPECT_EQ(fails("status cd position track 2"), 282u);
}

TEST_F(MciStatus, AFirstTrackThatStartsLate) {
  useDisc(discs::lateFirstTrack());
  openCd();
  EXPECT_EQ(ok("status cd position"), "00:04:00");
  EXPECT_EQ(ok("status cd position start"), "00:04:00");
  EXPECT_EQ(ok("status cd length"), "01:59:74");
  EXPECT_EQ(ok("status cd length track 1"), "01:00:00");
  EXPECT_EQ(fails("seek cd to 0:2:0"), 282u);  // before track 1
  EXPECT_EQ(ok("seek cd to 0:4:0"), "");
  ok("set cd time format tmsf");
  EXPECT_EQ(ok("status cd position"), "01:00:00:00");
  ok("play cd from 2");
  clock.advance(1'000);
  EXPECT_EQ(ok("status cd position"), "02:00:01:00");
  ok("set cd time format ms");
  EXPECT_EQ(ok("status cd position start"), "4001");
}

TEST_F(MciStatus, ADataTrackAfterTheAudio) {
  useDisc(discs::enhancedCd());
  openTmsf();
  EXPECT_EQ(ok("status cd number of tracks"), "3");
  EXPECT_EQ(ok("status cd type track 2"), "audio");
  EXPECT_EQ(ok("status cd type track 3"), "other");
  // Play stops before the data; a range of data only plays nothing.
  EXPECT_EQ(ok("play cd from 2"), "");
  EXPECT_EQ(drive->playTo(), 9150);
  EXPECT_EQ(ok("stop cd"), "");
  EXPECT_EQ(ok("play cd from 3"), "");
  EXPECT_EQ(drive->playCalls(), 1);
  EXPECT_EQ(ok("status cd mode"), "stopped");
  // A seek into the data lands at the end of the disc.
  EXPECT_EQ(ok("seek cd to 3"), "");
  ok("set cd time format msf");
  EXPECT_EQ(ok("status cd position"), "04:26:49");  // frame 19999
}

TEST_F(MciStatus, ADataTrackBeforeTheAudio) {
  useDisc(discs::mixedMode());
  openTmsf();
  EXPECT_EQ(ok("status cd type track 1"), "other");
  EXPECT_EQ(ok("seek cd to start"), "");
  EXPECT_EQ(ok("status cd position"), "02:00:00:00");
  EXPECT_EQ(ok("seek cd to 1"), "");
  EXPECT_EQ(ok("status cd position"), "02:00:00:00");
  EXPECT_EQ(ok("play cd from 1"), "");
  EXPECT_EQ(ok("status cd current track"), "2");
  EXPECT_EQ(drive->playTo(), 15000);
}

TEST_F(MciStatus, DataOnly) {
  useDisc(discs::dataOnly());
  openTmsf();
  EXPECT_EQ(ok("play cd"), "");
  EXPECT_EQ(drive->playCalls(), 0);
  EXPECT_EQ(ok("status cd mode"), "stopped");
  EXPECT_EQ(ok("seek cd to start"), "");
  ok("set cd time format msf");
  EXPECT_EQ(ok("status cd position"), "01:19:74");  // frame 5999, the end
}

TEST_F(MciStatus, ATocNoDiscCanHaveIsAHardwareError) {
  for (const disc::Toc& broken : {
           discs::make({}, 1000),                                // blank
           discs::make({{1, 150, true}, {3, 900, true}}, 2000),  // a gap in the numbers
           discs::make({{1, 900, true}, {2, 150, true}}, 2000),  // out of order
           discs::make({{1, 150, true}}, 150),                   // lead-out at the start
           discs::make({{0, 150, true}}, 2000),                  // track 0
       }) {
    useDisc(broken);
    openTmsf();
    EXPECT_EQ(fails("status cd position"), 262u);
    EXPECT_EQ(fails("play cd"), 262u);
    EXPECT_EQ(ok("status cd mode"), "stopped");
  }
}

TEST_F(MciStatus, NoDisc) {
  useDisc(std::nullopt);
  openTmsf();  // no disc is needed to open
  EXPECT_EQ(ok("status cd mode"), "open");
  EXPECT_EQ(ok("status cd media present"), "false");
  EXPECT_EQ(ok("status cd ready"), "false");
  EXPECT_EQ(ok("status cd time format"), "tmsf");
  EXPECT_EQ(fails("status cd position"), 276u);
  EXPECT_EQ(fails("status cd current track"), 276u);
  EXPECT_EQ(fails("status cd length"), 276u);
  EXPECT_EQ(fails("seek cd to 1"), 276u);
  drive->insertDisc(discs::oneTrack());
  EXPECT_EQ(ok("status cd mode"), "stopped");
  EXPECT_EQ(ok("status cd position"), "01:00:00:00");
}

}  // namespace
}  // namespace tavrelo::testing
