// mciSendStringA's buffer rules and mciGetErrorStringA's texts.
#include <gtest/gtest.h>

#include <cstring>

#include "platform/mci/MciErrors.h"
#include "tests/mci/MciTestSupport.h"

namespace tavrelo::testing {
namespace {

class MciReplyBuffer : public MciFixture {
 protected:
  void SetUp() override {
    MciFixture::SetUp();
    openCd();
  }
  std::uint32_t send(std::string_view command, unsigned length) {
    std::memset(buffer, '#', sizeof buffer);
    return session->sendString(command, buffer, length, nullptr);
  }
  bool untouched() const {
    for (char c : buffer) {
      if (c != '#') return false;
    }
    return true;
  }
  char buffer[16];
};

TEST_F(MciReplyBuffer, NoBufferIsFine) {
  EXPECT_EQ(session->sendString("status cd mode", nullptr, 0, nullptr), 0u);
  EXPECT_EQ(session->sendString("status cd mode", nullptr, 255, nullptr), 0u);
  EXPECT_EQ(send("status cd mode", 0), 0u);
  EXPECT_TRUE(untouched());
  EXPECT_EQ(send("status cd bogus", 0), 290u);
  EXPECT_TRUE(untouched());
}

TEST_F(MciReplyBuffer, AReplyThatDoesNotFitLeavesTheBufferAlone) {
  // "stopped" has 7 characters and needs 8 with its NUL.
  for (unsigned length : {1u, 6u, 7u}) {
    EXPECT_EQ(send("status cd mode", length), 268u) << length;
    EXPECT_TRUE(untouched()) << length;
  }
  EXPECT_EQ(send("status cd mode", 8), 0u);
  EXPECT_STREQ(buffer, "stopped");
  EXPECT_EQ(buffer[8], '#');
}

TEST_F(MciReplyBuffer, AnEmptyReplyFitsInOneCharacter) {
  EXPECT_EQ(send("stop cd", 1), 0u);
  EXPECT_EQ(buffer[0], '\0');
  EXPECT_EQ(buffer[1], '#');
}

TEST_F(MciReplyBuffer, AnErrorEmptiesTheReply) {
  EXPECT_EQ(send("status cd position track 99", 16), 282u);
  EXPECT_EQ(buffer[0], '\0');
  EXPECT_EQ(send("", 16), 267u);
  EXPECT_EQ(buffer[0], '\0');
}

TEST_F(MciReplyBuffer, OpenStillOpensWhenItsIdDoesNotFit) {
  EXPECT_EQ(send("open D: type cdaudio alias two shareable", 1), 268u);
  EXPECT_EQ(send("status two mode", 16), 0u);
  EXPECT_STREQ(buffer, "stopped");
}

TEST(MciErrorText, KnownCodesHaveWindowsTexts) {
  EXPECT_STREQ(mci::errorText(263),
               "The specified device is not open or is not recognized by MCI.");
  EXPECT_STREQ(mci::errorText(282),
               "The specified parameter is out of range for the specified command.");
  EXPECT_STREQ(mci::errorText(0), "The specified command was carried out.");
  EXPECT_EQ(mci::errorText(283), nullptr);
  EXPECT_EQ(mci::errorText(1), nullptr);
  EXPECT_EQ(mci::errorText(0xFFFFFFFF), nullptr);
}

TEST(MciErrorText, GetErrorStringCutsToFitAndRefusesUnknownCodes) {
  char text[129];
  ASSERT_TRUE(mci::getErrorString(276, text, sizeof text));
  EXPECT_STREQ(text, "The device driver is not ready.");
  char small[8];
  std::memset(small, '#', sizeof small);
  ASSERT_TRUE(mci::getErrorString(276, small, sizeof small));
  EXPECT_STREQ(small, "The dev");
  std::memset(small, '#', sizeof small);
  EXPECT_FALSE(mci::getErrorString(283, small, sizeof small));
  EXPECT_EQ(small[0], '#');
  EXPECT_FALSE(mci::getErrorString(276, small, 0));
  EXPECT_FALSE(mci::getErrorString(276, nullptr, 8));
}

}  // namespace
}  // namespace tavrelo::testing
