#include "platform/os/Spawn.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "platform/os/Fd.h"

namespace tavrelo::os {
namespace {

// Reads exactly `size` bytes; false at the end of the pipe or on an error.
bool readAll(int fd, void* data, std::size_t size) {
  auto* bytes = static_cast<char*>(data);
  while (size > 0) {
    const ssize_t got = ::read(fd, bytes, size);
    if (got < 0 && errno == EINTR) continue;
    if (got <= 0) return false;
    bytes += got;
    size -= static_cast<std::size_t>(got);
  }
  return true;
}

}  // namespace

pid_t spawnDetached(const std::filesystem::path& program, const std::vector<std::string>& args,
                    const SpawnOptions& options, std::string& error) {
  // Everything the children need is made before fork: after it, in a process
  // that may have threads, only async-signal-safe calls are allowed.
  std::vector<std::string> argvText{program.string()};
  argvText.insert(argvText.end(), args.begin(), args.end());
  std::vector<char*> argv;
  for (std::string& a : argvText) argv.push_back(a.data());
  argv.push_back(nullptr);
  const std::string outputText = options.output.string();
  const std::string folderText = options.workingFolder.string();

  // The grandchild's pid comes back through one pipe, and its errno, only
  // when exec failed, through another, which a successful exec closes empty.
  int pidEnds[2];
  int execEnds[2];
  if (::pipe2(pidEnds, O_CLOEXEC) != 0) {
    error = std::string("pipe: ") + std::strerror(errno);
    return 0;
  }
  Fd pidRead(pidEnds[0]);
  Fd pidWrite(pidEnds[1]);
  if (::pipe2(execEnds, O_CLOEXEC) != 0) {
    error = std::string("pipe: ") + std::strerror(errno);
    return 0;
  }
  Fd execRead(execEnds[0]);
  Fd execWrite(execEnds[1]);

  const pid_t child = ::fork();
  if (child < 0) {
    error = std::string("fork: ") + std::strerror(errno);
    return 0;
  }
  if (child == 0) {
    ::setsid();
    const pid_t grandchild = ::fork();
    if (grandchild != 0) {
      const ssize_t ignored = ::write(pidWrite.get(), &grandchild, sizeof grandchild);
      (void)ignored;
      ::_exit(grandchild < 0 ? 1 : 0);
    }
    int report = execWrite.get();
    const auto reportAndExit = [&report] {
      const int code = errno;
      const ssize_t ignored = ::write(report, &code, sizeof code);
      (void)ignored;
      ::_exit(127);
    };
    sigset_t none;
    ::sigemptyset(&none);
    ::sigprocmask(SIG_SETMASK, &none, nullptr);
    const int in = ::open("/dev/null", O_RDONLY);
    if (in < 0 || ::dup2(in, 0) < 0) reportAndExit();
    if (!outputText.empty()) {
      int out = ::open(outputText.c_str(), O_WRONLY | O_CREAT | O_APPEND | O_NOFOLLOW, 0600);
      if (out < 0) out = ::open("/dev/null", O_WRONLY);
      if (out < 0 || ::dup2(out, 1) < 0 || ::dup2(out, 2) < 0) reportAndExit();
    }
    // The report pipe moves to descriptor 3 (still closed by exec); every
    // other descriptor above stderr goes now.
    if (report != 3) {
      if (::dup3(report, 3, O_CLOEXEC) < 0) reportAndExit();
      report = 3;
    }
    ::close_range(4, ~0U, 0);
    if (!folderText.empty() && ::chdir(folderText.c_str()) != 0) reportAndExit();
    ::execvp(argv[0], argv.data());
    reportAndExit();
  }
  pidWrite.reset();
  execWrite.reset();
  int status = 0;
  while (::waitpid(child, &status, 0) < 0 && errno == EINTR) {
  }
  pid_t started = 0;
  if (!WIFEXITED(status) || WEXITSTATUS(status) != 0 ||
      !readAll(pidRead.get(), &started, sizeof started)) {
    error = "could not start " + program.string();
    return 0;
  }
  int code = 0;
  if (readAll(execRead.get(), &code, sizeof code)) {
    error = "could not start " + program.string() + ": " + std::strerror(code);
    return 0;
  }
  return started;
}

}  // namespace tavrelo::os
