#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <string>

#include "platform/win32/SingleInstance.h"
#include "tests/support/TempDir.h"

namespace {

namespace fs = std::filesystem;
using tavrelo::win32::InstanceLock;

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
  std::optional<InstanceLock> first;
  ASSERT_EQ(InstanceLock::tryAcquire(file, first, error), InstanceLock::Outcome::Acquired) << error;
  std::optional<InstanceLock> second;
  EXPECT_EQ(InstanceLock::tryAcquire(file, second, error), InstanceLock::Outcome::HeldElsewhere);
  EXPECT_FALSE(second.has_value());
  first.reset();
  EXPECT_EQ(InstanceLock::tryAcquire(file, second, error), InstanceLock::Outcome::Acquired);
  EXPECT_EQ(mode(file), 0600u);
}

TEST_F(RuntimeDirTest, ALockFileThatIsASymlinkOrMissingFolderFails) {
  const fs::path target = root / "elsewhere";
  fs::create_symlink(target, root / "instance.lock");
  std::string error;
  std::optional<InstanceLock> lock;
  EXPECT_EQ(InstanceLock::tryAcquire(root / "instance.lock", lock, error),
            InstanceLock::Outcome::Failed);
  EXPECT_FALSE(error.empty());
  EXPECT_FALSE(fs::exists(target));
  EXPECT_EQ(InstanceLock::tryAcquire(root / "no" / "such.lock", lock, error),
            InstanceLock::Outcome::Failed);
}

}  // namespace
