#pragma once

#include <algorithm>
#include <cstring>
#include <deque>
#include <map>
#include <string>
#include <vector>

#include "platform/win32/MciChannel.h"

namespace tavrelo::testing {

// Stands in for the MCI session: records every command in order with the
// reply length it came with, and answers from replies the test gives.
// Installs itself for its lifetime.
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

  // Replies to `command`, used in turn; the last one stays. A command with no
  // reply gets the empty reply and the code `failureCode`. As the real
  // session does, a reply that does not fit answers 268 and leaves the buffer
  // as it was.
  void reply(const std::string& command, std::vector<std::string> texts) {
    replies_[command] = std::deque<std::string>(texts.begin(), texts.end());
  }
  void reply(const std::string& command, const std::string& text) {
    reply(command, std::vector<std::string>{text});
  }
  void clear() { sent.clear(); }

  std::vector<std::string> commands() const {
    std::vector<std::string> all;
    for (const Sent& s : sent) all.push_back(s.command);
    return all;
  }

  std::vector<Sent> sent;
  MCIERROR failureCode = 0;

  MCIERROR send(const std::string& command, char* reply, UINT replyLength, HWND) override {
    sent.push_back({command, replyLength});
    const auto found = replies_.find(command);
    if (found == replies_.end() || found->second.empty()) {
      if (reply != nullptr && replyLength > 0) reply[0] = '\0';
      return failureCode;
    }
    const std::string text = found->second.front();
    if (found->second.size() > 1) found->second.pop_front();
    if (reply != nullptr && replyLength > 0) {
      constexpr MCIERROR kParamOverflow = 268;
      if (text.size() >= replyLength) return kParamOverflow;
      std::memcpy(reply, text.data(), text.size() + 1);
    }
    return 0;
  }

 private:
  std::map<std::string, std::deque<std::string>> replies_;
};

}  // namespace tavrelo::testing
