#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace tavrelo::titles {

// A disc's names as a lookup found them, in UTF-8. tracks[0] names the
// disc's first audio track, tracks[1] the next, and so on.
struct DiscTitles {
  struct Track {
    std::string title;
    std::string artist;
    bool operator==(const Track&) const = default;
  };
  std::string album;
  std::string albumArtist;
  std::vector<Track> tracks;
  std::string releaseId;    // the MusicBrainz release, for its cover
  bool frontCover = false;  // the Cover Art Archive holds a front for it

  bool operator==(const DiscTitles&) const = default;
};

// What a MusicBrainz disc ID lookup's JSON reply
// (GET /ws/2/discid/<id>?toc=…&inc=recordings+artist-credits&fmt=json) says
// of the disc `discId` with `trackCount` audio tracks.
//
// The medium is the one whose discs[] holds `discId` (on a box set that is
// often not the first). Among releases holding it: official ones first, then
// those of country FR, XE, XW, then the earliest date. Titles are the
// medium's track titles (a recording's own title may differ). An artist is
// the credit's names each followed by its joinphrase; the album is the
// release's title, with the medium's title after it when it has one.
//
// A reply without the disc ID (the fuzzy answer by TOC) counts only when
// exactly one release has a medium of `trackCount` tracks. Anything else,
// malformed JSON included, is nullopt.
std::optional<DiscTitles> titlesFromReply(std::string_view json, std::string_view discId,
                                          int trackCount);

}  // namespace tavrelo::titles
