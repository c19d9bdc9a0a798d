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
#include "platform/disc/CueImage.h"
#include "platform/drive/DigitalCdDrive.h"
#include "platform/os/Log.h"
#include "platform/os/RuntimeFolder.h"
#include "platform/service/DriveServer.h"
#include "tests/drive/support/FaultyDisc.h"

int main(int argc, char** argv) {
  using namespace tavrelo;
  if (argc != 3) {
    std::cerr << "usage: scratched_drive_service FIRST_LBA COUNT\n";
    return 2;
  }
  const disc::Lba first = std::stoi(argv[1]);
  const int count = std::stoi(argv[2]);

  os::setLogPrefix("scratched drive service");
  std::string error;
  const auto folder = os::runtimeFolder(error);
  if (!folder) {
    os::log(error);
    return 1;
  }
  service::ServerOptions options;
  options.folder = *folder;
  options.factory = [first, count](const service::DriveSource& source) {
    auto scratched =
        std::make_unique<testing::FaultyDisc>(disc::CueImage::openAsDrive(source.path));
    for (int i = 0; i < count; ++i) scratched->makeUnreadable(first + i);
    return std::make_shared<drive::DigitalCdDrive>(std::move(scratched),
                                                   std::make_unique<audio::PulseSink>());
  };
  ::signal(SIGPIPE, SIG_IGN);  // a client gone mid-reply must not end the service
  return service::runDriveService(options);
}
