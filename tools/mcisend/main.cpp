// mcisend: MCI command strings from a shell to Tavrelo2's CD drives.
#include <iostream>
#include <memory>
#include <string>
#include <vector>

#include "platform/mci/MciSession.h"
#include "tools/mcisend/Mcisend.h"
#include "tools/mcisend/ServiceDriveDirectory.h"

int main(int argc, char** argv) {
  using namespace tavrelo;
  const std::vector<std::string> args(argv + 1, argv + argc);
  int code = 0;
  if (mcisend::handleOptions(args, std::cout, std::cerr, code)) return code;
  auto drives = std::make_shared<mcisend::ServiceDriveDirectory>(
      mcisend::ServiceDriveDirectory::systemTable());
  mci::MciSession session(drives);
  return mcisend::runMcisend(args, std::cin, std::cout, std::cerr, session);
}
