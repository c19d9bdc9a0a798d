// Threads: one mutex guards the prefix and the sink, and is held while a line
// is written, so lines from several threads never interleave.
#include "platform/os/Log.h"

#include <unistd.h>

#include <ctime>
#include <mutex>

namespace tavrelo::os {
namespace {

struct LogState {
  std::mutex mutex;
  std::string prefix = "tavrelo2";
  bool timeStamps = false;
  LogSink sink;
};

LogState& state() {
  static LogState shared;
  return shared;
}

}  // namespace

void setLogPrefix(std::string prefix, bool timeStamps) {
  LogState& s = state();
  std::lock_guard lock(s.mutex);
  s.prefix = std::move(prefix);
  s.timeStamps = timeStamps;
}

void setLogSink(LogSink sink) {
  LogState& s = state();
  std::lock_guard lock(s.mutex);
  s.sink = std::move(sink);
}

void log(std::string_view message) {
  LogState& s = state();
  std::lock_guard lock(s.mutex);
  if (s.sink) {
    s.sink(std::string(message));
    return;
  }
  std::string line;
  if (s.timeStamps) {
    char stamp[32] = "";
    const std::time_t now = std::time(nullptr);
    std::tm local{};
    if (::localtime_r(&now, &local) != nullptr)
      std::strftime(stamp, sizeof stamp, "%F %T ", &local);
    line += stamp;
  }
  line += s.prefix;
  line += ": ";
  line += message;
  line += '\n';
  // One write per line, so that processes sharing the log file do not mix lines.
  std::string_view rest = line;
  while (!rest.empty()) {
    const ssize_t written = ::write(2, rest.data(), rest.size());
    if (written <= 0) break;
    rest.remove_prefix(static_cast<std::size_t>(written));
  }
}

}  // namespace tavrelo::os
