#pragma once

#include <cstring>
#include <map>
#include <string>
#include <vector>

#include "platform/win32/MciChannel.h"

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
  // As the real session does, a reply that does not fit answers 268 and leaves
  // the buffer as it was.
  MCIERROR send(const std::string& command, char* reply, UINT replyLength, HWND) override {
    sent.push_back({command, replyLength});
    const auto found = replies.find(command);
    const bool buffer = reply != nullptr && replyLength > 0;
    if (found == replies.end()) {
      if (buffer) reply[0] = '\0';
      return failureCode;
    }
    if (buffer && found->second.size() >= replyLength) return 268;
    if (buffer) std::memcpy(reply, found->second.c_str(), found->second.size() + 1);
    return 0;
  }

  std::map<std::string, std::string> replies;
  std::vector<Sent> sent;
  MCIERROR failureCode = 0;
};

}  // namespace tavrelo::testing
