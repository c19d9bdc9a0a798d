#include "tests/drive/support/Signals.h"

#include <cmath>
#include <numbers>

namespace tavrelo::testing {
namespace {

std::int16_t sampleAt(std::span<const std::uint8_t> audio, std::size_t frame, int channel) {
  const std::size_t i = frame * 4 + static_cast<std::size_t>(channel) * 2;
  return static_cast<std::int16_t>(audio[i] | (audio[i + 1] << 8));
}

// Goertzel power of one frequency over a block, normalised by the block's energy.
double tonePower(std::span<const std::uint8_t> audio, std::size_t first, double hz) {
  const double w = 2.0 * std::numbers::pi * hz / 44100.0;
  const double coeff = 2.0 * std::cos(w);
  double s1 = 0;
  double s2 = 0;
  for (int n = 0; n < kBlockFrames; ++n) {
    const double x = sampleAt(audio, first + static_cast<std::size_t>(n), 0) / 32768.0;
    const double s = x + coeff * s1 - s2;
    s2 = s1;
    s1 = s;
  }
  return s1 * s1 + s2 * s2 - coeff * s1 * s2;
}

}  // namespace

std::vector<int> classifyBlocks(std::span<const std::uint8_t> audio,
                                const std::vector<double>& tonesHz) {
  std::vector<int> labels;
  const std::size_t frames = audio.size() / 4;
  for (std::size_t first = 0; first + kBlockFrames <= frames; first += kBlockFrames) {
    double energy = 0;
    for (int n = 0; n < kBlockFrames; ++n) {
      const double x = sampleAt(audio, first + static_cast<std::size_t>(n), 0) / 32768.0;
      energy += x * x;
    }
    int label = -1;
    // A pure tone at amplitude 0.5 has energy 441 * 0.125 in a block; the
    // Goertzel power of that tone is about energy * N / 2.
    if (energy > 10.0) {
      for (std::size_t t = 0; t < tonesHz.size(); ++t) {
        if (tonePower(audio, first, tonesHz[t]) > 0.8 * energy * kBlockFrames / 2.0) {
          label = static_cast<int>(t);
        }
      }
    }
    labels.push_back(label);
  }
  return labels;
}

std::vector<std::int64_t> counterFrames(std::span<const std::uint8_t> audio) {
  std::vector<std::int64_t> frames;
  frames.reserve(audio.size() / 4);
  for (std::size_t f = 0; f + 1 <= audio.size() / 4; ++f) {
    const auto left = static_cast<std::uint16_t>(sampleAt(audio, f, 0));
    const auto right = static_cast<std::uint16_t>(sampleAt(audio, f, 1));
    if (left == 0 && right == 0) {
      frames.push_back(-1);
    } else {
      frames.push_back(static_cast<std::int64_t>(right) << 16 | left);
    }
  }
  return frames;
}

}  // namespace tavrelo::testing
