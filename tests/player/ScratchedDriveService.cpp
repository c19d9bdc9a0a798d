// A drive service whose discs are scratched: the same service as the real
// one, but every disc it opens has a run of sectors that never read.
//
//   scratched_drive_service FIRST_LBA COUNT
//
// A test starts it in the program's runtime folder before the program, which
// then uses it as it would use the real service.

#include <signal.h>

#include <iostream>
#include <memory>
#include <string>

#include "platform/audio/PulseSink.h"
#include "platform/disc/DiscSources.h"
#include "platform/drive/DigitalCdDrive.h"
#include "platform/service/DriveServer.h"
#include "platform/service/RuntimeFolder.h"
#include "tests/drive/support/FaultyDisc.h"

namespace {

using namespace tavrelo;

void logLine(const std::string& message) {
  std::cerr << "scratched drive service: " << message << std::endl;
}

void onStopSignal(int) {
  service::requestServiceStop();
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 3) {
    std::cerr << "usage: scratched_drive_service FIRST_LBA COUNT\n";
    return 2;
  }
  const disc::Lba first = std::stoi(argv[1]);
  const int count = std::stoi(argv[2]);

  std::string error;
  const auto folder = service::runtimeFolder(error);
  if (!folder) {
    logLine(error);
    return 1;
  }
  service::ServerOptions options;
  options.folder = *folder;
  options.log = logLine;
  options.factory = [first, count](const service::DriveSource& source) {
    auto scratched = std::make_unique<testing::FaultyDisc>(disc::openCueImageDrive(source.path));
    for (int i = 0; i < count; ++i) scratched->makeUnreadable(first + i);
    audio::PulseOptions sound;
    sound.log = logLine;
    drive::EngineOptions engine;
    engine.log = logLine;
    return std::make_shared<drive::DigitalCdDrive>(
        std::move(scratched), std::make_unique<audio::PulseSink>(sound), engine);
  };
  struct sigaction stop {};
  stop.sa_handler = onStopSignal;
  ::sigemptyset(&stop.sa_mask);
  ::sigaction(SIGTERM, &stop, nullptr);
  ::signal(SIGPIPE, SIG_IGN);
  return service::runDriveService(options);
}
