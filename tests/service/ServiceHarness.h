#pragma once

// A private world for drive service tests: a runtime folder of its own (so a
// test never meets the user's service), PATH leading to the built service,
// the private PulseAudio server, and the test process as subreaper so a
// service its client started detached can be waited for.

#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "platform/service/RuntimeFolder.h"
#include "tests/disc/TempDir.h"
#include "tools/testdisc/TestDisc.h"

namespace tavrelo::servicetest {

// Polls `done` every 10 ms for up to `ms`; true as soon as it holds.
inline bool eventually(const std::function<bool()>& done, int ms = 5000) {
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(ms);
  while (!done()) {
    if (std::chrono::steady_clock::now() >= deadline) return false;
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  return true;
}

// True when `pid`, a child (or orphan adopted by this subreaper), has ended.
inline bool reaped(pid_t pid, int* status = nullptr) {
  int s = 0;
  const pid_t got = ::waitpid(pid, &s, WNOHANG);
  if (got == pid && status != nullptr) *status = s;
  return got == pid || (got < 0 && errno == ECHILD);
}

class ServiceHarness : public ::testing::Test {
 protected:
  void SetUp() override {
    ::prctl(PR_SET_CHILD_SUBREAPER, 1);
    runtime_ = dir_.path() / "runtime";
    std::filesystem::create_directory(runtime_);
    std::filesystem::permissions(runtime_, std::filesystem::perms::owner_all);
    remember("XDG_RUNTIME_DIR", runtime_.string());
    const char* path = std::getenv("PATH");
    remember("PATH", std::string(TAVRELO_SERVICE_BIN_DIR) + ":" + (path ? path : "/usr/bin:/bin"));
    remember("PULSE_SERVER", TAVRELO_TEST_PULSE_SERVER);
    remember("PULSE_SINK", TAVRELO_TEST_PULSE_SINK);
    // No bus unless a test brings its own: the user's desktop never sees a test's service.
    remember("DBUS_SESSION_BUS_ADDRESS", "unix:path=" + (dir_.path() / "no-bus").string());
    remember("DBUS_SYSTEM_BUS_ADDRESS", "unix:path=" + (dir_.path() / "no-bus").string());
    testdisc::DiscSpec discSpec;
    discSpec.tracks = testdisc::plainTracks(3, 4);
    disc_ = testdisc::writeDisc(dir_.path() / "disc", discSpec);
  }

  void TearDown() override {
    for (pid_t pid : started_) stopService(pid);
    if (const auto pid = servicePid()) stopService(*pid);
    // A service built with the sanitizers reports into its log, not here.
    const std::string text = log();
    EXPECT_EQ(text.find("Sanitizer"), std::string::npos) << text;
    EXPECT_EQ(text.find("runtime error"), std::string::npos) << text;
    for (auto it = saved_.rbegin(); it != saved_.rend(); ++it) {
      if (it->second) {
        ::setenv(it->first.c_str(), it->second->c_str(), 1);
      } else {
        ::unsetenv(it->first.c_str());
      }
    }
  }

  std::filesystem::path folder() const { return runtime_ / "tavrelo2"; }
  std::filesystem::path socketPath() const { return folder() / service::kSocketName; }
  std::string log() const {
    std::ifstream in(folder() / service::kLogName);
    return std::string(std::istreambuf_iterator<char>(in), {});
  }

  // The running service's pid, from its lock file.
  std::optional<pid_t> servicePid() const {
    std::ifstream in(folder() / service::kLockName);
    long pid = 0;
    if (!(in >> pid) || pid <= 1 || ::kill(static_cast<pid_t>(pid), 0) != 0) return std::nullopt;
    if (reaped(static_cast<pid_t>(pid))) return std::nullopt;
    return static_cast<pid_t>(pid);
  }

  // Runs the service as a child of this test (not detached).
  // `maxFiles`, when given, is the service's limit of open descriptors;
  // `program`, when given, the service's executable.
  pid_t startService(const std::vector<std::string>& args, int maxFiles = 0,
                     std::filesystem::path program = {}) {
    if (program.empty()) program = std::string(TAVRELO_SERVICE_BIN_DIR) + "/tavrelo2-drived";
    std::vector<std::string> text{program.string()};
    text.insert(text.end(), args.begin(), args.end());
    std::vector<char*> argv;
    for (auto& a : text) argv.push_back(a.data());
    argv.push_back(nullptr);
    std::filesystem::create_directory(folder());
    std::filesystem::permissions(folder(), std::filesystem::perms::owner_all);
    const std::string logPath = (folder() / service::kLogName).string();
    const pid_t pid = ::fork();
    if (pid == 0) {
      if (maxFiles > 0) {
        const rlimit limit{static_cast<rlim_t>(maxFiles), static_cast<rlim_t>(maxFiles)};
        ::setrlimit(RLIMIT_NOFILE, &limit);
      }
      const int out = ::open(logPath.c_str(), O_WRONLY | O_CREAT | O_APPEND, 0600);
      ::dup2(out, 1);
      ::dup2(out, 2);
      ::execv(argv[0], argv.data());
      ::_exit(127);
    }
    started_.push_back(pid);
    return pid;
  }

  void stopService(pid_t pid) {
    if (reaped(pid)) return;
    ::kill(pid, SIGTERM);
    if (!eventually([&] { return reaped(pid); }, 5000)) {
      ::kill(pid, SIGKILL);
      ::waitpid(pid, nullptr, 0);
    }
  }

  test::TempDir dir_;
  std::filesystem::path runtime_;
  testdisc::TestDisc disc_;

 private:
  void remember(const std::string& name, const std::string& value) {
    const char* old = std::getenv(name.c_str());
    saved_.emplace_back(name, old ? std::optional<std::string>(old) : std::nullopt);
    ::setenv(name.c_str(), value.c_str(), 1);
  }

  std::vector<std::pair<std::string, std::optional<std::string>>> saved_;
  std::vector<pid_t> started_;
};

}  // namespace tavrelo::servicetest
