#pragma once

#include <map>
#include <memory>

#include "platform/mci/DriveDirectory.h"

namespace tavrelo::win32 {

// The window's drives, each of which watches the TOCs it reads: the first
// disc without titles of its own, while the settings do not yet say whether
// titles may be looked up on the Internet ([titles] online), has the user
// asked once (Oui/Non) and the answer written. The question waits for the
// MCI call that found the disc to return; it is asked at most once per
// process. Everything else passes through unchanged.
class TitlesConsentDirectory final : public mci::DriveDirectory {
 public:
  explicit TitlesConsentDirectory(std::shared_ptr<mci::DriveDirectory> inner)
      : inner_(std::move(inner)) {}

  std::shared_ptr<drive::CdDrive> cdDrive(char letter) override;
  std::vector<char> cdDriveLetters() override { return inner_->cdDriveLetters(); }

 private:
  std::shared_ptr<mci::DriveDirectory> inner_;
  // The same inner drive gives the same watching drive, so shared opens share it.
  std::map<drive::CdDrive*, std::shared_ptr<drive::CdDrive>> watched_;
};

// The question, as the window asks it.
inline constexpr const char* kTitlesQuestion =
    "Chercher les titres de ce disque sur Internet (MusicBrainz) ?";

}  // namespace tavrelo::win32
