#include "tests/drive/support/SyntheticDisc.h"

#include <algorithm>
#include <cmath>
#include <numbers>

namespace tavrelo::testing {

double toneHz(int track) {
  return 220.0 * (track + 1);
}

SyntheticDisc::SyntheticDisc(std::vector<int> trackSectors, Signal signal) : signal_(signal) {
  Lba start = disc::kLeadInFrames;
  int number = 1;
  for (int sectors : trackSectors) {
    toc_.tracks.push_back(disc::Track{.number = number++, .start = start, .audio = true});
    start += sectors;
  }
  toc_.leadOut = start;
}

disc::MediaState SyntheticDisc::mediaState() {
  std::lock_guard lock(mutex_);
  return trayOpen_ ? disc::MediaState::TrayOpen : disc::MediaState::DiscPresent;
}

std::uint64_t SyntheticDisc::mediaGeneration() {
  std::lock_guard lock(mutex_);
  return generation_;
}

disc::Toc SyntheticDisc::readToc() {
  std::lock_guard lock(mutex_);
  if (trayOpen_) throw disc::DiscError("no disc");
  return toc_;
}

void SyntheticDisc::fill(Lba lba, std::uint8_t* out) const {
  const int track = toc_.trackAt(lba);
  for (int n = 0; n < disc::kStereoFramesPerSector; ++n) {
    const std::int64_t frame = static_cast<std::int64_t>(lba) * disc::kStereoFramesPerSector + n;
    std::uint16_t left = 0;
    std::uint16_t right = 0;
    if (signal_ == Signal::Counter) {
      left = static_cast<std::uint16_t>(frame & 0xffff);
      right = static_cast<std::uint16_t>((frame >> 16) & 0xffff);
    } else {
      const double t = static_cast<double>(frame) / 44100.0;
      const double v = 0.5 * std::sin(2.0 * std::numbers::pi * toneHz(track) * t);
      left = right = static_cast<std::uint16_t>(static_cast<std::int16_t>(v * 32767.0));
    }
    out[4 * n + 0] = static_cast<std::uint8_t>(left & 0xff);
    out[4 * n + 1] = static_cast<std::uint8_t>(left >> 8);
    out[4 * n + 2] = static_cast<std::uint8_t>(right & 0xff);
    out[4 * n + 3] = static_cast<std::uint8_t>(right >> 8);
  }
}

std::vector<std::uint8_t> SyntheticDisc::expected(Lba lba, int sectors) const {
  std::vector<std::uint8_t> bytes(static_cast<std::size_t>(sectors) * disc::kSectorBytes);
  for (int i = 0; i < sectors; ++i) {
    fill(lba + i, bytes.data() + static_cast<std::size_t>(i) * disc::kSectorBytes);
  }
  return bytes;
}

int SyntheticDisc::readAudio(Lba lba, int count, std::span<std::uint8_t> out) {
  std::lock_guard lock(mutex_);
  if (trayOpen_) throw disc::DiscError("no disc in the drive");
  if (lba < disc::kLeadInFrames || count < 0) throw disc::DiscError("bad address");
  if (out.size() < static_cast<std::size_t>(count) * disc::kSectorBytes) {
    throw disc::DiscError("buffer too small");
  }
  const int n = std::max(0, std::min(count, toc_.leadOut - lba));
  for (int i = 0; i < n; ++i) {
    fill(lba + i, out.data() + static_cast<std::size_t>(i) * disc::kSectorBytes);
  }
  return n;
}

void SyntheticDisc::eject() {
  std::lock_guard lock(mutex_);
  if (!trayOpen_) ++generation_;
  trayOpen_ = true;
}

void SyntheticDisc::closeTray() {
  std::lock_guard lock(mutex_);
  if (trayOpen_) ++generation_;
  trayOpen_ = false;
}

}  // namespace tavrelo::testing
