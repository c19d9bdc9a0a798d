#include <gtest/gtest.h>

#include <cstring>
#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

#include "platform/mci/MciSession.h"
#include "platform/win32/MciChannel.h"
#include "platform/win32/Win32Api.h"
#include "tests/player/RecordingMciChannel.h"
#include "tests/support/FakeCdDrive.h"
#include "tests/support/ManualClock.h"

namespace {

using tavrelo::testing::RecordingMciChannel;

TEST(MciSendStringTest, ForwardsTheCommandAndTheReplyLength) {
  RecordingMciChannel mci;
  mci.reply("status cd mode", "playing");
  char reply[255];
  EXPECT_EQ(mciSendStringA("status cd mode", reply, sizeof reply, nullptr), 0u);
  EXPECT_STREQ(reply, "playing");
  EXPECT_EQ(mciSendStringA("play cd", nullptr, 0, nullptr), 0u);
  ASSERT_EQ(mci.sent.size(), 2u);
  EXPECT_EQ(mci.sent[0].replyLength, 255u);
  EXPECT_EQ(mci.sent[1].command, "play cd");
  EXPECT_EQ(mci.sent[1].replyLength, 0u);
}

TEST(MciSendStringTest, AFailedCommandLeavesAnEmptyReplyNotTheLastOne) {
  RecordingMciChannel mci;
  mci.failureCode = 263;
  char reply[16];
  std::strcpy(reply, "true");
  EXPECT_EQ(mciSendStringA("status cd media present", reply, sizeof reply, nullptr), 263u);
  EXPECT_STREQ(reply, "");
}

TEST(MciSendStringTest, MissingCommandsAndBufferWithoutLengthAreRefusedSafely) {
  RecordingMciChannel mci;
  char reply[8] = "keep";
  EXPECT_EQ(mciSendStringA(nullptr, reply, sizeof reply, nullptr),
            tavrelo::win32::kMciErrMissingCommandString);
  EXPECT_STREQ(reply, "");
  EXPECT_EQ(mciSendStringA("", nullptr, 0, nullptr), tavrelo::win32::kMciErrMissingCommandString);
  EXPECT_TRUE(mci.sent.empty());
  // A length without a buffer is taken as no buffer at all.
  EXPECT_EQ(mciSendStringA("status cd mode", nullptr, 255, nullptr), 0u);
  ASSERT_EQ(mci.sent.size(), 1u);
  EXPECT_EQ(mci.sent[0].replyLength, 0u);
}

class ThrowingChannel final : public tavrelo::win32::MciChannel {
 public:
  MCIERROR send(const std::string&, char* reply, UINT length, HWND) override {
    if (reply != nullptr && length > 0) std::strncpy(reply, "half", length);
    throw std::runtime_error("drive service gone");
  }
};

TEST(MciSendStringTest, NothingThrownBelowCrossesTheCall) {
  ThrowingChannel channel;
  tavrelo::win32::setMciChannel(&channel);
  char reply[32];
  EXPECT_EQ(mciSendStringA("status cd position", reply, sizeof reply, nullptr),
            tavrelo::win32::kMciErrInternal);
  EXPECT_STREQ(reply, "");
  tavrelo::win32::setMciChannel(nullptr);
}

}  // namespace
