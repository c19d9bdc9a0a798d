#pragma once

// The operating-system functions the program calls. On Linux they come from
// the platform stand-ins (platform/win32); declarations only.

#include "platform/win32/Win32Types.h"

MCIERROR mciSendStringA(LPCSTR lpstrCommand, LPSTR lpstrReturnString, UINT uReturnLength,
                        HWND hwndCallback);

DWORD GetLogicalDriveStringsA(DWORD nBufferLength, LPSTR lpBuffer);

UINT GetDriveTypeA(LPCSTR lpRootPathName);

HINSTANCE ShellExecuteA(HWND hwnd, LPCSTR lpOperation, LPCSTR lpFile, LPCSTR lpParameters,
                        LPCSTR lpDirectory, int nShowCmd);
