// mcisend: MCI command strings from a shell to Tavrelo2's CD drives.
#include <iostream>
#include <memory>
#include <string>
#include <vector>

#include "platform/mci/MciSession.h"
#include "tools/mcisend/Mcisend.h"
#include "platform/win32/LetterDrives.h"

int main(int argc, char** argv) {
  using namespace tavrelo;
  const std::vector<std::string> args(argv + 1, argv + argc);
  int code = 0;
  if (mcisend::handleOptions(args, std::cout, std::cerr, code)) return code;
  mci::MciSession session(std::make_shared<win32::LetterDrives>());
  return mcisend::runMcisend(args, std::cin, std::cout, std::cerr, session);
}
