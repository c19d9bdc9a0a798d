// Thread note: the handle table below is shared by every thread that calls the
// registry functions and is guarded by its own mutex; nothing else here is
// shared.

#include "platform/win32/Registry.h"

#include <algorithm>
#include <array>
#include <cctype>
#include <cstring>
#include <mutex>
#include <new>
#include <unordered_map>
#include <utility>

#include "platform/win32/Desktop.h"

namespace tavrelo::win32 {
namespace {

std::string lowerCase(std::string_view text) {
  std::string out(text);
  std::transform(out.begin(), out.end(), out.begin(),
                 [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
  return out;
}

struct OpenKey {
  std::string path;  // normalised, below HKEY_LOCAL_MACHINE
  REGSAM access = 0;
};

class HandleTable {
 public:
  HKEY add(OpenKey key) {
    const std::scoped_lock lock(mutex_);
    // Handles count up from a small even number, never 0 and never near the
    // root keys' 0x8000000x; a wrapped counter skips handles still open.
    do {
      next_ = next_ >= 0x7FFFFFF0 ? 0x100 : next_ + 4;
    } while (keys_.count(next_) != 0);
    keys_.emplace(next_, std::move(key));
    return next_;
  }

  std::optional<OpenKey> find(HKEY handle) {
    if (handle == reg::kLocalMachine) return OpenKey{"", ~REGSAM{0}};
    const std::scoped_lock lock(mutex_);
    const auto it = keys_.find(handle);
    if (it == keys_.end()) return std::nullopt;
    return it->second;
  }

  bool remove(HKEY handle) {
    const std::scoped_lock lock(mutex_);
    return keys_.erase(handle) != 0;
  }

 private:
  std::mutex mutex_;
  std::unordered_map<HKEY, OpenKey> keys_;
  HKEY next_ = 0xFC;
};

HandleTable& handles() {
  static HandleTable table;
  return table;
}

Registry* replacementRegistry = nullptr;

constexpr std::string_view kToolKey = "software\\microsoft\\shared tools\\msinfo";
constexpr std::string_view kToolValue = "path";

}  // namespace

RegistryValue RegistryValue::text(std::string_view value, bool withTerminatingZero) {
  RegistryValue out;
  out.type = reg::kText;
  out.data.assign(value.begin(), value.end());
  if (withTerminatingZero) out.data.push_back(0);
  return out;
}

std::string normaliseKeyPath(std::string_view path) {
  std::string out;
  std::size_t start = 0;
  while (start <= path.size()) {
    std::size_t end = path.find('\\', start);
    if (end == std::string_view::npos) end = path.size();
    if (end > start) {
      if (!out.empty()) out += '\\';
      out += lowerCase(path.substr(start, end - start));
    }
    start = end + 1;
  }
  return out;
}

std::optional<std::string> SystemRegistry::toolPath() {
  std::string path =
      desktop().findProgram({"hardinfo2", "hardinfo", "kinfocenter", "gnome-system-monitor"});
  if (path.empty()) return std::nullopt;
  return path;
}

LONG SystemRegistry::openKey(std::string_view path, REGSAM /*access*/) {
  const std::string key = normaliseKeyPath(path);
  if (key.empty()) return reg::kSuccess;
  // The tool's key and its parents exist while the tool is installed.
  const bool onToolPath = kToolKey.substr(0, key.size()) == key &&
                          (key.size() == kToolKey.size() || kToolKey[key.size()] == '\\');
  return onToolPath && toolPath() ? reg::kSuccess : reg::kFileNotFound;
}

std::optional<RegistryValue> SystemRegistry::value(std::string_view path, std::string_view name) {
  if (normaliseKeyPath(path) != kToolKey || lowerCase(name) != kToolValue) return std::nullopt;
  const std::optional<std::string> tool = toolPath();
  if (!tool) return std::nullopt;
  return RegistryValue::text(*tool);
}

Registry& registry() {
  static SystemRegistry system;
  return replacementRegistry != nullptr ? *replacementRegistry : system;
}

void setRegistry(Registry* replacement) {
  replacementRegistry = replacement;
}

}  // namespace tavrelo::win32

using tavrelo::win32::registry;
namespace reg = tavrelo::win32::reg;

namespace {

// Nothing is thrown across the Win32 functions: a failure inside becomes
// ERROR_NOT_ENOUGH_MEMORY (8) or ERROR_INTERNAL_ERROR (1359).
template <typename Body>
LONG withoutExceptions(Body body) noexcept {
  try {
    return body();
  } catch (const std::bad_alloc&) {
    return 8;
  } catch (...) {
    return 1359;
  }
}

LONG openKey(HKEY hKey, LPCSTR lpSubKey, REGSAM samDesired, HKEY* phkResult) {
  if (phkResult == nullptr) return reg::kInvalidParameter;
  const auto parent = tavrelo::win32::handles().find(hKey);
  if (!parent) return reg::kInvalidHandle;
  std::string path = parent->path;
  if (lpSubKey != nullptr && *lpSubKey != '\0') {
    path = tavrelo::win32::normaliseKeyPath(path + '\\' + lpSubKey);
  }
  const LONG result = registry().openKey(path, samDesired);
  if (result != reg::kSuccess) return result;
  *phkResult = tavrelo::win32::handles().add({path, samDesired});
  return reg::kSuccess;
}

LONG queryValue(HKEY hKey, LPCSTR lpValueName, DWORD* lpReserved, DWORD* lpType, BYTE* lpData,
                DWORD* lpcbData) {
  if (lpReserved != nullptr || (lpData != nullptr && lpcbData == nullptr)) {
    return reg::kInvalidParameter;
  }
  const auto key = tavrelo::win32::handles().find(hKey);
  if (!key) return reg::kInvalidHandle;
  if ((key->access & reg::kQueryValue) == 0) return reg::kAccessDenied;
  const auto value = registry().value(key->path, lpValueName != nullptr ? lpValueName : "");
  if (!value) return reg::kFileNotFound;
  if (lpType != nullptr) *lpType = value->type;
  if (lpcbData == nullptr) return reg::kSuccess;
  const auto size = static_cast<DWORD>(value->data.size());
  if (lpData != nullptr && size > *lpcbData) {
    *lpcbData = size;
    return reg::kMoreData;
  }
  if (lpData != nullptr && size != 0) std::memcpy(lpData, value->data.data(), size);
  *lpcbData = size;
  return reg::kSuccess;
}

}  // namespace

LONG RegOpenKeyExA(HKEY hKey, LPCSTR lpSubKey, DWORD /*ulOptions*/, REGSAM samDesired,
                   HKEY* phkResult) {
  return withoutExceptions([&] { return openKey(hKey, lpSubKey, samDesired, phkResult); });
}

LONG RegQueryValueExA(HKEY hKey, LPCSTR lpValueName, DWORD* lpReserved, DWORD* lpType, BYTE* lpData,
                      DWORD* lpcbData) {
  return withoutExceptions(
      [&] { return queryValue(hKey, lpValueName, lpReserved, lpType, lpData, lpcbData); });
}

LONG RegCloseKey(HKEY hKey) {
  if (hKey == reg::kLocalMachine) return reg::kSuccess;
  return tavrelo::win32::handles().remove(hKey) ? reg::kSuccess : reg::kInvalidHandle;
}
