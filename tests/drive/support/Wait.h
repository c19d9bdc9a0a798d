#pragma once

#include <chrono>
#include <thread>

namespace tavrelo::testing {

// Polls `done` every millisecond until it holds or `timeoutMs` passes; returns
// its last value. For waiting on another thread, never for measuring speed.
template <typename Pred>
bool waitUntil(Pred done, int timeoutMs = 3000) {
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
  while (!done()) {
    if (std::chrono::steady_clock::now() > deadline) return done();
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
  }
  return true;
}

}  // namespace tavrelo::testing
