#pragma once

#include <cstdint>

#include "platform/disc/Toc.h"

namespace tavrelo::drive {

using disc::Lba;
using disc::Toc;

enum class AudioStatus {
  Stopped,  // also after a play range ran to its end
  Playing,
  Paused,
  Error,  // the drive gave up (disc gone mid-play, source failed)
};

// A snapshot the drive keeps current; taking one never waits on the disc.
struct DriveStatus {
  bool trayOpen = false;
  bool mediaPresent = false;
  std::uint64_t mediaGeneration = 0;
  AudioStatus audio = AudioStatus::Stopped;
  int track = 0;     // track holding `position`, 0 when there is no disc
  Lba position = 0;  // the frame being heard, or where the next play starts
};

enum class DriveError {
  None,
  NoMedia,      // tray open or no disc
  OutOfRange,   // an address outside the disc
  NotPaused,    // resume with nothing paused
  Hardware,     // the source failed (unreadable TOC, tray stuck)
  Unavailable,  // the drive is gone (unplugged, service lost)
};

// A CD drive as the MMC audio commands present one. Implementations: the
// digital drive engine (reads the disc, plays to the sound server) and the
// tests' fake drive. Every call returns promptly except openTray/closeTray,
// which return when the tray has moved.
class CdDrive {
 public:
  virtual ~CdDrive() = default;

  virtual DriveStatus status() = 0;
  virtual DriveError readToc(Toc& out) = 0;

  // Plays the frames [from, to) as one gapless stream, then stops at `to`;
  // when `to` is the lead-out the drive stands at the start of track 1 after.
  virtual DriveError play(Lba from, Lba to) = 0;
  virtual DriveError pause() = 0;
  virtual DriveError resume() = 0;
  // Stops and keeps the position.
  virtual DriveError stop() = 0;
  // Stops and moves the position.
  virtual DriveError seek(Lba to) = 0;
  // Stops the sound at once, then opens the tray.
  virtual DriveError openTray() = 0;
  virtual DriveError closeTray() = 0;

  // The drive's own output level, as a drive's audio control page sets it:
  // 1.0 plays the disc as recorded. It holds for every play after. A drive
  // that sends no sound of its own stays at 1.0.
  virtual void setVolume(double) {}
  virtual double volume() { return 1.0; }
};

}  // namespace tavrelo::drive
