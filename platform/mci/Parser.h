#pragma once

#include <cstdint>
#include <string_view>

#include "platform/mci/Command.h"

namespace tavrelo::mci {

// The outcome of parsing one MCI string. Errors come in two ranks, as on
// Windows: `headError` (empty string 267, unknown verb 261, no device 292,
// quoting 294/305) is reported at once; `flagError` (unknown keyword 259,
// bad constant 290, duplicate flag 295, incompatible flags 284, missing
// parameter 273, bad integer 270, ...) only once the device is known to be
// open, so "status nosuch bogus" answers 263 like native Windows.
struct ParsedCommand {
  std::uint32_t headError = 0;
  std::uint32_t flagError = 0;
  Command command;
};

// Parses `verb device [flags]` with flags in any order; keywords are
// case-insensitive and multi-word keywords ("number of tracks") may hold any
// run of blanks between their words.
ParsedCommand parseCommand(std::string_view text);

}  // namespace tavrelo::mci
