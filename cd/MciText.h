#pragma once

// Reading MCI replies the way the handlers do: the text up to the first NUL of
// a fixed-length buffer, compared by fixed-length prefixes, and numbers read
// as 16-bit signed integers.

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

// A reply buffer of 255 characters, as the window's `MciReply` and the
// Next-track handler's own buffer.
inline constexpr int kMciReplyLength = 255;
using MciReplyBuffer = std::array<char, kMciReplyLength>;

// The reply text: the characters before the first NUL (all of them when the
// buffer holds none).
std::string_view replyText(const MciReplyBuffer& buffer);

// True when the first `prefix.size()` characters of the reply are exactly
// `prefix` (case-sensitive): "Open" and "TRUE" do not match "open", "true".
bool replyStartsWith(const MciReplyBuffer& buffer, std::string_view prefix);

// A whole decimal number that fits -32768..32767, blanks before and after
// allowed: " 12 " -> 12, "-7" -> -7, "+3" -> 3. Anything else ("", "1a",
// "1 2", "40000", "0x10") -> nullopt.
std::optional<std::int16_t> parseInteger16(std::string_view text);

// At least two digits, as VB's Format(n, "00"): 3 -> "03", 12 -> "12",
// 123 -> "123", -5 -> "-05".
std::string twoDigits(int value);
