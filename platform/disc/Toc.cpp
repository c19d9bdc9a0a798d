#include "platform/disc/Toc.h"

namespace tavrelo::disc {

const Track* Toc::find(int number) const {
  if (tracks.empty()) return nullptr;
  const int index = number - tracks.front().number;
  if (index < 0 || index >= static_cast<int>(tracks.size())) return nullptr;
  return &tracks[static_cast<std::size_t>(index)];
}

Lba Toc::trackEnd(int number) const {
  const Track* track = find(number);
  if (track == nullptr) return 0;
  const Track* next = find(number + 1);
  return next != nullptr ? next->start : leadOut;
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
