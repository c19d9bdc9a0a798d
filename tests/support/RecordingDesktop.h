#pragma once

#include <unistd.h>

#include <cstdint>
#include <set>
#include <string>
#include <vector>

#include "platform/win32/Desktop.h"

namespace tavrelo::testing {

// Records what the program asks of the desktop and answers from a made-up
// PATH. Installs itself for its lifetime.
class RecordingDesktop final : public win32::Desktop {
 public:
  struct Message {
    std::string text;
    int style = 0;
    std::string title;
  };
  struct Start {
    std::string program;
    std::vector<std::string> args;
    std::string directory;
  };

  RecordingDesktop() { win32::setDesktop(this); }
  ~RecordingDesktop() override { win32::setDesktop(nullptr); }
  RecordingDesktop(const RecordingDesktop&) = delete;
  RecordingDesktop& operator=(const RecordingDesktop&) = delete;

  // Programs findProgram knows, as bare names; they resolve to /usr/bin/NAME.
  // An absolute path is found when that file is really executable.
  std::set<std::string> installed;
  // What startProcess answers: a process id, or 0 for "could not start".
  std::int64_t nextProcessId = 4242;

  std::vector<Message> messages;
  std::vector<Start> starts;
  std::vector<Message> questions;  // style 36
  bool answer = true;              // what askYesNo answers

  void showMessage(const std::string& text, int style, const std::string& title) override {
    messages.push_back({text, style, title});
  }
  bool askYesNo(const std::string& text, const std::string& title) override {
    questions.push_back({text, 36, title});
    return answer;
  }
  std::int64_t startProcess(const std::string& program, const std::vector<std::string>& args,
                            const std::string& directory) override {
    starts.push_back({program, args, directory});
    return nextProcessId;
  }
  std::string findProgram(const std::vector<std::string>& names) override {
    for (const std::string& name : names) {
      if (installed.count(name) != 0) return "/usr/bin/" + name;
      if (!name.empty() && name.front() == '/' && ::access(name.c_str(), X_OK) == 0) return name;
    }
    return {};
  }
};

}  // namespace tavrelo::testing
