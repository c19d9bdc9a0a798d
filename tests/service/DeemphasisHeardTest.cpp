// Pre-emphasised tracks of an image, played by the real service to a sound
// server of the test's own and recorded there.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <fstream>
#include <numbers>

#include "tests/support/PrivateWorld.h"

namespace tavrelo::servicetest {
namespace {

// |H(f)| in dB of (1 + j2πf·15 µs) / (1 + j2πf·50 µs).
double curveDb(double hz) {
  const double w = 2 * std::numbers::pi * hz;
  return 10 * std::log10((1 + std::pow(w * 15e-6, 2)) / (1 + std::pow(w * 50e-6, 2)));
}

// The level in dB of `hz` in each 0.1 s block of a recording (a whole number
// of cycles for each tone here), from the first block where it sounds.
std::vector<double> blockLevels(const std::vector<std::int16_t>& stereo, double hz) {
  constexpr std::size_t kBlock = 2 * 4410;
  std::vector<double> levels;
  for (std::size_t at = 0; at + kBlock <= stereo.size(); at += kBlock) {
    const double power = testing::tonePower(std::span(stereo).subspan(at, kBlock), hz);
    if (power > 1e3 || !levels.empty()) levels.push_back(10 * std::log10(std::max(power, 1e-9)));
  }
  return levels;
}

// The median level of the blocks [first, last], which lie inside one track.
double median(std::vector<double> levels, std::size_t first, std::size_t last) {
  if (levels.size() <= last) return -1000;
  std::vector<double> part(levels.begin() + long(first), levels.begin() + long(last) + 1);
  std::nth_element(part.begin(), part.begin() + long(part.size() / 2), part.end());
  return part[part.size() / 2];
}

// Three tracks of two seconds: 10 kHz plain, 10 kHz pre-emphasised, 16 kHz
// pre-emphasised, all at the same level on the disc. Heard through the
// curve by default; after "[sound] deemphasis=false" and a new disc (the
// tray out and in), as pressed.
TEST(DeemphasisHeard, FlaggedTracksFollowTheCurveAndTheSettingIsReadAtEachNewDisc) {
  testdisc::TestDiscLayout layout{.tracks = testdisc::plainTracks(3, 2)};
  layout.tracks[0].toneHz = layout.tracks[1].toneHz = 10000;
  layout.tracks[2].toneHz = 16000;
  layout.tracks[1].preemphasis = layout.tracks[2].preemphasis = true;
  testing::PrivateWorld world(layout, true);
  world.setenv("XDG_CONFIG_HOME", (world.dir.path() / "config").string());
  const auto play = [&](const std::vector<std::string>& commands) {
    testing::Recorder recorder(world.sound.server());
    std::vector<std::string> argv{"mcisend", "open D:\\ type cdaudio alias cd shareable",
                                  "set cd time format tmsf"};
    argv.insert(argv.end(), commands.begin(), commands.end());
    std::string replies;
    EXPECT_EQ(testing::runProgram(argv, "", &replies), 0) << replies;
    return recorder.finish();
  };

  // Blocks 2-17 lie inside track 1, 22-37 in track 2, 42-57 in track 3.
  const auto heard = play({"play cd from 1 wait"});
  const auto tenK = blockLevels(heard, 10000);
  const auto sixteenK = blockLevels(heard, 16000);
  const double plain = median(tenK, 2, 17);
  const std::size_t offset = tenK.size() - sixteenK.size();  // 16 kHz starts in track 3
  const double at10k = median(tenK, 22, 37) - plain;
  const double at16k = median(sixteenK, 42 - offset, 57 - offset) - plain;
  EXPECT_NEAR(at10k, curveDb(10000), 0.1);
  EXPECT_NEAR(at16k, curveDb(16000), 0.1);
  RecordProperty("heard_dB_at_10000_Hz", std::to_string(at10k));
  RecordProperty("heard_dB_at_16000_Hz", std::to_string(at16k));
  EXPECT_NE(world.serviceLog().find("pre-emphasised tracks: 2 3; played through de-emphasis"),
            std::string::npos)
      << world.serviceLog();

  std::filesystem::create_directories(world.dir.path() / "config/tavrelo2");
  std::ofstream(world.dir.path() / "config/tavrelo2/tavrelo2.conf")
      << "[sound]\ndeemphasis=false\n";
  const auto pressed = blockLevels(
      play({"set cd door open wait", "set cd door closed wait", "play cd from 1 to 3 wait"}),
      10000);
  const double asPressed = median(pressed, 22, 37) - median(pressed, 2, 17);
  EXPECT_NEAR(asPressed, 0, 0.1);
  RecordProperty("heard_dB_at_10000_Hz_as_pressed", std::to_string(asPressed));
  EXPECT_NE(world.serviceLog().find("played as pressed"), std::string::npos);
}

}  // namespace
}  // namespace tavrelo::servicetest
