#include "platform/service/SleepGuard.h"

#include <fcntl.h>
#include <unistd.h>

#include <cstring>
#include <utility>

namespace tavrelo::service {
namespace {

constexpr const char* kLogin = "org.freedesktop.login1";
constexpr const char* kLoginPath = "/org/freedesktop/login1";
constexpr const char* kManager = "org.freedesktop.login1.Manager";

}  // namespace

SleepGuard::SleepGuard(sd_bus* bus, std::function<void(bool)> sleeping,
                       std::function<void(const std::string&)> log)
    : bus_(bus), sleeping_(std::move(sleeping)), log_(std::move(log)) {
  const int r = sd_bus_match_signal_async(bus_, &match_, kLogin, kLoginPath, kManager,
                                          "PrepareForSleep", onPrepareForSleep, nullptr, this);
  if (r < 0) log_(std::string("cannot listen for sleep: ") + std::strerror(-r));
}

SleepGuard::~SleepGuard() {
  sd_bus_slot_unref(pending_);
  sd_bus_slot_unref(match_);
  if (inhibitor_ >= 0) ::close(inhibitor_);
}

void SleepGuard::hold(bool playing) {
  wanted_ = playing;
  if (!playing && inhibitor_ >= 0) {
    ::close(inhibitor_);
    inhibitor_ = -1;
  }
  if (!playing || inhibitor_ >= 0 || pending_ != nullptr) return;
  const int r = sd_bus_call_method_async(bus_, &pending_, kLogin, kLoginPath, kManager, "Inhibit",
                                         onInhibit, this, "ssss", "idle", "Tavrelo 2",
                                         "Un disque est en lecture", "block");
  if (r < 0 && !std::exchange(told_, true)) {
    log_(std::string("cannot ask logind to keep the computer awake: ") + std::strerror(-r));
  }
}

int SleepGuard::onInhibit(sd_bus_message* reply, void* self, sd_bus_error*) {
  auto& guard = *static_cast<SleepGuard*>(self);
  guard.pending_ = sd_bus_slot_unref(guard.pending_);
  if (const sd_bus_error* error = sd_bus_message_get_error(reply)) {
    if (!std::exchange(guard.told_, true)) {
      guard.log_(std::string("logind keeps no inhibitor for us (") +
                 (error->message ? error->message : error->name) +
                 "); the computer may idle while a disc plays");
    }
    return 0;
  }
  int fd = -1;
  if (sd_bus_message_read(reply, "h", &fd) < 0) return 0;
  // The message owns its descriptor; the inhibitor lasts as long as our copy.
  const int kept = ::fcntl(fd, F_DUPFD_CLOEXEC, 3);
  if (kept < 0) return 0;
  if (guard.wanted_ && guard.inhibitor_ < 0) {
    guard.inhibitor_ = kept;
  } else {
    ::close(kept);
  }
  return 0;
}

int SleepGuard::onPrepareForSleep(sd_bus_message* signal, void* self, sd_bus_error*) {
  int before = 0;
  if (sd_bus_message_read(signal, "b", &before) >= 0) {
    static_cast<SleepGuard*>(self)->sleeping_(before != 0);
  }
  return 0;
}

}  // namespace tavrelo::service
