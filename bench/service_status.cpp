// "status cd position" through the drive service: the MCI session here, the
// drive in tavrelo2-drived, one packet each way per call. Runs against a
// private service in a temporary runtime folder, on a generated image,
// playing to the sound server PULSE_SERVER names (or to the wall clock).
#include <benchmark/benchmark.h>
#include <signal.h>
#include <stdlib.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdint>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <memory>

#include "platform/mci/MciSession.h"
#include "platform/service/RemoteCdDrive.h"
#include "platform/service/ServiceLauncher.h"
#include "platform/win32/ServiceDriveDirectory.h"
#include "tools/testdisc/TestDisc.h"

namespace {

using namespace tavrelo;

// A runtime folder and a disc of our own, and the service started in it.
struct World {
  std::filesystem::path root;
  testdisc::TestDisc disc;

  World() {
    char pattern[] = "/tmp/tavrelo-bench-XXXXXX";
    if (::mkdtemp(pattern) == nullptr) throw std::runtime_error("mkdtemp failed");
    root = pattern;
    std::filesystem::create_directory(root / "runtime");
    std::filesystem::permissions(root / "runtime", std::filesystem::perms::owner_all);
    ::setenv("XDG_RUNTIME_DIR", (root / "runtime").c_str(), 1);
    const char* path = std::getenv("PATH");
    ::setenv("PATH", (std::string(TAVRELO_SERVICE_BIN_DIR) + ":" + (path ? path : "")).c_str(), 1);
    testdisc::TestDiscLayout layout;
    layout.tracks = testdisc::plainTracks(10, 60);
    disc = testdisc::writeDisc(root / "disc", layout);
  }
  ~World() {
    std::ifstream lock(root / "runtime/tavrelo2" / service::kLockName);
    long pid = 0;
    if (lock >> pid && pid > 1) ::kill(static_cast<pid_t>(pid), SIGTERM);
    std::error_code ignored;
    std::filesystem::remove_all(root, ignored);
  }
};

World& world() {
  static World w;
  return w;
}

// A session with the image drive open and playing, as the program has it.
class PlayingSession {
 public:
  PlayingSession()
      : session_(std::make_shared<win32::ServiceDriveDirectory>(std::vector<win32::LogicalDrive>{
            {"C:\\", win32::kDriveFixed, {}},
            {"D:\\", win32::kDriveCdrom, world().disc.cue.string()}})) {
    ok_ = session_.send("open D:\\ type cdaudio alias cd shareable").code == 0 &&
          session_.send("set cd time format tmsf").code == 0 && session_.send("play cd").code == 0;
  }
  ~PlayingSession() {
    session_.send("stop cd");
    session_.closeAll();
  }
  PlayingSession(const PlayingSession&) = delete;
  PlayingSession& operator=(const PlayingSession&) = delete;

  bool ok() const { return ok_; }
  std::uint32_t send(const char* command, char* reply) {
    return session_.sendString(command, reply, kReplyLength, nullptr);
  }
  static constexpr unsigned kReplyLength = 255;

 private:
  mci::MciSession session_;
  bool ok_ = false;
};

// True when the session plays; otherwise the benchmark is skipped, saying why.
bool playing(const PlayingSession& session, benchmark::State& state) {
  if (session.ok()) return true;
  state.SkipWithError("cannot open and play the image drive through the service");
  return false;
}

void StatusPositionThroughService(benchmark::State& state) {
  PlayingSession session;
  if (!playing(session, state)) return;
  char reply[PlayingSession::kReplyLength];
  for (auto _ : state) {
    benchmark::DoNotOptimize(session.send("status cd position", reply));
    benchmark::DoNotOptimize(reply);
  }
}
BENCHMARK(StatusPositionThroughService)->UseRealTime()->Repetitions(5)->ReportAggregatesOnly(true);

// What one status tick of the player's timer sends while a disc is in: the
// media query, then the position. The CPU column is the program's share.
void TimerTickThroughService(benchmark::State& state) {
  PlayingSession session;
  if (!playing(session, state)) return;
  char reply[PlayingSession::kReplyLength];
  for (auto _ : state) {
    session.send("status cd media present", reply);
    if (std::strncmp(reply, "true", 4) == 0) session.send("status cd position", reply);
    benchmark::DoNotOptimize(reply);
  }
}
BENCHMARK(TimerTickThroughService)->UseRealTime()->Repetitions(5)->ReportAggregatesOnly(true);

void DriveStatusRoundTrip(benchmark::State& state) {
  World& w = world();
  auto drive = service::RemoteCdDrive::open({service::DriveSource::Kind::CueImage, w.disc.cue});
  if (!drive->connected()) {
    state.SkipWithError(drive->lastError().c_str());
    return;
  }
  for (auto _ : state) benchmark::DoNotOptimize(drive->status());
}
BENCHMARK(DriveStatusRoundTrip)->UseRealTime()->Repetitions(5)->ReportAggregatesOnly(true);

// The floor under both: one 1-byte packet each way between two processes
// over a SOCK_SEQPACKET pair, with an echo child that does nothing else.
void SeqpacketPingPongFloor(benchmark::State& state) {
  int pair[2];
  if (::socketpair(AF_UNIX, SOCK_SEQPACKET, 0, pair) != 0) {
    state.SkipWithError("socketpair failed");
    return;
  }
  const pid_t echo = ::fork();
  if (echo == 0) {
    ::close(pair[0]);
    char byte = 0;
    while (::recv(pair[1], &byte, 1, 0) == 1 && ::send(pair[1], &byte, 1, 0) == 1) {
    }
    ::_exit(0);
  }
  ::close(pair[1]);
  char byte = 1;
  for (auto _ : state) {
    if (::send(pair[0], &byte, 1, 0) != 1 || ::recv(pair[0], &byte, 1, 0) != 1) {
      state.SkipWithError("echo failed");
      break;
    }
  }
  ::close(pair[0]);
  ::waitpid(echo, nullptr, 0);
}
BENCHMARK(SeqpacketPingPongFloor)->UseRealTime()->Repetitions(5)->ReportAggregatesOnly(true);

}  // namespace

BENCHMARK_MAIN();
