#pragma once

#include <cstdio>
#include <string>

namespace tavrelo::test {

// The standard output of a shell command; empty when it could not start.
inline std::string shell(const std::string& command) {
  std::string out;
  if (FILE* pipe = ::popen(command.c_str(), "r")) {
    char buffer[512];
    while (std::fgets(buffer, sizeof buffer, pipe) != nullptr) out += buffer;
    ::pclose(pipe);
  }
  return out;
}

}  // namespace tavrelo::test
