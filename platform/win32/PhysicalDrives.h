#pragma once

#include <string>
#include <vector>

namespace tavrelo::win32 {

// The machine's CD drives as device paths, in device order, duplicates
// removed. A drive that fails during enumeration is named in `warnings` and
// skipped.
std::vector<std::string> physicalCdDrives(std::vector<std::string>& warnings);

}  // namespace tavrelo::win32
