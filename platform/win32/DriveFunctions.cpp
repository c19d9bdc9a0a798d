#include <cstring>
#include <string>

#include "platform/win32/LogicalDrives.h"
#include "platform/win32/Win32Api.h"

// As kernel32: "C:\<NUL>D:\<NUL><NUL>"; returns the characters written without
// the final NUL, or, when the buffer is too small, the size it needs (final
// NUL included) and writes nothing.
DWORD GetLogicalDriveStringsA(DWORD nBufferLength, LPSTR lpBuffer) {
  std::string list;
  for (const auto& drive : tavrelo::win32::logicalDrives()) {
    list += drive.root;
    list += '\0';
  }
  const auto needed = static_cast<DWORD>(list.size() + 1);
  if (lpBuffer == nullptr || nBufferLength < needed) return needed;
  std::memcpy(lpBuffer, list.c_str(), list.size() + 1);
  return needed - 1;
}

// 5 for a CD drive, 3 for C:\, 1 for any other root (or none).
UINT GetDriveTypeA(LPCSTR lpRootPathName) {
  if (lpRootPathName == nullptr) return tavrelo::win32::kDriveNoRootDir;
  const auto* drive = tavrelo::win32::findLogicalDrive(lpRootPathName);
  return drive != nullptr ? drive->type : tavrelo::win32::kDriveNoRootDir;
}
