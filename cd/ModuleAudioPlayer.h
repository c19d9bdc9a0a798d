#pragma once

// The operating-system functions the program calls. On Linux they come from
// the platform stand-ins (platform/win32).

#include "platform/win32/Win32Api.h"
