#pragma once

// The real service in a private world (tests/support/PrivateWorld.h), with no
// sound server: the drive plays by the wall clock.

#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <fstream>
#include <string>
#include <vector>

#include "platform/service/ServiceLauncher.h"
#include "tests/support/PrivateWorld.h"
#include "tests/support/Shell.h"

namespace tavrelo::servicetest {

using testing::eventually;
using testing::reaped;

using test::shell;

inline std::string readFile(const std::filesystem::path& file) {
  std::ifstream in(file);
  return std::string(std::istreambuf_iterator<char>(in), {});
}

class ServiceHarness : public ::testing::Test {
 protected:
  ServiceHarness() : world_(3, 4, false), dir_(world_.dir), disc_(world_.disc) {}

  void TearDown() override {
    for (pid_t pid : started_) stopService(pid);
    world_.stopService();
    for (pid_t pid : helpers_) ::kill(pid, SIGTERM);
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

  // A private D-Bus daemon until the test ends; its address.
  std::string startBus() {
    const std::string lines = shell("dbus-daemon --session --fork --print-address=1 --print-pid=1");
    const auto newline = lines.find('\n');
    helpers_.push_back(std::stoi(lines.substr(newline + 1)));
    return lines.substr(0, newline);
  }

  // Runs `command` in the background until the test ends, its output into `out`.
  pid_t background(const std::string& command, const std::filesystem::path& out) {
    helpers_.push_back(
        std::stoi(shell("exec " + command + " > " + out.string() + " 2>&1 & echo $!")));
    return helpers_.back();
  }

  // The stand-in logind (fake-logind.py) on a private system bus that the
  // service started from now on uses.
  void startLogind() {
    if (system_.empty()) {
      system_ = startBus();
      world_.setenv("DBUS_SYSTEM_BUS_ADDRESS", system_);
    }
    background("/usr/bin/python3 " + here("fake-logind.py") + " '" + system_ + "'",
               dir_.path() / "logind");
    ASSERT_TRUE(eventually([&] { return logind("Held") == "(false,)\n"; }));
  }
  std::string logind(const std::string& method, const std::string& args = "") {
    return shell("gdbus call --address '" + system_ + "' --dest org.freedesktop.login1" +
                 " --object-path /org/freedesktop/login1 --method org.freedesktop.login1.Manager." +
                 method + " " + args + " 2>&1");
  }
  // A stand-in server of this folder (its targets name it in TAVRELO_STAND_INS).
  static std::string here(const std::string& file) {
    return (std::filesystem::path(TAVRELO_STAND_INS) / file).string();
  }

  testing::PrivateWorld world_;
  test::TempDir& dir_;
  testdisc::TestDisc& disc_;

  std::string system_;

 private:
  std::vector<pid_t> started_;
  std::vector<pid_t> helpers_;  // ended with the test
};

}  // namespace tavrelo::servicetest
