#include "platform/os/SignalPipe.h"

#include <fcntl.h>
#include <signal.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

namespace tavrelo::os {
namespace {

int pipeEnds[2] = {-1, -1};

// Only async-signal-safe calls here. A full pipe drops the byte: that many
// unread signals already wake the reader.
void onSignal(int number) {
  const int saved = errno;
  const auto byte = static_cast<unsigned char>(number);
  [[maybe_unused]] const ssize_t written = ::write(pipeEnds[1], &byte, 1);
  errno = saved;
}

}  // namespace

int routeSignals(std::initializer_list<int> numbers, std::string& error) {
  if (pipeEnds[0] < 0 && ::pipe2(pipeEnds, O_NONBLOCK | O_CLOEXEC) != 0) {
    error = std::string("no pipe for signals: ") + std::strerror(errno);
    return -1;
  }
  struct sigaction action {};
  action.sa_handler = onSignal;
  action.sa_flags = SA_RESTART;
  ::sigemptyset(&action.sa_mask);
  for (const int number : numbers) ::sigaction(number, &action, nullptr);
  return pipeEnds[0];
}

int takeSignal(int fd) {
  unsigned char byte = 0;
  ssize_t got = 0;
  do {
    got = ::read(fd, &byte, 1);
  } while (got < 0 && errno == EINTR);
  return got == 1 ? byte : 0;
}

}  // namespace tavrelo::os
