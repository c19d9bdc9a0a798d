#include <gtest/gtest.h>

#include <cstring>

#include "cd/MciText.h"

namespace {

TEST(MciTextTest, ReplyEndsAtTheFirstNulWhateverIsLeftOverBehindIt) {
  MciReplyBuffer buffer{};
  std::memcpy(buffer.data(), "openxxx", 7);
  std::memcpy(buffer.data(), "ope", 4);
  EXPECT_EQ(replyText(buffer), "ope");
  EXPECT_FALSE(replyStartsWith(buffer, "open"));
  EXPECT_TRUE(replyStartsWith(buffer, "op"));
  buffer.fill('x');
  EXPECT_EQ(replyText(buffer).size(), 255u);
}

TEST(MciTextTest, IntegersAreWhole16BitDecimalNumbersShownWithTwoDigitsAtLeast) {
  for (const auto& [text, value] :
       {std::pair{"  12 ", 12}, std::pair{"-32768", -32768}, std::pair{"32767", 32767},
        std::pair{"+3", 3}, std::pair{"007", 7}}) {
    EXPECT_EQ(parseInteger16(text), value) << text;
  }
  for (const char* bad : {"", " ", "32768", "-32769", "1a", "1 2", "0x10", "+-1", "+", "1.5"}) {
    EXPECT_FALSE(parseInteger16(bad).has_value()) << bad;
  }
  EXPECT_EQ(twoDigits(7), "07");
  EXPECT_EQ(twoDigits(123), "123");
  EXPECT_EQ(twoDigits(-5), "-05");
}

}  // namespace
