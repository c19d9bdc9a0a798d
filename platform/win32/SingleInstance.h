#pragma once

#include <functional>

namespace tavrelo::win32 {

// True when another copy of the program runs for this user: the first call
// takes a lock file (os::lockFile) in the runtime folder and keeps it for the
// life of the process; later calls answer the same. When no lock can be made
// (no usable folder) the program runs without the check and says why once in
// its log.
bool anotherInstanceRunning();

// Replaces the question's answer for tests; an empty function restores the lock.
void setInstanceCheckForTesting(std::function<bool()> check);

}  // namespace tavrelo::win32
