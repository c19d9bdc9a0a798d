#pragma once

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

}  // namespace tavrelo::os
