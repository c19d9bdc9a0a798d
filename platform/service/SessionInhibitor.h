#pragma once

// Holds off suspend where the user's desktop decides it: GNOME and KDE run
// their own idle logic and never look at logind's idle locks. The first of the
// providers (InhibitProvider.h) that answers holds it; one that is missing or
// refuses makes way for the next. Nothing waits: an answer that comes after
// the hold was let go is given back at once, and a provider that leaves the bus
// or arrives on it while a disc plays makes the choice start over.
//
// Threads: the service loop's thread only, through the session bus's dispatch.

#include <systemd/sd-bus.h>

#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "platform/service/InhibitProvider.h"

namespace tavrelo::service {

class SessionInhibitor {
 public:
  SessionInhibitor(sd_bus* session, std::vector<std::unique_ptr<InhibitProvider>> providers,
                   std::function<void(const std::string&)> log);
  // Gives back what is held, after waiting at most a quarter of a second for
  // an answer still on its way; the release is sent when the bus is flushed.
  ~SessionInhibitor();
  SessionInhibitor(const SessionInhibitor&) = delete;
  SessionInhibitor& operator=(const SessionInhibitor&) = delete;

  // Holds while `playing`; cheap when nothing changes.
  void hold(bool playing);

 private:
  static int onAnswer(sd_bus_message* reply, void* self, sd_bus_error*);
  static int onOwnerChanged(sd_bus_message* signal, void* self, sd_bus_error*);
  // Asks providers from `first` on until one accepts the request.
  void askFrom(std::size_t first);
  void letGo();
  void tell(const std::string& line, std::size_t key);

  sd_bus* bus_;
  std::vector<std::unique_ptr<InhibitProvider>> providers_;
  std::function<void(const std::string&)> log_;
  std::vector<sd_bus_slot*> watches_;  // one NameOwnerChanged match a provider
  sd_bus_slot* pending_ = nullptr;     // the request awaiting its answer
  std::size_t asked_ = 0;              // the provider asked or holding
  std::optional<InhibitHandle> held_;
  bool wanted_ = false;
  std::vector<bool> told_;  // a line a provider, and one for "none"
};

}  // namespace tavrelo::service
