#pragma once

#include <cstdint>
#include <mutex>
#include <vector>

#include "platform/audio/AudioSink.h"

namespace tavrelo::audio {

// A sink with no sound and a hand-driven clock: advance(n) plays n frames at
// once. The engine's tests use it to move time exactly. Thread-safe: one mutex
// guards everything, and pull() runs on the caller of advance().
class NullSink final : public AudioSink {
 public:
  // With `capture`, everything pulled is kept for inspection.
  explicit NullSink(bool capture = false) : capture_(capture) {}

  void start(FrameSource& source, bool paused) override;
  void pause() override;
  void resume() override;
  void stop() override;
  void wake() override;
  void setVolume(double) override {}  // no sound to make louder
  std::int64_t heardFrames() override;
  SinkStats stats() override;

  // Plays up to `frames` frames now; returns how many the source gave. A held
  // or stopped stream plays nothing.
  std::int64_t advance(std::int64_t frames);

  bool running();  // a stream exists and is not held
  int wakes();
  // Bytes pulled since the sink was made, across streams (with `capture`).
  std::vector<std::uint8_t> captured();
  // Streams started so far.
  int streams();

 private:
  std::mutex mutex_;
  const bool capture_;
  FrameSource* source_ = nullptr;
  bool paused_ = false;
  bool finished_ = false;
  std::int64_t heard_ = 0;
  std::int64_t written_ = 0;
  int wakes_ = 0;
  int streams_ = 0;
  std::vector<std::uint8_t> captured_;
};

}  // namespace tavrelo::audio
