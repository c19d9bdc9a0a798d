#pragma once

// Threads: the drive's reader reads through it while the test thread sets
// faults; the fault table is under mutex_, the counters atomic.

#include <atomic>
#include <climits>
#include <cstdint>
#include <map>
#include <memory>
#include <mutex>
#include <string>

#include "platform/disc/DiscSource.h"

namespace tavrelo::testing {

// Wraps any disc source and makes it misbehave on demand: sectors that never
// read, sectors that read after a few failures, slow reads, a disc that
// vanishes. Everything else passes through.
class FaultyDisc final : public disc::DiscSource {
 public:
  explicit FaultyDisc(std::unique_ptr<disc::DiscSource> inner) : inner_(std::move(inner)) {}

  std::string describe() const override { return inner_->describe(); }
  disc::MediaState mediaState() override;
  std::uint64_t mediaGeneration() override;
  disc::Toc readToc() override { return inner_->readToc(); }
  int readAudio(disc::Lba lba, int count, std::span<std::uint8_t> out) override;
  bool hasTray() const override { return inner_->hasTray(); }
  void eject() override { inner_->eject(); }
  void closeTray() override { inner_->closeTray(); }
  void setReadSpeed(int speed) override {
    readSpeed = speed;
    inner_->setReadSpeed(speed);
  }

  void makeUnreadable(disc::Lba lba) { makeFlaky(lba, INT_MAX); }  // every read of it throws
  void makeFlaky(disc::Lba lba, int failures) {  // throws this many times, then reads
    std::lock_guard lock(mutex_);
    failures_[lba] = failures;
  }
  void vanish() {  // reads throw, the media is gone
    std::lock_guard lock(mutex_);
    vanished_ = true;
  }

  std::atomic<int> reads{0};        // readAudio calls so far
  std::atomic<int> readDelayMs{0};  // each read takes this long
  std::atomic<int> readSpeed{0};    // as last set

 private:
  std::unique_ptr<disc::DiscSource> inner_;
  std::mutex mutex_;
  std::map<disc::Lba, int> failures_;  // INT_MAX: for ever
  bool vanished_ = false;
};

}  // namespace tavrelo::testing
