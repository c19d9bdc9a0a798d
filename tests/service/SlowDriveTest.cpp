// One drive that takes its time (a disc spinning up, a tray on its way) must
// not keep the service from answering anybody else.
#include <gtest/gtest.h>

#include <future>
#include <thread>

#include "platform/service/DriveServer.h"
#include "platform/service/RemoteCdDrive.h"
#include "tests/service/ServiceHarness.h"
#include "tests/support/FakeCdDrive.h"
#include "tests/support/ManualClock.h"

namespace tavrelo::servicetest {
namespace {

class SlowDrive : public ServiceHarness {};

TEST_F(SlowDrive, AnOpenThatWaitsOnItsDiscHoldsUpNoOtherClient) {
  std::promise<void> release;
  const std::shared_future<void> released = release.get_future().share();
  testing::ManualClock clock;
  disc::Toc toc;
  toc.tracks = {{.number = 1, .start = 150}};
  toc.leadOut = 900;
  service::ServerOptions options;
  options.folder = folder();
  std::filesystem::create_directory(folder());
  std::filesystem::permissions(folder(), std::filesystem::perms::owner_all);
  options.idleExitSeconds = 1;
  options.factory = [&](const service::DriveSource& source) {
    if (source.path.ends_with("slow.cue")) released.wait();
    return std::make_shared<testing::FakeCdDrive>(clock, toc);
  };
  std::thread service([&] { service::runDriveService(options); });
  ASSERT_TRUE(eventually([&] { return std::filesystem::exists(socketPath()); }));

  const service::ConnectOptions patient{.startTimeoutMs = 2500, .replyTimeoutMs = 3000};
  auto quick = service::RemoteCdDrive::open(
      {service::DriveSource::Kind::CueImage, (dir_.path() / "quick.cue").string()}, patient);
  ASSERT_TRUE(quick->connected()) << quick->lastError();
  std::shared_ptr<service::RemoteCdDrive> slow;
  std::thread opening([&] {
    slow = service::RemoteCdDrive::open(
        {service::DriveSource::Kind::CueImage, (dir_.path() / "slow.cue").string()});
  });
  std::this_thread::sleep_for(std::chrono::milliseconds(100));  // its open is under way
  EXPECT_EQ(quick->play(150, 600), drive::DriveError::None);
  EXPECT_EQ(quick->status().audio, drive::AudioStatus::Playing);
  EXPECT_TRUE(quick->connected()) << quick->lastError();
  release.set_value();
  opening.join();
  EXPECT_TRUE(slow->connected()) << slow->lastError();
  EXPECT_EQ(quick->stop(), drive::DriveError::None);
  quick.reset();
  slow.reset();
  service.join();  // idle once both are gone
}

}  // namespace
}  // namespace tavrelo::servicetest
