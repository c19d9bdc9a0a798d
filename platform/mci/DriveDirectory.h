#pragma once

#include <memory>
#include <vector>

#include "platform/drive/CdDrive.h"

namespace tavrelo::mci {

// Where the cdaudio device finds its drives. The win32 stand-ins implement it
// over the machine's CD drives and disc images; tests over fake drives.
// Asking twice for the same letter must give the same drive object, so that
// "shareable" opens share one drive.
class DriveDirectory {
 public:
  virtual ~DriveDirectory() = default;
  // The drive behind an upper-case letter ('D'), nullptr when it is no CD drive
  // or cannot be used now (no access to the device, no drive service).
  virtual std::shared_ptr<drive::CdDrive> cdDrive(char letter) = 0;
  // The CD drive letters in order; "open cdaudio" takes the first.
  virtual std::vector<char> cdDriveLetters() = 0;
};

}  // namespace tavrelo::mci
