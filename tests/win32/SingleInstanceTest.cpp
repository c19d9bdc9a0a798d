#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QProcess>
#include <QTest>
#include <cstdlib>
#include <filesystem>
#include <string>

#include "platform/os/LockFile.h"
#include "platform/win32/SingleInstance.h"

namespace {

namespace fs = std::filesystem;
using tavrelo::os::lockFile;
using tavrelo::os::LockOutcome;

// A private XDG_RUNTIME_DIR for one test, restored afterwards.
class RuntimeDirTest : public ::testing::Test {
 protected:
  void SetUp() override {
    std::string pattern = (fs::temp_directory_path() / "tavrelo2-test-XXXXXX").string();
    ASSERT_NE(::mkdtemp(pattern.data()), nullptr);
    root = pattern;
    const char* old = std::getenv("XDG_RUNTIME_DIR");
    if (old != nullptr) oldRuntime = old;
    hadRuntime = old != nullptr;
    ::setenv("XDG_RUNTIME_DIR", root.c_str(), 1);
  }
  void TearDown() override {
    if (hadRuntime) {
      ::setenv("XDG_RUNTIME_DIR", oldRuntime.c_str(), 1);
    } else {
      ::unsetenv("XDG_RUNTIME_DIR");
    }
    std::error_code ignored;
    fs::permissions(root / "tavrelo2", fs::perms::owner_all, ignored);
    fs::remove_all(root, ignored);
  }
  static unsigned mode(const fs::path& path) {
    struct stat info {};
    ::lstat(path.c_str(), &info);
    return info.st_mode & 07777;
  }

  fs::path root;
  std::string oldRuntime;
  bool hadRuntime = false;
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

// The real program, twice: the second start ends at once, silently, and the
// first one goes on.
TEST_F(RuntimeDirTest, ASecondProgramEndsSilentlyWhileTheFirstRuns) {
  QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
  environment.insert("XDG_RUNTIME_DIR", QString::fromStdString(root.string()));
  environment.insert("QT_QPA_PLATFORM", "offscreen");
  environment.insert("TAVRELO2_DISC_IMAGES", QString::fromStdString((root / "no.cue").string()));
  environment.insert("PULSE_SERVER", "unix:/nonexistent");
  QProcess first;
  first.setProcessEnvironment(environment);
  first.start(TAVRELO2_PROGRAM, {});
  ASSERT_TRUE(first.waitForStarted(10000));
  // Wait until the first one holds the lock.
  const fs::path file = root / "tavrelo2" / "instance.lock";
  bool held = false;
  for (int i = 0; i < 300 && !held; ++i) {
    std::string error;
    tavrelo::os::Fd probe;
    held = fs::exists(file) && lockFile(file, probe, error) == LockOutcome::HeldElsewhere;
    if (!held) QTest::qWait(100);
  }
  ASSERT_TRUE(held);

  QProcess second;
  second.setProcessEnvironment(environment);
  second.start(TAVRELO2_PROGRAM, {});
  ASSERT_TRUE(second.waitForFinished(30000));
  EXPECT_EQ(second.exitStatus(), QProcess::NormalExit);
  EXPECT_EQ(second.exitCode(), 0);
  EXPECT_EQ(second.readAllStandardOutput().toStdString(), "");
  EXPECT_EQ(second.readAllStandardError().toStdString(), "");
  EXPECT_EQ(first.state(), QProcess::Running);

  first.terminate();
  if (!first.waitForFinished(10000)) {
    first.kill();
    first.waitForFinished(5000);
  }
}

}  // namespace
