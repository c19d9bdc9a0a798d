#include "platform/disc/Toc.h"

namespace tavrelo::disc {

const Track* Toc::find(int number) const {
  if (tracks.empty()) return nullptr;
  // 64-bit so that any int the caller passes, INT_MIN included, stays in range.
  const std::int64_t index = std::int64_t{number} - tracks.front().number;
  if (index < 0 || index >= static_cast<std::int64_t>(tracks.size())) return nullptr;
  return &tracks[static_cast<std::size_t>(index)];
}

Lba Toc::trackEnd(int number) const {
  const Track* track = find(number);
  if (track == nullptr) return 0;
  const Track* next = number < tracks.back().number ? find(number + 1) : nullptr;
  if (next == nullptr) return leadOut;
  return next->session != track->session ? next->start - kSessionGapFrames : next->start;
}

Lba Toc::audioEnd() const {
  Lba end = leadOut;
  for (const Track& track : tracks) {
    if (track.audio) end = trackEnd(track.number);
  }
  return end;
}

int Toc::trackAt(Lba lba) const {
  if (tracks.empty() || lba < tracks.front().start || lba >= leadOut) return 0;
  int number = tracks.front().number;
  for (const Track& track : tracks) {
    if (track.start > lba) break;
    number = track.number;
  }
  return number;
}

}  // namespace tavrelo::disc
