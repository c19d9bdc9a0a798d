// From a disc's TOC to its titles on the desktop's bus: the real drive
// service on a private session bus, looking the disc up on the stand-in web
// server (tests/support/web-stand-in.py, answering at once), then again from
// its cache. Each round takes the disc out and puts it back through the MCI
// strings and times from the "closed" reply to the first MPRIS Metadata
// naming the first track. Goals: 50 ms through the server, 10 ms from the cache.
//
//   titles_latency [ROUNDS]   (default 10; a server round waits out the
//                              service's one request a second)

#include <signal.h>
#include <stdlib.h>
#include <systemd/sd-bus.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <string>
#include <thread>
#include <vector>

#include "platform/mci/MciSession.h"
#include "platform/service/ServiceLauncher.h"
#include "platform/win32/ServiceDriveDirectory.h"
#include "tests/support/Shell.h"
#include "tools/testdisc/TestDisc.h"

namespace {

using namespace tavrelo;
using Clock = std::chrono::steady_clock;

// xesam:title of the player's Metadata; empty when there is none yet.
std::string shownTitle(sd_bus* bus) {
  sd_bus_message* reply = nullptr;
  std::string title;
  if (sd_bus_get_property(bus, "org.mpris.MediaPlayer2.tavrelo2", "/org/mpris/MediaPlayer2",
                          "org.mpris.MediaPlayer2.Player", "Metadata", nullptr, &reply,
                          "a{sv}") < 0) {
    return title;
  }
  if (sd_bus_message_enter_container(reply, 'a', "{sv}") > 0) {
    while (sd_bus_message_enter_container(reply, 'e', "sv") > 0) {
      const char* key = nullptr;
      sd_bus_message_read(reply, "s", &key);
      if (key != nullptr && std::string(key) == "xesam:title") {
        const char* value = nullptr;
        if (sd_bus_message_read(reply, "v", "s", &value) >= 0 && value != nullptr) title = value;
      } else {
        sd_bus_message_skip(reply, "v");
      }
      sd_bus_message_exit_container(reply);
    }
  }
  sd_bus_message_unref(reply);
  return title;
}

double median(std::vector<double> values) {
  std::sort(values.begin(), values.end());
  return values.empty() ? 0 : values[values.size() / 2];
}

}  // namespace

int main(int argc, char** argv) {
  const int rounds = argc > 1 ? std::max(1, std::atoi(argv[1])) : 10;
  char pattern[] = "/tmp/tavrelo-titles-bench-XXXXXX";
  if (::mkdtemp(pattern) == nullptr) return 1;
  const std::filesystem::path root = pattern;
  for (const char* folder : {"runtime", "config/tavrelo2", "cache", "web/ws/2"}) {
    std::filesystem::create_directories(root / folder);
  }
  std::filesystem::permissions(root / "runtime", std::filesystem::perms::owner_all);
  std::ofstream(root / "config/tavrelo2/tavrelo2.conf") << "[titles]\nonline=true\n";
  std::filesystem::copy_file(std::string(TAVRELO_REPLIES) + "/two-discs.json",
                             root / "web/disc.json");
  std::ofstream(root / "web/rules.json") << R"([{"path": "/ws/2/discid/*", "file": "disc.json"}])";
  testdisc::TestDiscLayout layout;
  layout.tracks = testdisc::plainTracks(3, 60);
  const auto disc = testdisc::writeDisc(root / "disc", layout);

  const std::string bus =
      test::shell("dbus-daemon --session --fork --print-address=1 --print-pid=1");
  const std::string address = bus.substr(0, bus.find('\n'));
  const pid_t busPid = std::atoi(bus.substr(bus.find('\n') + 1).c_str());
  const pid_t web = ::fork();
  if (web == 0) {
    ::execl("/usr/bin/python3", "python3", TAVRELO_WEB_STAND_IN, (root / "web").c_str(), nullptr);
    ::_exit(127);
  }
  while (!std::filesystem::exists(root / "web/port")) {
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  std::string port;
  std::ifstream(root / "web/port") >> port;
  const char* path = std::getenv("PATH");
  for (const auto& [name, value] : std::vector<std::pair<const char*, std::string>>{
           {"XDG_RUNTIME_DIR", (root / "runtime").string()},
           {"XDG_CONFIG_HOME", (root / "config").string()},
           {"XDG_CACHE_HOME", (root / "cache").string()},
           {"DBUS_SESSION_BUS_ADDRESS", address},
           {"DBUS_SYSTEM_BUS_ADDRESS", "unix:path=" + (root / "no-bus").string()},
           {"PULSE_SERVER", "unix:" + (root / "no-sound").string()},
           {"TAVRELO2_MUSICBRAINZ_URL", "http://127.0.0.1:" + port},
           {"TAVRELO2_COVERART_URL", "http://127.0.0.1:" + port},
           {"PATH", std::string(TAVRELO_SERVICE_BIN_DIR) + ":" + (path ? path : "")}}) {
    ::setenv(name, value.c_str(), 1);
  }

  mci::MciSession session(
      std::make_shared<win32::ServiceDriveDirectory>(std::vector<win32::LogicalDrive>{
          {"C:\\", win32::kDriveFixed, {}}, {"D:\\", win32::kDriveCdrom, disc.cue.string()}}));
  sd_bus* client = nullptr;
  int status = session.send("open D:\\ type cdaudio alias cd shareable").code;
  if (status == 0) status = sd_bus_open_user(&client) < 0 ? 1 : 0;
  std::vector<double> server;
  std::vector<double> cache;
  const std::string expected = "L’Hymne (en public)";
  for (int round = 0; status == 0 && round < 2 * rounds; ++round) {
    const bool fromCache = round % 2 == 1;  // the server's answer, then the cache's
    if (!fromCache) {
      std::filesystem::remove_all(root / "cache/tavrelo2");
      std::this_thread::sleep_for(std::chrono::milliseconds(1100));  // one request a second
    }
    session.send("set cd door open wait");
    while (shownTitle(client) == expected)
      std::this_thread::sleep_for(std::chrono::microseconds(200));
    session.send("set cd door closed wait");
    const auto start = Clock::now();
    while (shownTitle(client) != expected) {
      if (Clock::now() - start > std::chrono::seconds(5)) {
        std::cerr << "titles_latency: no titles within 5 s\n";
        status = 1;
        break;
      }
      std::this_thread::sleep_for(std::chrono::microseconds(200));
    }
    const double ms = std::chrono::duration<double, std::milli>(Clock::now() - start).count();
    (fromCache ? cache : server).push_back(ms);
  }
  if (status == 0) {
    std::printf(
        "TOC to titles on the bus, %d rounds each (ms): server median %.1f max %.1f "
        "(goal 50); cache median %.1f max %.1f (goal 10)\n",
        rounds, median(server), *std::max_element(server.begin(), server.end()), median(cache),
        *std::max_element(cache.begin(), cache.end()));
  } else {
    std::cerr << "titles_latency: the service could not be set up (see "
              << (root / "runtime/tavrelo2" / service::kLogName) << ")\n";
  }
  session.closeAll();
  if (client != nullptr) sd_bus_flush_close_unref(client);
  std::ifstream lock(root / "runtime/tavrelo2" / service::kLockName);
  long pid = 0;
  if (lock >> pid && pid > 1) ::kill(static_cast<pid_t>(pid), SIGTERM);
  ::kill(web, SIGKILL);
  if (busPid > 1) ::kill(busPid, SIGTERM);
  std::this_thread::sleep_for(std::chrono::milliseconds(300));
  std::error_code ignored;
  std::filesystem::remove_all(root, ignored);
  return status;
}
