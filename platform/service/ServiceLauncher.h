#pragma once

#include <filesystem>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "platform/service/Packets.h"

namespace tavrelo::service {

inline constexpr const char* kServiceExecutable = "tavrelo2-drived";

// tavrelo2-drived next to the running executable, else the first on PATH.
std::optional<std::filesystem::path> findServiceExecutable(std::string& error);

// Starts `program` with `args` detached from this process: no shell, a new
// session (double fork, so it is nobody's child here), working folder "/",
// stdin from /dev/null, stdout and stderr appended to `logFile`. Returns when
// the program has been handed to exec; false with `error` when the fork fails.
bool spawnDetached(const std::filesystem::path& program, const std::vector<std::string>& args,
                   const std::filesystem::path& logFile, std::string& error);

struct ConnectOptions {
  // How long to wait for a service just started to answer.
  int startTimeoutMs = 2500;
  // How long any reply may take (opening a physical disc spins it up).
  int replyTimeoutMs = 20000;
};

// A connection to this user's service that has passed the Hello exchange,
// starting the service when nobody listens. Invalid with `error` when there
// is no service to be had (not found, of another protocol version, no usable
// runtime folder).
Fd connectToService(const ConnectOptions& options, std::string& error);

}  // namespace tavrelo::service
