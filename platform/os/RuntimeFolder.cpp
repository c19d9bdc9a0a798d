#include "platform/os/RuntimeFolder.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>

namespace tavrelo::os {

bool prepareRuntimeFolder(const std::filesystem::path& folder, std::string& error) {
  if (::mkdir(folder.c_str(), 0700) != 0 && errno != EEXIST) {
    error = "cannot create " + folder.string() + ": " + std::strerror(errno);
    return false;
  }
  struct stat info {};
  if (::lstat(folder.c_str(), &info) != 0) {
    error = folder.string() + ": " + std::strerror(errno);
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
    error = folder.string() + " is open to other users (its mode must be 0700)";
    return false;
  }
  return true;
}

std::optional<std::filesystem::path> runtimeFolder(std::string& error) {
  const char* runtime = std::getenv("XDG_RUNTIME_DIR");
  if (runtime != nullptr && runtime[0] == '/') {
    const std::filesystem::path folder = std::filesystem::path(runtime) / "tavrelo2";
    if (prepareRuntimeFolder(folder, error)) return folder;
  }
  const std::filesystem::path fallback = "/tmp/tavrelo2-" + std::to_string(::geteuid());
  if (prepareRuntimeFolder(fallback, error)) return fallback;
  return std::nullopt;
}

}  // namespace tavrelo::os
