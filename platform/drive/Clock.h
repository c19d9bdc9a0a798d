#pragma once

#include <cstdint>

namespace tavrelo::drive {

// Time as the drive layer sees it, so tests can move it by hand.
class Clock {
 public:
  virtual ~Clock() = default;
  virtual std::int64_t nowMs() = 0;  // monotonic milliseconds
  virtual void sleepMs(int ms) = 0;
};

// The process's monotonic clock.
Clock& systemClock();

}  // namespace tavrelo::drive
