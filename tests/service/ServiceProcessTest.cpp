#include <sys/stat.h>

#include <fstream>
#include <future>
#include <thread>
#include <variant>

#include "platform/service/DriveServer.h"
#include "platform/service/Packets.h"
#include "platform/service/RemoteCdDrive.h"
#include "tests/service/ServiceHarness.h"
#include "tests/support/FakeCdDrive.h"
#include "tests/support/ManualClock.h"

namespace tavrelo::servicetest {
namespace {

using drive::AudioStatus;
using drive::DriveError;
using service::DriveSource;
using service::RemoteCdDrive;

class ServiceProcess : public ServiceHarness {
 protected:
  DriveSource image() const { return {DriveSource::Kind::CueImage, disc_.cue.string()}; }
  drive::Lba start() const { return disc_.toc.tracks.front().start; }

  std::shared_ptr<RemoteCdDrive> openDrive() {
    auto drive = RemoteCdDrive::open(image());
    EXPECT_TRUE(drive->connected()) << drive->lastError() << "\n" << log();
    return drive;
  }

  // A raw connection for sending what no client would.
  service::Fd rawConnection() {
    int code = 0;
    std::string error;
    service::Fd fd = service::connectPacketSocket(socketPath(), code, error);
    EXPECT_TRUE(fd.valid()) << error;
    return fd;
  }

  service::Reply exchange(int fd, const service::Bytes& packet) {
    EXPECT_TRUE(service::sendPacket(fd, packet));
    return reply(fd);
  }
  service::Reply reply(int fd) {
    service::Bytes answer;
    EXPECT_EQ(service::receivePacket(fd, answer, 5000), service::Received::Packet);
    auto decoded = service::decodeReply(answer);
    EXPECT_TRUE(std::holds_alternative<service::Reply>(decoded));
    return std::holds_alternative<service::Reply>(decoded) ? std::get<service::Reply>(decoded)
                                                           : service::Reply{};
  }

