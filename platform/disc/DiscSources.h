#pragma once

// The ways to get a disc source: the one header the drive layer needs.

#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "platform/disc/DiscSource.h"
#include "platform/disc/PhysicalDrive.h"

namespace tavrelo::disc {

// A CUE sheet as a disc in a drive; throws DiscError naming the sheet, the
// line and the fault when the sheet or one of its files is unusable.
std::unique_ptr<DiscSource> openCueImage(const std::filesystem::path& sheet);

// The same as a drive that may be empty: never throws; a bad sheet gives a
// drive with no disc (NoDisc) and the reason in the log. Closing its tray
// tries the sheet again.
std::unique_ptr<DiscSource> openCueImageDrive(const std::filesystem::path& sheet);

}  // namespace tavrelo::disc
