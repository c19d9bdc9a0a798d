#pragma once

// A registry held in memory for the About window's tests, and a count of the
// keys left open.

#include <algorithm>
#include <cctype>
#include <map>
#include <optional>
#include <string>

#include "platform/win32/Registry.h"

namespace tavrelo::win32 {

// Keys and values held in memory, matched without regard to case.
class MemoryRegistry : public Registry {
 public:
  // Creates the key (and its parents) as needed.
  void setValue(std::string_view path, std::string_view name, RegistryValue value) {
    addKey(path);
    keys_[normaliseKeyPath(path)].values[lowerCase(name)] = std::move(value);
  }
  void addKey(std::string_view path) {
    // Windows keys exist along the whole path: creating A\B\C creates A and A\B.
    const std::string full = normaliseKeyPath(path);
    std::size_t cut = 0;
    while ((cut = full.find('\\', cut)) != std::string::npos) keys_[full.substr(0, cut++)];
    keys_[full];
  }
  // Opening the key asking for any right outside `granted` is refused, as
  // Windows refuses write rights under HKEY_LOCAL_MACHINE to a plain user.
  void restrictAccess(std::string_view path, REGSAM granted) {
    addKey(path);
    keys_[normaliseKeyPath(path)].granted = granted;
  }

  LONG openKey(std::string_view path, REGSAM access) override {
    const std::string key = normaliseKeyPath(path);
    if (key.empty()) return reg::kSuccess;  // the root itself
    const auto it = keys_.find(key);
    if (it == keys_.end()) return reg::kFileNotFound;
    if (it->second.granted && (access & ~*it->second.granted) != 0) return reg::kAccessDenied;
    return reg::kSuccess;
  }
  std::optional<RegistryValue> value(std::string_view path, std::string_view name) override {
    const auto key = keys_.find(normaliseKeyPath(path));
    if (key == keys_.end()) return std::nullopt;
    const auto found = key->second.values.find(lowerCase(name));
    if (found == key->second.values.end()) return std::nullopt;
    return found->second;
  }

 private:
  static std::string lowerCase(std::string_view text) {
    std::string out(text);
    std::transform(out.begin(), out.end(), out.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return out;
  }

  struct Key {
    std::optional<REGSAM> granted;
    std::map<std::string, RegistryValue> values;  // by lower-case name
  };
  std::map<std::string, Key> keys_;  // by normalised lower-case path
};

// How many keys RegOpenKeyExA has opened that RegCloseKey has not closed:
// the handles it gives count up from 0x100 in steps of 4, and only a handle
// that is not open answers 6 (invalid handle).
inline std::size_t openKeyCount() {
  std::size_t open = 0;
  for (HKEY handle = 0x100; handle < 0x100 + 4 * 65536; handle += 4) {
    if (RegQueryValueExA(handle, nullptr, nullptr, nullptr, nullptr, nullptr) !=
        reg::kInvalidHandle) {
      ++open;
    }
  }
  return open;
}

}  // namespace tavrelo::win32
