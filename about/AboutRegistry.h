#pragma once

// The registry functions and values the About window declares for itself
// (nothing else in the program reads the registry).

#include "platform/win32/Win32Types.h"

using HKEY = DWORD;
using REGSAM = DWORD;
using BYTE = unsigned char;

LONG RegOpenKeyExA(HKEY hKey, LPCSTR lpSubKey, DWORD ulOptions, REGSAM samDesired, HKEY* phkResult);
LONG RegQueryValueExA(HKEY hKey, LPCSTR lpValueName, DWORD* lpReserved, DWORD* lpType, BYTE* lpData,
                      DWORD* lpcbData);
LONG RegCloseKey(HKEY hKey);
