#pragma once

#include <cstdint>
#include <span>
#include <vector>

#include "platform/disc/CueSheet.h"
#include "platform/disc/Toc.h"

namespace tavrelo::disc {

// A stretch of disc addresses and where its sectors come from.
struct Piece {
  Lba start = 0;
  Lba end = 0;                  // first address after the piece
  int file = -1;                // into CueSheet::files; -1: silence (PREGAP, POSTGAP)
  std::int64_t fileSector = 0;  // the file's sector at `start`
};

// The disc a sheet describes: every file laid end to end from address 150,
// each starting on a sector, with PREGAP silence inserted before a track's
// first index and POSTGAP silence after its last sector. Its tracks are
// numbered 1, 2, 3... in the sheet's order, whatever numbers the sheet gives.
struct DiscLayout {
  Toc toc;
  std::vector<Piece> pieces;  // ordered and contiguous from 150 to the lead-out

  // The piece that holds `lba`, nullptr outside the disc.
  const Piece* pieceAt(Lba lba) const;
};

// Longest disc accepted: 99:59:74 of addresses.
inline constexpr Lba kMaxLeadOut = 100 * 60 * kFramesPerSecond - 1;

// `fileSectors[i]` is the length of sheet.files[i] in sectors of its tracks'
// block size (a partial last sector counts). Throws DiscError naming the line
// of an index that lies past the end of its file, a file whose tracks mix
// sector sizes, a data track in a sound file, or a disc too long for a CD.
DiscLayout layOutDisc(const CueSheet& sheet, std::span<const std::int64_t> fileSectors);

// Bytes per sector in each file, from the tracks with an index in it; throws
// DiscError when the tracks of one file disagree.
std::vector<int> fileBlockBytes(const CueSheet& sheet);

}  // namespace tavrelo::disc
