#pragma once

// A read-only registry: the three advapi32 functions the program uses, over
// a Registry object that says what HKEY_LOCAL_MACHINE holds. The real one
// holds only what Linux can answer (the system-information tool); tests put
// their own contents in place.
//
// Thread note: the functions may be called from any thread; one mutex guards
// the table of open key handles. Replacing the registry with setRegistry is
// for tests and must not race with calls.

#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/win32/Win32Types.h"

using HKEY = DWORD;  // a 32-bit key handle, as the program declares it
using REGSAM = DWORD;
using BYTE = unsigned char;

// Windows' semantics for what is used here: keys and value names match
// without regard to case; a handle grants the rights asked for at opening.
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

namespace tavrelo::win32 {

namespace reg {
inline constexpr HKEY kLocalMachine = 0x80000002;
inline constexpr LONG kSuccess = 0;
inline constexpr LONG kFileNotFound = 2;
inline constexpr LONG kAccessDenied = 5;
inline constexpr LONG kInvalidHandle = 6;
inline constexpr LONG kInvalidParameter = 87;
inline constexpr LONG kMoreData = 234;
inline constexpr DWORD kQueryValue = 0x1;
inline constexpr DWORD kText = 1;    // REG_SZ
inline constexpr DWORD kNumber = 4;  // REG_DWORD
}  // namespace reg

struct RegistryValue {
  DWORD type = reg::kText;
  std::vector<BYTE> data;

  // A text as Windows stores it: its bytes and, unless told otherwise, a
  // terminating zero.
  static RegistryValue text(std::string_view value, bool withTerminatingZero = true);
};

// What HKEY_LOCAL_MACHINE holds. Paths are below that root, parts separated
// by backslashes.
class Registry {
 public:
  virtual ~Registry() = default;

  // reg::kSuccess when the key exists and grants `access`; otherwise
  // reg::kFileNotFound or reg::kAccessDenied.
  virtual LONG openKey(std::string_view path, REGSAM access) = 0;
  // The value `name` ("" for the key's default value) of an existing key.
  virtual std::optional<RegistryValue> value(std::string_view path, std::string_view name) = 0;
};

// Keys and values held in memory, matched without regard to case.
class MemoryRegistry : public Registry {
 public:
  // Creates the key (and its parents) as needed.
  void setValue(std::string_view path, std::string_view name, RegistryValue value);
  void addKey(std::string_view path);
  // Opening the key asking for any right outside `granted` is refused, as
  // Windows refuses write rights under HKEY_LOCAL_MACHINE to a plain user.
  void restrictAccess(std::string_view path, REGSAM granted);

  LONG openKey(std::string_view path, REGSAM access) override;
  std::optional<RegistryValue> value(std::string_view path, std::string_view name) override;

 private:
  struct Key {
    std::optional<REGSAM> granted;
    std::map<std::string, RegistryValue> values;  // by lower-case name
  };
  std::map<std::string, Key> keys_;  // by normalised lower-case path
};

// Linux's answer to the program's two system-information lookups:
// "SOFTWARE\Microsoft\Shared Tools\MSINFO", value "PATH", is the full path of
// the first of hardinfo2, hardinfo, kinfocenter, gnome-system-monitor found on
// PATH (asked afresh at each opening); with none of them the key is absent.
// "SOFTWARE\Microsoft\Shared Tools Location" is always absent: Linux has no
// folder holding MSINFO32.EXE.
class SystemRegistry final : public Registry {
 public:
  LONG openKey(std::string_view path, REGSAM access) override;
  std::optional<RegistryValue> value(std::string_view path, std::string_view name) override;

 private:
  static std::optional<std::string> toolPath();
};

Registry& registry();
// Puts a test's registry in place of the system's; nullptr puts it back.
void setRegistry(Registry* replacement);

// How many keys RegOpenKeyExA has opened that RegCloseKey has not closed.
std::size_t openKeyCount();

// The key path as the registry compares it: lower case, no empty parts.
std::string normaliseKeyPath(std::string_view path);

}  // namespace tavrelo::win32
