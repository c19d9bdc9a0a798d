// The de-emphasis filter against the analogue curve, and where it starts afresh.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <numbers>
#include <vector>

#include "platform/drive/Deemphasis.h"

namespace tavrelo::drive {
namespace {

constexpr double kRate = 44100;

// |H(f)| in dB of (1 + j2πf·15 µs) / (1 + j2πf·50 µs).
double curveDb(double hz) {
  const double w = 2 * std::numbers::pi * hz;
  return 10 * std::log10((1 + std::pow(w * 15e-6, 2)) / (1 + std::pow(w * 50e-6, 2)));
}

std::vector<std::uint8_t> bytesOf(const std::vector<std::int16_t>& samples) {
  std::vector<std::uint8_t> bytes;
  for (std::int16_t s : samples) {
    bytes.push_back(static_cast<std::uint8_t>(s & 0xff));
    bytes.push_back(static_cast<std::uint8_t>(static_cast<std::uint16_t>(s) >> 8));
  }
  return bytes;
}

std::vector<std::int16_t> samplesOf(const std::vector<std::uint8_t>& bytes) {
  std::vector<std::int16_t> samples;
  for (std::size_t i = 0; i + 1 < bytes.size(); i += 2)
    samples.push_back(static_cast<std::int16_t>(bytes[i] | bytes[i + 1] << 8));
  return samples;
}

// Stereo frames of a function of (frame, channel), through a fresh filter.
template <typename F>
std::vector<std::int16_t> filtered(int frames, F&& input) {
  std::vector<std::int16_t> in;
  for (int n = 0; n < frames; ++n) {
    for (int c = 0; c < 2; ++c) in.push_back(static_cast<std::int16_t>(input(n, c)));
  }
  std::vector<std::uint8_t> bytes = bytesOf(in);
  DeemphasisFilter filter;
  filter.process(bytes);
  return samplesOf(bytes);
}

// The amplitude of `hz` in one channel over the last second (a whole number of cycles).
double amplitude(const std::vector<std::int16_t>& stereo, int channel, double hz) {
  const std::size_t frames = stereo.size() / 2;
  double re = 0, im = 0;
  for (std::size_t n = frames - 44100; n < frames; ++n) {
    const double phase = 2 * std::numbers::pi * hz * static_cast<double>(n) / kRate;
    re += stereo[2 * n + static_cast<std::size_t>(channel)] * std::cos(phase);
    im += stereo[2 * n + static_cast<std::size_t>(channel)] * std::sin(phase);
  }
  return 2 * std::hypot(re, im) / 44100;
}

// Each channel its own tone and its own state: the gain at each frequency
// is the curve's within 0.1 dB.
TEST(DeemphasisFilter, FollowsTheCurveWithinATenthOfADecibel) {
  const double hz[] = {20, 1000, 5000, 10000, 16000};
  for (std::size_t i = 0; i < std::size(hz); ++i) {
    const double left = hz[i], right = hz[std::size(hz) - 1 - i];
    const auto out = filtered(2 * 44100, [&](int n, int c) {
      return std::lround(20000 *
                         std::sin(2 * std::numbers::pi * (c == 0 ? left : right) * n / kRate));
    });
    for (const auto& [channel, f] : {std::pair{0, left}, {1, right}}) {
      const double errorDb = 20 * std::log10(amplitude(out, channel, f) / 20000) - curveDb(f);
      EXPECT_LT(std::abs(errorDb), 0.1) << f << " Hz, channel " << channel;
      RecordProperty("error_dB_at_" + std::to_string(static_cast<int>(f)) + "_Hz",
                     std::to_string(errorDb));
    }
  }
}

// A step rises to its level and no further; a full-scale square wave moves
// from each output toward the input's level, never past it, and settles on it.
TEST(DeemphasisFilter, StepsAndFullScaleSquaresNeverOvershoot) {
  const auto step = filtered(200, [](int, int c) { return c == 0 ? 20000 : -20000; });
  EXPECT_EQ(step[0],
            std::lround(20000 * (1 - DeemphasisFilter::kPole) / (1 - DeemphasisFilter::kZero)));
  EXPECT_EQ(step[398], 20000);
  EXPECT_EQ(step[399], -20000);
  for (std::size_t i = 2; i < step.size(); ++i) {
    EXPECT_GE(std::abs(step[i]), std::abs(step[i - 2])) << "frame " << i / 2;
    EXPECT_LE(std::abs(step[i]), 20000) << "frame " << i / 2;
  }

  constexpr int kHalf = 50;  // 441 Hz
  const auto level = [](int n, int c) { return (n / kHalf + c) % 2 == 0 ? 32767 : -32768; };
  const auto square = filtered(40 * kHalf, level);
  for (int n = 1; n < 40 * kHalf; ++n) {
    for (int c = 0; c < 2; ++c) {
      const int before = square[std::size_t(2 * (n - 1) + c)];
      const int now = square[std::size_t(2 * n + c)];
      const int target = level(n, c);
      EXPECT_TRUE(target > before ? now >= before && now <= target : now <= before && now >= target)
          << "frame " << n << " channel " << c << ": " << before << " then " << now;
      if (n % kHalf == kHalf - 1) {
        EXPECT_EQ(now, target) << "frame " << n;
      }
    }
  }
}

// Where the filter starts afresh, goes on, or leaves the sound untouched.
// Tracks 1 (plain) from 150, 2 and 3 (flagged) from 160 and 170, 4 (plain)
// from 180, lead-out 190.
TEST(Deemphasis, FiltersFlaggedTracksOnlyAndRestartsAtJumpsPlaysAndFlagChanges) {
  disc::Toc toc;
  for (int t = 1; t <= 4; ++t) toc.tracks.push_back({.number = t, .start = 140 + 10 * t});
  toc.tracks[1].flags.preemphasis = toc.tracks[2].flags.preemphasis = true;
  toc.leadOut = 190;
  const auto sector = [](disc::Lba lba) {
    std::vector<std::int16_t> s(disc::kSectorBytes / 2);
    for (std::size_t i = 0; i < s.size(); ++i)
      s[i] = static_cast<std::int16_t>((lba * 7919 + static_cast<int>(i) * 104729) % 60000 - 30000);
    return bytesOf(s);
  };
  const auto disc = [&](disc::Lba from, disc::Lba to) {
    std::vector<std::uint8_t> bytes;
    for (disc::Lba lba = from; lba < to; ++lba) {
      const auto s = sector(lba);
      bytes.insert(bytes.end(), s.begin(), s.end());
    }
    return bytes;
  };
  // The disc's sectors [from, to) through one filter from silence.
  const auto fresh = [&](disc::Lba from, disc::Lba to) {
    auto bytes = disc(from, to);
    DeemphasisFilter filter;
    filter.process(bytes);
    return bytes;
  };
  const auto join = [](std::vector<std::vector<std::uint8_t>> parts) {
    std::vector<std::uint8_t> out;
    for (const auto& p : parts) out.insert(out.end(), p.begin(), p.end());
    return out;
  };
  struct Read {
    std::uint64_t play;
    disc::Lba from, to;
  };
  const struct Case {
    const char* what;
    bool enabled;
    std::vector<Read> reads;
    std::vector<std::uint8_t> heard;
  } cases[] = {
      {"plain, then flagged in one read",
       true,
       {{1, 155, 165}},
       join({disc(155, 160), fresh(160, 165)})},
      {"two flagged tracks in a row, read in pieces",
       true,
       {{1, 158, 163}, {1, 163, 175}},
       join({disc(158, 160), fresh(160, 175)})},
      {"flagged, plain, flagged",
       true,
       {{1, 175, 185}, {2, 165, 168}},
       join({fresh(175, 180), disc(180, 185), fresh(165, 168)})},
      {"a jump inside one play",
       true,
       {{1, 160, 163}, {1, 165, 168}},
       join({fresh(160, 163), fresh(165, 168)})},
      {"a new play where the last one stopped",
       true,
       {{1, 160, 163}, {2, 163, 166}},
       join({fresh(160, 163), fresh(163, 166)})},
      {"de-emphasis turned off", false, {{1, 150, 190}}, disc(150, 190)},
  };
  for (const Case& c : cases) {
    Deemphasis deemphasis;
    std::vector<std::uint8_t> heard;
    for (const Read& r : c.reads) {
      auto bytes = disc(r.from, r.to);
      deemphasis.apply(toc, c.enabled, r.play, r.from, bytes);
      heard.insert(heard.end(), bytes.begin(), bytes.end());
    }
    EXPECT_TRUE(heard == c.heard) << c.what;
  }
}

}  // namespace
}  // namespace tavrelo::drive
