// Every string the player sends, byte for byte, with the replies it reads.
#include <gtest/gtest.h>

#include <regex>

#include "tests/mci/MciTestSupport.h"

namespace tavrelo::testing {
namespace {

class ProgramVocabulary : public MciFixture {
 protected:
  // Drive discovery: open the first drive as "cd" in tmsf.
  void SetUp() override {
    MciFixture::SetUp();
    EXPECT_EQ(ok("open  D:\\ type cdaudio alias cd wait shareable"), "1");
    EXPECT_EQ(ok("set cd time format tmsf"), "");
  }
};

TEST_F(ProgramVocabulary, StatusTickShowsTrackAndTime) {
  EXPECT_EQ(ok("status cd media present"), "true");
  EXPECT_EQ(ok("play cd"), "");
  clock.advance(61'500);
  const std::string position = ok("status cd position");
  EXPECT_TRUE(std::regex_match(position, std::regex(R"(\d\d:\d\d:\d\d:\d\d)"))) << position;
  EXPECT_EQ(position, "01:01:01:37");
}

TEST_F(ProgramVocabulary, NextTrackWhilePlaying) {
  ok("play cd");
  EXPECT_EQ(ok("status cd current track"), "1");
  EXPECT_EQ(ok("status cd number of tracks wait"), "12");
  EXPECT_EQ(ok("status cd mode").substr(0, 7), "playing");
  EXPECT_EQ(ok("play cd from 2"), "");
  EXPECT_EQ(ok("play cd from 6"), "");
  EXPECT_EQ(ok("status cd current track"), "6");
  EXPECT_EQ(ok("play cd from 1"), "");  // the wrap after the last track
  EXPECT_EQ(ok("status cd current track"), "1");
}

TEST_F(ProgramVocabulary, PreviousAndNextWhileStoppedOnlySeek) {
  EXPECT_EQ(ok("status cd mode"), "stopped");
  EXPECT_EQ(ok("seek cd to 12"), "");
  EXPECT_EQ(ok("status cd current track"), "12");
  EXPECT_EQ(ok("status cd mode"), "stopped");
  EXPECT_EQ(ok("seek cd to 1"), "");
  EXPECT_EQ(ok("status cd position"), "01:00:00:00");
}

TEST_F(ProgramVocabulary, PreviousWithNoDiscSendsMinusOneAndFailsCleanly) {
  ok("play cd from 4");
  EXPECT_EQ(fails("seek cd to -1"), 282u);
  EXPECT_EQ(ok("status cd mode"), "playing");
  ok("set cd door open wait");
  EXPECT_NE(fails("status cd current track"), 0u);
  EXPECT_NE(fails("status cd number of tracks wait"), 0u);
  EXPECT_EQ(ok("status cd mode"), "open");
  EXPECT_NE(fails("seek cd to -1"), 0u);
  EXPECT_NE(fails("seek cd to 1"), 0u);
}

TEST_F(ProgramVocabulary, TransportButtons) {
  EXPECT_EQ(ok("play cd"), "");
  clock.advance(5'000);
  EXPECT_EQ(ok("pause cd wait"), "");
  EXPECT_EQ(ok("status cd position"), "01:00:05:00");
  EXPECT_EQ(ok("play cd"), "");
  EXPECT_EQ(ok("status cd mode"), "playing");
  EXPECT_EQ(ok("stop cd wait"), "");
  EXPECT_EQ(ok("seek cd to 1 wait"), "");
  EXPECT_EQ(ok("status cd mode"), "stopped");
  EXPECT_EQ(ok("status cd position"), "01:00:00:00");
}

TEST_F(ProgramVocabulary, EjectAndLoad) {
  ok("play cd");
  EXPECT_EQ(ok("set cd door open wait"), "");
  EXPECT_EQ(ok("status cd mode").substr(0, 4), "open");
  EXPECT_EQ(ok("status cd media present"), "false");
  EXPECT_EQ(ok("set cd door closed wait"), "");
  EXPECT_EQ(ok("status cd mode"), "stopped");
  EXPECT_EQ(ok("status cd media present"), "true");
}

TEST_F(ProgramVocabulary, DriveButtonReopensAndUnloadCloses) {
  ok("play cd");
  EXPECT_EQ(ok("stop cd"), "");
  EXPECT_EQ(ok("close cd"), "");
  EXPECT_EQ(ok("open  D:\\ type cdaudio alias cd wait shareable"), "2");
  EXPECT_EQ(ok("set cd time format tmsf"), "");
  EXPECT_EQ(ok("status cd mode"), "stopped");
  EXPECT_EQ(ok("stop cd"), "");
  EXPECT_EQ(ok("close cd"), "");
  EXPECT_EQ(ok("close all"), "");
  EXPECT_EQ(fails("status cd mode"), 263u);
}

}  // namespace
}  // namespace tavrelo::testing
