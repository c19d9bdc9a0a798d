// The string grammar: integers, quoting, blanks, case, and the error code of
// each kind of bad string, checked through the string interface.
#include <gtest/gtest.h>

#include "platform/mci/MciInteger.h"
#include "platform/mci/Tokenizer.h"
#include "tests/mci/MciTestSupport.h"

namespace tavrelo::testing {
namespace {

using mci::parseInteger;

TEST(MciInteger, DecimalAndColonNotation) {
  EXPECT_EQ(parseInteger("150"), 150u);
  EXPECT_EQ(parseInteger("0"), 0u);
  EXPECT_EQ(parseInteger("-1"), 0xFFFFFFFFu);
  EXPECT_EQ(parseInteger("4294967295"), 0xFFFFFFFFu);
  EXPECT_EQ(parseInteger("1:2:3:4"), 0x04030201u);
  EXPECT_EQ(parseInteger(":1"), 256u);
  EXPECT_EQ(parseInteger("250::"), 250u);
  EXPECT_EQ(parseInteger("0:2:0"), 0x200u);
  EXPECT_EQ(parseInteger("255:255:255:255"), 0xFFFFFFFFu);
}

TEST(MciInteger, RefusesWhatWindowsRefuses) {
  for (const char* bad : {"", "-", "0xfa", "1.5", "12a", "256:0", "0:0:0:0:0", "-1:0", "1:-2",
                          "4294967296", "99999999999999999999", "+5"}) {
    EXPECT_FALSE(parseInteger(bad).has_value()) << bad;
  }
}

TEST(MciTokenizer, BlanksQuotesAndDoubledQuotes) {
  std::vector<mci::Token> t;
  ASSERT_EQ(mci::tokenize("  open \t D:\\  alias \"my cd\" x\"y ", t), 0u);
  ASSERT_EQ(t.size(), 5u);
  EXPECT_EQ(t[1].text, "D:\\");
  EXPECT_EQ(t[3].text, "my cd");
  EXPECT_TRUE(t[3].quoted);
  EXPECT_EQ(t[4].text, "x\"y");
  ASSERT_EQ(mci::tokenize("alias \"a\"\"b\" \"\"", t), 0u);
  ASSERT_EQ(t.size(), 3u);
  EXPECT_EQ(t[1].text, "a\"b");
  EXPECT_EQ(t[2].text, "");
  EXPECT_EQ(mci::tokenize("alias \"my cd", t), 294u);
  EXPECT_EQ(mci::tokenize("alias \"my\"cd", t), 305u);
}

class MciParsing : public MciFixture {
 protected:
  void SetUp() override {
    MciFixture::SetUp();
    openCd();
  }
};

TEST_F(MciParsing, EmptyUnknownVerbAndMissingDevice) {
  EXPECT_EQ(fails(""), 267u);
  EXPECT_EQ(fails("   \t "), 267u);
  EXPECT_EQ(fails("open"), 292u);
  EXPECT_EQ(fails("open   "), 292u);
  EXPECT_EQ(fails("play"), 292u);
  EXPECT_EQ(fails("frobnicate cd"), 261u);
  EXPECT_EQ(fails("playcd"), 261u);
}

TEST_F(MciParsing, UnknownKeywordAndBadConstant) {
  EXPECT_EQ(fails("set cd milliseconds"), 259u);
  EXPECT_EQ(fails("play cd quickly"), 259u);
  EXPECT_EQ(fails("play cd from 1 2"), 259u);
  EXPECT_EQ(fails("pause cd now"), 259u);
  EXPECT_EQ(fails("status cd nsa"), 290u);
  EXPECT_EQ(fails("status cd mode nsa"), 259u);
  EXPECT_EQ(fails("status cd 99"), 290u);
  EXPECT_EQ(fails("set cd time format frobs"), 290u);
  EXPECT_EQ(fails("set cd time format"), 290u);
}

TEST_F(MciParsing, DuplicateAndIncompatibleFlags) {
  EXPECT_EQ(fails("play cd from 1 from 2"), 295u);
  EXPECT_EQ(fails("status cd mode mode"), 295u);
  EXPECT_EQ(fails("stop cd wait wait"), 295u);
  EXPECT_EQ(fails("seek cd to 1 to 2"), 295u);
  EXPECT_EQ(fails("status cd length position"), 284u);
  EXPECT_EQ(fails("status cd mode 4"), 295u);
  EXPECT_EQ(fails("seek cd to start to end"), 284u);
  EXPECT_EQ(fails("seek cd to start to 3"), 284u);
  EXPECT_EQ(fails("set cd door open door closed"), 284u);
  EXPECT_EQ(fails("status cd position start track 2"), 284u);
}

TEST_F(MciParsing, MissingParameterAndBadInteger) {
  EXPECT_EQ(fails("seek cd"), 273u);
  EXPECT_EQ(fails("seek cd wait"), 273u);
  EXPECT_EQ(fails("status cd"), 273u);
  EXPECT_EQ(fails("status cd track 2"), 273u);
  EXPECT_EQ(fails("status cd type"), 273u);
  EXPECT_EQ(fails("set cd"), 273u);
  EXPECT_EQ(fails("status cd position track"), 270u);
  EXPECT_EQ(fails("play cd from"), 270u);
  EXPECT_EQ(fails("play cd from x"), 270u);
  EXPECT_EQ(fails("play cd from 0xfa"), 270u);
  EXPECT_EQ(fails("seek cd to 256:0"), 270u);
  EXPECT_EQ(fails("seek cd to 0:0:0:0:0"), 270u);
  EXPECT_EQ(fails("open cdaudio alias"), 269u);
  EXPECT_EQ(fails("open D: type"), 269u);
}

TEST_F(MciParsing, BadTimeFormats) {
  EXPECT_EQ(fails("set cd time format 5"), 293u);
  EXPECT_EQ(fails("set cd time format bytes"), 293u);
  EXPECT_EQ(fails("set cd time format smpte 24"), 293u);
  EXPECT_EQ(ok("status cd time format"), "msf");
  EXPECT_EQ(ok("set cd time format 10"), "");
  EXPECT_EQ(ok("status cd time format"), "tmsf");
  EXPECT_EQ(ok("set cd time format 0"), "");
  EXPECT_EQ(ok("status cd time format"), "milliseconds");
}

TEST_F(MciParsing, QuotingErrors) {
  EXPECT_EQ(fails("open \"D:\\ type cdaudio alias x"), 294u);
  EXPECT_EQ(fails("open \"D:\\\"x type cdaudio alias x"), 305u);
  EXPECT_EQ(fails("status \"cd"), 294u);
}

TEST_F(MciParsing, TheDeviceIsLookedUpBeforeTheFlags) {
  EXPECT_EQ(fails("status nosuch mode"), 263u);
  EXPECT_EQ(fails("status nosuch bogus"), 263u);
  EXPECT_EQ(fails("play nosuch from"), 263u);
}

TEST_F(MciParsing, CaseAndBlanksDoNotMatter) {
  EXPECT_EQ(ok("STATUS CD MODE"), "stopped");
  EXPECT_EQ(ok("Status Cd Mode"), "stopped");
  EXPECT_EQ(ok("status   cd    number   of \t tracks   "), "12");
  EXPECT_EQ(ok("  status cd current track"), "1");
  EXPECT_EQ(ok("SET CD TIME FORMAT TMSF"), "");
  EXPECT_EQ(ok("status cd time format"), "tmsf");
  EXPECT_EQ(ok("Seek CD To 3 Wait Notify"), "");
  EXPECT_EQ(ok("status cd position"), "03:00:00:00");
}

TEST_F(MciParsing, NumericStatusItems) {
  EXPECT_EQ(ok("status cd 4"), "stopped");
  EXPECT_EQ(ok("status cd 3"), "12");
  EXPECT_EQ(ok("status cd 5"), "true");
  EXPECT_EQ(ok("status cd 6"), "msf");
  EXPECT_EQ(ok("status cd 2"), "00:02:00");
  EXPECT_EQ(ok("status cd 16385 track 12"), "audio");
}

TEST_F(MciParsing, QuotedAliases) {
  EXPECT_EQ(ok("open D: type cdaudio alias \"my cd\" shareable"), "2");
  EXPECT_EQ(ok("status \"my cd\" mode"), "stopped");
  EXPECT_EQ(ok("status \"MY CD\" number of tracks"), "12");
  EXPECT_EQ(fails("status my cd mode"), 263u);
  EXPECT_EQ(ok("close \"my cd\""), "");
  EXPECT_EQ(fails("status \"my cd\" mode"), 263u);
}

}  // namespace
}  // namespace tavrelo::testing
