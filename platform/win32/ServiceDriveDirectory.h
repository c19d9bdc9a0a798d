#pragma once

#include <memory>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "platform/mci/DriveDirectory.h"
#include "platform/service/RemoteCdDrive.h"
#include "platform/win32/LogicalDrives.h"

namespace tavrelo::win32 {

// The drive letters as the cdaudio device sees them: each CD letter is a
// drive of the user's drive service, so a disc plays on after the program
// ends, as on a hardware drive, and the same source gives the same drive, so
// shareable opens share it. Without a service the drive is unavailable and
// every command to it fails, as with a dead drive; that is said once per
// letter in the log. Plain C++: the program and mcisend both use it.
class ServiceDriveDirectory final : public mci::DriveDirectory {
 public:
  // Without a table, the process's table (logicalDrives()) as it stands at
  // each call.
  explicit ServiceDriveDirectory(std::optional<std::vector<LogicalDrive>> table = std::nullopt,
                                 service::ConnectOptions options = {});

  std::shared_ptr<drive::CdDrive> cdDrive(char letter) override;
  std::vector<char> cdDriveLetters() override;

 private:
  const std::vector<LogicalDrive>& table() const;

  std::optional<std::vector<LogicalDrive>> table_;
  service::ServiceDrives drives_;
  std::set<char> told_;  // letters whose failure was reported once
};

}  // namespace tavrelo::win32
