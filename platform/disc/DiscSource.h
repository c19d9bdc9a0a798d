#pragma once

#include <cstdint>
#include <span>
#include <stdexcept>
#include <string>

#include "platform/disc/Toc.h"

namespace tavrelo::disc {

// The one failure type of disc sources; what() is a sentence a person can act
// on ("track 3: INDEX 01 lies past the end of a.wav (line 14)").
class DiscError : public std::runtime_error {
 public:
  // What a failed read means for the play: a bad sector is silence and play
  // goes on; a drive that is not ready is read again soon; no disc or no
  // drive ends the play.
  enum class Kind {
    Other,       // a sheet, a file or a command that failed
    Unreadable,  // a scratch, a sector no retry will read (sense 3/11)
    NotAudio,    // a data sector read as audio (sense 5/64)
    NotReady,    // spinning up or waking from standby (sense 2/04)
    NoDisc,      // the disc went away (sense 2/3A)
    Gone,        // the drive itself went away (unplugged)
  };
  explicit DiscError(const std::string& what, Kind kind = Kind::Other)
      : std::runtime_error(what), kind_(kind) {}
  Kind kind() const { return kind_; }

 private:
  Kind kind_;
};

enum class MediaState {
  TrayOpen,
  NoDisc,  // tray closed, nothing in it (or nothing readable)
  DiscPresent,
  // A drive that spins up after its tray closed, or wakes from standby: a
  // disc may be in it, and a disc in use stays in use.
  NotReady,
  Gone,  // the drive was unplugged; it may come back
};

// Where the drive engine gets its samples: a physical CD drive or a CUE sheet
// standing for a disc. One thread uses a source at a time; the drive engine
// serialises its reader thread and control calls on it.
class DiscSource {
 public:
  virtual ~DiscSource() = default;

  // For logs and messages: "/dev/sr0", "/home/ana/cds/album.cue".
  virtual std::string describe() const = 0;

  // Never throws and never waits for a disc to spin up.
  virtual MediaState mediaState() = 0;
  // Changes whenever the disc may have changed (tray opened and closed, disc
  // swapped, the drive unplugged, a drive ready again after "not ready"), so
  // a cached TOC can be read again; whether the disc really changed is for
  // the TOC to say.
  virtual std::uint64_t mediaGeneration() = 0;

  virtual Toc readToc() = 0;

  // Reads up to `count` audio sectors from `lba` into `out`, which holds at
  // least count * kSectorBytes bytes: 16-bit little-endian interleaved stereo,
  // as on the disc. Reads are clamped to the lead-out; returns the sectors read
  // (0 at or past the lead-out). Throws DiscError, whose kind says why, when a
  // sector can't be read.
  virtual int readAudio(Lba lba, int count, std::span<std::uint8_t> out) = 0;

  virtual bool hasTray() const = 0;
  virtual void eject() = 0;      // throws DiscError
  virtual void closeTray() = 0;  // throws DiscError
  // In "x" (1x = 75 sectors a second); 0 restores the drive's own choice.
  // Sources without a motor ignore it.
  virtual void setReadSpeed(int /*speed*/) {}
  // Whether moving to another place on the disc takes long (a drive's head
  // travels for a few hundred milliseconds); a file is read anywhere at once.
  virtual bool seeksSlowly() const { return false; }
};

}  // namespace tavrelo::disc
