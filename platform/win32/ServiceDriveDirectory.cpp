#include "platform/win32/ServiceDriveDirectory.h"

#include <cctype>

#include "platform/os/Log.h"

namespace tavrelo::win32 {
namespace {

char upperCase(char letter) {
  return static_cast<char>(std::toupper(static_cast<unsigned char>(letter)));
}

}  // namespace

ServiceDriveDirectory::ServiceDriveDirectory(std::optional<std::vector<LogicalDrive>> table,
                                             service::ConnectOptions options)
    : table_(std::move(table)), drives_(options) {}

const std::vector<LogicalDrive>& ServiceDriveDirectory::table() const {
  return table_ ? *table_ : logicalDrives();
}

std::shared_ptr<drive::CdDrive> ServiceDriveDirectory::cdDrive(char letter) {
  const char upper = upperCase(letter);
  for (const LogicalDrive& entry : table()) {
    if (entry.type != kDriveCdrom || entry.root.empty() || upperCase(entry.root[0]) != upper) {
      continue;
    }
    auto drive = drives_.drive(service::DriveSource::fromPath(entry.source), entry.root);
    if (drive->connected()) return drive;
    if (told_.insert(upper).second) {
      os::log(entry.root + " is unavailable: " + drive->lastError());
    }
    return nullptr;
  }
  return nullptr;
}

std::vector<char> ServiceDriveDirectory::cdDriveLetters() {
  std::vector<char> letters;
  for (const LogicalDrive& entry : table()) {
    if (entry.type == kDriveCdrom && !entry.root.empty())
      letters.push_back(upperCase(entry.root[0]));
  }
  return letters;
}

}  // namespace tavrelo::win32
