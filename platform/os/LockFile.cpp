#include "platform/os/LockFile.h"

#include <fcntl.h>
#include <sys/file.h>

#include <cerrno>
#include <cstring>
#include <fstream>

namespace tavrelo::os {

LockOutcome lockFile(const std::filesystem::path& file, Fd& held, std::string& error) {
  Fd fd(::open(file.c_str(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW, 0600));
  if (!fd.valid()) {
    error = "cannot open " + file.string() + ": " + std::strerror(errno);
    return LockOutcome::Failed;
  }
  int result = 0;
  do {
    result = ::flock(fd.get(), LOCK_EX | LOCK_NB);
  } while (result != 0 && errno == EINTR);
  if (result != 0) {
    if (errno == EWOULDBLOCK) return LockOutcome::HeldElsewhere;
    error = "cannot lock " + file.string() + ": " + std::strerror(errno);
    return LockOutcome::Failed;
  }
  held = std::move(fd);
  return LockOutcome::Taken;
}

pid_t lockHolder(const std::filesystem::path& file, const std::string& program) {
  std::ifstream in(file);
  long pid = 0;
  if (!(in >> pid) || pid <= 1) return 0;
  std::error_code ignored;
  const auto exe = std::filesystem::read_symlink("/proc/" + std::to_string(pid) + "/exe", ignored);
  const std::string name = exe.filename().string();
  return name == program || name == program + " (deleted)" ? static_cast<pid_t>(pid) : 0;
}

}  // namespace tavrelo::os
