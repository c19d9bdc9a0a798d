// Pre-emphasised tracks of an image, played by the real service to a sound
// server of the test's own and recorded there.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <fstream>

#include "tests/support/PrivateWorld.h"

namespace tavrelo::servicetest {
namespace {

// The median level in dB of `hz` over 0.1 s blocks (whole cycles of each tone
// here) [first, last], counted from the first block where any tone sounds.
double level(const std::vector<std::int16_t>& heard, double hz, std::size_t first,
             std::size_t last) {
  constexpr std::size_t kBlock = 2 * 4410;
  std::size_t at = 0;
  while (at + kBlock <= heard.size() &&
         std::ranges::all_of(std::span(heard).subspan(at, kBlock), [](int s) { return s == 0; }))
    at += kBlock;
  std::vector<double> levels;
  for (std::size_t b = first; b <= last && at + (b + 1) * kBlock <= heard.size(); ++b)
    levels.push_back(
        10 * std::log10(testing::tonePower(std::span(heard).subspan(at + b * kBlock, kBlock), hz)));
  if (levels.empty()) return -1000;
  std::nth_element(levels.begin(), levels.begin() + long(levels.size() / 2), levels.end());
  return levels[levels.size() / 2];
}

// Two-second tracks: 10 kHz plain, 10 kHz and 16 kHz pre-emphasised, at one
// level on the disc. Heard 7.60 and 9.04 dB down (the 50/15 µs curve's
// 20·log10|(1 + j2πf·15 µs) / (1 + j2πf·50 µs)|) by default; after
// "[sound] deemphasis=false" and a new disc (the tray out and in), as pressed.
TEST(DeemphasisHeard, FlaggedTracksFollowTheCurveAndTheSettingIsReadAtEachNewDisc) {
  testdisc::TestDiscLayout layout{.tracks = testdisc::plainTracks(3, 2)};
  layout.tracks[0].toneHz = layout.tracks[1].toneHz = 10000;
  layout.tracks[2].toneHz = 16000;
  layout.tracks[1].preemphasis = layout.tracks[2].preemphasis = true;
  testing::PrivateWorld world(layout, true);
  world.setenv("XDG_CONFIG_HOME", (world.dir.path() / "config").string());
  const auto play = [&](std::vector<std::string> argv) {
    testing::Recorder recorder(world.sound.server());
    argv.insert(argv.begin(), {"mcisend", "open D:\\ type cdaudio alias cd shareable",
                               "set cd time format tmsf"});
    std::string replies;
    EXPECT_EQ(testing::runProgram(argv, "", &replies), 0) << replies;
    return recorder.finish();
  };

  // Blocks 2-17 lie inside track 1, 22-37 in track 2, 42-57 in track 3.
  const auto heard = play({"play cd from 1 wait"});
  const double plain = level(heard, 10000, 2, 17);
  EXPECT_NEAR(level(heard, 10000, 22, 37) - plain, -7.60, 0.1);
  EXPECT_NEAR(level(heard, 16000, 42, 57) - plain, -9.04, 0.1);
  EXPECT_NE(world.serviceLog().find("pre-emphasised tracks: 2 3; played through de-emphasis"),
            std::string::npos)
      << world.serviceLog();

  std::filesystem::create_directories(world.dir.path() / "config/tavrelo2");
  std::ofstream(world.dir.path() / "config/tavrelo2/tavrelo2.conf")
      << "[sound]\ndeemphasis=false\n";
  const auto pressed =
      play({"set cd door open wait", "set cd door closed wait", "play cd from 1 to 3 wait"});
  EXPECT_NEAR(level(pressed, 10000, 22, 37) - level(pressed, 10000, 2, 17), 0, 0.1);
  EXPECT_NE(world.serviceLog().find("played as pressed"), std::string::npos);
}

}  // namespace
}  // namespace tavrelo::servicetest
