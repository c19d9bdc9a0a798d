#include "platform/win32/SingleInstance.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <iostream>
#include <utility>

namespace tavrelo::win32 {
namespace {

std::string systemError(const std::string& what, int code) {
  return what + ": " + std::strerror(code);
}

// A folder we may keep a lock in: ours, a real folder, no access for others.
bool checkFolder(const std::filesystem::path& folder, std::string& error) {
  struct stat info {};
  if (::lstat(folder.c_str(), &info) != 0) {
    error = systemError(folder.string(), errno);
    return false;
  }
  if (!S_ISDIR(info.st_mode)) {
    error = folder.string() + " is not a folder";
    return false;
  }
  if (info.st_uid != ::geteuid()) {
    error = folder.string() + " belongs to another user";
    return false;
  }
  if ((info.st_mode & 077) != 0) {
    error = folder.string() + " is open to other users (mode must be 0700)";
    return false;
  }
  return true;
}

bool makeFolder(const std::filesystem::path& folder, std::string& error) {
  if (::mkdir(folder.c_str(), 0700) != 0 && errno != EEXIST) {
    error = systemError("cannot create " + folder.string(), errno);
    return false;
  }
  return checkFolder(folder, error);
}

std::function<bool()>& testCheck() {
  static std::function<bool()> check;
  return check;
}

}  // namespace

std::optional<std::filesystem::path> runtimeFolder(std::string& error) {
  const char* runtime = std::getenv("XDG_RUNTIME_DIR");
  if (runtime != nullptr && runtime[0] == '/') {
    const std::filesystem::path folder = std::filesystem::path(runtime) / "tavrelo2";
    if (makeFolder(folder, error)) return folder;
  }
  const std::filesystem::path fallback = "/tmp/tavrelo2-" + std::to_string(::geteuid());
  if (makeFolder(fallback, error)) return fallback;
  return std::nullopt;
}

InstanceLock::Outcome InstanceLock::tryAcquire(const std::filesystem::path& file,
                                               std::optional<InstanceLock>& lock,
                                               std::string& error) {
  const int fd = ::open(file.c_str(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW, 0600);
  if (fd < 0) {
    error = systemError("cannot open " + file.string(), errno);
    return Outcome::Failed;
  }
  InstanceLock candidate(fd);
  int result = 0;
  do {
    result = ::flock(fd, LOCK_EX | LOCK_NB);
  } while (result != 0 && errno == EINTR);
  if (result == 0) {
    lock.emplace(std::move(candidate));
    return Outcome::Acquired;
  }
  if (errno == EWOULDBLOCK) return Outcome::HeldElsewhere;
  error = systemError("cannot lock " + file.string(), errno);
  return Outcome::Failed;
}

InstanceLock::InstanceLock(InstanceLock&& other) noexcept : fd_(std::exchange(other.fd_, -1)) {}

InstanceLock& InstanceLock::operator=(InstanceLock&& other) noexcept {
  if (this != &other) {
    if (fd_ >= 0) ::close(fd_);
    fd_ = std::exchange(other.fd_, -1);
  }
  return *this;
}

InstanceLock::~InstanceLock() {
  if (fd_ >= 0) ::close(fd_);
}

bool anotherInstanceRunning() {
  if (const auto& check = testCheck()) return check();
  static const bool running = [] {
    static std::optional<InstanceLock> held;  // kept until the process ends
    std::string error;
    const auto folder = runtimeFolder(error);
    if (folder) {
      switch (InstanceLock::tryAcquire(*folder / "instance.lock", held, error)) {
        case InstanceLock::Outcome::Acquired:
          return false;
        case InstanceLock::Outcome::HeldElsewhere:
          return true;
        case InstanceLock::Outcome::Failed:
          break;
      }
    }
    std::cerr << "tavrelo2: cannot tell whether another copy runs (" << error << "); going on\n";
    return false;
  }();
  return running;
}

void setInstanceCheckForTesting(std::function<bool()> check) {
  testCheck() = std::move(check);
}

}  // namespace tavrelo::win32
