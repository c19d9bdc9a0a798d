#include "platform/service/InhibitProvider.h"

namespace tavrelo::service {
namespace {

constexpr const char* kAppId = "tavrelo2";
// The suspend bit of the portal's and GNOME's flags; logout, user switch and
// idle (which would keep the screen from locking) are left alone.
constexpr std::uint32_t kSuspend = 4;

// org.freedesktop.portal.Inhibit: the hold is a Request object, closed to end it.
class Portal final : public InhibitProvider {
 public:
  const char* busName() const override { return "org.freedesktop.portal.Desktop"; }

  int ask(sd_bus* bus, sd_bus_slot** slot, const std::string& why, sd_bus_message_handler_t done,
          void* data) override {
    // Not a window's: the service holds it with or without one.
    return sd_bus_call_method_async(bus, slot, busName(), "/org/freedesktop/portal/desktop",
                                    "org.freedesktop.portal.Inhibit", "Inhibit", done, data,
                                    "sua{sv}", "", kSuspend, 1, "reason", "s", why.c_str());
  }

  bool read(sd_bus_message* reply, InhibitHandle& handle) override {
    const char* path = nullptr;
    if (sd_bus_message_read(reply, "o", &path) < 0 || path == nullptr) return false;
    handle.path = path;
    return true;
  }

  int release(sd_bus* bus, const InhibitHandle& handle) override {
    return sd_bus_call_method_async(bus, nullptr, busName(), handle.path.c_str(),
                                    "org.freedesktop.portal.Request", "Close", nullptr, nullptr,
                                    "");
  }
};

class Gnome final : public InhibitProvider {
 public:
  const char* busName() const override { return "org.gnome.SessionManager"; }

  int ask(sd_bus* bus, sd_bus_slot** slot, const std::string& why, sd_bus_message_handler_t done,
          void* data) override {
    return sd_bus_call_method_async(bus, slot, busName(), "/org/gnome/SessionManager",
                                    "org.gnome.SessionManager", "Inhibit", done, data, "susu",
                                    kAppId, 0u /* no X11 window */, why.c_str(), kSuspend);
  }

  bool read(sd_bus_message* reply, InhibitHandle& handle) override {
    return sd_bus_message_read(reply, "u", &handle.cookie) >= 0;
  }

  int release(sd_bus* bus, const InhibitHandle& handle) override {
    return sd_bus_call_method_async(bus, nullptr, busName(), "/org/gnome/SessionManager",
                                    "org.gnome.SessionManager", "Uninhibit", nullptr, nullptr, "u",
                                    handle.cookie);
  }
};

// KDE's PowerDevil (and other desktops') org.freedesktop.PowerManagement.Inhibit,
// which holds off suspend only.
class PowerManagement final : public InhibitProvider {
 public:
  const char* busName() const override { return "org.freedesktop.PowerManagement"; }

  int ask(sd_bus* bus, sd_bus_slot** slot, const std::string& why, sd_bus_message_handler_t done,
          void* data) override {
    return sd_bus_call_method_async(bus, slot, busName(), kPath, kInterface, "Inhibit", done, data,
                                    "ss", kAppId, why.c_str());
  }

  bool read(sd_bus_message* reply, InhibitHandle& handle) override {
    return sd_bus_message_read(reply, "u", &handle.cookie) >= 0;
  }

  int release(sd_bus* bus, const InhibitHandle& handle) override {
    return sd_bus_call_method_async(bus, nullptr, busName(), kPath, kInterface, "UnInhibit",
                                    nullptr, nullptr, "u", handle.cookie);
  }

 private:
  static constexpr const char* kPath = "/org/freedesktop/PowerManagement/Inhibit";
  static constexpr const char* kInterface = "org.freedesktop.PowerManagement.Inhibit";
};

}  // namespace

std::vector<std::unique_ptr<InhibitProvider>> desktopInhibitProviders() {
  std::vector<std::unique_ptr<InhibitProvider>> providers;
  providers.push_back(std::make_unique<Portal>());
  providers.push_back(std::make_unique<Gnome>());
  providers.push_back(std::make_unique<PowerManagement>());
  return providers;
}

}  // namespace tavrelo::service
