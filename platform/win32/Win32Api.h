#pragma once

// The Win32 functions this layer provides, declared once, as <windows.h>
// declares them; the program includes this header (cd/ModuleAudioPlayer.h,
// about/frmAbout.h).

#include "platform/win32/Win32Types.h"

// winmm: sends an MCI command string; the reply (if any) goes to
// lpstrReturnString, at most uReturnLength characters with the final NUL.
MCIERROR mciSendStringA(LPCSTR lpstrCommand, LPSTR lpstrReturnString, UINT uReturnLength,
                        HWND hwndCallback);

// kernel32: see DriveFunctions.cpp.
DWORD GetLogicalDriveStringsA(DWORD nBufferLength, LPSTR lpBuffer);
UINT GetDriveTypeA(LPCSTR lpRootPathName);

// shell32: see ShellExecute.cpp.
HINSTANCE ShellExecuteA(HWND hwnd, LPCSTR lpOperation, LPCSTR lpFile, LPCSTR lpParameters,
                        LPCSTR lpDirectory, int nShowCmd);

// advapi32, over the registry of Registry.h, with Windows' semantics for
// what is used here: keys and value names match without regard to case; a
// handle grants the rights asked for at opening.
//
// RegOpenKeyExA: hKey is HKEY_LOCAL_MACHINE or a handle it returned;
// lpSubKey is a path below it ("A\B\C"; null or "" opens hKey itself).
// Returns 0, 2 (no such key), 5 (the registry refuses the rights asked for),
// 6 (bad handle) or 87 (no phkResult).
LONG RegOpenKeyExA(HKEY hKey, LPCSTR lpSubKey, DWORD ulOptions, REGSAM samDesired, HKEY* phkResult);

// Returns 0, 2 (no such value), 5 (handle opened without KEY_QUERY_VALUE),
// 6 (bad handle), 87 (lpReserved set, or lpData without lpcbData) or 234
// (lpData is shorter than the value: *lpcbData then holds the size needed and
// lpData is left untouched). The type is stored whenever the value exists.
// Data comes back as stored: a text keeps its terminating zero only when it
// was stored with one.
LONG RegQueryValueExA(HKEY hKey, LPCSTR lpValueName, DWORD* lpReserved, DWORD* lpType, BYTE* lpData,
                      DWORD* lpcbData);

// Returns 0, or 6 for a handle that is not open. Closing a root key does nothing.
LONG RegCloseKey(HKEY hKey);
