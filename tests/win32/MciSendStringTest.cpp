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

// Through a real session on a fake drive: the reply rules hold at the call
// the program makes, not only inside the MCI layer.
class SessionOverFakeDrive final : public tavrelo::win32::MciChannel,
                                   public tavrelo::mci::DriveDirectory {
 public:
  SessionOverFakeDrive()
      : drive_(std::make_shared<tavrelo::testing::FakeCdDrive>(
            clock_, tavrelo::disc::Toc{{{1, 150, true}, {2, 20000, true}}, 40000})),
        session_(std::shared_ptr<DriveDirectory>(this, [](DriveDirectory*) {})) {
    tavrelo::win32::setMciChannel(this);
  }
  ~SessionOverFakeDrive() override { tavrelo::win32::setMciChannel(nullptr); }

  MCIERROR send(const std::string& command, char* reply, UINT length, HWND window) override {
    return session_.sendString(command, reply, length, window);
  }
  std::shared_ptr<tavrelo::drive::CdDrive> cdDrive(char letter) override {
    return letter == 'D' || letter == 'd' ? drive_ : nullptr;
  }
  std::vector<char> cdDriveLetters() override { return {'D'}; }

 private:
  tavrelo::testing::ManualClock clock_;
  std::shared_ptr<tavrelo::testing::FakeCdDrive> drive_;
  tavrelo::mci::MciSession session_;
};

TEST(MciSendStringTest, RepliesFollowWindowsThroughTheRealSession) {
  SessionOverFakeDrive mci;
  char reply[16];
  EXPECT_EQ(mciSendStringA("open  D:\\ type cdaudio alias cd wait shareable", reply, sizeof reply,
                           nullptr),
            0u);
  EXPECT_STREQ(reply, "1");

  // "stopped" needs 8 bytes: with 7 the call answers 268 and leaves the
  // buffer exactly as it was.
  std::memcpy(reply, "abcdefghijklmno", 16);
  EXPECT_EQ(mciSendStringA("status cd mode", reply, 7, nullptr), 268u);
  EXPECT_STREQ(reply, "abcdefghijklmno");
  EXPECT_EQ(mciSendStringA("status cd mode", reply, 8, nullptr), 0u);
  EXPECT_STREQ(reply, "stopped");

  // After an error the reply is empty, never the previous one.
  EXPECT_EQ(mciSendStringA("status nothere mode", reply, sizeof reply, nullptr), 263u);
  EXPECT_STREQ(reply, "");
  EXPECT_EQ(mciSendStringA("close all", nullptr, 0, nullptr), 0u);
}

}  // namespace
