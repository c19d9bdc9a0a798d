#include "tests/support/PrivateWorld.h"

#include <signal.h>
#include <stdlib.h>
#include <sys/prctl.h>
#include <sys/wait.h>

#include <cerrno>
#include <fstream>
#include <iterator>
#include <stdexcept>

namespace tavrelo::testing {

bool reaped(pid_t pid, int* status) {
  int s = 0;
  const pid_t got = ::waitpid(pid, &s, WNOHANG);
  if (got == pid && status != nullptr) *status = s;
  if (got < 0 && errno == ECHILD) return ::kill(pid, 0) != 0;  // not ours: gone or not
  return got == pid;
}

PrivateWorld::PrivateWorld(int tracks, int seconds, bool withSound, SoundServer kind)
    : PrivateWorld(testdisc::TestDiscLayout{.tracks = testdisc::plainTracks(tracks, seconds)},
                   withSound, kind) {}

PrivateWorld::PrivateWorld(const testdisc::TestDiscLayout& layout, bool withSound, SoundServer kind)
    : runtime(dir.path() / "xdg"), sound(kind) {
  // A service started detached becomes this process's child, to be waited for.
  ::prctl(PR_SET_CHILD_SUBREAPER, 1);
  std::filesystem::create_directory(runtime);
  std::filesystem::permissions(runtime, std::filesystem::perms::owner_all);
  disc = testdisc::writeDisc(dir.path() / "disc", layout);
  if (withSound && !sound.start()) throw std::runtime_error("no private sound server");
  setenv("XDG_RUNTIME_DIR", runtime.string());
  setenv("PULSE_SERVER", withSound ? sound.server() : "unix:" + dir.path().string() + "/no-server");
  setenv("TAVRELO2_DISC_IMAGES", disc.cue.string());
  // No bus unless a test brings its own: the user's desktop never sees a test's service.
  setenv("DBUS_SESSION_BUS_ADDRESS", "unix:path=" + dir.path().string() + "/no-bus");
  setenv("DBUS_SYSTEM_BUS_ADDRESS", "unix:path=" + dir.path().string() + "/no-bus");
  // Nor its settings or its cache, and no test reaches the Internet. The
  // window's question about looking titles up is answered: no.
  setenv("XDG_CONFIG_HOME", (dir.path() / "config").string());
  std::filesystem::create_directories(dir.path() / "config/tavrelo2");
  std::ofstream(dir.path() / "config/tavrelo2/tavrelo2.conf") << "[titles]\nonline=false\n";
  setenv("XDG_CACHE_HOME", (dir.path() / "cache").string());
  setenv("TAVRELO2_MUSICBRAINZ_URL", "http://127.0.0.1:9");
  setenv("TAVRELO2_COVERART_URL", "http://127.0.0.1:9");
  const char* path = std::getenv("PATH");
  setenv("PATH", std::string(TAVRELO_SERVICE_BIN_DIR) + ":" + (path ? path : "/usr/bin:/bin"));
}

PrivateWorld::~PrivateWorld() {
  stopService();
  while (!saved_.empty()) saved_.pop_back();  // the latest first
}

void PrivateWorld::setenv(const std::string& name, const std::string& value) {
  saved_.push_back(std::make_unique<test::ScopedEnv>(name, value));
}

std::string PrivateWorld::serviceLog() const {
  std::ifstream in(serviceFolder() / "drived.log");
  return std::string(std::istreambuf_iterator<char>(in), {});
}

pid_t PrivateWorld::servicePid() const {
  std::ifstream in(serviceFolder() / "drived.lock");
  long pid = 0;
  // A service run inside the test process writes the test's own pid.
  if (!(in >> pid) || pid <= 1 || pid == ::getpid() || ::kill(static_cast<pid_t>(pid), 0) != 0) {
    return 0;
  }
  return reaped(static_cast<pid_t>(pid)) ? 0 : static_cast<pid_t>(pid);
}

void PrivateWorld::stopService() {
  const pid_t pid = servicePid();
  if (pid <= 0) return;
  ::kill(pid, SIGTERM);
  if (!eventually([&] { return reaped(pid); })) {
    ::kill(pid, SIGKILL);
    eventually([&] { return reaped(pid); });
  }
}

}  // namespace tavrelo::testing
