#pragma once

// The real service in a private world (tests/support/PrivateWorld.h), with no
// sound server: the drive plays by the wall clock.

#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <string>
#include <vector>

#include "platform/service/ServiceLauncher.h"
#include "tests/support/PrivateWorld.h"

namespace tavrelo::servicetest {

using testing::eventually;
using testing::reaped;

class ServiceHarness : public ::testing::Test {
 protected:
  ServiceHarness() : world_(3, 4, false), dir_(world_.dir), disc_(world_.disc) {}

  void TearDown() override {
    for (pid_t pid : started_) stopService(pid);
    world_.stopService();
    // A service built with the sanitizers reports into its log, not here.
    const std::string text = log();
    EXPECT_EQ(text.find("Sanitizer"), std::string::npos) << text;
    EXPECT_EQ(text.find("runtime error"), std::string::npos) << text;
  }

  std::filesystem::path folder() const { return world_.serviceFolder(); }
  std::filesystem::path socketPath() const { return folder() / service::kSocketName; }
  std::string log() const { return world_.serviceLog(); }
  pid_t servicePid() const { return world_.servicePid(); }

  void makeFolder() const {
    std::filesystem::create_directory(folder());
    std::filesystem::permissions(folder(), std::filesystem::perms::owner_all);
  }

  // Runs the service as a child of this test (not detached), with at most
  // `maxFiles` open descriptors when that is given.
  pid_t startService(std::vector<std::string> args, int maxFiles = 0,
                     std::filesystem::path program = {}) {
    if (program.empty()) program = std::string(TAVRELO_SERVICE_BIN_DIR) + "/tavrelo2-drived";
    args.insert(args.begin(), program.string());
    std::vector<char*> argv;
    for (auto& a : args) argv.push_back(a.data());
    argv.push_back(nullptr);
    makeFolder();
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
    if (!eventually([&] { return reaped(pid); })) {
      ::kill(pid, SIGKILL);
      ::waitpid(pid, nullptr, 0);
    }
  }

  testing::PrivateWorld world_;
  test::TempDir& dir_;
  testdisc::TestDisc& disc_;

 private:
  std::vector<pid_t> started_;
};

}  // namespace tavrelo::servicetest
