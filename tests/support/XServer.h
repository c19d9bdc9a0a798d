#pragma once

#include <string>

namespace tavrelo::testing {

// A private Xvfb server for one test run, on a display number it chooses
// itself (-displayfd); stopped when the object goes.
class XvfbServer {
 public:
  XvfbServer();
  ~XvfbServer();
  XvfbServer(const XvfbServer&) = delete;
  XvfbServer& operator=(const XvfbServer&) = delete;

  bool running() const { return pid_ > 0 && !display_.empty(); }
  const std::string& display() const { return display_; }  // ":42"
  const std::string& error() const { return error_; }

 private:
  int pid_ = -1;
  std::string display_;
  std::string error_;
};

}  // namespace tavrelo::testing