  static service::Bytes hello() {
    service::Request r;
    r.op = service::Op::Hello;
    r.version = service::kProtocolVersion;
    return service::encode(r);
  }
};

// Two programs starting at once start one service; what one does to the
// drive the other sees, and the disc plays on after both have left.
TEST_F(ServiceProcess, ClientsShareOneServiceAndDriveThatPlaysOnAfterThemAll) {
  std::shared_ptr<RemoteCdDrive> first, second;
  std::thread other([&] { second = RemoteCdDrive::open(image()); });
  first = RemoteCdDrive::open(image());
  other.join();
  ASSERT_TRUE(first->connected()) << first->lastError();
  ASSERT_TRUE(second->connected()) << second->lastError();
  drive::Toc toc;
  ASSERT_EQ(second->readToc(toc), DriveError::None);
  EXPECT_EQ(toc, disc_.toc);

  ASSERT_EQ(first->play(start(), toc.leadOut), DriveError::None);
  EXPECT_TRUE(eventually([&] {
    const auto s = second->status();
    return s.audio == AudioStatus::Playing && s.position > start();
  }));
  const auto pid = servicePid();
  first.reset();  // one program quits, the other goes on
  EXPECT_EQ(second->pause(), DriveError::None);
  EXPECT_EQ(second->resume(), DriveError::None);
  second.reset();

  auto later = openDrive();
  const drive::Lba heard = later->status().position;
  EXPECT_EQ(later->status().audio, AudioStatus::Playing);
  EXPECT_TRUE(eventually([&] { return later->status().position > heard + 37; }));
  EXPECT_EQ(servicePid(), pid);

  // What the service leaves on disk is its user's alone: another user could
  // otherwise drive the discs, or read what was played from the log.
  const auto mode = [](const std::filesystem::path& path) {
    struct stat info {};
    return ::lstat(path.c_str(), &info) == 0 ? info.st_mode & 07777 : 07777;
  };
  EXPECT_EQ(mode(folder()), 0700u);
  EXPECT_EQ(mode(socketPath()), 0600u);
  EXPECT_EQ(mode(folder() / service::kLockName), 0600u);
  EXPECT_EQ(mode(folder() / service::kLogName), 0600u);
}

TEST_F(ServiceProcess, ALostOrMissingServiceMakesTheDriveUnavailableUntilTheNextOpen) {
  service::ServiceDrives drives;
  auto before = drives.drive(image());
  ASSERT_TRUE(before->connected()) << before->lastError();
  ASSERT_EQ(before->play(start(), disc_.toc.leadOut), DriveError::None);
  const pid_t pid = servicePid();
  ASSERT_GT(pid, 0);
  ::kill(pid, SIGKILL);
  ASSERT_TRUE(eventually([&] { return reaped(pid); }));
  EXPECT_FALSE(before->status().mediaPresent);
  EXPECT_EQ(before->play(start(), disc_.toc.leadOut), DriveError::Unavailable);
  EXPECT_FALSE(before->connected());
  EXPECT_NE(before->lastError().find("gone"), std::string::npos) << before->lastError();
  {
    test::ScopedEnv nowhere("PATH", "/nonexistent");
    auto lost = drives.drive(image());
    EXPECT_FALSE(lost->connected());
    EXPECT_NE(lost->lastError().find("tavrelo2-drived is neither next to"), std::string::npos)
        << lost->lastError();
    EXPECT_EQ(lost->play(start(), disc_.toc.leadOut), DriveError::Unavailable);
  }

  auto after = drives.drive(image());
  EXPECT_NE(after, before);
  ASSERT_TRUE(after->connected()) << after->lastError();
  EXPECT_EQ(after->play(start(), disc_.toc.leadOut), DriveError::None);
  EXPECT_NE(servicePid(), pid);
  EXPECT_EQ(drives.drive(image()), after);  // a live drive is kept
}

TEST_F(ServiceProcess, RunningOutOfDescriptorsNeitherSpinsNorEndsTheService) {
  const pid_t pid = startService({}, 32);
  ASSERT_TRUE(eventually([&] { return std::filesystem::exists(socketPath()); }));
  const auto openFiles = [&] {
    std::error_code ignored;
    const std::filesystem::directory_iterator fds("/proc/" + std::to_string(pid) + "/fd", ignored);
    return std::distance(fds, std::filesystem::directory_iterator());
  };
  // Counted while one client is being served: by then the service holds all
  // it keeps (the socket is there a moment before its wake counter is).
  std::int64_t calm = 0;
  {
    service::Fd one = rawConnection();
    ASSERT_EQ(exchange(one.get(), hello()).kind, service::ReplyKind::Hello);
    calm = openFiles() - 1;
  }
  // Connections until the backlog is full too: more than the service may open.
  std::vector<service::Fd> crowd;
  for (int refusals = 0; refusals < 50 && crowd.size() < 200;) {
    int code = 0;
    std::string error;
    service::Fd fd = service::connectPacketSocket(socketPath(), code, error);
    if (fd.valid()) {
      crowd.push_back(std::move(fd));
      refusals = 0;
      continue;
    }
    ASSERT_EQ(code, EAGAIN) << error;
    ++refusals;  // a full backlog: wait a little for the service to accept
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  EXPECT_GT(crowd.size(), 32u);
  std::this_thread::sleep_for(std::chrono::milliseconds(1000));
  // Each failed accept is logged: a loop spinning on the listener writes
  // thousands of lines a second, a resting one a few.
  const std::string text = log();
  int failures = 0;
  for (auto at = text.find("accept: Too many open files"); at != std::string::npos;
       at = text.find("accept: Too many open files", at + 1)) {
    ++failures;
  }
  EXPECT_GE(failures, 1);
  EXPECT_LT(failures, 20);

  crowd.clear();
  // Once it has let the crowd go (the sanitizers' own checks need descriptors
  // too), the service serves as before.
  EXPECT_TRUE(eventually([&] { return openFiles() <= calm; }, 15000));
  EXPECT_FALSE(reaped(pid));
  EXPECT_TRUE(openDrive()->status().mediaPresent);
}

TEST_F(ServiceProcess, BadPacketsAndOtherUsersAreRefusedAndTheServiceServesOn) {
  auto client = openDrive();
  const auto pid = servicePid();
  service::Fd raw = rawConnection();
  EXPECT_EQ(exchange(raw.get(), {0xde, 0xad}).failure.failure, service::Failure::UnknownType);
  EXPECT_EQ(exchange(raw.get(), service::Bytes(20000, 0x03)).failure.failure,
            service::Failure::Oversized);
  EXPECT_EQ(exchange(raw.get(), {0x03}).failure.failure, service::Failure::HelloFirst);

  // Another user reaching the socket: the folder check is the first line of
  // defence, the peer check the second, and this tests the second.
  if (::geteuid() == 0) {
    for (const auto& path : {dir_.path(), world_.runtime, folder()}) ::chmod(path.c_str(), 0711);
    ::chmod(socketPath().c_str(), 0666);
    const pid_t child = ::fork();
    if (child == 0) {
      constexpr uid_t kNobody = 65534;
      if (::setresgid(kNobody, kNobody, kNobody) != 0 ||
          ::setresuid(kNobody, kNobody, kNobody) != 0) {
        ::_exit(2);
      }
      // Refused on sight, before it says anything.
      ::_exit(reply(rawConnection().get()).failure.failure == service::Failure::Refused ? 0 : 1);
    }
    int status = 0;
    ASSERT_EQ(::waitpid(child, &status, 0), child);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << "2: setresuid, 1: not refused";
    EXPECT_NE(log().find("refused a client of uid 65534"), std::string::npos) << log();
  }
  EXPECT_TRUE(client->status().mediaPresent);
  EXPECT_EQ(servicePid(), pid);
}

TEST_F(ServiceProcess, TwoServicesStartedAtOnceEndWithOneAndALogPastAMegabyteStartsOver) {
  makeFolder();
  std::ofstream(folder() / service::kLogName) << std::string(2 << 20, 'x');
  const pid_t a = startService({});
  const pid_t b = startService({});
  int status = -1;
  pid_t loser = 0;
  ASSERT_TRUE(eventually([&] {
    if (reaped(a, &status)) loser = a;
    if (reaped(b, &status)) loser = b;
    return loser != 0;
  }));
  EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << status;
  const pid_t winner = loser == a ? b : a;
  EXPECT_TRUE(eventually([&] { return servicePid() == winner; }));
  EXPECT_TRUE(openDrive()->status().mediaPresent);
  EXPECT_EQ(servicePid(), winner);
  EXPECT_FALSE(reaped(winner));
  EXPECT_LT(std::filesystem::file_size(folder() / service::kLogName), 4096u);
  EXPECT_NE(log().find("log started over"), std::string::npos);
}

TEST_F(ServiceProcess, TheServiceEndsWhenIdleButNotWhileAClientIsConnectedOrADiscPlaysOrWaits) {
  const pid_t pid = startService({"--idle-exit-seconds", "1"});
  ASSERT_TRUE(eventually([&] { return std::filesystem::exists(socketPath()); }));
  auto client = openDrive();
  std::this_thread::sleep_for(std::chrono::milliseconds(1600));
  EXPECT_FALSE(reaped(pid)) << "ended with a client connected";

  // Paused, with nobody connected: the disc waits for its listener.
  ASSERT_EQ(client->play(start(), disc_.toc.leadOut), DriveError::None);
  ASSERT_EQ(client->pause(), DriveError::None);
  client.reset();
  std::this_thread::sleep_for(std::chrono::milliseconds(1600));
  EXPECT_FALSE(reaped(pid)) << "ended while a disc was paused";

  // The last two seconds of the disc, then nobody connected.
  client = openDrive();
  ASSERT_EQ(client->play(disc_.toc.leadOut - 150, disc_.toc.leadOut), DriveError::None);
  client.reset();
  std::this_thread::sleep_for(std::chrono::milliseconds(1300));
  EXPECT_FALSE(reaped(pid)) << "ended while a disc played";

  int status = -1;
  ASSERT_TRUE(eventually([&] { return reaped(pid, &status); }, 8000)) << log();
  ASSERT_TRUE(WIFEXITED(status));
  EXPECT_EQ(WEXITSTATUS(status), 0);
  EXPECT_FALSE(std::filesystem::exists(socketPath()));
  EXPECT_NE(log().find("idle for 1 s"), std::string::npos) << log();
}

TEST_F(ServiceProcess, ABrokenImageIsADriveWithNoDiscAndAMissingDeviceAClearError) {
  const auto sheet =
      testdisc::writeBrokenDisc(dir_.path() / "broken", testdisc::Breakage::NoTracks);
  auto broken = RemoteCdDrive::open({DriveSource::Kind::CueImage, sheet.string()});
  ASSERT_TRUE(broken->connected()) << broken->lastError();
  EXPECT_FALSE(broken->status().mediaPresent);
  EXPECT_EQ(broken->play(150, 300), DriveError::NoMedia);

  auto device = RemoteCdDrive::open({DriveSource::Kind::Device, "/dev/no-such-cd"});
  EXPECT_FALSE(device->connected());
  EXPECT_NE(device->lastError().find("/dev/no-such-cd"), std::string::npos) << device->lastError();
  EXPECT_EQ(device->stop(), DriveError::Unavailable);
}

// One drive that takes its time (a disc spinning up, a tray on its way) must
// not keep the service from answering anybody else.
TEST_F(ServiceProcess, AnOpenThatWaitsOnItsDiscHoldsUpNoOtherClient) {
  std::promise<void> release;
  const std::shared_future<void> released = release.get_future().share();
  testing::ManualClock clock;
  const disc::Toc toc{.tracks = {{.number = 1, .start = 150}}, .leadOut = 900};
  makeFolder();
  service::ServerOptions options;
  options.folder = folder();
  options.idleExitSeconds = 1;
  options.factory = [&](const DriveSource& source) {
    if (source.path.ends_with("slow.cue")) released.wait();
    return std::make_shared<testing::FakeCdDrive>(clock, toc);
  };
  std::thread service([&] { service::runDriveService(options); });
  ASSERT_TRUE(eventually([&] { return std::filesystem::exists(socketPath()); }));

  const service::ConnectOptions patient{.startTimeoutMs = 2500, .replyTimeoutMs = 3000};
  auto quick = RemoteCdDrive::open(
      {DriveSource::Kind::CueImage, (dir_.path() / "quick.cue").string()}, patient);
  ASSERT_TRUE(quick->connected()) << quick->lastError();
  std::shared_ptr<RemoteCdDrive> slow;
  std::thread opening([&] {
    slow = RemoteCdDrive::open({DriveSource::Kind::CueImage, (dir_.path() / "slow.cue").string()});
  });
  std::this_thread::sleep_for(std::chrono::milliseconds(100));  // its open is under way
  EXPECT_EQ(quick->play(150, 600), DriveError::None);
  EXPECT_EQ(quick->status().audio, AudioStatus::Playing);
  release.set_value();
  opening.join();
  EXPECT_TRUE(slow->connected()) << slow->lastError();
  EXPECT_EQ(quick->stop(), DriveError::None);
  quick.reset();
  slow.reset();
  service.join();  // idle once both are gone
}

}  // namespace
}  // namespace tavrelo::servicetest
