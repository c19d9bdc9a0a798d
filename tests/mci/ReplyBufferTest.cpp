// mciSendStringA's buffer rules and mciGetErrorStringA's texts.
#include <cstring>

#include "platform/mci/MciErrors.h"
#include "tests/mci/MciTestSupport.h"

namespace tavrelo::testing {
namespace {

class MciReplyBuffer : public MciFixture {
 protected:
  std::uint32_t send(std::string_view command, unsigned length) {
    std::memset(buffer, '#', sizeof buffer);
    return session->sendString(command, buffer, length, nullptr);
  }
  char buffer[16];
};

TEST_F(MciReplyBuffer, AReplyIsWrittenOnlyWhenItFitsWithItsNul) {
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
