#pragma once

// The stand-in web server (web-stand-in.py beside this file; link web_stand_in) on 127.0.0.1,
// serving the files of a folder of the test's own, for as long as it lives.

#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <fstream>
#include <iterator>
#include <stdexcept>
#include <string>
#include <vector>

#include "tests/support/TempDir.h"
#include "tests/support/Wait.h"

namespace tavrelo::testing {

class WebStandIn {
 public:
  WebStandIn() {
    const std::string script = TAVRELO_WEB_STAND_IN;
    const std::string root = folder().string();
    pid_ = ::fork();
    if (pid_ == 0) {
      ::execl("/usr/bin/python3", "python3", script.c_str(), root.c_str(), nullptr);
      ::_exit(127);
    }
    if (!eventually([&] { return std::filesystem::exists(folder() / "port"); })) {
      throw std::runtime_error("the web stand-in did not start");
    }
    std::ifstream(folder() / "port") >> port_;
  }
  ~WebStandIn() {
    ::kill(pid_, SIGKILL);
    ::waitpid(pid_, nullptr, 0);
  }
  WebStandIn(const WebStandIn&) = delete;
  WebStandIn& operator=(const WebStandIn&) = delete;

  const std::filesystem::path& folder() const { return dir_.path(); }
  std::string url() const { return "http://127.0.0.1:" + std::to_string(port_); }
  // Puts `text` at `path` under the served folder.
  void serve(const std::string& path, const std::string& text) const {
    std::filesystem::create_directories((folder() / path).parent_path());
    std::ofstream(folder() / path, std::ios::binary) << text;
  }
  // The rules of web-stand-in.py, a JSON list.
  void rules(const std::string& json) const { serve("rules.json", json); }
  // One JSON line per request received, oldest first.
  std::vector<std::string> requests() const {
    std::vector<std::string> lines;
    std::ifstream in(folder() / "requests");
    for (std::string line; std::getline(in, line);) lines.push_back(line);
    return lines;
  }

 private:
  test::TempDir dir_;
  pid_t pid_ = -1;
  int port_ = 0;
};

}  // namespace tavrelo::testing
