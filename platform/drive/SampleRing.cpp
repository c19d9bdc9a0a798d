#include "platform/drive/SampleRing.h"

#include <algorithm>
#include <cstring>
#include <utility>

namespace tavrelo::drive {

SampleRing::SampleRing(std::size_t capacityBytes, std::size_t lowMarkBytes,
                       std::function<void()> onLow)
    : buffer_(capacityBytes), lowMark_(lowMarkBytes), onLow_(std::move(onLow)) {}

std::size_t SampleRing::push(std::span<const std::uint8_t> bytes) {
  std::lock_guard lock(mutex_);
  const std::size_t capacity = buffer_.size();
  const std::size_t count = std::min(bytes.size(), capacity - size_);
  if (count == 0) return 0;
  const std::size_t tail = (head_ + size_) % capacity;
  const std::size_t first = std::min(count, capacity - tail);
  std::memcpy(buffer_.data() + tail, bytes.data(), first);
  std::memcpy(buffer_.data(), bytes.data() + first, count - first);
  size_ += count;
  return count;
}

audio::PullResult SampleRing::pull(std::span<std::uint8_t> out) {
  audio::PullResult result;
  bool fellLow = false;
  {
    std::lock_guard lock(mutex_);
    const std::size_t capacity = buffer_.size();
    std::size_t count = std::min(out.size(), size_);
    count -= count % audio::kBytesPerFrame;
    if (count > 0) {
      const std::size_t first = std::min(count, capacity - head_);
      std::memcpy(out.data(), buffer_.data() + head_, first);
      std::memcpy(out.data() + first, buffer_.data(), count - first);
      head_ = (head_ + count) % capacity;
      fellLow = size_ >= lowMark_ && size_ - count < lowMark_;
      size_ -= count;
    }
    result = audio::PullResult{.bytes = count, .finished = closed_ && size_ == 0};
  }
  if (fellLow && onLow_) onLow_();
  return result;
}

void SampleRing::clear() {
  std::lock_guard lock(mutex_);
  head_ = 0;
  size_ = 0;
  closed_ = false;
}

void SampleRing::closeInput() {
  std::lock_guard lock(mutex_);
  closed_ = true;
}

std::size_t SampleRing::size() {
  std::lock_guard lock(mutex_);
  return size_;
}

}  // namespace tavrelo::drive
