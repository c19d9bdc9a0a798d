#pragma once

// logind on the system bus: an "idle" inhibitor while a disc plays, and the
// PrepareForSleep signal. Without logind nothing happens, and the log says so once.

#include <systemd/sd-bus.h>

#include <functional>
#include <string>

namespace tavrelo::service {

class SleepGuard {
 public:
  // `sleeping(true)` before the computer sleeps, `sleeping(false)` after it woke.
  SleepGuard(sd_bus* bus, std::function<void(bool)> sleeping,
             std::function<void(const std::string&)> log);
  ~SleepGuard();
  SleepGuard(const SleepGuard&) = delete;
  SleepGuard& operator=(const SleepGuard&) = delete;

  // Holds the inhibitor while `playing`; cheap when nothing changes.
  void hold(bool playing);

 private:
  static int onInhibit(sd_bus_message* reply, void* self, sd_bus_error*);
  static int onPrepareForSleep(sd_bus_message* signal, void* self, sd_bus_error*);

  sd_bus* bus_;
  std::function<void(bool)> sleeping_;
  std::function<void(const std::string&)> log_;
  sd_bus_slot* match_ = nullptr;
  sd_bus_slot* pending_ = nullptr;  // the Inhibit call awaiting its reply
  int inhibitor_ = -1;
  bool wanted_ = false;
  bool told_ = false;
};

}  // namespace tavrelo::service
