#include "platform/drive/TrackHeads.h"

#include <algorithm>

namespace tavrelo::drive {
namespace {

constexpr std::size_t kSectorBytes = disc::kSectorBytes;

}  // namespace

int TrackHeads::Head::filled() const {
  return static_cast<int>(sound.size() / kSectorBytes);
}

TrackHeads::Head* TrackHeads::find(disc::Lba start) {
  const auto it = std::find_if(heads_.begin(), heads_.end(),
                               [&](const Head& h) { return h.wanted.start == start; });
  return it != heads_.end() ? &*it : nullptr;
}

void TrackHeads::keepOnly(std::uint64_t generation, const std::vector<Wanted>& wanted) {
  std::vector<Head> kept;
  for (const Wanted& w : wanted) {
    Head* old = find(w.start);
    if (old != nullptr && old->generation == generation && old->wanted.sectors == w.sectors) {
      kept.push_back(std::move(*old));
      kept.back().wanted.fetch = w.fetch;
    } else {
      kept.push_back(Head{.wanted = w, .generation = generation, .sound = {}});
    }
  }
  heads_ = std::move(kept);
}

void TrackHeads::clear() {
  heads_.clear();
}

std::optional<TrackHeads::Read> TrackHeads::nextRead(int chunk) const {
  for (const Head& h : heads_) {
    if (!h.wanted.fetch || h.failed || h.filled() >= h.wanted.sectors) continue;
    return Read{h.wanted.start, h.wanted.start + h.filled(),
                std::min(chunk, h.wanted.sectors - h.filled())};
  }
  return std::nullopt;
}

std::optional<disc::Lba> TrackHeads::store(std::uint64_t generation, disc::Lba lba,
                                           std::span<const std::uint8_t> bytes) {
  std::optional<disc::Lba> completed;
  const auto count = static_cast<disc::Lba>(bytes.size() / kSectorBytes);
  for (Head& h : heads_) {
    const disc::Lba need = h.wanted.start + h.filled();
    if (h.generation != generation || h.failed || h.filled() >= h.wanted.sectors || need < lba ||
        need >= lba + count) {
      continue;
    }
    const int take = std::min(lba + count - need, h.wanted.sectors - h.filled());
    if (h.sound.empty()) h.sound.reserve(static_cast<std::size_t>(h.wanted.sectors) * kSectorBytes);
    const auto from = bytes.begin() + static_cast<std::ptrdiff_t>((need - lba) * kSectorBytes);
    h.sound.insert(h.sound.end(), from, from + static_cast<std::ptrdiff_t>(take * kSectorBytes));
    if (h.filled() == h.wanted.sectors) completed = h.wanted.start;
  }
  return completed;
}

void TrackHeads::fail(disc::Lba start) {
  if (Head* h = find(start)) {
    h->failed = true;
    h->confirmed = false;
    std::vector<std::uint8_t>().swap(h->sound);
  }
}

void TrackHeads::confirm(disc::Lba start, bool sameDisc) {
  Head* h = find(start);
  if (h == nullptr || h->filled() < h->wanted.sectors) return;
  if (sameDisc) {
    h->confirmed = true;
  } else {
    fail(start);
  }
}

std::span<const std::uint8_t> TrackHeads::at(std::uint64_t generation, disc::Lba from) const {
  for (const Head& h : heads_) {
    if (h.wanted.start == from && h.generation == generation && h.confirmed) return h.sound;
  }
  return {};
}

std::size_t TrackHeads::bytes() const {
  std::size_t total = 0;
  for (const Head& h : heads_) total += h.sound.size();
  return total;
}

}  // namespace tavrelo::drive
