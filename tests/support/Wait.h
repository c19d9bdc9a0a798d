#pragma once

#include <chrono>
#include <thread>

namespace tavrelo::testing {

// Polls `done` every `pollMs` until it holds or `ms` pass; true as soon as it
// holds. For waiting on another thread or process, never for measuring speed.
template <typename Pred>
bool eventually(Pred done, int ms = 5000, int pollMs = 10) {
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(ms);
  while (!done()) {
    if (std::chrono::steady_clock::now() >= deadline) return false;
    std::this_thread::sleep_for(std::chrono::milliseconds(pollMs));
  }
  return true;
}

}  // namespace tavrelo::testing
