#pragma once

#include <cstdint>

// The Win32 types that the program's declarations use, with their Windows
// widths, so the handlers read as they would on Windows.
using BOOL = std::int32_t;
using UINT = std::uint32_t;
using DWORD = std::uint32_t;
using LONG = std::int32_t;
using LPSTR = char*;
using LPCSTR = const char*;
using HWND = void*;
using HINSTANCE = std::intptr_t;  // ShellExecuteA's result: > 32 on success
using MCIERROR = DWORD;
using HKEY = DWORD;  // a 32-bit key handle, as the program declares it
using REGSAM = DWORD;
using BYTE = unsigned char;
