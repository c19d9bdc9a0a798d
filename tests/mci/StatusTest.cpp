// Status items and reply formats on several discs: twelve tracks, a first
// track that starts late, data tracks, and no disc at all.
#include "tests/mci/MciTestSupport.h"

namespace tavrelo::testing {
namespace {

using MciStatus = MciFixture;

TEST_F(MciStatus, TwelveTracksInEveryTimeFormat) {
  expect({"set cd time format msf ->", "status cd number of tracks -> 12",
          "status cd position -> 00:02:00", "status cd position track 3 -> 08:02:00",
          "status cd length -> 47:59:74",  // lead-out - start - 1 frame
          "status cd length track 1 -> 04:00:00",
          "status cd length track 12 -> 03:59:74",  // the last track is 1 frame less
          "status cd type track 7 -> audio", "status cd current track -> 1",
          "set cd time format tmsf ->", "status cd position -> 01:00:00:00",
          "status cd position track 12 -> 12:00:00:00",
          "status cd length -> 47:59:74",  // still MSF
          "set cd time format ms ->", "status cd position track 3 -> 482001",
          "status cd length track 1 -> 240001"});
  expectEach("error 282", {"status cd position track 13", "status cd position track 0",
                           "status cd length track -1", "status cd type track 4294967295",
                           "status cd length track 2147483648"});
}

TEST_F(MciStatus, AFirstTrackThatStartsLate) {
  useDisc(makeToc({{1, 300, true}, {2, 4800, true}}, 9300));
  openCd();
  expect({"status cd position start -> 00:04:00", "status cd length -> 01:59:74",
          "status cd length track 1 -> 01:00:00",
          "seek cd to 0:2:0 -> error 282",  // before track 1
          "seek cd to 0:4:0 ->", "set cd time format tmsf ->", "status cd position -> 01:00:00:00",
          "play cd from 2 ->"});
  clock.advance(1'000);
  expect({"status cd position -> 02:00:01:00", "set cd time format ms ->",
          "status cd position start -> 4001"});
}

TEST_F(MciStatus, DataTracksAreNeverPlayed) {
  // Two audio tracks, then data (an enhanced CD).
  useDisc(makeToc({{1, 150, true}, {2, 4650, true}, {3, 9150, false}}, 20000));
  openCd("tmsf");
  expect({"status cd type track 2 -> audio", "status cd type track 3 -> other"});
  // Play stops before the data; a range of data only plays nothing.
  expect({"play cd from 2 ->"});
  EXPECT_EQ(drive->playTo(), 9150);
  expect({"stop cd ->", "play cd from 3 ->", "status cd mode -> stopped"});
  EXPECT_EQ(drive->playCalls(), 1);
  // A seek into the data lands at the end of the disc.
  expect({"seek cd to 3 ->", "set cd time format msf ->", "status cd position -> 04:26:49"});

  // Data, then two audio tracks (a mixed-mode CD): play and seek skip the data.
  useDisc(makeToc({{1, 150, false}, {2, 6000, true}, {3, 10500, true}}, 15000));
  openCd("tmsf");
  expect({"seek cd to start ->", "status cd position -> 02:00:00:00", "seek cd to 1 ->",
          "status cd position -> 02:00:00:00", "play cd from 1 ->",
          "status cd current track -> 2"});
  EXPECT_EQ(drive->playTo(), 15000);

  useDisc(makeToc({{1, 150, false}}, 6000));  // data only
  openCd();
  expect({"play cd ->", "status cd mode -> stopped", "seek cd to start ->"});
  expect({"status cd position -> 01:19:74"});  // frame 5999, the end
  EXPECT_EQ(drive->playCalls(), 0);
}

TEST_F(MciStatus, ATocNoDiscCanHaveIsAHardwareError) {
  for (const disc::Toc& broken : {
           makeToc({}, 1000),                                // blank
           makeToc({{1, 150, true}, {3, 900, true}}, 2000),  // a gap in the numbers
           makeToc({{1, 900, true}, {2, 150, true}}, 2000),  // out of order
           makeToc({{1, 150, true}}, 150),                   // lead-out at the start
           makeToc({{0, 150, true}}, 2000),                  // track 0
       }) {
    useDisc(broken);
    openCd();
    expect(
        {"status cd position -> error 262", "play cd -> error 262", "status cd mode -> stopped"});
  }
}

TEST_F(MciStatus, NoDisc) {
  useDisc(std::nullopt);
  openCd("tmsf");  // no disc is needed to open
  expect({"status cd mode -> open", "status cd media present -> false", "status cd ready -> false",
          "status cd time format -> tmsf"});
  expectEach("error 276",
             {"status cd position", "status cd current track", "status cd length", "seek cd to 1"});
  drive->insertDisc(oneTrack());
  expect({"status cd mode -> stopped", "status cd position -> 01:00:00:00"});
}

}  // namespace
}  // namespace tavrelo::testing
