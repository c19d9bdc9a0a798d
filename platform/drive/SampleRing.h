#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <mutex>
#include <span>
#include <vector>

#include "platform/audio/AudioSink.h"

namespace tavrelo::drive {

// The bytes between the disc reader and the sound sink: a fixed-size ring.
// Any thread may call any member; one short-held mutex guards it, so the
// sink's thread never waits on a disc read.
class SampleRing final : public audio::FrameSource {
 public:
  // `onLow` runs on the puller's thread, outside the ring's lock, each time a
  // pull takes the ring from `lowMarkBytes` or more to less: the reader can
  // sleep until then instead of looking at the ring on a timer.
  explicit SampleRing(std::size_t capacityBytes, std::size_t lowMarkBytes = 0,
                      std::function<void()> onLow = {});

  // Stores as much of `bytes` as fits; returns what was stored.
  std::size_t push(std::span<const std::uint8_t> bytes);
  // Takes up to out.size() bytes (whole frames); `finished` once the input is
  // closed and everything has been taken.
  audio::PullResult pull(std::span<std::uint8_t> out) override;
  // Empties the ring and opens its input again.
  void clear();
  // Nothing more will be pushed until clear().
  void closeInput();

  std::size_t size();
  std::size_t capacity() const { return buffer_.size(); }

 private:
  std::mutex mutex_;
  std::vector<std::uint8_t> buffer_;
  const std::size_t lowMark_;
  const std::function<void()> onLow_;
  std::size_t head_ = 0;  // next byte to take
  std::size_t size_ = 0;
  bool closed_ = false;
};

}  // namespace tavrelo::drive
