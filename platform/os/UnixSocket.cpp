#include "platform/os/UnixSocket.h"

#include <sys/socket.h>

#include <cstring>

namespace tavrelo::os {

std::optional<sockaddr_un> unixSocketAddress(const std::filesystem::path& path,
                                             std::string& error) {
  sockaddr_un address{};
  address.sun_family = AF_UNIX;
  const std::string text = path.string();
  if (text.size() >= sizeof address.sun_path) {
    error = "the socket path " + text + " is too long";
    return std::nullopt;
  }
  std::memcpy(address.sun_path, text.c_str(), text.size() + 1);
  return address;
}

}  // namespace tavrelo::os
