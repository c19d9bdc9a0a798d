#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <vector>

#include "platform/disc/Toc.h"

namespace tavrelo::drive {

// The first seconds of a few tracks, kept in memory so a play from one of
// them sounds at once on a drive whose head takes long to move. Each head is
// an LBA range, filled in order from its first sector, and belongs to one
// disc (its media generation). Not thread-safe: the drive engine guards it
// with its state lock.
class TrackHeads {
 public:
  struct Wanted {
    disc::Lba start = 0;
    int sectors = 0;     // how long the head is, at most to the end of its track
    bool fetch = false;  // read it for its own sake; else filled only by ordinary reads
  };
  struct Read {
    disc::Lba head = 0;  // the head's start
    disc::Lba lba = 0;
    int count = 0;
  };

  // The heads worth keeping now, the ones to fetch first first. Any other
  // head, or one of another disc, is dropped.
  void keepOnly(std::uint64_t generation, const std::vector<Wanted>& wanted);
  void clear();

  // The next read a fetched head lacks, of at most `chunk` sectors.
  std::optional<Read> nextRead(int chunk) const;
  // Sectors of the disc `generation` from `lba`, as read: they go to every
  // head that needs them next. Returns the start of a head they complete.
  std::optional<disc::Lba> store(std::uint64_t generation, disc::Lba lba,
                                 std::span<const std::uint8_t> bytes);
  // A head that could not be read whole: its sound is dropped, and it is not
  // fetched again while it is wanted.
  void fail(disc::Lba start);
  // A completed head checked against the disc: it may be played from now,
  // or, if the disc changed under it, it is dropped.
  void confirm(disc::Lba start, bool sameDisc);

  // The confirmed head starting at `from` on disc `generation`; empty if none.
  std::span<const std::uint8_t> at(std::uint64_t generation, disc::Lba from) const;
  std::size_t bytes() const;  // held in memory

 private:
  struct Head {
    Wanted wanted;
    std::uint64_t generation = 0;
    std::vector<std::uint8_t> sound;
    bool failed = false;
    bool confirmed = false;
    int filled() const;
  };
  Head* find(disc::Lba start);
  std::vector<Head> heads_;
};

}  // namespace tavrelo::drive
