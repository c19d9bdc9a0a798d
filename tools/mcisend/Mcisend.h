#pragma once

#include <iosfwd>
#include <string>
#include <vector>

#include "platform/mci/MciSession.h"

namespace tavrelo::mcisend {

// Exit codes.
inline constexpr int kAllSucceeded = 0;
inline constexpr int kSomeFailed = 1;
inline constexpr int kUsage = 2;

// mcisend's work, apart from its drives: sends each command of `args` (or,
// with none, each non-blank line of `in`) to `session` and prints one line
// per command to `out`: the reply, "" when there is none, or
// "error 263: The specified device is not open or is not recognized by MCI."
// Returns an exit code; usage errors go to `err`.
int runMcisend(const std::vector<std::string>& args, std::istream& in, std::ostream& out,
               std::ostream& err, mci::MciSession& session);

// True when `args` ask for help or are a usage error, so the caller can stop
// before it touches any drive; `code` is then the exit code.
bool handleOptions(const std::vector<std::string>& args, std::ostream& out, std::ostream& err,
                   int& code);

}  // namespace tavrelo::mcisend
