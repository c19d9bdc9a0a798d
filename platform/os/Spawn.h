#pragma once

#include <sys/types.h>

#include <filesystem>
#include <string>
#include <vector>

namespace tavrelo::os {

struct SpawnOptions {
  std::filesystem::path workingFolder;  // empty: the caller's
  std::filesystem::path output;         // stdout and stderr appended here; empty: the caller's
};

// Starts `program` (a path, or a name looked up on PATH) with `args`, never
// through a shell, detached from this process: a new session, nobody's child
// here (double fork), stdin from /dev/null, every other descriptor closed.
// Returns the new process's id once it has started the program; 0, with
// `error`, when it could not (no such program, fork failed).
pid_t spawnDetached(const std::filesystem::path& program, const std::vector<std::string>& args,
                    const SpawnOptions& options, std::string& error);

}  // namespace tavrelo::os
