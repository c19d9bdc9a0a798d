#pragma once

#include <cstdint>
#include <optional>
#include <string_view>

namespace tavrelo::mci {

// An MCI integer argument, as the 32-bit value the device receives.
//   decimal:  "150", "-1" (two's complement: 0xFFFFFFFF)
//   colons:   "a:b:c:d" packed a | b<<8 | c<<16 | d<<24, at most four fields
//             of 0..255, an empty field is 0 (":1" = 256, "250::" = 250)
// Refused (nullopt, the caller answers 270): "", "-", "0xfa", "1.5",
// "256:0", "0:0:0:0:0", "-1:0", decimal magnitudes beyond 32 bits.
std::optional<std::uint32_t> parseInteger(std::string_view text);

}  // namespace tavrelo::mci
