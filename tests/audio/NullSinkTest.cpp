#include <gtest/gtest.h>

#include <numeric>

#include "platform/audio/NullSink.h"

namespace tavrelo::audio {
namespace {

// Hands out a fixed number of frames counting up from 1, then says it is done.
class CountingSource final : public FrameSource {
 public:
  explicit CountingSource(int frames) : left_(frames) {}
  PullResult pull(std::span<std::uint8_t> out) override {
    const int n = std::min<int>(left_, static_cast<int>(out.size() / kBytesPerFrame));
    for (int i = 0; i < n; ++i) {
      ++next_;
      std::fill_n(out.begin() + 4 * i, 4, static_cast<std::uint8_t>(next_));
    }
    left_ -= n;
    return PullResult{.bytes = static_cast<std::size_t>(n) * kBytesPerFrame,
                      .finished = left_ == 0};
  }

 private:
  int left_;
  int next_ = 0;
};

TEST(NullSink, PlaysOnlyWhenAdvancedAndNotHeld) {
  NullSink sink(true);
  CountingSource source(100);
  EXPECT_EQ(sink.advance(10), 0);  // no stream yet
  sink.start(source, true);
  EXPECT_EQ(sink.advance(10), 0);  // held from the start
  sink.resume();
  EXPECT_EQ(sink.advance(10), 10);
  EXPECT_EQ(sink.heardFrames(), 10);
  sink.pause();
  EXPECT_EQ(sink.advance(10), 0);
  EXPECT_EQ(sink.heardFrames(), 10);
  sink.resume();
  EXPECT_EQ(sink.advance(1000), 90);  // the source had 90 left
  EXPECT_EQ(sink.advance(10), 0);     // and said it was finished
  EXPECT_EQ(sink.heardFrames(), 100);
  const auto bytes = sink.captured();
  ASSERT_EQ(bytes.size(), 400u);
  EXPECT_EQ(bytes[0], 1);
  EXPECT_EQ(bytes[399], 100);
}

TEST(NullSink, StopForgetsTheStreamAndItsClock) {
  NullSink sink;
  CountingSource first(100);
  sink.start(first, false);
  sink.advance(40);
  sink.stop();
  EXPECT_FALSE(sink.running());
  EXPECT_EQ(sink.heardFrames(), 0);
  EXPECT_EQ(sink.advance(10), 0);
  CountingSource second(100);
  sink.start(second, false);
  EXPECT_EQ(sink.advance(5), 5);
  EXPECT_EQ(sink.heardFrames(), 5);
  EXPECT_EQ(sink.stats().framesWritten, 45);
  EXPECT_EQ(sink.streams(), 2);
}

}  // namespace
}  // namespace tavrelo::audio
