#pragma once

#include <sys/types.h>

#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "tests/support/Sound.h"
#include "tests/support/TempDir.h"
#include "tests/support/Wait.h"
#include "tools/testdisc/TestDisc.h"

namespace tavrelo::testing {

// A world of a test's own for the real drive service and the real program: a
// runtime folder (so the user's own service is never met), a sound server,
// and a generated disc as the one image drive. The environment points at
// them, and at the built service, while the world lives and is put back
// afterwards; the service of the world's runtime folder ends with it.
class PrivateWorld {
 public:
  // With `sound` false, PULSE_SERVER names a socket nobody listens on: the
  // drive then plays by the wall clock, silently.
  PrivateWorld(int tracks, int seconds, bool sound, SoundServer kind = SoundServer::PulseAudio);
  PrivateWorld(const testdisc::TestDiscLayout& layout, bool sound,
               SoundServer kind = SoundServer::PulseAudio);
  ~PrivateWorld();
  PrivateWorld(const PrivateWorld&) = delete;
  PrivateWorld& operator=(const PrivateWorld&) = delete;

  // Sets a variable until the world ends.
  void setenv(const std::string& name, const std::string& value);

  std::filesystem::path serviceFolder() const { return runtime / "tavrelo2"; }
  std::string serviceLog() const;
  // The running service, from its lock file; 0 when none lives.
  pid_t servicePid() const;
  void stopService();

  test::TempDir dir;
  std::filesystem::path runtime;
  PrivatePulse sound;
  testdisc::TestDisc disc;

 private:
  std::vector<std::unique_ptr<test::ScopedEnv>> saved_;
};

// True when `pid`, a child (or an orphan this subreaper adopted), has ended.
bool reaped(pid_t pid, int* status = nullptr);

}  // namespace tavrelo::testing
