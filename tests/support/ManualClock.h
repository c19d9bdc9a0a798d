#pragma once

#include <cstdint>

#include "platform/drive/Clock.h"

namespace tavrelo::testing {

// A clock that moves only when told to: sleepMs advances it at once, so a
// "play ... wait" against a fake drive finishes without real waiting.
class ManualClock final : public drive::Clock {
 public:
  std::int64_t nowMs() override { return now_; }
  void sleepMs(int ms) override { advance(ms); }
  void advance(std::int64_t ms) {
    if (ms > 0) now_ += ms;
  }

 private:
  std::int64_t now_ = 0;
};

}  // namespace tavrelo::testing
