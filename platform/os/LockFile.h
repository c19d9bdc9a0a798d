#pragma once

#include <sys/types.h>

#include <filesystem>
#include <string>

#include "platform/os/Fd.h"

namespace tavrelo::os {

enum class LockOutcome { Taken, HeldElsewhere, Failed };

// Takes an advisory lock (flock) on `file`, created with mode 0600 when
// missing (a symbolic link is refused), without waiting. On Taken, `held`
// keeps the lock until it is closed or the process ends, however it ends.
// `error` explains a Failed outcome.
LockOutcome lockFile(const std::filesystem::path& file, Fd& held, std::string& error);

// The process whose pid a lock holder wrote into `file`, while that process
// still runs the program named `program` (a file name); 0 otherwise, so a
// stale pid never reaches a process that came after the program.
pid_t lockHolder(const std::filesystem::path& file, const std::string& program);

}  // namespace tavrelo::os
