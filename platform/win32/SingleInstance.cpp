#include "platform/win32/SingleInstance.h"

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

void setInstanceCheckForTesting(std::function<bool()> check) {
  testCheck() = std::move(check);
}

}  // namespace tavrelo::win32
