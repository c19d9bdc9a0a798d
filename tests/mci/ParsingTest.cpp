// The string interface: integers, quoting, blanks, case, the error code of
// each kind of bad string, mciSendStringA's buffer rules and the error texts.
#include "platform/mci/MciErrors.h"
#include "platform/mci/MciInteger.h"
#include "platform/mci/Tokenizer.h"
#include "tests/mci/MciTestSupport.h"

namespace tavrelo::testing {
namespace {

using mci::parseInteger;

TEST(MciInteger, DecimalAndColonNotationAndWhatWindowsRefuses) {
  EXPECT_EQ(parseInteger("150"), 150u);
  EXPECT_EQ(parseInteger("-1"), 0xFFFFFFFFu);
  EXPECT_EQ(parseInteger("4294967295"), 0xFFFFFFFFu);
  EXPECT_EQ(parseInteger("1:2:3:4"), 0x04030201u);
  EXPECT_EQ(parseInteger(":1"), 256u);
  EXPECT_EQ(parseInteger("250::"), 250u);
  EXPECT_EQ(parseInteger("255:255:255:255"), 0xFFFFFFFFu);
  for (const char* bad : {"", "-", "0xfa", "1.5", "12a", "256:0", "0:0:0:0:0", "-1:0", "1:-2",
                          "4294967296", "99999999999999999999", "+5"}) {
    EXPECT_FALSE(parseInteger(bad).has_value()) << bad;
  }
}

TEST(MciTokenizer, BlanksQuotesAndDoubledQuotes) {
  std::vector<mci::Token> t;
  ASSERT_EQ(mci::tokenize("  open \t D:\\  alias \"my cd\" x\"y \"a\"\"b\" \"\"", t), 0u);
  ASSERT_EQ(t.size(), 7u);
  EXPECT_EQ(t[1].text, "D:\\");
  EXPECT_EQ(t[3].text, "my cd");
  EXPECT_TRUE(t[3].quoted);
  EXPECT_EQ(t[4].text, "x\"y");
  EXPECT_EQ(t[5].text, "a\"b");
  EXPECT_EQ(t[6].text, "");
  EXPECT_EQ(mci::tokenize("alias \"my cd", t), 294u);
  EXPECT_EQ(mci::tokenize("alias \"my\"cd", t), 305u);
}

using MciParsing = MciFixture;

TEST_F(MciParsing, EachKindOfBadStringHasItsCode) {
  expectEach("error 267", {"", "   \t "});
  expectEach("error 292", {"open   ", "play"});
  expectEach("error 261", {"frobnicate cd", "playcd"});
  expectEach("error 259", {"set cd milliseconds", "play cd quickly", "play cd from 1 2",
                           "pause cd now", "status cd mode nsa"});
  expectEach("error 290",
             {"status cd nsa", "status cd 99", "set cd time format frobs", "set cd time format"});
  expectEach("error 295", {"play cd from 1 from 2", "status cd mode mode", "stop cd wait wait",
                           "status cd mode 4"});
  expectEach("error 284",
             {"status cd length position", "seek cd to start to end", "seek cd to start to 3",
              "set cd door open door closed", "status cd position start track 2"});
  expectEach("error 273",
             {"seek cd wait", "status cd", "status cd track 2", "status cd type", "set cd"});
  expectEach("error 270",
             {"status cd position track", "play cd from", "play cd from 0xfa", "seek cd to 256:0"});
  expectEach("error 269", {"open cdaudio alias", "open D: type"});
  expectEach("error 293", {"set cd time format 5", "set cd time format smpte 24"});
  expectEach("error 294", {"status \"cd"});
  // The device is looked up before the flags.
  expectEach("error 263", {"status nosuch bogus", "play nosuch from"});
  expect({"status cd time format -> tmsf"});
}

TEST_F(MciParsing, CaseBlanksAndNumbersForNames) {
  expect({"Status Cd Mode -> stopped", "status   cd    number   of \t tracks    -> 12",
          "SET CD TIME FORMAT TMSF ->", "Seek CD To 3 Wait Notify ->",
          "status cd position -> 03:00:00:00", "status cd 4 -> stopped", "status cd 3 -> 12",
          "status cd 5 -> true", "status cd 16385 track 12 -> audio", "set cd time format 0 ->",
          "status cd 2 -> 482001", "set cd time format 10 ->", "status cd 6 -> tmsf"});
}

TEST_F(MciParsing, AReplyIsWrittenOnlyWhenItFitsWithItsNul) {
  char buffer[16];
  const auto send = [&](std::string_view command, unsigned length) {
    std::memset(buffer, '#', sizeof buffer);
    return session->sendString(command, buffer, length, nullptr);
  };
  EXPECT_EQ(session->sendString("status cd mode", nullptr, 255, nullptr), 0u);
  // "stopped" needs 8 characters; an empty reply, an error's included, needs 1.
  for (unsigned length : {0u, 1u, 7u}) {
    EXPECT_EQ(send("status cd mode", length), length == 0 ? 0u : 268u) << length;
    EXPECT_EQ(std::string(buffer, sizeof buffer), std::string(sizeof buffer, '#')) << length;
  }
  EXPECT_EQ(send("status cd mode", 8), 0u);
  EXPECT_EQ(std::string(buffer, 9), std::string("stopped\0#", 9));
  EXPECT_EQ(send("stop cd", 1), 0u);
  EXPECT_EQ(std::string(buffer, 2), std::string("\0#", 2));
  EXPECT_EQ(send("status cd position track 99", 1), 282u);
  EXPECT_EQ(std::string(buffer, 2), std::string("\0#", 2));
  // An open whose ID does not fit still opens.
  EXPECT_EQ(send("open D: type cdaudio alias two shareable", 1), 268u);
  expect({"status two mode -> stopped"});
}

TEST(MciErrorText, WindowsTextsCutToFitAndNoneForUnknownCodes) {
  EXPECT_STREQ(mci::errorText(263),
               "The specified device is not open or is not recognized by MCI.");
  for (std::uint32_t unknown : {1u, 283u, 0xFFFFFFFFu}) EXPECT_EQ(mci::errorText(unknown), nullptr);
  char text[8];
  std::memset(text, '#', sizeof text);
  ASSERT_TRUE(mci::getErrorString(276, text, sizeof text));
  EXPECT_STREQ(text, "The dev");
  std::memset(text, '#', sizeof text);
  EXPECT_FALSE(mci::getErrorString(283, text, sizeof text));
  EXPECT_EQ(text[0], '#');
  EXPECT_FALSE(mci::getErrorString(276, text, 0));
  EXPECT_FALSE(mci::getErrorString(276, nullptr, 8));
}

}  // namespace
}  // namespace tavrelo::testing
