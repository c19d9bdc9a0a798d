#include <gtest/gtest.h>

#include <numeric>

#include "platform/drive/SampleRing.h"

namespace tavrelo::drive {
namespace {

std::vector<std::uint8_t> bytes(std::size_t n, std::uint8_t first) {
  std::vector<std::uint8_t> v(n);
  std::iota(v.begin(), v.end(), first);
  return v;
}

TEST(SampleRing, KeepsOrderAcrossTheWrap) {
  SampleRing ring(16);
  EXPECT_EQ(ring.push(bytes(12, 0)), 12u);
  std::vector<std::uint8_t> out(8);
  EXPECT_EQ(ring.pull(out).bytes, 8u);
  EXPECT_EQ(out, bytes(8, 0));
  // 4 left; 12 more wrap around the end.
  EXPECT_EQ(ring.push(bytes(12, 12)), 12u);
  EXPECT_EQ(ring.size(), 16u);
  std::vector<std::uint8_t> all(16);
  EXPECT_EQ(ring.pull(all).bytes, 16u);
  EXPECT_EQ(all, bytes(16, 8));
}

TEST(SampleRing, StoresOnlyWhatFitsAndHandsOutWholeFrames) {
  SampleRing ring(10);
  EXPECT_EQ(ring.push(bytes(14, 0)), 10u);
  std::vector<std::uint8_t> out(7);  // room for one frame and three bytes
  const audio::PullResult got = ring.pull(out);
  EXPECT_EQ(got.bytes, 4u);
  EXPECT_FALSE(got.finished);
  EXPECT_EQ(ring.size(), 6u);
}

TEST(SampleRing, FinishesOnlyWhenClosedAndEmpty) {
  SampleRing ring(16);
  ring.push(bytes(8, 0));
  ring.closeInput();
  std::vector<std::uint8_t> out(4);
  EXPECT_FALSE(ring.pull(out).finished);
  EXPECT_TRUE(ring.pull(out).finished);
  EXPECT_TRUE(ring.pull(out).finished);
  ring.clear();
  EXPECT_FALSE(ring.pull(out).finished);
  EXPECT_EQ(ring.size(), 0u);
}

}  // namespace
}  // namespace tavrelo::drive
