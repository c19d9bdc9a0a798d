#include "tests/support/XServer.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <vector>

extern char** environ;

namespace tavrelo::testing {

XvfbServer::XvfbServer() {
  int fds[2];
  if (::pipe(fds) != 0) {
    error_ = std::string("pipe: ") + std::strerror(errno);
    return;
  }
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_adddup2(&actions, fds[1], 3);
  posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
  posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
  std::vector<std::string> args{"Xvfb",        "-displayfd", "3",   "-screen", "0",
                                "1024x768x24", "-nolisten",  "tcp", "-dpi",    "96"};
  std::vector<char*> argv;
  for (std::string& arg : args) argv.push_back(arg.data());
  argv.push_back(nullptr);
  pid_t pid = 0;
  const int spawned = ::posix_spawnp(&pid, "Xvfb", &actions, nullptr, argv.data(), environ);
  posix_spawn_file_actions_destroy(&actions);
  ::close(fds[1]);
  if (spawned != 0) {
    ::close(fds[0]);
    error_ = std::string("cannot start Xvfb: ") + std::strerror(spawned);
    return;
  }
  pid_ = pid;
  // Xvfb writes its display number and a newline once it accepts clients.
  std::string number;
  pollfd wait{fds[0], POLLIN, 0};
  while (number.find('\n') == std::string::npos && ::poll(&wait, 1, 30000) > 0) {
    char buffer[16];
    const ssize_t got = ::read(fds[0], buffer, sizeof buffer);
    if (got <= 0) break;
    number.append(buffer, static_cast<std::size_t>(got));
  }
  ::close(fds[0]);
  if (number.find('\n') == std::string::npos) {
    error_ = "Xvfb did not say which display it serves";
    return;
  }
  display_ = ":" + number.substr(0, number.find('\n'));
}

XvfbServer::~XvfbServer() {
  if (pid_ <= 0) return;
  ::kill(pid_, SIGTERM);
  int status = 0;
  ::waitpid(pid_, &status, 0);
}

}  // namespace tavrelo::testing
