#pragma once

// What the About tests share: a registry in memory, a count of the keys left
// open and the programs started, one line each.

#include <map>
#include <utility>

#include "platform/win32/Registry.h"
#include "tests/support/RecordingDesktop.h"

namespace tavrelo::testing {

// Keys and values held in memory, matched without regard to case, with a log
// of every key opened and the rights asked for.
class MemoryRegistry : public win32::Registry {
 public:
  // Creates the key and its parents, as Windows keys exist along the path.
  void setValue(std::string_view path, std::string_view name, win32::RegistryValue value) {
    const std::string key = win32::normaliseKeyPath(path);
    for (std::size_t cut = 0; (cut = key.find('\\', cut)) != std::string::npos; ++cut) {
      keys_[key.substr(0, cut)];
    }
    keys_[key][win32::normaliseKeyPath(name)] = std::move(value);
  }

  LONG openKey(std::string_view path, REGSAM access) override {
    opens.emplace_back(path, access);
    return path.empty() || keys_.count(std::string(path)) ? 0 : 2;  // found, not found
  }
  std::optional<win32::RegistryValue> value(std::string_view path, std::string_view name) override {
    const auto key = keys_.find(std::string(path));
    const std::string entry = win32::normaliseKeyPath(name);
    if (key == keys_.end() || key->second.count(entry) == 0) return std::nullopt;
    return key->second.at(entry);
  }

  std::vector<std::pair<std::string, REGSAM>> opens;

 private:
  std::map<std::string, std::map<std::string, win32::RegistryValue>> keys_;  // lower case
};

// How many keys RegOpenKeyExA has opened that RegCloseKey has not closed:
// the handles it gives count up from 0x100 in steps of 4, and only a handle
// that is not open answers 6 (invalid handle).
inline std::size_t openKeyCount() {
  std::size_t open = 0;
  for (HKEY handle = 0x100; handle < 0x100 + 4 * 65536; handle += 4) {
    open += RegQueryValueExA(handle, nullptr, nullptr, nullptr, nullptr, nullptr) !=
            win32::reg::kInvalidHandle;
  }
  return open;
}

// "folder: program arg..." for each program the desktop was asked to start.
inline std::vector<std::string> started(const RecordingDesktop& desktop) {
  std::vector<std::string> lines;
  for (const auto& start : desktop.starts) {
    lines.push_back(start.directory + ": " + start.program);
    for (const std::string& arg : start.args) lines.back() += " " + arg;
  }
  return lines;
}

}  // namespace tavrelo::testing
