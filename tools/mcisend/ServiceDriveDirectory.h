#pragma once

#include <memory>
#include <vector>

#include "platform/mci/DriveDirectory.h"
#include "platform/service/RemoteCdDrive.h"
#include "platform/win32/DriveLetters.h"

namespace tavrelo::mcisend {

// The program's drive letters (C:\ fixed, the CD drives from D:\, then the
// images of TAVRELO2_DISC_IMAGES), each CD letter a drive of the service.
class ServiceDriveDirectory final : public mci::DriveDirectory {
 public:
  explicit ServiceDriveDirectory(std::vector<win32::LogicalDrive> table,
                                 service::ConnectOptions options = {});

  // The table of this machine and environment; what does not fit is named on
  // stderr.
  static std::vector<win32::LogicalDrive> systemTable();

  std::shared_ptr<drive::CdDrive> cdDrive(char letter) override;
  std::vector<char> cdDriveLetters() override;

 private:
  std::vector<win32::LogicalDrive> table_;
  service::ServiceDrives drives_;
};

}  // namespace tavrelo::mcisend
