#pragma once

#include <string>

namespace tavrelo::testing {

// A PulseAudio server of the test's own, with the null sink "tavrelo_null",
// in a fresh temporary folder, so stopping it disturbs no other test.
class PrivatePulse {
 public:
  PrivatePulse();
  ~PrivatePulse();
  PrivatePulse(const PrivatePulse&) = delete;
  PrivatePulse& operator=(const PrivatePulse&) = delete;

  bool start();  // true once the server answers
  void stop();   // the server exits, as a crashed or restarted one would
  std::string server() const { return "unix:" + dir_ + "/pulse.sock"; }

 private:
  std::string dir_;
};

}  // namespace tavrelo::testing
