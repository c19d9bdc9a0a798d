#include "cd/MciText.h"

#include <algorithm>
#include <charconv>

std::string_view replyText(const MciReplyBuffer& buffer) {
  const auto end = std::find(buffer.begin(), buffer.end(), '\0');
  return {buffer.data(), static_cast<std::size_t>(end - buffer.begin())};
}

bool replyStartsWith(const MciReplyBuffer& buffer, std::string_view prefix) {
  return replyText(buffer).substr(0, prefix.size()) == prefix;
}

std::optional<std::int16_t> parseInteger16(std::string_view text) {
  const auto isBlank = [](char c) { return c == ' ' || c == '\t'; };
  while (!text.empty() && isBlank(text.front())) text.remove_prefix(1);
  while (!text.empty() && isBlank(text.back())) text.remove_suffix(1);
  if (!text.empty() && text.front() == '+') {
    text.remove_prefix(1);
    if (!text.empty() && text.front() == '-') return std::nullopt;
  }
  std::int16_t value = 0;
  const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
  if (text.empty() || error != std::errc() || end != text.data() + text.size()) {
    return std::nullopt;
  }
  return value;
}

std::string twoDigits(int value) {
  std::string digits = std::to_string(value < 0 ? -static_cast<long>(value) : value);
  if (digits.size() < 2) digits.insert(0, 1, '0');
  return value < 0 ? "-" + digits : digits;
}
