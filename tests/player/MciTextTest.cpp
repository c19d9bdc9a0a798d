#include <gtest/gtest.h>

#include <cstring>

#include "cd/MciText.h"

namespace {

MciReplyBuffer bufferOf(const char* text, const char* leftover = "") {
  MciReplyBuffer buffer{};
  std::memcpy(buffer.data(), leftover, std::strlen(leftover));
  std::memcpy(buffer.data(), text, std::strlen(text) + 1);
  return buffer;
}

TEST(MciTextTest, ReplyEndsAtTheFirstNulWhateverIsLeftOverBehindIt) {
  EXPECT_EQ(replyText(bufferOf("ope", "playing")), "ope");
  EXPECT_FALSE(replyStartsWith(bufferOf("ope", "openxxx"), "open"));
  EXPECT_TRUE(replyStartsWith(bufferOf("opened"), "open"));
  EXPECT_FALSE(replyStartsWith(bufferOf("Open"), "open"));
  MciReplyBuffer full;
  full.fill('x');
  EXPECT_EQ(replyText(full).size(), 255u);
}

TEST(MciTextTest, IntegersAreWhole16BitDecimalNumbers) {
  EXPECT_EQ(parseInteger16("12"), 12);
  EXPECT_EQ(parseInteger16("  12 "), 12);
  EXPECT_EQ(parseInteger16("-32768"), -32768);
  EXPECT_EQ(parseInteger16("32767"), 32767);
  EXPECT_EQ(parseInteger16("+3"), 3);
  EXPECT_EQ(parseInteger16("007"), 7);
  for (const char* bad : {"", " ", "32768", "-32769", "1a", "1 2", "0x10", "+-1", "+", "-", "1.5",
                          "99999999999999999999"}) {
    EXPECT_FALSE(parseInteger16(bad).has_value()) << bad;
  }
}

TEST(MciTextTest, TwoDigitsPadsBelowTen) {
  EXPECT_EQ(twoDigits(0), "00");
  EXPECT_EQ(twoDigits(7), "07");
  EXPECT_EQ(twoDigits(42), "42");
  EXPECT_EQ(twoDigits(123), "123");
  EXPECT_EQ(twoDigits(-5), "-05");
  EXPECT_EQ(twoDigits(-32768), "-32768");
}

}  // namespace
