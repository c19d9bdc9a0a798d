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
  return inner_->mediaGeneration() + (vanished_ ? 1000 : 0);  // a vanished disc is a changed one
}

int FaultyDisc::readAudio(disc::Lba lba, int count, std::span<std::uint8_t> out) {
  ++reads;
  std::this_thread::sleep_for(std::chrono::milliseconds(readDelayMs.load()));
  {
    std::lock_guard lock(mutex_);
    if (vanished_) throw disc::DiscError("no disc in the drive");
    for (auto it = failures_.lower_bound(lba); it != failures_.end() && it->first < lba + count;
         ++it) {
      if (it->second == 0) continue;
      if (it->second != INT_MAX) --it->second;
      throw disc::DiscError("sector " + std::to_string(it->first) + " unreadable");
    }
  }
  return inner_->readAudio(lba, count, out);
}

}  // namespace tavrelo::testing
