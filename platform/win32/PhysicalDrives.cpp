#include "platform/win32/PhysicalDrives.h"

namespace tavrelo::win32 {

std::vector<std::string> physicalCdDrives(std::vector<std::string>& /*warnings*/) { return {}; }

}  // namespace tavrelo::win32
