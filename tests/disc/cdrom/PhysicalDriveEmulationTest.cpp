// Our physical drive code, libcdio and an emulated Linux CD-ROM drive: what
// a user sees of a drive, through the same system calls a real one gets.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdio>
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
  // ASan builds load their runtime after the preloaded emulation.
  const std::string command = "LD_PRELOAD=" TAVRELO_EMULATED_CDROM_LIBRARY
                              " ASAN_OPTIONS=verify_asan_link_order=0 " TAVRELO_SERVICE_BIN_DIR
                              "/mcisend 'open D:\\ type cdaudio alias cd' "
                              "'status cd number of tracks'";
  FILE* tool = ::popen(command.c_str(), "r");
  ASSERT_NE(tool, nullptr);
  std::string output(64, '\0');
  output.resize(std::fread(output.data(), 1, output.size(), tool));
  EXPECT_EQ(::pclose(tool), 0);
  EXPECT_EQ(output, "1\n3\n");
  EXPECT_TRUE(servicePid().has_value());  // it runs on, with the drive open
  EXPECT_GT(drive_->openDescriptors(), 0);
}

}  // namespace
}  // namespace tavrelo::cdrom
