#include "tools/mcisend/ServiceDriveDirectory.h"

#include <cctype>
#include <cstdlib>
#include <iostream>

#include "platform/disc/PhysicalDrive.h"

namespace tavrelo::mcisend {

ServiceDriveDirectory::ServiceDriveDirectory(std::vector<win32::LogicalDrive> table,
                                             service::ConnectOptions options)
    : table_(std::move(table)), drives_(options) {}

std::vector<win32::LogicalDrive> ServiceDriveDirectory::systemTable() {
  std::vector<std::string> warnings;
  const char* images = std::getenv("TAVRELO2_DISC_IMAGES");
  auto table =
      win32::buildDriveTable(disc::listPhysicalDrives(), images != nullptr ? images : "", warnings);
  for (const std::string& warning : warnings) std::cerr << "mcisend: " << warning << '\n';
  return table;
}

std::shared_ptr<drive::CdDrive> ServiceDriveDirectory::cdDrive(char letter) {
  const char upper = static_cast<char>(std::toupper(static_cast<unsigned char>(letter)));
  for (const win32::LogicalDrive& entry : table_) {
    if (entry.type != win32::kDriveCdrom || entry.root.empty() || entry.root[0] != upper) continue;
    auto made = drives_.drive(service::DriveSource::fromPath(entry.source));
    if (!made->connected())
      std::cerr << "mcisend: " << entry.root << ' ' << made->lastError() << '\n';
    return made;
  }
  return nullptr;
}

std::vector<char> ServiceDriveDirectory::cdDriveLetters() {
  std::vector<char> letters;
  for (const win32::LogicalDrive& entry : table_) {
    if (entry.type == win32::kDriveCdrom && !entry.root.empty()) letters.push_back(entry.root[0]);
  }
  return letters;
}

}  // namespace tavrelo::mcisend
