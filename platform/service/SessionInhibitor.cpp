#include "platform/service/SessionInhibitor.h"

#include <chrono>
#include <cstring>
#include <utility>

namespace tavrelo::service {
namespace {

constexpr const char* kWhy = "Un disque est en lecture";
constexpr auto kLastAnswerWait = std::chrono::milliseconds(250);

// Errors that say the provider is not there (or not that version), as
// opposed to one that refused.
bool absent(const sd_bus_error* error) {
  for (const char* name :
       {SD_BUS_ERROR_SERVICE_UNKNOWN, SD_BUS_ERROR_NAME_HAS_NO_OWNER, SD_BUS_ERROR_UNKNOWN_METHOD,
        SD_BUS_ERROR_UNKNOWN_OBJECT, SD_BUS_ERROR_UNKNOWN_INTERFACE}) {
    if (sd_bus_error_has_name(error, name)) return true;
  }
  return false;
}

}  // namespace

SessionInhibitor::SessionInhibitor(sd_bus* session,
                                   std::vector<std::unique_ptr<InhibitProvider>> providers,
                                   std::function<void(const std::string&)> log)
    : bus_(session),
      providers_(std::move(providers)),
      log_(std::move(log)),
      asked_(providers_.size()),
      told_(providers_.size() + 1, false) {
  for (const auto& provider : providers_) {
    sd_bus_slot* slot = nullptr;
    const std::string rule =
        std::string(
            "type='signal',sender='org.freedesktop.DBus',member='NameOwnerChanged',arg0='") +
        provider->busName() + "'";
    if (sd_bus_add_match_async(bus_, &slot, rule.c_str(), onOwnerChanged, nullptr, this) >= 0) {
      watches_.push_back(slot);
    }
  }
}

SessionInhibitor::~SessionInhibitor() {
  // The service is ending: an answer on its way is awaited a moment, so its
  // hold is given back. Past that, our connection's end lets it go: every
  // provider drops the holds of a client that leaves the bus.
  wanted_ = false;
  const auto until = std::chrono::steady_clock::now() + kLastAnswerWait;
  while (pending_ != nullptr && std::chrono::steady_clock::now() < until) {
    const int r = sd_bus_process(bus_, nullptr);
    if (r < 0) break;
    if (r == 0) sd_bus_wait(bus_, 10'000);  // µs
  }
  sd_bus_slot_unref(pending_);
  letGo();
  for (sd_bus_slot* slot : watches_) sd_bus_slot_unref(slot);
}

void SessionInhibitor::hold(bool playing) {
  if (playing == wanted_) return;
  wanted_ = playing;
  if (!playing) {
    letGo();
  } else if (pending_ == nullptr && !held_) {
    askFrom(0);
  }
}

void SessionInhibitor::askFrom(std::size_t first) {
  for (asked_ = first; asked_ < providers_.size(); ++asked_) {
    InhibitProvider& provider = *providers_[asked_];
    const int r = provider.ask(bus_, &pending_, kWhy, onAnswer, this);
    if (r >= 0) return;
    pending_ = nullptr;
    tell(std::string(provider.busName()) +
             ": cannot ask it to hold off suspend: " + std::strerror(-r),
         asked_);
  }
  tell("no desktop service holds off suspend while a disc plays; logind's idle lock only",
       providers_.size());
}

void SessionInhibitor::letGo() {
  if (!held_) return;
  if (asked_ < providers_.size()) providers_[asked_]->release(bus_, *held_);
  held_.reset();
}

void SessionInhibitor::tell(const std::string& line, std::size_t key) {
  if (told_[key]) return;
  told_[key] = true;
  log_(line);
}

int SessionInhibitor::onAnswer(sd_bus_message* reply, void* self, sd_bus_error*) {
  auto& me = *static_cast<SessionInhibitor*>(self);
  me.pending_ = sd_bus_slot_unref(me.pending_);
  InhibitProvider& provider = *me.providers_[me.asked_];
  const sd_bus_error* error = sd_bus_message_get_error(reply);
  InhibitHandle handle;
  if (error == nullptr && provider.read(reply, handle)) {
    me.held_ = std::move(handle);
    // Asked while playing, answered after a pause: given back at once.
    if (!me.wanted_) me.letGo();
    return 0;
  }
  if (error != nullptr && !absent(error)) {
    me.tell(std::string(provider.busName()) + " did not hold off suspend (" +
                (error->message ? error->message : error->name) + "); trying the next",
            me.asked_);
  }
  // A hold no longer wanted needs no other provider; the next play asks again.
  if (me.wanted_) {
    me.askFrom(me.asked_ + 1);
  } else {
    me.asked_ = me.providers_.size();
  }
  return 0;
}

int SessionInhibitor::onOwnerChanged(sd_bus_message* signal, void* self, sd_bus_error*) {
  auto& me = *static_cast<SessionInhibitor*>(self);
  const char* name = nullptr;
  const char* before = nullptr;
  const char* after = nullptr;
  if (sd_bus_message_read(signal, "sss", &name, &before, &after) < 0) return 0;
  if (!me.wanted_ || me.pending_ != nullptr) return 0;
  std::size_t which = 0;
  while (which < me.providers_.size() && std::strcmp(me.providers_[which]->busName(), name) != 0) {
    ++which;
  }
  const bool left = after == nullptr || *after == '\0';
  if (which == me.asked_ && left) {
    // Its holds went with it.
    me.held_.reset();
    me.tell(std::string(name) + " left the bus while holding off suspend; asking again", which);
    me.askFrom(0);
  } else if (which < me.asked_ && !left) {
    // A provider we prefer has come: it holds, and the other lets go.
    me.letGo();
    me.askFrom(0);
  }
  return 0;
}

}  // namespace tavrelo::service
