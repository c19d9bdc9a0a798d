#pragma once

#include <cstdint>
#include <span>
#include <vector>

namespace tavrelo::testing {

inline constexpr int kBlockFrames = 441;  // 10 ms

// Which of `tonesHz` dominates each 10 ms block of s16le stereo audio (left
// channel): its index, or -1 for silence or anything else.
std::vector<int> classifyBlocks(std::span<const std::uint8_t> audio,
                                const std::vector<double>& tonesHz);

// The frame indices a Counter-signal recording carries, one per stereo frame;
// -1 for a silent (all-zero) frame.
std::vector<std::int64_t> counterFrames(std::span<const std::uint8_t> audio);

}  // namespace tavrelo::testing
