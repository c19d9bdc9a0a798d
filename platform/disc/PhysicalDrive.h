#pragma once

#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "platform/disc/DiscSource.h"

namespace tavrelo::disc {

// The CD drives of this machine as libcdio finds them, each device once
// (/dev/cdrom and /dev/sr0 are one drive). No drive is an empty list; a
// drive that fails to answer is logged and left out.
std::vector<std::string> listPhysicalDrives();

// The candidates that name distinct existing devices, in their order; the
// first name of each device is kept. Paths that can't be examined are
// logged and skipped.
std::vector<std::string> distinctDevices(const std::vector<std::string>& candidates);

// A physical drive through libcdio (audio reads, TOC) and the Linux CD-ROM
// ioctls (tray and media state, eject, close). Throws DiscError when the
// device can't be opened.
std::unique_ptr<DiscSource> openPhysicalDrive(const std::string& device);

}  // namespace tavrelo::disc
