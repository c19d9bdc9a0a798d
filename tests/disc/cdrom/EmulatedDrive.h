#pragma once

// An emulated Linux CD drive: a small text file in the folder
// $TAVRELO_EMULATED_CDROM that every process using the drive reads and
// rewrites under flock, so the test that presses the tray button and the drive
// service that ejects see one drive. The emulated kernel (EmulatedKernel.cpp,
// linked into the test or preloaded into a program) answers for it;
// EmulatedDrive is what a user, the drive's firmware or a USB cable does to it.

#include <sys/types.h>

#include <cstdint>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include "platform/disc/Toc.h"

namespace tavrelo::testdisc {
class TestDisc;
}

namespace tavrelo::cdrom {

using disc::Lba;

struct EmulatedDisc {
  std::string image;  // raw 2352-byte sectors, the first one at LBA 150
  disc::Toc toc{};
  Lba lastSession = 0;  // start of the second session (CD-Extra); 0: one session
  // CD-Text in ISO-8859-1, as drives deliver it; titles and performers from track 1.
  std::string album{}, performer{};
  std::vector<std::string> titles{}, performers{};
};

struct DriveState {
  std::string node = "/dev/sr0";
  std::vector<std::string> aliases{};
  bool plugged = true, denied = false, trayOpen = false, locked = false, mediaChanged = false;
  bool hasDisc = false;
  int generation = 1;          // counts plug-ins: older descriptors get ENODEV
  std::int64_t readyAtMs = 0;  // wall clock; not ready before it
  int speed = 0;
  EmulatedDisc disc{};
  std::vector<Lba> unreadable{};  // sectors failing with sense 3/11/05
  std::vector<pid_t> opens{};     // one per descriptor open since the drive was plugged in
  int readCommands = 0, failedReads = 0, lastReadTimeoutMs = -1;
  int commands = 0;  // every ioctl the drive answered, reads included
  // A slow mechanism, off unless asked for: a read that does not start where
  // the last one ended first moves the head for `seekMs`, and with
  // `timedReads` a read lasts as long as the disc turns under it at the
  // selected speed (1x = 75 sectors a second; 0, the drive's own, is 24x).
  int seekMs = 0;
  bool timedReads = false;
  Lba head = 0;  // where the last read ended
};

std::int64_t nowMs();
// Reads the file under an exclusive lock, lets `change` edit the state and
// writes it back when `change` returns true. Dead processes' descriptors are
// dropped on the way. Returns false when the file can't be opened.
bool updateState(const std::filesystem::path& file, const std::function<bool(DriveState&)>& change);

inline constexpr const char* kStateFile = "drive";
inline constexpr const char* kUnknownLog = "unknown-requests.log";

// A generated disc as a drive reads it: one raw image from LBA 150 written
// beside the disc's files, its TOC, no CD-Text.
EmulatedDisc emulatedDisc(const testdisc::TestDisc& disc);

class EmulatedDrive {
 public:
  // A drive with an empty closed tray at `node` ("/dev/sr0"), also named by
  // `aliases` (symlinks such as "/dev/cdrom").
  EmulatedDrive(const std::filesystem::path& folder, const std::string& node,
                const std::vector<std::string>& aliases = {});

  // The user puts `disc` in and closes the tray.
  void insert(const EmulatedDisc& disc);
  // The button on the drive: opens or closes the tray unless the door is
  // locked; a closed tray spins up for `spinUpMs` (CDS_DRIVE_NOT_READY and
  // sense 2/04/01 until then). Both count as a media change.
  void pressTrayButton(int spinUpMs = 0);
  void standbyBlip(int ms);  // not ready for `ms`, same disc, no media change
  // A reset (a wake from suspend, a USB reset, a slot loader swapping discs):
  // not ready for `ms` and a media change, the tray never seen open; with
  // `other`, that disc is in the drive afterwards.
  void reset(int ms, const EmulatedDisc* other = nullptr);
  // Plugs the drive in under `node`, or unplugs it (""): its nodes vanish and
  // open descriptors get ENODEV. A real kernel keeps the old node while a
  // descriptor of the unplugged drive is open, so a drive comes back under
  // another.
  void plug(const std::string& node);
  // Anything else, straight on the state.
  void configure(const std::function<void(DriveState&)>& edit);

  DriveState state() const;  // everything, as the emulated kernel sees it now
  // Every request the emulated kernel does not know, from any process, a line each.
  std::string unknownRequests() const;

 private:
  std::filesystem::path folder_, file_;
};

}  // namespace tavrelo::cdrom
