#pragma once

// The Win32 functions this layer provides, as <windows.h> declares them. The
// program declares them again for itself (cd/ModuleAudioPlayer.h).

#include "platform/win32/Win32Types.h"

// winmm: sends an MCI command string; the reply (if any) goes to
// lpstrReturnString, at most uReturnLength characters with the final NUL.
MCIERROR mciSendStringA(LPCSTR lpstrCommand, LPSTR lpstrReturnString, UINT uReturnLength,
                        HWND hwndCallback);

// kernel32: see DriveStrings.cpp.
DWORD GetLogicalDriveStringsA(DWORD nBufferLength, LPSTR lpBuffer);
UINT GetDriveTypeA(LPCSTR lpRootPathName);
