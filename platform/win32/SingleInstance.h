#pragma once

#include <filesystem>
#include <functional>
#include <optional>
#include <string>

namespace tavrelo::win32 {

// An advisory lock (flock) on a file; released when the object goes (or the
// process ends, however it ends).
class InstanceLock {
 public:
  enum class Outcome { Acquired, HeldElsewhere, Failed };

  // Tries once, without waiting. `error` explains a Failed outcome.
  static Outcome tryAcquire(const std::filesystem::path& file, std::optional<InstanceLock>& lock,
                            std::string& error);

  InstanceLock(InstanceLock&& other) noexcept;
  InstanceLock& operator=(InstanceLock&& other) noexcept;
  InstanceLock(const InstanceLock&) = delete;
  InstanceLock& operator=(const InstanceLock&) = delete;
  ~InstanceLock();

 private:
  explicit InstanceLock(int fd) : fd_(fd) {}
  int fd_ = -1;
};

// True when another copy of the program runs for this user. The first call
// takes the lock and keeps it for the life of the process; later calls answer
// the same. When no lock can be made (no usable folder) the program runs
// without the check and says why once on stderr.
bool anotherInstanceRunning();

// Replaces the question's answer for tests; an empty function restores the lock.
void setInstanceCheckForTesting(std::function<bool()> check);

}  // namespace tavrelo::win32
