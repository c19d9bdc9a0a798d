// Our physical drive code, libcdio and an emulated Linux CD-ROM drive: what
// a user sees of a drive, through the same system calls a real one gets.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdlib>

#include "platform/disc/PhysicalDrive.h"
#include "tests/disc/cdrom/EmulatedDrive.h"
#include "tests/service/ServiceHarness.h"

namespace tavrelo::cdrom {
namespace {

class EmulatedCdrom : public servicetest::ServiceHarness {
 protected:
  void SetUp() override {
    ServiceHarness::SetUp();
    ::setenv("TAVRELO_EMULATED_CDROM", folder_.c_str(), 1);
    drive_ = std::make_unique<EmulatedDrive>(folder_, "/dev/sr0",
                                             std::vector<std::string>{"/dev/cdrom"});
    drive_->insert(emulatedDisc(disc_));
  }
  void TearDown() override {
    EXPECT_EQ(drive_->unknownRequests(), std::vector<std::string>{});
    ServiceHarness::TearDown();
    ::unsetenv("TAVRELO_EMULATED_CDROM");
  }

  std::vector<std::uint8_t> expected(Lba lba, int count) const {
    std::vector<std::uint8_t> bytes(static_cast<std::size_t>(count) * disc::kSectorBytes);
    for (int i = 0; i < count; ++i)
      disc_.expectedSector(lba + i,
                           std::span(bytes).subspan(i * disc::kSectorBytes, disc::kSectorBytes));
    return bytes;
  }

  std::filesystem::path folder_ = dir_.path() / "drives";
  std::unique_ptr<EmulatedDrive> drive_;
};

TEST_F(EmulatedCdrom, TheDriveIsFoundOnceUnderItsAlias) {
  EXPECT_EQ(disc::listPhysicalDrives(), std::vector<std::string>{"/dev/cdrom"});
  drive_->denyAccess(true);  // libcdio skips what it can't open
  EXPECT_EQ(disc::listPhysicalDrives(), std::vector<std::string>{});
}

TEST_F(EmulatedCdrom, TocAndSamplesComeFromTheirAddresses) {
  testdisc::DiscSpec spec;
  spec.tracks = testdisc::plainTracks(2, 2);
  spec.tracks.insert(spec.tracks.begin(), testdisc::TrackSpec{150, 0, 0, 0, true});
  disc_ = testdisc::writeDisc(dir_.path() / "mixed", spec);
  drive_->insert(emulatedDisc(disc_));
  const auto source = disc::openPhysicalDrive("/dev/sr0");
  EXPECT_EQ(source->mediaState(), disc::MediaState::DiscPresent);
  const disc::Toc toc = source->readToc();
  EXPECT_EQ(toc, disc_.toc);
  ASSERT_FALSE(toc.tracks[0].audio);

  const Lba track2 = toc.tracks[1].start;
  std::vector<std::uint8_t> got(5 * disc::kSectorBytes);
  ASSERT_EQ(source->readAudio(track2 + 7, 3, got), 3);
  got.resize(3 * disc::kSectorBytes);
  EXPECT_EQ(got, expected(track2 + 7, 3));
  got.resize(5 * disc::kSectorBytes);
  ASSERT_EQ(source->readAudio(toc.leadOut - 2, 5, got), 2);  // clamped at the lead-out
  got.resize(2 * disc::kSectorBytes);
  EXPECT_EQ(got, expected(toc.leadOut - 2, 2));
  EXPECT_EQ(source->readAudio(toc.leadOut, 1, got), 0);
  EXPECT_THROW(source->readAudio(toc.tracks[0].start, 1, got), disc::DiscError);  // data
  EXPECT_EQ(drive_->readCommands(), 3);
}

TEST_F(EmulatedCdrom, TheTrayButtonIsSeen) {
  const auto source = disc::openPhysicalDrive("/dev/cdrom");
  ASSERT_EQ(source->mediaState(), disc::MediaState::DiscPresent);
  const auto generation = source->mediaGeneration();
  drive_->pressTrayButton();
  EXPECT_EQ(source->mediaState(), disc::MediaState::TrayOpen);
  EXPECT_NE(source->mediaGeneration(), generation);
  drive_->pressTrayButton();
  EXPECT_EQ(source->mediaState(), disc::MediaState::DiscPresent);
  EXPECT_EQ(source->readToc(), disc_.toc);
}

TEST_F(EmulatedCdrom, EjectFailsWhileAnotherProgramHoldsTheDrive) {
  const auto source = disc::openPhysicalDrive("/dev/sr0");
  source->readToc();  // libcdio's own descriptor is open too
  const int other = ::open("/dev/cdrom", O_RDONLY | O_NONBLOCK | O_CLOEXEC);
  ASSERT_GE(other, 0);
  try {
    source->eject();
    ADD_FAILURE() << "ejected";
  } catch (const disc::DiscError& e) {
    EXPECT_NE(std::string(e.what()).find("busy"), std::string::npos) << e.what();
  }
  EXPECT_FALSE(drive_->trayOpen());
  ::close(other);
  source->readToc();
  EXPECT_NO_THROW(source->eject());
  EXPECT_TRUE(drive_->trayOpen());
  EXPECT_EQ(source->mediaState(), disc::MediaState::TrayOpen);
}

// The preloaded emulation reaches the drive service that mcisend starts.
TEST_F(EmulatedCdrom, McisendPlaysAnEmulatedDrive) {
  std::string preload = "LD_PRELOAD=" TAVRELO_EMULATED_CDROM_LIBRARY;
  std::string asan = "ASAN_OPTIONS=verify_asan_link_order=0";  // ASan builds preload it later
  std::vector<char*> env{preload.data(), asan.data()};
  for (char** e = environ; *e != nullptr; ++e) env.push_back(*e);
  env.push_back(nullptr);
  std::string tool = TAVRELO_SERVICE_BIN_DIR "/mcisend";
  std::string open = "open D:\\ type cdaudio alias cd", count = "status cd number of tracks";
  char* argv[] = {tool.data(), open.data(), count.data(), nullptr};
  int out[2];
  ASSERT_EQ(::pipe(out), 0);
  const pid_t pid = ::fork();
  if (pid == 0) {
    ::dup2(out[1], 1);
    ::execve(argv[0], argv, env.data());
    ::_exit(127);
  }
  ::close(out[1]);
  std::string output;
  char buffer[256];
  for (ssize_t n; (n = ::read(out[0], buffer, sizeof buffer)) > 0;) output.append(buffer, n);
  ::close(out[0]);
  int status = 0;
  ::waitpid(pid, &status, 0);
  EXPECT_EQ(output, "1\n3\n");
  EXPECT_EQ(WEXITSTATUS(status), 0);
  EXPECT_TRUE(servicePid().has_value());  // it runs on, with the drive open
  EXPECT_GT(drive_->openDescriptors(), 0);
}

}  // namespace
}  // namespace tavrelo::cdrom
