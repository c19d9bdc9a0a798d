#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace tavrelo::disc {

// Disc addresses are absolute frames (sectors) as MSF counts them: 75 to the
// second, the 2-second lead-in included, so a disc's first track usually starts
// at 150 (00:02:00). This is libcdio's lba_t; MMC's zero-based LBA is this
// minus 150. Every layer below the MCI strings speaks in these.
using Lba = std::int32_t;

inline constexpr int kFramesPerSecond = 75;
inline constexpr Lba kLeadInFrames = 150;
inline constexpr int kSectorBytes = 2352;           // one CD-DA sector
inline constexpr int kStereoFramesPerSector = 588;  // 44100 / 75
// Between two sessions lie the first session's lead-out, the next one's
// lead-in and pregap: 152 s of nothing an audio player can read.
inline constexpr Lba kSessionGapFrames = 11400;

// How a track was mastered and may be copied: the TOC entry's control field
// on a disc, the FLAGS line of a CUE sheet.
struct TrackFlags {
  bool preemphasis = false;    // 0x1, PRE: treble boosted by the 50/15 µs curve
  bool copyPermitted = false;  // 0x2, DCP
  bool fourChannel = false;    // 0x8, 4CH
  bool serialCopy = false;     // SCMS: a sheet's only (on a disc it lives in the subcode)

  bool operator==(const TrackFlags&) const = default;
};

struct Track {
  int number = 0;
  Lba start = 0;
  bool audio = true;  // false for a data track (TOC control bit 0x04)
  int session = 1;    // a CD-Extra disc's data track is in session 2
  // CD-Text or the CUE sheet's TITLE and PERFORMER, in UTF-8; empty when unknown.
  std::string title{};
  std::string performer{};
  TrackFlags flags{};

  bool operator==(const Track&) const = default;
};

// A disc's table of contents. Tracks are in order and numbered consecutively
// from firstTrack(); leadOut is the first address after the last track.
struct Toc {
  std::vector<Track> tracks;
  Lba leadOut = 0;
  std::string album{};  // UTF-8, as the titles
  std::string performer{};
  // The media catalogue number (13 digits), where the drive gives one.
  std::string catalog{};

  bool empty() const { return tracks.empty(); }
  int firstTrack() const { return tracks.empty() ? 0 : tracks.front().number; }
  int lastTrack() const { return tracks.empty() ? 0 : tracks.back().number; }
  // nullptr when the disc has no such track.
  const Track* find(int number) const;
  // The first address after the track: the next track's start, or the
  // lead-out; a track that ends its session ends kSessionGapFrames earlier.
  Lba trackEnd(int number) const;
  // The number of the track that holds `lba`, 0 when it lies outside every track.
  int trackAt(Lba lba) const;
  // The first address past the last audio track (past it lie only data and
  // session gaps); the lead-out when the disc has no audio track.
  Lba audioEnd() const;

  bool operator==(const Toc&) const = default;
};

}  // namespace tavrelo::disc
