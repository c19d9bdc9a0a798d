// make-test-disc from the outside: its options reach the disc it writes.
#include <gtest/gtest.h>
#include <sys/wait.h>

#include <cstdlib>

#include "platform/disc/CueImage.h"
#include "tests/disc/TempDir.h"

namespace tavrelo::disc {
namespace {

int runTool(const std::string& arguments) {
  const std::string command =
      std::string(TAVRELO_MAKE_TEST_DISC) + " " + arguments + " >/dev/null 2>&1";
  const int status = std::system(command.c_str());
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

TEST(MakeTestDiscTool, WritesTheDiscItsOptionsDescribe) {
  test::TempDir dir;
  const auto cue = dir.path() / "tool.cue";
  ASSERT_EQ(runTool("--tracks 4 --seconds 2 --format flac --pregap 10 --index0 5 --data '" +
                    cue.string() + "'"),
            0);
  const auto image = CueImage::open(cue);
  const Toc toc = image->readToc();
  ASSERT_EQ(toc.tracks.size(), 5u);
  EXPECT_EQ(toc.tracks[0].start, 150);
  EXPECT_EQ(toc.tracks[1].start, 150 + 150 + 10 + 5);
  EXPECT_TRUE(toc.tracks[3].audio);
  EXPECT_FALSE(toc.tracks[4].audio);
  EXPECT_TRUE(std::filesystem::exists(dir.path() / "tool-01.flac"));
}

TEST(MakeTestDiscTool, RefusesBadArgumentsWithUsageCode) {
  test::TempDir dir;
  const std::string out = "'" + (dir.path() / "x.cue").string() + "'";
  EXPECT_EQ(runTool("--tracks 0 " + out), 2);
  EXPECT_EQ(runTool("--tracks 3x " + out), 2);
  EXPECT_EQ(runTool("--format ogg " + out), 2);
  EXPECT_EQ(runTool("--seconds"), 2);
  EXPECT_EQ(runTool("'" + (dir.path() / "x.txt").string() + "'"), 2);
  EXPECT_FALSE(std::filesystem::exists(dir.path() / "x.cue"));
}

}  // namespace
}  // namespace tavrelo::disc
