#pragma once

#include <functional>
#include <string>
#include <string_view>

namespace tavrelo::os {

// The one log of a process: a line on stderr, "tavrelo2: no disc: ...". A
// process names itself once, at start ("tavrelo2", the default; "mcisend";
// "tavrelo2-drived[1234]" with time stamps, as its stderr is its log file).
// Any thread may log.
void setLogPrefix(std::string prefix, bool timeStamps = false);
void log(std::string_view message);

// Sends the lines (without prefix or time) to `sink` instead of stderr; an
// empty function puts stderr back. The sink must not log itself.
using LogSink = std::function<void(const std::string&)>;
void setLogSink(LogSink sink);

}  // namespace tavrelo::os
