#pragma once

#include <array>
#include <cstdint>
#include <span>

#include "platform/disc/Toc.h"

namespace tavrelo::drive {

// The 50/15 µs de-emphasis curve, H(f) = (1 + j2πf·15 µs) / (1 + j2πf·50 µs),
// at 44.1 kHz: a first-order shelf whose pole and zero were fitted to that
// curve rather than mapped by the bilinear transform (which is 0.97 dB off at
// 16 kHz). Within 0.03 dB of the curve from 20 Hz to 16 kHz (0.17 dB at
// 20 kHz). Each channel has its own state.
//
// Its impulse response is positive at every step and sums to 1 (DC gain 1),
// so the output never lies beyond the input's own peak: a full-scale input
// stays in 16 bits after rounding, and a step rises to its level without
// overshoot.
class DeemphasisFilter {
 public:
  // y[n] = g·(x[n] − kZero·x[n−1]) + kPole·y[n−1], g = (1 − kPole) / (1 − kZero).
  static constexpr double kPole = 0.63149382;
  static constexpr double kZero = 0.20261313;

  // As if silence came before.
  void reset() { channels_ = {}; }
  // Interleaved 16-bit little-endian stereo, in place, rounded to the nearest.
  void process(std::span<std::uint8_t> frames);

 private:
  struct Channel {
    double x1 = 0;  // the previous input
    double y1 = 0;  // the previous output, unrounded
  };
  std::array<Channel, 2> channels_{};
};

// De-emphasis applied to a play's sectors as they are read, by the TOC's
// pre-emphasis flag. Sectors of unflagged tracks pass untouched. The filter
// starts afresh with each play and wherever it meets a flagged track after
// unflagged sound or a jump in the addresses; across two flagged tracks in a
// row it goes on, so the boundary is as the disc has it.
class Deemphasis {
 public:
  // `sectors` hold whole sectors from `lba` of the play `play` (a number that
  // changes with each new play). `enabled` false lets everything through.
  void apply(const disc::Toc& toc, bool enabled, std::uint64_t play, disc::Lba lba,
             std::span<std::uint8_t> sectors);

 private:
  DeemphasisFilter filter_;
  std::uint64_t play_ = 0;
  disc::Lba next_ = 0;
  bool running_ = false;  // the last sector handed in was filtered
};

}  // namespace tavrelo::drive
