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
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/win32/Win32Api.h"

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

// The key path as the registry compares it: lower case, no empty parts.
std::string normaliseKeyPath(std::string_view path);

}  // namespace tavrelo::win32
