#pragma once

#include <filesystem>
#include <optional>
#include <string>

namespace tavrelo::os {

// This user's private folder for sockets, locks and logs:
// $XDG_RUNTIME_DIR/tavrelo2 (when that variable holds an absolute path), else
// /tmp/tavrelo2-<uid>. Created with mode 0700 when missing; refused (nullopt,
// `error` says why) when it is not a real folder of this user or when group
// or others have any access to it.
std::optional<std::filesystem::path> runtimeFolder(std::string& error);

// Creates `folder` (mode 0700) when missing and checks it as above: true when
// it is a real folder of this user that no one else may enter.
bool prepareRuntimeFolder(const std::filesystem::path& folder, std::string& error);

}  // namespace tavrelo::os
