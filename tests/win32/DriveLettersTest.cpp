#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "platform/win32/LogicalDrives.h"
#include "platform/win32/Win32Api.h"

namespace {

using tavrelo::win32::buildDriveTable;
using tavrelo::win32::kDriveCdrom;
using tavrelo::win32::kDriveFixed;
using tavrelo::win32::LogicalDrive;

TEST(DriveTableTest, RootThenPhysicalDrivesThenImagesInOrder) {
  std::vector<std::string> warnings;
  const auto table = buildDriveTable({"/dev/sr0", "/dev/sr1"}, "/a/one.cue::/b/two.cue:", warnings);
  const std::vector<LogicalDrive> expected{{"C:\\", kDriveFixed, ""},
                                           {"D:\\", kDriveCdrom, "/dev/sr0"},
                                           {"E:\\", kDriveCdrom, "/dev/sr1"},
                                           {"F:\\", kDriveCdrom, "/a/one.cue"},
                                           {"G:\\", kDriveCdrom, "/b/two.cue"}};
  EXPECT_EQ(table, expected);
  EXPECT_TRUE(warnings.empty());
  EXPECT_EQ(buildDriveTable({}, "", warnings).size(), 1u);
}

TEST(DriveTableTest, LettersStopAtZAndWhatDoesNotFitIsNamed) {
  std::string images;
  for (int i = 0; i < 25; ++i) images += "/d/" + std::to_string(i) + ".cue:";
  std::vector<std::string> warnings;
  const auto table = buildDriveTable({"/dev/sr0"}, images, warnings);
  ASSERT_EQ(table.size(), 24u);  // C: to Z:
  EXPECT_EQ(table.back().root, "Z:\\");
  EXPECT_EQ(table.back().source, "/d/21.cue");
  ASSERT_EQ(warnings.size(), 3u);
  EXPECT_NE(warnings[0].find("/d/22.cue"), std::string::npos);
}

class DriveStringsTest : public ::testing::Test {
 protected:
  void SetUp() override { tavrelo::win32::setLogicalDrivesForTesting(&table); }
  void TearDown() override { tavrelo::win32::setLogicalDrivesForTesting(nullptr); }
  std::vector<LogicalDrive> table{
      {"C:\\", kDriveFixed, ""}, {"D:\\", kDriveCdrom, "/dev/sr0"}, {"e:\\", kDriveCdrom, "x.cue"}};
};

TEST_F(DriveStringsTest, ListIsNulSeparatedAndCountsWithoutTheFinalNul) {
  char buffer[64];
  std::memset(buffer, '#', sizeof buffer);
  const DWORD count = GetLogicalDriveStringsA(sizeof buffer, buffer);
  EXPECT_EQ(count, 12u);
  EXPECT_EQ(std::string(buffer, 13), std::string("C:\\\0D:\\\0e:\\\0\0", 13));
  EXPECT_EQ(buffer[13], '#');
}

TEST_F(DriveStringsTest, ATooSmallBufferGetsTheSizeNeededAndNothingWritten) {
  char buffer[12];
  std::memset(buffer, '#', sizeof buffer);
  EXPECT_EQ(GetLogicalDriveStringsA(sizeof buffer, buffer), 13u);
  EXPECT_EQ(std::string(buffer, sizeof buffer), std::string(12, '#'));
  EXPECT_EQ(GetLogicalDriveStringsA(0, nullptr), 13u);
  EXPECT_EQ(GetLogicalDriveStringsA(64, nullptr), 13u);
  char exact[13];
  EXPECT_EQ(GetLogicalDriveStringsA(sizeof exact, exact), 12u);
}

TEST_F(DriveStringsTest, DriveTypesIgnoreTheLettersCase) {
  EXPECT_EQ(GetDriveTypeA("C:\\"), 3u);
  EXPECT_EQ(GetDriveTypeA("d:\\"), 5u);
  EXPECT_EQ(GetDriveTypeA("E:\\"), 5u);
  for (const char* other : {"F:\\", "", "D:", "D:\\\\", "CD", "C:\\x"}) {
    EXPECT_EQ(GetDriveTypeA(other), 1u) << other;
  }
  EXPECT_EQ(GetDriveTypeA(nullptr), 1u);
}

}  // namespace
