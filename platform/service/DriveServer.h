#pragma once

#include <filesystem>
#include <string>

#include "platform/service/DriveTable.h"

namespace tavrelo::service {

struct ServerOptions {
  std::filesystem::path folder;  // holds the socket, the lock and the log
  // Ends the service when no client has been connected and no drive has
  // played or stood paused for this long.
  int idleExitSeconds = 30;
  int maxClients = 64;
  DriveTable::Factory factory;
  // Offers the drives to the desktop (media controls, sleep) on its buses.
  bool desktop = false;
};

// Runs the service until it is idle for idleExitSeconds or asked to stop;
// says what it does in the process's log (os::log).
// Takes the lock file first: when another service holds it, returns 0 at once
// without touching the socket (two services started together end with one).
// Returns 1 when the socket cannot be set up.
int runDriveService(const ServerOptions& options);

// Async-signal-safe: makes runDriveService return within a poll interval.
void requestServiceStop();

}  // namespace tavrelo::service
