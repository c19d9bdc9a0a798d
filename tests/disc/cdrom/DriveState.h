#pragma once

// One emulated CD drive as a small text file that every process using the
// drive reads and rewrites under flock: the test that presses its button and
// the drive service that ejects it see one drive.

#include <sys/types.h>

#include <cstdint>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include "platform/disc/Toc.h"

namespace tavrelo::cdrom {

using disc::Lba;

struct DiscText {  // ISO-8859-1, as drives deliver CD-Text
  std::string album, performer;
  std::vector<std::string> titles, performers;  // per track, from track 1
};

struct EmulatedDisc {
  std::filesystem::path image;  // raw 2352-byte sectors, the first one at LBA 150
  disc::Toc toc;
  Lba lastSession = 0;  // start of the second session (CD-Extra); 0: one session
  DiscText text;
};

struct Opener {  // one descriptor open on the drive
  pid_t pid = 0;
  int generation = 0;  // plug generation when it was opened
};

struct DriveState {
  std::string node = "/dev/sr0";
  std::vector<std::string> aliases;
  bool plugged = true, denied = false, trayOpen = false, locked = false;
  bool canCloseTray = true, refusesSpeed = false;
  int generation = 1;          // counts plug-ins: older descriptors get ENODEV
  std::int64_t readyAtMs = 0;  // wall clock; not ready before it
  int spinUpMs = 0;            // when the tray button closes the tray
  bool mediaChanged = false;
  int speed = 0;
  bool hasDisc = false;
  EmulatedDisc disc;
  std::vector<Lba> unreadable;
  int unreadableDelayMs = 0;  // what each failing read costs
  std::vector<Opener> opens;
  int readCommands = 0, failedReads = 0, lastReadTimeoutMs = -1;

  bool isNamed(const std::string& path) const;
  int openCount() const;  // current generation only
};

std::int64_t nowMs();
std::string serialize(const DriveState& state);
DriveState parse(const std::string& text);

// Reads the file under an exclusive lock, lets `change` edit the state and
// writes it back when `change` returns true. Dead processes' descriptors are
// dropped on the way. Returns false when the file can't be opened.
bool updateState(const std::filesystem::path& file, const std::function<bool(DriveState&)>& change);

// The drive files of a folder.
std::vector<std::filesystem::path> driveFiles(const std::filesystem::path& folder);

inline constexpr const char* kUnknownLog = "unknown-requests.log";

}  // namespace tavrelo::cdrom
