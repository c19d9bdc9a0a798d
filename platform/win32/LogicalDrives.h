#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "platform/win32/Win32Types.h"

namespace tavrelo::win32 {

// GetDriveTypeA's codes.
inline constexpr UINT kDriveNoRootDir = 1;
inline constexpr UINT kDriveFixed = 3;
inline constexpr UINT kDriveCdrom = 5;

struct LogicalDrive {
  std::string root;  // "C:\", "D:\"
  UINT type = kDriveNoRootDir;
  std::string source;  // a CD device ("/dev/sr0") or a CUE sheet; empty for C:\.
  bool operator==(const LogicalDrive&) const = default;
};

// The drive letters of this system: C:\ for the root file system, then the
// physical CD drives from D:\ in the order given, then each CUE sheet of
// `discImages` (a ':'-separated list; empty items skipped) as a CD drive of
// its own, up to Z:\. What does not fit is left out and named in `warnings`.
std::vector<LogicalDrive> buildDriveTable(const std::vector<std::string>& physicalDrives,
                                          std::string_view discImages,
                                          std::vector<std::string>& warnings);

// The process's table: built once, on first use, from the physical drives and
// TAVRELO2_DISC_IMAGES (warnings go to the log), unless a test put its own.
const std::vector<LogicalDrive>& logicalDrives();

// Puts a test's table in place (roots given verbatim, lower case allowed);
// nullptr puts the process's back. The caller keeps ownership.
void setLogicalDrivesForTesting(const std::vector<LogicalDrive>* replacement);

// The entry for a root such as "e:\" or "E:\" (the letter's case does not
// matter), or nullptr.
const LogicalDrive* findLogicalDrive(std::string_view root);

}  // namespace tavrelo::win32
