// Any thread may log; the logger is swapped and called under one mutex, so a
// logger must not log through logDisc itself.
#include "platform/disc/DiscLog.h"

#include <cstdio>
#include <mutex>

namespace tavrelo::disc {
namespace {

std::mutex& loggerMutex() {
  static std::mutex mutex;
  return mutex;
}

DiscLogger& currentLogger() {
  static DiscLogger logger;
  return logger;
}

}  // namespace

void setDiscLogger(DiscLogger logger) {
  std::lock_guard lock(loggerMutex());
  currentLogger() = std::move(logger);
}

void logDisc(const std::string& message) {
  std::lock_guard lock(loggerMutex());
  if (currentLogger()) {
    currentLogger()(message);
  } else {
    std::fprintf(stderr, "tavrelo2 disc: %s\n", message.c_str());
  }
}

}  // namespace tavrelo::disc
