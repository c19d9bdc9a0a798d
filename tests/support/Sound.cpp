#include "tests/support/Sound.h"

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <stdlib.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cmath>
#include <cstring>
#include <filesystem>
#include <numbers>
#include <stdexcept>

extern char** environ;

namespace tavrelo::testing {
namespace {

// Starts `argv` with its standard input and output on the given descriptors
// (-1: inherited); the child's ends are closed here.
pid_t spawn(const std::vector<std::string>& argv, int stdinFd, int stdoutFd) {
  std::vector<char*> args;
  for (const std::string& a : argv) args.push_back(const_cast<char*>(a.c_str()));
  args.push_back(nullptr);
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  if (stdinFd >= 0) posix_spawn_file_actions_adddup2(&actions, stdinFd, STDIN_FILENO);
  if (stdoutFd >= 0) posix_spawn_file_actions_adddup2(&actions, stdoutFd, STDOUT_FILENO);
  pid_t pid = -1;
  const int rc = posix_spawnp(&pid, args[0], &actions, nullptr, args.data(), environ);
  posix_spawn_file_actions_destroy(&actions);
  for (int fd : {stdinFd, stdoutFd}) {
    if (fd >= 0) close(fd);
  }
  return rc == 0 ? pid : -1;
}

}  // namespace

int runProgram(const std::vector<std::string>& argv, const std::string& input,
               std::string* output) {
  int in[2], out[2];
  if (pipe2(in, O_CLOEXEC) != 0) return -1;
  if (pipe2(out, O_CLOEXEC) != 0) return close(in[0]), close(in[1]), -1;
  const pid_t pid = spawn(argv, in[0], output != nullptr ? out[1] : -1);
  if (output == nullptr) close(out[1]);
  // A program that reads no input may end before this write: no SIGPIPE then.
  ::signal(SIGPIPE, SIG_IGN);
  if (pid >= 0 && !input.empty() && write(in[1], input.data(), input.size()) < 0) {
    // the program did not want it
  }
  close(in[1]);
  char buffer[4096];
  for (ssize_t n; output != nullptr && (n = read(out[0], buffer, sizeof buffer)) > 0;)
    output->append(buffer, static_cast<std::size_t>(n));
  close(out[0]);
  int status = 0;
  if (pid < 0 || waitpid(pid, &status, 0) != pid) return -1;
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

std::string name(SoundServer kind) {
  return kind == SoundServer::PipeWire ? "PipeWire" : "PulseAudio";
}

namespace {

const char* script(SoundServer kind) {
  return kind == SoundServer::PipeWire ? TAVRELO_PIPEWIRE_SCRIPT : TAVRELO_PULSE_SCRIPT;
}

}  // namespace

PrivatePulse::PrivatePulse(SoundServer kind) : kind_(kind) {
  char pattern[] = "/tmp/tavrelo-pulse-XXXXXX";
  if (mkdtemp(pattern) == nullptr) throw std::runtime_error("mkdtemp failed");
  dir_ = pattern;
}

PrivatePulse::~PrivatePulse() {
  runProgram({script(kind_), "quit", dir_});
  std::error_code ignored;
  std::filesystem::remove_all(dir_, ignored);
}

bool PrivatePulse::start() {
  return runProgram({script(kind_), "start", dir_}) == 0;
}

void PrivatePulse::stop() {
  runProgram({script(kind_), "stop", dir_});
}

void PrivatePulse::stopPipeWire() {
  runProgram({script(kind_), "stop-pipewire", dir_});
}

std::string PrivatePulse::server() const {
  return "unix:" + dir_ + (kind_ == SoundServer::PipeWire ? "/pulse/native" : "/pulse.sock");
}

Recorder::Recorder(const std::string& server) {
  int fds[2];
  if (pipe2(fds, O_CLOEXEC) != 0) throw std::runtime_error("pipe failed");
  pid_ = spawn({"parecord", "--server=" + server, "--device=" + PrivatePulse::sink() + ".monitor",
                "--latency-msec=20", "--raw", "--format=s16le", "--rate=44100", "--channels=2"},
               -1, fds[1]);
  fd_ = fds[0];
  if (pid_ < 0) throw std::runtime_error("parecord could not be started");
  thread_ = std::thread([this] {
    std::uint8_t block[4096];
    for (ssize_t n; (n = read(fd_, block, sizeof block)) > 0;) {
      std::lock_guard lock(mutex_);
      data_.insert(data_.end(), block, block + n);
    }
  });
}

Recorder::~Recorder() {
  finish();
  close(fd_);
}

std::size_t Recorder::bytes() {
  std::lock_guard lock(mutex_);
  return data_.size();
}

std::vector<std::int16_t> Recorder::finish() {
  if (pid_ > 0) {
    kill(pid_, SIGTERM);
    waitpid(pid_, nullptr, 0);
    pid_ = -1;
  }
  if (thread_.joinable()) thread_.join();
  std::lock_guard lock(mutex_);
  std::vector<std::int16_t> samples(data_.size() / 2);
  std::memcpy(samples.data(), data_.data(), samples.size() * 2);
  return samples;
}

double tonePower(std::span<const std::int16_t> stereo, double hz) {
  const double coefficient = 2 * std::cos(2 * std::numbers::pi * hz / 44100.0);
  double s1 = 0;
  double s2 = 0;
  for (std::size_t i = 0; i < stereo.size(); i += 2) {
    const double s0 = stereo[i] / 32768.0 + coefficient * s1 - s2;
    s2 = s1;
    s1 = s0;
  }
  return s1 * s1 + s2 * s2 - coefficient * s1 * s2;
}

}  // namespace tavrelo::testing
