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

#include "platform/service/RuntimeFolder.h"

namespace tavrelo::win32 {
namespace {

std::string systemError(const std::string& what, int code) {
  return what + ": " + std::strerror(code);
}

std::function<bool()>& testCheck() {
  static std::function<bool()> check;
  return check;
}

}  // namespace

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
    // Our pid, for the drive service's Quit (the desktop's media controls).
    const std::string pid = std::to_string(::getpid()) + "\n";
    if (::ftruncate(fd, 0) != 0 || ::write(fd, pid.data(), pid.size()) < 0) {
      std::cerr << "tavrelo2: cannot write the pid into " << file.string() << '\n';
    }
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
    const auto folder = service::runtimeFolder(error);
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
