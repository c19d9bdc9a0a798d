#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "platform/disc/Toc.h"

namespace tavrelo::disc {

// A CUE sheet as written, before any file is opened. Addresses inside files
// are counted in sectors (75 to the second) from the file's start.

enum class SheetFileType {
  Binary,    // raw sectors, 16-bit little-endian audio
  Motorola,  // raw sectors, 16-bit big-endian audio
  Audio,     // WAVE, AIFF, FLAC, MP3...: decoded through libsndfile
};

struct SheetFile {
  std::string name;  // as written, without quotes
  SheetFileType type = SheetFileType::Binary;
  int line = 0;
};

struct SheetIndex {
  int number = 0;           // 0 = INDEX 00, 1 = INDEX 01...
  std::int64_t sector = 0;  // inside `file`
  int file = 0;             // into CueSheet::files
  int line = 0;
};

struct SheetTrack {
  int number = 0;         // as written; the disc numbers its tracks from 1 in this order
  std::string mode;       // "AUDIO", "MODE1/2352"...
  int blockBytes = 2352;  // bytes per sector in its file
  bool audio = true;
  int line = 0;
  std::int64_t pregap = 0;          // PREGAP sectors: silence in no file
  std::int64_t postgap = 0;         // POSTGAP sectors
  std::vector<SheetIndex> indexes;  // INDEX 00 (if any), INDEX 01, ...
  std::string title;                // TITLE and PERFORMER, in UTF-8
  std::string performer;
  TrackFlags flags;  // FLAGS PRE DCP 4CH SCMS

  const SheetIndex& first() const { return indexes.front(); }
  const SheetIndex& indexOne() const;
};

struct CueSheet {
  std::vector<SheetFile> files;
  std::vector<SheetTrack> tracks;
  std::string title;  // the disc's TITLE and PERFORMER, in UTF-8
  std::string performer;
  std::vector<std::string> notes;  // what was read differently from the text, for the log
};

// Sheets longer than this are refused before parsing.
inline constexpr std::size_t kMaxSheetBytes = 1 << 20;

// Reads a sheet's bytes: UTF-8 with or without BOM (else ISO-8859-1, see
// utf8FromUtf8OrLatin1), UTF-16 LE or BE with BOM, CRLF or CR line ends,
// quoted or bare names, and keywords in any case are accepted. TITLE and
// PERFORMER are kept in UTF-8, and so are a track's FLAGS; REM, CATALOG, ISRC
// and the other CD-TEXT lines are read and ignored.
// Checks what needs no file: tracks numbered in order from any first number
// (a partial rip), each with an INDEX 01, indexes numbered in order and
// increasing inside each file. A data track that ends the sheet without
// INDEX 01 or with its indexes in a sound file (an Enhanced CD's data
// session, ripped without its data) is left out, with a note.
// Throws DiscError naming the line, e.g.
//   "line 7: track 3 follows track 1; tracks are numbered in order, ..."
CueSheet parseCueSheet(std::string_view text);

}  // namespace tavrelo::disc
