// How the coefficients were found: with a digital pole p and zero q and the
// gain g = (1 − p) / (1 − q) that makes the DC gain 1, |H(e^jω)|² =
// g²(1 − 2q·cos ω + q²) / (1 − 2p·cos ω + p²). (p, q) minimise the largest
// difference in dB from the analogue curve over 400 frequencies spaced
// logarithmically from 20 Hz to 16 kHz (Nelder–Mead from the bilinear
// transform's p = 0.6303, q = 0.1390). The fit leaves, in dB:
//   20 Hz +0.000, 1 kHz +0.007, 5 kHz +0.020, 10 kHz −0.027, 16 kHz +0.029.
// With 0 < q < p < 1 every tap of the impulse response, g then g(p − q)p^(n−1),
// is positive.
#include "platform/drive/Deemphasis.h"

#include <cmath>

namespace tavrelo::drive {
namespace {

constexpr double kGain = (1 - DeemphasisFilter::kPole) / (1 - DeemphasisFilter::kZero);
constexpr double kB0 = kGain;
constexpr double kB1 = -kGain * DeemphasisFilter::kZero;

bool preemphasised(const disc::Toc& toc, disc::Lba lba) {
  const disc::Track* track = toc.find(toc.trackAt(lba));
  return track != nullptr && track->audio && track->flags.preemphasis;
}

}  // namespace

void DeemphasisFilter::process(std::span<std::uint8_t> frames) {
  for (std::size_t i = 0; i + 1 < frames.size(); i += 2) {
    Channel& c = channels_[(i / 2) % 2];
    const auto x = static_cast<double>(
        static_cast<std::int16_t>(frames[i] | static_cast<unsigned>(frames[i + 1]) << 8));
    const double y = kB0 * x + kB1 * c.x1 + kPole * c.y1;
    c.x1 = x;
    c.y1 = y;
    // |y| is at most the input's peak (see the header), so the rounded value fits.
    const auto out = static_cast<std::uint16_t>(static_cast<std::int16_t>(std::lround(y)));
    frames[i] = static_cast<std::uint8_t>(out & 0xff);
    frames[i + 1] = static_cast<std::uint8_t>(out >> 8);
  }
}

void Deemphasis::apply(const disc::Toc& toc, bool enabled, std::uint64_t play, disc::Lba lba,
                       std::span<std::uint8_t> sectors) {
  if (play != play_ || lba != next_) running_ = false;
  play_ = play;
  const std::size_t count = sectors.size() / disc::kSectorBytes;
  for (std::size_t i = 0; i < count; ++i) {
    if (!enabled || !preemphasised(toc, lba + static_cast<disc::Lba>(i))) {
      running_ = false;
      continue;
    }
    if (!running_) filter_.reset();
    running_ = true;
    filter_.process(sectors.subspan(i * disc::kSectorBytes, disc::kSectorBytes));
  }
  next_ = lba + static_cast<disc::Lba>(count);
}

}  // namespace tavrelo::drive
