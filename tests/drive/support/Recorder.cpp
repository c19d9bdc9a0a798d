// Threads: one thread per Recorder drains parecord's pipe; data_ is guarded
// by mutex_.
#include "tests/drive/support/Recorder.h"

#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <stdexcept>

extern char** environ;

namespace tavrelo::testing {
namespace {

pid_t spawn(const std::vector<std::string>& argv, int stdoutFd) {
  std::vector<char*> args;
  for (const std::string& a : argv) args.push_back(const_cast<char*>(a.c_str()));
  args.push_back(nullptr);
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  if (stdoutFd >= 0) posix_spawn_file_actions_adddup2(&actions, stdoutFd, STDOUT_FILENO);
  pid_t pid = -1;
  const int rc = posix_spawnp(&pid, args[0], &actions, nullptr, args.data(), environ);
  posix_spawn_file_actions_destroy(&actions);
  return rc == 0 ? pid : -1;
}

}  // namespace

int runProgram(const std::vector<std::string>& argv) {
  const pid_t pid = spawn(argv, -1);
  if (pid < 0) return -1;
  int status = 0;
  waitpid(pid, &status, 0);
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

Recorder::Recorder(const std::string& server, const std::string& device,
                   std::function<void(const std::vector<std::uint8_t>&)> onData)
    : onData_(std::move(onData)) {
  int fds[2];
  if (pipe(fds) != 0) throw std::runtime_error("pipe failed");
  pid_ = spawn({"parecord", "--server=" + server, "--device=" + device, "--latency-msec=20",
                "--raw", "--format=s16le", "--rate=44100", "--channels=2"},
               fds[1]);
  close(fds[1]);
  if (pid_ < 0) {
    close(fds[0]);
    throw std::runtime_error("parecord could not be started");
  }
  fd_ = fds[0];
  thread_ = std::thread([this] { pump(); });
}

Recorder::~Recorder() {
  finish();
}

void Recorder::pump() {
  std::vector<std::uint8_t> block(4096);
  for (;;) {
    const ssize_t n = read(fd_, block.data(), block.size());
    if (n <= 0) break;
    std::lock_guard lock(mutex_);
    data_.insert(data_.end(), block.begin(), block.begin() + n);
    if (onData_) onData_(data_);
  }
}

std::vector<std::uint8_t> Recorder::finish() {
  if (pid_ > 0) {
    kill(pid_, SIGTERM);
    int status = 0;
    waitpid(pid_, &status, 0);
    pid_ = -1;
  }
  if (thread_.joinable()) thread_.join();
  if (fd_ >= 0) {
    close(fd_);
    fd_ = -1;
  }
  std::lock_guard lock(mutex_);
  return data_;
}

std::size_t Recorder::bytes() {
  std::lock_guard lock(mutex_);
  return data_.size();
}

std::vector<std::uint8_t> Recorder::snapshot() {
  std::lock_guard lock(mutex_);
  return data_;
}

}  // namespace tavrelo::testing
