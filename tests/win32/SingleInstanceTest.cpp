#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <string>

#include "platform/os/LockFile.h"
#include "platform/win32/SingleInstance.h"
#include "tests/support/TempDir.h"

namespace {

namespace fs = std::filesystem;
using tavrelo::os::lockFile;
using tavrelo::os::LockOutcome;

// The lock alone; that a second program ends silently while the first runs
// is shown on the real program by the fault matrix.
class RuntimeDirTest : public ::testing::Test {
 protected:
  static unsigned mode(const fs::path& path) {
    struct stat info {};
    ::lstat(path.c_str(), &info);
    return info.st_mode & 07777;
  }
  tavrelo::test::TempDir dir;
  const fs::path root = dir.path();
};

TEST_F(RuntimeDirTest, TheLockIsHeldOnceAndFreedWithItsOwner) {
  const fs::path file = root / "instance.lock";
  std::string error;
  tavrelo::os::Fd first;
  ASSERT_EQ(lockFile(file, first, error), LockOutcome::Taken) << error;
  tavrelo::os::Fd second;
  EXPECT_EQ(lockFile(file, second, error), LockOutcome::HeldElsewhere);
  EXPECT_FALSE(second.valid());
  first.reset();
  EXPECT_EQ(lockFile(file, second, error), LockOutcome::Taken);
  EXPECT_EQ(mode(file), 0600u);
}

TEST_F(RuntimeDirTest, ALockFileThatIsASymlinkOrMissingFolderFails) {
  const fs::path target = root / "elsewhere";
  fs::create_symlink(target, root / "instance.lock");
  std::string error;
  tavrelo::os::Fd lock;
  EXPECT_EQ(lockFile(root / "instance.lock", lock, error), LockOutcome::Failed);
  EXPECT_FALSE(error.empty());
  EXPECT_FALSE(fs::exists(target));
  EXPECT_EQ(lockFile(root / "no" / "such.lock", lock, error), LockOutcome::Failed);
}

}  // namespace
