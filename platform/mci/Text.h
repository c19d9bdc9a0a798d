#pragma once

#include <string>
#include <string_view>

namespace tavrelo::mci {

// MCI keywords, aliases and element names compare without regard to ASCII case.
constexpr char lowerAscii(char c) {
  return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
}

bool equalsIgnoreCase(std::string_view a, std::string_view b);
std::string toLowerAscii(std::string_view text);

}  // namespace tavrelo::mci
