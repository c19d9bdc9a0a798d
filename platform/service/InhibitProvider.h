#pragma once

// The desktop's own ways to hold off suspend, on the session bus: the XDG
// desktop portal, GNOME's session manager and KDE's power management (whose
// interface other desktops took over too). Each answers an inhibit request with
// a handle, and the hold lasts until that handle is given back or our
// connection closes. Every call is asynchronous; none is waited for.

#include <systemd/sd-bus.h>

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace tavrelo::service {

// What a provider handed out: the portal's request object, or a cookie.
struct InhibitHandle {
  std::string path;
  std::uint32_t cookie = 0;
};

class InhibitProvider {
 public:
  virtual ~InhibitProvider() = default;
  // The well-known name that answers; also what the log calls it.
  virtual const char* busName() const = 0;
  // Asks for a hold against suspend, giving `why`; `done(reply, data)` gets the answer.
  virtual int ask(sd_bus* bus, sd_bus_slot** slot, const std::string& why,
                  sd_bus_message_handler_t done, void* data) = 0;
  // The handle in a successful answer; false when it holds none.
  virtual bool read(sd_bus_message* reply, InhibitHandle& handle) = 0;
  // Gives the handle back; the answer is not awaited.
  virtual int release(sd_bus* bus, const InhibitHandle& handle) = 0;
};

// The portal first, then GNOME's and KDE's interfaces: the order they are tried in.
std::vector<std::unique_ptr<InhibitProvider>> desktopInhibitProviders();

}  // namespace tavrelo::service
