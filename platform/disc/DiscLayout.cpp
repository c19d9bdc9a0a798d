#include "platform/disc/DiscLayout.h"

#include <algorithm>
#include <string>

#include "platform/disc/DiscSource.h"

namespace tavrelo::disc {
namespace {

// Refuses the sheet, naming the line at fault.
[[noreturn]] void refuseLine(int line, const std::string& message) {
  throw DiscError("line " + std::to_string(line) + ": " + message);
}

std::string seconds(std::int64_t sectors) {
  return std::to_string(sectors / kFramesPerSecond) + "." +
         std::to_string(sectors % kFramesPerSecond * 100 / kFramesPerSecond / 10) + " s";
}

// Silence to insert before `sector` of `file`.
struct Gap {
  int file = 0;
  std::int64_t sector = 0;
  std::int64_t length = 0;
};

}  // namespace

const Piece* DiscLayout::pieceAt(Lba lba) const {
  auto it = std::upper_bound(pieces.begin(), pieces.end(), lba,
                             [](Lba value, const Piece& p) { return value < p.end; });
  if (it == pieces.end() || lba < it->start) return nullptr;
  return &*it;
}

std::vector<int> fileBlockBytes(const CueSheet& sheet) {
  std::vector<int> bytes(sheet.files.size(), 0);
  for (const SheetTrack& track : sheet.tracks) {
    for (const SheetIndex& index : track.indexes) {
      int& size = bytes[static_cast<std::size_t>(index.file)];
      const SheetFile& file = sheet.files[static_cast<std::size_t>(index.file)];
      if (file.type == SheetFileType::Audio && !track.audio) {
        refuseLine(track.line, "track " + std::to_string(track.number) + " is " + track.mode +
                                   " but \"" + file.name + "\" is a sound file");
      }
      if (size != 0 && size != track.blockBytes) {
        refuseLine(track.line, "track " + std::to_string(track.number) + " has sectors of " +
                                   std::to_string(track.blockBytes) + " bytes but \"" + file.name +
                                   "\" already holds sectors of " + std::to_string(size));
      }
      size = track.blockBytes;
    }
  }
  for (int& size : bytes) {
    if (size == 0) size = kSectorBytes;
  }
  return bytes;
}

DiscLayout layOutDisc(const CueSheet& sheet, std::span<const std::int64_t> fileSectors) {
  if (fileSectors.size() != sheet.files.size()) throw DiscError("internal: file count mismatch");
  for (const SheetTrack& track : sheet.tracks) {
    for (const SheetIndex& index : track.indexes) {
      const auto f = static_cast<std::size_t>(index.file);
      if (index.sector >= fileSectors[f]) {
        refuseLine(index.line, "INDEX " + std::to_string(index.number) + " of track " +
                                   std::to_string(track.number) + " lies past the end of \"" +
                                   sheet.files[f].name + "\" (" + seconds(fileSectors[f]) +
                                   " long)");
      }
    }
  }
  // The gaps, in sheet order; a stable sort by place keeps a track's POSTGAP
  // before the next track's PREGAP at the same place.
  std::vector<Gap> gaps;
  for (std::size_t t = 0; t < sheet.tracks.size(); ++t) {
    const SheetTrack& track = sheet.tracks[t];
    if (track.pregap > 0) gaps.push_back({track.first().file, track.first().sector, track.pregap});
    if (track.postgap > 0) {
      if (t + 1 < sheet.tracks.size()) {
        const SheetIndex& next = sheet.tracks[t + 1].first();
        gaps.push_back({next.file, next.sector, track.postgap});
      } else {
        const int last = static_cast<int>(sheet.files.size()) - 1;
        gaps.push_back({last, fileSectors.back(), track.postgap});
      }
    }
  }
  std::stable_sort(gaps.begin(), gaps.end(), [](const Gap& a, const Gap& b) {
    return a.file != b.file ? a.file < b.file : a.sector < b.sector;
  });

  DiscLayout layout;
  std::int64_t lba = kLeadInFrames;
  auto addPiece = [&](int file, std::int64_t fileSector, std::int64_t length) {
    if (length <= 0) return;
    if (lba + length > kMaxLeadOut) {
      throw DiscError("the sheet describes more than 99 minutes; no CD holds that much");
    }
    layout.pieces.push_back(
        {static_cast<Lba>(lba), static_cast<Lba>(lba + length), file, fileSector});
    lba += length;
  };
  auto gap = gaps.begin();
  for (std::size_t f = 0; f < sheet.files.size(); ++f) {
    std::int64_t at = 0;
    for (; gap != gaps.end() && gap->file == static_cast<int>(f); ++gap) {
      addPiece(static_cast<int>(f), at, gap->sector - at);
      at = gap->sector;
      addPiece(-1, 0, gap->length);
    }
    addPiece(static_cast<int>(f), at, fileSectors[f] - at);
  }

  auto address = [&](const SheetIndex& index) -> Lba {
    for (const Piece& piece : layout.pieces) {
      if (piece.file == index.file && index.sector >= piece.fileSector &&
          index.sector < piece.fileSector + (piece.end - piece.start)) {
        return static_cast<Lba>(piece.start + (index.sector - piece.fileSector));
      }
    }
    throw DiscError("internal: an index fell outside the disc");
  };
  for (const SheetTrack& track : sheet.tracks) {
    // Numbered from 1 whatever the sheet's first number: a partial rip.
    layout.toc.tracks.push_back({.number = static_cast<int>(layout.toc.tracks.size()) + 1,
                                 .start = address(track.indexOne()),
                                 .audio = track.audio,
                                 .session = 1,
                                 .title = track.title,
                                 .performer = track.performer,
                                 .flags = track.flags});
  }
  layout.toc.album = sheet.title;
  layout.toc.performer = sheet.performer;
  layout.toc.leadOut = static_cast<Lba>(lba);
  return layout;
}

}  // namespace tavrelo::disc
