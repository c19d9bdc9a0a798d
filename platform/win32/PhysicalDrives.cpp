#include "platform/win32/PhysicalDrives.h"

#include "platform/disc/PhysicalDrive.h"

namespace tavrelo::win32 {

// The disc layer logs and leaves out drives that fail to answer.
std::vector<std::string> physicalCdDrives(std::vector<std::string>& /*warnings*/) {
  return disc::listPhysicalDrives();
}

}  // namespace tavrelo::win32
