// Physical drives: what can be checked with no drive attached.
#include <gtest/gtest.h>
#include <unistd.h>

#include <fstream>

#include "platform/disc/PhysicalDrive.h"
#include "platform/os/Log.h"
#include "tests/support/TempDir.h"

namespace tavrelo::disc {
namespace {

TEST(PhysicalDrives, OneDeviceUnderSeveralNamesIsListedOnce) {
  test::TempDir dir;
  const auto sr0 = dir.path() / "sr0";
  std::ofstream(sr0) << "x";
  std::filesystem::create_symlink(sr0, dir.path() / "cdrom");
  std::ofstream(dir.path() / "sr1") << "y";
  std::vector<std::string> logged;
  os::setLogSink([&](const std::string& line) { logged.push_back(line); });
  const auto drives =
      distinctDevices({(dir.path() / "cdrom").string(), sr0.string(),
                       (dir.path() / "gone").string(), (dir.path() / "sr1").string()});
  os::setLogSink({});
  EXPECT_EQ(drives, (std::vector<std::string>{(dir.path() / "cdrom").string(),
                                              (dir.path() / "sr1").string()}));
  ASSERT_EQ(logged.size(), 1u);
  EXPECT_NE(logged[0].find("gone"), std::string::npos) << logged[0];
}

TEST(PhysicalDrives, CharacterDevicesCompareByDeviceNumber) {
  // /dev/null and a second name for it are one device.
  test::TempDir dir;
  std::filesystem::create_symlink("/dev/null", dir.path() / "null2");
  EXPECT_EQ(distinctDevices({"/dev/null", (dir.path() / "null2").string(), "/dev/zero"}),
            (std::vector<std::string>{"/dev/null", "/dev/zero"}));
}

TEST(PhysicalDrives, EnumerationOnThisMachineNeverFails) {
  std::vector<std::string> drives;
  ASSERT_NO_THROW(drives = listPhysicalDrives());
  for (const std::string& drive : drives) {
    EXPECT_EQ(std::count(drives.begin(), drives.end(), drive), 1) << drive;
  }
  if (!std::filesystem::exists("/dev/sr0") && !std::filesystem::exists("/dev/cdrom")) {
    EXPECT_TRUE(drives.empty());
  }
}

TEST(PhysicalDrives, OpeningWhatIsNoCdDriveIsAnError) {
  try {
    openPhysicalDrive("/dev/null");
    ADD_FAILURE() << "opened";
  } catch (const DiscError& e) {
    EXPECT_STREQ(e.what(), "/dev/null is not a CD drive");
  }
}

TEST(PhysicalDrives, OpeningAMissingDeviceIsAnError) {
  try {
    openPhysicalDrive("/dev/no-such-cd-drive");
    ADD_FAILURE() << "opened";
  } catch (const DiscError& e) {
    EXPECT_NE(std::string(e.what()).find("/dev/no-such-cd-drive"), std::string::npos);
  }
}

}  // namespace
}  // namespace tavrelo::disc
