#pragma once

// Threads: the drive's reader thread reads while the test thread moves the
// tray; the tray state is under mutex_, readSpeed is atomic.

#include <atomic>
#include <cstdint>
#include <mutex>
#include <string>
#include <vector>

#include "platform/disc/DiscSource.h"

namespace tavrelo::testing {

using disc::Lba;

// What a synthetic disc's samples hold.
enum class Signal {
  // Every stereo frame carries its own absolute index (frame f of the disc is
  // f = lba * 588 + n): left = low 16 bits, right = high 16 bits, so any gap,
  // repeat or reorder shows in the output.
  Counter,
  // A sine per track (see toneHz), left and right equal, amplitude 0.5.
  Tone,
};

// The tone of a track: 440 Hz for track 1, 660 Hz for track 2, and so on.
double toneHz(int track);

// An audio CD held in memory: tracks of given lengths from LBA 150, and a tray.
class SyntheticDisc final : public disc::DiscSource {
 public:
  SyntheticDisc(std::vector<int> trackSectors, Signal signal);

  std::string describe() const override { return "synthetic disc"; }
  disc::MediaState mediaState() override;
  std::uint64_t mediaGeneration() override;
  disc::Toc readToc() override;
  int readAudio(Lba lba, int count, std::span<std::uint8_t> out) override;
  bool hasTray() const override { return true; }
  void eject() override;
  void closeTray() override;
  void setReadSpeed(int speed) override { readSpeed = speed; }

  // The sample bytes the disc holds for `sectors` sectors from `lba`.
  std::vector<std::uint8_t> expected(Lba lba, int sectors) const;
  const disc::Toc& toc() const { return toc_; }

  std::atomic<int> readSpeed{0};

 private:
  void fill(Lba lba, std::uint8_t* out) const;

  const Signal signal_;
  disc::Toc toc_;
  std::mutex mutex_;
  bool trayOpen_ = false;
  std::uint64_t generation_ = 1;
};

}  // namespace tavrelo::testing
