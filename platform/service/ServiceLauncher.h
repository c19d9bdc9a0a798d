#pragma once

#include <filesystem>
#include <optional>
#include <string>

#include "platform/service/Packets.h"

namespace tavrelo::service {

inline constexpr const char* kServiceExecutable = "tavrelo2-drived";

// The service's files in the runtime folder (os::runtimeFolder).
inline constexpr const char* kSocketName = "drived.sock";
inline constexpr const char* kLockName = "drived.lock";  // holds the service's pid
inline constexpr const char* kLogName = "drived.log";

// tavrelo2-drived next to the running executable, else the first on PATH.
std::optional<std::filesystem::path> findServiceExecutable(std::string& error);

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
