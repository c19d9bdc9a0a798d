#include "platform/win32/SingleInstance.h"

#include <signal.h>

#include <cstdlib>
#include <fstream>
#include <iterator>
#include <utility>

#include "platform/os/LockFile.h"
#include "platform/os/Log.h"
#include "platform/os/RuntimeFolder.h"

namespace tavrelo::win32 {
namespace {

std::function<bool()>& testCheck() {
  static std::function<bool()> check;
  return check;
}

// Where a second copy leaves its activation token for the running one.
constexpr const char* kTokenFile = "activation-token";

}  // namespace

bool anotherInstanceRunning() {
  if (const auto& check = testCheck()) return check();
  static const bool running = [] {
    static os::Fd held;  // kept until the process ends
    std::string error;
    const auto folder = os::runtimeFolder(error);
    if (folder) {
      switch (os::lockFile(*folder / "instance.lock", held, error)) {
        case os::LockOutcome::Taken: {
          // Our pid, for the drive service's Quit (the desktop's media controls).
          const std::string pid = std::to_string(::getpid()) + "\n";
          if (::ftruncate(held.get(), 0) != 0 || ::write(held.get(), pid.data(), pid.size()) < 0) {
            os::log("cannot write the pid into the instance lock");
          }
          return false;
        }
        case os::LockOutcome::HeldElsewhere:
          return true;
        case os::LockOutcome::Failed:
          break;
      }
    }
    os::log("cannot tell whether another copy runs (" + error + "); going on");
    return false;
  }();
  return running;
}

void bringRunningCopyForward() {
  std::string error;
  const auto folder = os::runtimeFolder(error);
  if (!folder) return;
  std::error_code ignored;
  const auto self = std::filesystem::read_symlink("/proc/self/exe", ignored).filename().string();
  const pid_t running = os::lockHolder(*folder / "instance.lock", self);
  if (running <= 0) return;
  // Wayland lets a window take the focus only with the launcher's token.
  const char* token = std::getenv("XDG_ACTIVATION_TOKEN");
  if (token != nullptr && *token != '\0') {
    std::ofstream(*folder / kTokenFile, std::ios::trunc) << token;
  } else {
    std::filesystem::remove(*folder / kTokenFile, ignored);
  }
  ::kill(running, SIGUSR1);
}

std::string takeActivationToken() {
  std::string error;
  const auto folder = os::runtimeFolder(error);
  if (!folder) return {};
  std::ifstream in(*folder / kTokenFile);
  std::string token(std::istreambuf_iterator<char>(in), {});
  std::error_code ignored;
  std::filesystem::remove(*folder / kTokenFile, ignored);
  return token;
}

void setInstanceCheckForTesting(std::function<bool()> check) {
  testCheck() = std::move(check);
}

}  // namespace tavrelo::win32
