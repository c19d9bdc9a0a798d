#include "tests/drive/support/FaultyDisc.h"

#include <chrono>
#include <thread>

namespace tavrelo::testing {

disc::MediaState FaultyDisc::mediaState() {
  {
    std::lock_guard lock(mutex_);
    if (vanished_) return disc::MediaState::NoDisc;
  }
  return inner_->mediaState();
}

std::uint64_t FaultyDisc::mediaGeneration() {
  std::lock_guard lock(mutex_);
  // A vanished disc is a changed disc.
  return inner_->mediaGeneration() + (vanished_ ? 1000 : 0);
}

int FaultyDisc::readAudio(disc::Lba lba, int count, std::span<std::uint8_t> out) {
  ++reads;
  if (const int delay = readDelayMs.load(); delay > 0) {
    std::this_thread::sleep_for(std::chrono::milliseconds(delay));
  }
  {
    std::lock_guard lock(mutex_);
    if (vanished_) throw disc::DiscError("no disc in the drive");
    for (int i = 0; i < count; ++i) {
      if (unreadable_.contains(lba + i)) {
        throw disc::DiscError("sector " + std::to_string(lba + i) + " unreadable");
      }
      for (auto& [bad, left] : flaky_) {
        if (bad == lba + i && left > 0) {
          --left;
          throw disc::DiscError("sector " + std::to_string(bad) + " misread");
        }
      }
    }
  }
  return inner_->readAudio(lba, count, out);
}

void FaultyDisc::makeUnreadable(disc::Lba lba) {
  std::lock_guard lock(mutex_);
  unreadable_.insert(lba);
}

void FaultyDisc::makeFlaky(disc::Lba lba, int failures) {
  std::lock_guard lock(mutex_);
  flaky_.emplace_back(lba, failures);
}

void FaultyDisc::vanish() {
  std::lock_guard lock(mutex_);
  vanished_ = true;
}

}  // namespace tavrelo::testing
