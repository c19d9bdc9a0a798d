// tavrelo2-drived: this user's drive service. Started on demand by the first
// client; ends by itself when idle.
//
//   tavrelo2-drived [--idle-exit-seconds N]
//
// Threads: main runs the service loop (DriveServer); each drive it makes
// starts its reader thread and its sound server thread.

#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <charconv>
#include <cstring>
#include <iostream>
#include <memory>
#include <string>
#include <string_view>

#include "platform/audio/PulseSink.h"
#include "platform/disc/CueImage.h"
#include "platform/disc/PhysicalDrive.h"
#include "platform/drive/DigitalCdDrive.h"
#include "platform/os/Log.h"
#include "platform/os/RuntimeFolder.h"
#include "platform/os/Settings.h"
#include "platform/service/DriveServer.h"

namespace {

using namespace tavrelo;

std::shared_ptr<drive::CdDrive> makeDrive(const service::DriveSource& source) {
  std::unique_ptr<disc::DiscSource> disc;
  drive::EngineOptions options;
  try {
    if (source.kind == service::DriveSource::Kind::CueImage) {
      disc = disc::CueImage::openAsDrive(source.path);
      options.mediaPollMs = 0;  // an image changes only through its drive's tray
    } else {
      disc = disc::openPhysicalDrive(source.path);
    }
  } catch (const std::exception& e) {
    os::log("cannot open " + service::describe(source) + ": " + e.what());
    throw;
  }
  options.deemphasis = [] { return os::readBoolSetting("sound", "deemphasis").value_or(true); };
  os::log("opening " + service::describe(source));
  return std::make_shared<drive::DigitalCdDrive>(std::move(disc),
                                                 std::make_unique<audio::PulseSink>(), options);
}

void onStopSignal(int) {
  service::requestServiceStop();
}

int usage(const char* message) {
  std::cerr << "tavrelo2-drived: " << message << "\n"
            << "usage: tavrelo2-drived [--idle-exit-seconds N]   (N from 0 to 86400, default 30)\n";
  return 2;
}

}  // namespace

int main(int argc, char** argv) {
  // Our stderr is the service's log, shared by every service started.
  os::setLogPrefix("tavrelo2-drived[" + std::to_string(::getpid()) + "]", true);
  service::ServerOptions options;
  for (int i = 1; i < argc; ++i) {
    const std::string_view arg = argv[i];
    if (arg == "--idle-exit-seconds" && i + 1 < argc) {
      const std::string_view value = argv[++i];
      int seconds = -1;
      const auto [end, error] = std::from_chars(value.data(), value.data() + value.size(), seconds);
      if (error != std::errc() || end != value.data() + value.size() || seconds < 0 ||
          seconds > 86400) {
        return usage("--idle-exit-seconds takes a whole number of seconds from 0 to 86400");
      }
      options.idleExitSeconds = seconds;
    } else if (arg == "--help") {
      std::cout << "usage: tavrelo2-drived [--idle-exit-seconds N]\n"
                   "Hosts this user's CD drives for Tavrelo2 and mcisend; started by them.\n";
      return 0;
    } else {
      return usage(("unknown argument: " + std::string(arg)).c_str());
    }
  }

  std::string error;
  const auto folder = os::runtimeFolder(error);
  if (!folder) {
    os::log("no runtime folder: " + error);
    return 1;
  }
  options.folder = *folder;
  options.factory = makeDrive;
  options.desktop = true;
  // The log (our stderr, appended to by every service started) starts over
  // once it has grown past a megabyte.
  struct stat log {};
  if (::fstat(2, &log) == 0 && S_ISREG(log.st_mode) && log.st_size > (1 << 20)) {
    if (::ftruncate(2, 0) == 0) os::log("log started over");
  }

  struct sigaction stop {};
  stop.sa_handler = onStopSignal;
  ::sigemptyset(&stop.sa_mask);
  ::sigaction(SIGTERM, &stop, nullptr);
  ::sigaction(SIGINT, &stop, nullptr);
  ::signal(SIGPIPE, SIG_IGN);
  ::signal(SIGHUP, SIG_IGN);
  return service::runDriveService(options);
}
