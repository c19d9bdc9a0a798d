#pragma once

#include <filesystem>
#include <optional>
#include <string>

namespace tavrelo::service {

// The per-user folder for the service's socket, lock and log:
// $XDG_RUNTIME_DIR/tavrelo2 (when that variable holds an absolute path), else
// /tmp/tavrelo2-<uid>. Created with mode 0700 when missing; refused (nullopt,
// `error` says why) when it is not a real folder of this user or when group
// or others have any access to it. Plain C++, so the service can use it too.
std::optional<std::filesystem::path> runtimeFolder(std::string& error);

// Creates `folder` (mode 0700) when missing and checks it as above: true when
// it is a real folder of this user that no one else may enter.
bool prepareRuntimeFolder(const std::filesystem::path& folder, std::string& error);

// The fixed names inside that folder.
inline constexpr const char* kSocketName = "drived.sock";
inline constexpr const char* kLockName = "drived.lock";  // holds the service's pid
inline constexpr const char* kLogName = "drived.log";

}  // namespace tavrelo::service
