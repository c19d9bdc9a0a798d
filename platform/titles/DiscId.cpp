#include "platform/titles/DiscId.h"

#include <discid/discid.h>

#include <memory>
#include <vector>

namespace tavrelo::titles {

std::optional<DiscIdentity> discIdentity(const disc::Toc& toc) {
  int last = 0;
  for (const disc::Track& t : toc.tracks) {
    if (t.audio) last = t.number;
  }
  const int first = toc.firstTrack();
  if (last == 0 || first < 1 || last > 99) return std::nullopt;
  // discid_put reads 100 offsets: [0] the lead-out, [n] the start of track n.
  std::vector<int> offsets(100, 0);
  offsets[0] = toc.trackEnd(last);
  for (const disc::Track& t : toc.tracks) {
    if (t.number <= last) offsets[static_cast<std::size_t>(t.number)] = t.start;
  }
  const std::unique_ptr<DiscId, void (*)(DiscId*)> handle(discid_new(), discid_free);
  if (!handle || discid_put(handle.get(), first, last, offsets.data()) == 0) return std::nullopt;
  DiscIdentity identity;
  identity.id = discid_get_id(handle.get());
  identity.toc = discid_get_toc_string(handle.get());
  for (char& c : identity.toc) {
    if (c == ' ') c = '+';
  }
  identity.firstTrack = first;
  identity.lastTrack = last;
  return identity;
}

}  // namespace tavrelo::titles
