#pragma once

#include <functional>
#include <string>

namespace tavrelo::win32 {

// True when another copy of the program runs for this user: the first call
// takes a lock file (os::lockFile) in the runtime folder and keeps it for the
// life of the process; later calls answer the same. When no lock can be made
// (no usable folder) the program runs without the check and says why once in
// its log.
bool anotherInstanceRunning();

// Asks the copy that holds the lock to bring its window forward (SIGUSR1),
// passing on the activation token a desktop launcher gave this copy, if any.
void bringRunningCopyForward();

// In the copy that holds the lock: the token a second copy passed on, once;
// "" when it had none.
std::string takeActivationToken();

// Replaces the question's answer for tests; an empty function restores the lock.
void setInstanceCheckForTesting(std::function<bool()> check);

}  // namespace tavrelo::win32
