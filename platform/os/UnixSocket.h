#pragma once

#include <sys/un.h>

#include <filesystem>
#include <optional>
#include <string>

namespace tavrelo::os {

// The address of the Unix socket at `path`; nullopt, with `error` saying so,
// when the path is too long for one.
std::optional<sockaddr_un> unixSocketAddress(const std::filesystem::path& path, std::string& error);

}  // namespace tavrelo::os
