#include "platform/win32/LogicalDrives.h"

#include <cctype>
#include <cstdlib>

#include "platform/disc/PhysicalDrive.h"
#include "platform/os/Log.h"

namespace tavrelo::win32 {
namespace {

const std::vector<LogicalDrive>* replacementTable = nullptr;

std::string rootOf(char letter) {
  return std::string{letter, ':', '\\'};
}

}  // namespace

std::vector<LogicalDrive> buildDriveTable(const std::vector<std::string>& physicalDrives,
                                          std::string_view discImages,
                                          std::vector<std::string>& warnings) {
  std::vector<LogicalDrive> table{{rootOf('C'), kDriveFixed, {}}};
  char next = 'D';
  const auto add = [&](const std::string& source) {
    if (next > 'Z') {
      warnings.push_back("no drive letter left for " + source);
      return;
    }
    table.push_back({rootOf(next), kDriveCdrom, source});
    ++next;
  };
  for (const std::string& device : physicalDrives) add(device);
  while (!discImages.empty()) {
    const std::size_t colon = discImages.find(':');
    const std::string_view item = discImages.substr(0, colon);
    if (!item.empty()) add(std::string(item));
    discImages.remove_prefix(colon == std::string_view::npos ? discImages.size() : colon + 1);
  }
  return table;
}

const std::vector<LogicalDrive>& logicalDrives() {
  if (replacementTable != nullptr) return *replacementTable;
  static const std::vector<LogicalDrive> table = [] {
    std::vector<std::string> warnings;
    const char* images = std::getenv("TAVRELO2_DISC_IMAGES");
    auto built =
        buildDriveTable(disc::listPhysicalDrives(), images != nullptr ? images : "", warnings);
    for (const std::string& warning : warnings) os::log(warning);
    return built;
  }();
  return table;
}

void setLogicalDrivesForTesting(const std::vector<LogicalDrive>* replacement) {
  replacementTable = replacement;
}

const LogicalDrive* findLogicalDrive(std::string_view root) {
  const auto upper = [](char c) {
    return static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  };
  for (const LogicalDrive& drive : logicalDrives()) {
    if (drive.root.size() != root.size()) continue;
    bool same = true;
    for (std::size_t i = 0; i < root.size() && same; ++i)
      same = upper(drive.root[i]) == upper(root[i]);
    if (same) return &drive;
  }
  return nullptr;
}

}  // namespace tavrelo::win32
