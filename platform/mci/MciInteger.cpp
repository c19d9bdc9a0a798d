#include "platform/mci/MciInteger.h"

namespace tavrelo::mci {
namespace {

bool isDigit(char c) {
  return c >= '0' && c <= '9';
}

std::optional<std::uint32_t> parseDecimal(std::string_view text) {
  bool negative = false;
  if (!text.empty() && text.front() == '-') {
    negative = true;
    text.remove_prefix(1);
  }
  if (text.empty()) return std::nullopt;
  std::uint64_t value = 0;
  for (char c : text) {
    if (!isDigit(c)) return std::nullopt;
    value = value * 10 + static_cast<std::uint64_t>(c - '0');
    if (value > 0xFFFFFFFFu) return std::nullopt;
  }
  const auto magnitude = static_cast<std::uint32_t>(value);
  return negative ? static_cast<std::uint32_t>(0u - magnitude) : magnitude;
}

std::optional<std::uint32_t> parseColons(std::string_view text) {
  std::uint32_t packed = 0;
  int field = 0;
  std::size_t start = 0;
  while (true) {
    const std::size_t colon = text.find(':', start);
    const std::string_view part = text.substr(
        start, colon == std::string_view::npos ? std::string_view::npos : colon - start);
    if (field >= 4) return std::nullopt;
    std::uint32_t value = 0;
    for (char c : part) {
      if (!isDigit(c)) return std::nullopt;
      value = value * 10 + static_cast<std::uint32_t>(c - '0');
      if (value > 255) return std::nullopt;
    }
    packed |= value << (8 * field);
    ++field;
    if (colon == std::string_view::npos) break;
    start = colon + 1;
  }
  return packed;
}

}  // namespace

std::optional<std::uint32_t> parseInteger(std::string_view text) {
  if (text.find(':') != std::string_view::npos) return parseColons(text);
  return parseDecimal(text);
}

}  // namespace tavrelo::mci
