// mcisend: MCI command strings from a shell to Tavrelo2's CD drives.
#include <iostream>
#include <memory>
#include <string>
#include <vector>

#include "platform/mci/MciSession.h"
#include "platform/os/Log.h"
#include "platform/win32/ServiceDriveDirectory.h"
#include "tools/mcisend/Mcisend.h"

int main(int argc, char** argv) {
  using namespace tavrelo;
  os::setLogPrefix("mcisend");
  const std::vector<std::string> args(argv + 1, argv + argc);
  int code = 0;
  if (mcisend::handleOptions(args, std::cout, std::cerr, code)) return code;
  mci::MciSession session(std::make_shared<win32::ServiceDriveDirectory>());
  return mcisend::runMcisend(args, std::cin, std::cout, std::cerr, session);
}
