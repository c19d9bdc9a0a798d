#include "platform/audio/NullSink.h"

namespace tavrelo::audio {

void NullSink::start(FrameSource& source, bool paused) {
  std::lock_guard lock(mutex_);
  source_ = &source;
  paused_ = paused;
  finished_ = false;
  heard_ = 0;
  ++streams_;
}

void NullSink::pause() {
  std::lock_guard lock(mutex_);
  paused_ = true;
}

void NullSink::resume() {
  std::lock_guard lock(mutex_);
  paused_ = false;
}

void NullSink::stop() {
  std::lock_guard lock(mutex_);
  source_ = nullptr;
  heard_ = 0;
}

void NullSink::wake() {
  std::lock_guard lock(mutex_);
  ++wakes_;
}

std::int64_t NullSink::heardFrames() {
  std::lock_guard lock(mutex_);
  return heard_;
}

SinkStats NullSink::stats() {
  std::lock_guard lock(mutex_);
  return SinkStats{.framesWritten = written_, .framesSkipped = 0, .underflows = 0, .reconnects = 0};
}

std::int64_t NullSink::advance(std::int64_t frames) {
  std::lock_guard lock(mutex_);
  if (source_ == nullptr || paused_ || finished_ || frames <= 0) return 0;
  std::vector<std::uint8_t> buffer(static_cast<std::size_t>(frames) * kBytesPerFrame);
  const PullResult got = source_->pull(buffer);
  const auto framesGot = static_cast<std::int64_t>(got.bytes / kBytesPerFrame);
  finished_ = got.finished;
  heard_ += framesGot;
  written_ += framesGot;
  if (capture_) {
    captured_.insert(captured_.end(), buffer.begin(),
                     buffer.begin() + static_cast<std::ptrdiff_t>(got.bytes));
  }
  return framesGot;
}

bool NullSink::running() {
  std::lock_guard lock(mutex_);
  return source_ != nullptr && !paused_;
}

int NullSink::wakes() {
  std::lock_guard lock(mutex_);
  return wakes_;
}

std::vector<std::uint8_t> NullSink::captured() {
  std::lock_guard lock(mutex_);
  return captured_;
}

int NullSink::streams() {
  std::lock_guard lock(mutex_);
  return streams_;
}

}  // namespace tavrelo::audio
