#pragma once

#include <string>
#include <vector>

#include "platform/win32/Win32Types.h"

namespace tavrelo::testing {

// Every ShellExecuteA call the program makes, with its six arguments.
struct ShellCall {
  HWND owner = nullptr;
  std::string verb;
  std::string file;
  std::string parameters;
  std::string directory;
  int show = 0;
};

std::vector<ShellCall>& shellCalls();
// What the recorded ShellExecuteA answers (above 32: started).
HINSTANCE& shellAnswer();

}  // namespace tavrelo::testing
