// The de-emphasis filter against the analogue curve, and where it starts afresh.
#include <gtest/gtest.h>

#include <array>
#include <cmath>
#include <numbers>
#include <vector>

#include "platform/drive/Deemphasis.h"

namespace tavrelo::drive {
namespace {

using Bytes = std::vector<std::uint8_t>;
constexpr double kTwoPi = 2 * std::numbers::pi;

// Interleaved stereo of `frames` frames, sample(frame, channel), through a
// fresh filter (the samples' bytes are the host's: little-endian here).
template <typename F>
std::vector<std::int16_t> filtered(int frames, F sample) {
  std::vector<std::int16_t> out;
  for (int i = 0; i < 2 * frames; ++i)
    out.push_back(static_cast<std::int16_t>(sample(i / 2, i % 2)));
  DeemphasisFilter().process({reinterpret_cast<std::uint8_t*>(out.data()), 2 * out.size()});
  return out;
}

// Each channel its own tone: after a second, its gain over the next second
// (whole cycles) is |(1 + j2πf·15 µs) / (1 + j2πf·50 µs)| within 0.1 dB.
TEST(DeemphasisFilter, FollowsTheCurveWithinATenthOfADecibel) {
  const double hz[] = {20, 1000, 5000, 10000, 16000};
  for (std::size_t i = 0; i < 5; ++i) {
    const double f[2] = {hz[i], hz[4 - i]};
    const auto out = filtered(88200, [&](int n, int c) {
      return std::lround(20000 * std::sin(kTwoPi * f[c] * n / 44100));
    });
    for (int c = 0; c < 2; ++c) {
      double re = 0, im = 0;
      for (int n = 44100; n < 88200; ++n) {
        re += out[std::size_t(2 * n + c)] * std::cos(kTwoPi * f[c] * n / 44100);
        im += out[std::size_t(2 * n + c)] * std::sin(kTwoPi * f[c] * n / 44100);
      }
      const double w = kTwoPi * f[c];
      const double curve =
          10 * std::log10((1 + std::pow(w * 15e-6, 2)) / (1 + std::pow(w * 50e-6, 2)));
      const double error = 20 * std::log10(2 * std::hypot(re, im) / 44100 / 20000) - curve;
      EXPECT_LT(std::abs(error), 0.1) << f[c] << " Hz";
      RecordProperty("error_dB_at_" + std::to_string(int(f[c])) + "_Hz", std::to_string(error));
    }
  }
}

// A full-scale square wave is a step every 50 frames, from rail to rail:
// each output moves from the last toward the input, never past it (no
// overshoot, no wrap), and settles on it.
TEST(DeemphasisFilter, AFullScaleSquareWaveStepsWithoutOvershoot) {
  const auto level = [](int n, int c) { return (n / 50 + c) % 2 == 0 ? 32767 : -32768; };
  const auto out = filtered(2000, level);
  for (int i = 2; i < 4000; ++i) {
    const int before = out[std::size_t(i - 2)], now = out[std::size_t(i)],
              target = level(i / 2, i % 2);
    EXPECT_TRUE(target > before ? now >= before && now <= target : now <= before && now >= target)
        << "frame " << i / 2 << ": " << before << " then " << now;
    if (i / 2 % 50 == 49) {
      EXPECT_EQ(now, target) << "frame " << i / 2;
    }
  }
}

// Tracks 1 (plain) from 150, 2 and 3 (flagged) from 160 and 170, 4 (plain) from 180.
TEST(Deemphasis, FiltersFlaggedTracksOnlyAndRestartsAtJumpsPlaysAndFlagChanges) {
  disc::Toc toc{.tracks = {{1, 150}, {2, 160}, {3, 170}, {4, 180}}, .leadOut = 190};
  toc.tracks[1].flags.preemphasis = toc.tracks[2].flags.preemphasis = true;
  const auto sectors = [](disc::Lba from, disc::Lba to) {  // noise-like, but known
    Bytes bytes(std::size_t(to - from) * disc::kSectorBytes);
    for (std::size_t i = 0; i < bytes.size(); ++i)
      bytes[i] = std::uint8_t((std::size_t(from) * disc::kSectorBytes + i) * 104729 >> 7);
    return bytes;
  };
  // Reads: {play, from, to}. Heard: {from, to, through a fresh filter}.
  using Piece = std::array<int, 3>;
  const struct {
    bool enabled;
    std::vector<Piece> reads, heard;
  } cases[] = {
      {true, {{1, 155, 165}}, {{155, 160, 0}, {160, 165, 1}}},
      {true, {{1, 158, 163}, {1, 163, 175}}, {{158, 160, 0}, {160, 175, 1}}},  // 2 and 3 in a row
      {true, {{1, 175, 185}, {2, 165, 168}}, {{175, 180, 1}, {180, 185, 0}, {165, 168, 1}}},
      {true, {{1, 160, 163}, {1, 165, 168}}, {{160, 163, 1}, {165, 168, 1}}},  // a jump
      {true, {{1, 160, 163}, {2, 163, 166}}, {{160, 163, 1}, {163, 166, 1}}},  // a new play
      {false, {{1, 150, 190}}, {{150, 190, 0}}},
  };
  for (const auto& c : cases) {
    Deemphasis deemphasis;
    Bytes got, want;
    for (const auto& [play, from, to] : c.reads) {
      Bytes bytes = sectors(from, to);
      deemphasis.apply(toc, c.enabled, std::uint64_t(play), from, bytes);
      got.insert(got.end(), bytes.begin(), bytes.end());
    }
    for (const auto& [from, to, fresh] : c.heard) {
      Bytes bytes = sectors(from, to);
      if (fresh) DeemphasisFilter().process(bytes);
      want.insert(want.end(), bytes.begin(), bytes.end());
    }
    EXPECT_TRUE(got == want) << "case " << &c - cases;
  }
}

}  // namespace
}  // namespace tavrelo::drive
