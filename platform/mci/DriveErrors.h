#pragma once

#include <cstdint>

#include "platform/drive/CdDrive.h"

namespace tavrelo::mci {

// The one place where a drive failure becomes an MCI code.
std::uint32_t toMciError(drive::DriveError error);

}  // namespace tavrelo::mci
