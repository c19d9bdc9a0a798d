#pragma once

#include "platform/win32/MciChannel.h"

namespace tavrelo::win32 {

// The process's one MCI session, created on first use: its drive letters are
// those of GetLogicalDriveStringsA, each CD drive a digital drive over its
// disc source that plays to the sound server.
MciChannel& processMciChannel();

}  // namespace tavrelo::win32
