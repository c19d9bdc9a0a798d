#include "tests/drive/support/PrivatePulse.h"

#include <stdlib.h>

#include <filesystem>
#include <stdexcept>

#include "tests/drive/support/Recorder.h"

namespace tavrelo::testing {

PrivatePulse::PrivatePulse() {
  char pattern[] = "/tmp/tavrelo-pulse-XXXXXX";
  if (mkdtemp(pattern) == nullptr) throw std::runtime_error("mkdtemp failed");
  dir_ = pattern;
}

PrivatePulse::~PrivatePulse() {
  stop();
  std::error_code ignored;
  std::filesystem::remove_all(dir_, ignored);
}

bool PrivatePulse::start() {
  return runProgram({TAVRELO_PULSE_SCRIPT, "start", dir_}) == 0;
}

void PrivatePulse::stop() {
  runProgram({TAVRELO_PULSE_SCRIPT, "stop", dir_});
}

}  // namespace tavrelo::testing
