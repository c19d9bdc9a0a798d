// A MusicBrainz reply comes from the network. Invariants: no crash, and
// whatever titles come out were in the reply (no name is longer than it).
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string_view>

#include "platform/titles/ReplyTitles.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view reply(reinterpret_cast<const char*>(data), size);
  // The seeds name their disc "{{id}}"; the track count varies with the input.
  const auto found =
      tavrelo::titles::titlesFromReply(reply, "{{id}}", 1 + static_cast<int>(size % 7));
  if (found) {
    if (found->album.size() > size || found->albumArtist.size() > size) std::abort();
    for (const auto& track : found->tracks) {
      if (track.title.size() > size || track.artist.size() > size) std::abort();
    }
  }
  return 0;
}
