#pragma once

#include <gtest/gtest.h>

#include <cstring>
#include <map>
#include <string>
#include <vector>

#include "platform/win32/End.h"
#include "platform/win32/LogicalDrives.h"
#include "platform/win32/MciChannel.h"
#include "platform/win32/SingleInstance.h"
#include "tests/support/RecordingDesktop.h"

namespace tavrelo::testing {

// Stands in for the MCI session: records every command in order with the
// reply length it came with, and answers from `replies`. Installs itself for
// its lifetime.
class RecordingMciChannel final : public win32::MciChannel {
 public:
  struct Sent {
    std::string command;
    UINT replyLength = 0;
  };

  RecordingMciChannel() { win32::setMciChannel(this); }
  ~RecordingMciChannel() override { win32::setMciChannel(nullptr); }
  RecordingMciChannel(const RecordingMciChannel&) = delete;
  RecordingMciChannel& operator=(const RecordingMciChannel&) = delete;

  std::vector<std::string> commands() const {
    std::vector<std::string> all;
    for (const Sent& s : sent) all.push_back(s.command);
    return all;
  }

  // A command with no reply here fails with `failureCode` and an empty reply.
  MCIERROR send(const std::string& command, char* reply, UINT replyLength, HWND) override {
    sent.push_back({command, replyLength});
    const auto found = replies.find(command);
    const bool buffer = reply != nullptr && replyLength > 0;
    if (found == replies.end()) {
      if (buffer) reply[0] = '\0';
      return failureCode;
    }
    if (buffer) std::memcpy(reply, found->second.c_str(), found->second.size() + 1);
    return 0;
  }

  std::map<std::string, std::string> replies;
  std::vector<Sent> sent;
  MCIERROR failureCode = 0;
};

// The main window's world: drives A: to G:, three of them CD drives; a
// recording MCI channel and desktop; End and the other-instance check.
class PlayerFixture : public ::testing::Test {
 protected:
  void SetUp() override {
    win32::setEndForTesting([this] { ++ends; });
    win32::setInstanceCheckForTesting([this] { return otherInstance; });
    useDrives({{"A:\\", 2, {}},
               {"C:\\", win32::kDriveFixed, {}},
               {"E:\\", win32::kDriveCdrom, "/dev/sr0"},
               {"F:\\", win32::kDriveCdrom, "/dev/sr1"},
               {"G:\\", win32::kDriveCdrom, "g.cue"}});
  }
  void TearDown() override {
    win32::setLogicalDrivesForTesting(nullptr);
    win32::setInstanceCheckForTesting({});
    win32::setEndForTesting({});
  }
  void useDrives(std::vector<win32::LogicalDrive> table) {
    drives = std::move(table);
    win32::setLogicalDrivesForTesting(&drives);
  }
  // Whether every command went out with a reply buffer of `length`.
  bool allSentWith(UINT length) const {
    for (const auto& sent : mci.sent) {
      if (sent.replyLength != length) return false;
    }
    return true;
  }

  std::vector<win32::LogicalDrive> drives;
  RecordingMciChannel mci;
  RecordingDesktop desktop;
  int ends = 0;
  bool otherInstance = false;
};

}  // namespace tavrelo::testing
