#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <fstream>

#include "platform/os/RuntimeFolder.h"
#include "tests/support/TempDir.h"

namespace tavrelo::os {
namespace {

namespace fs = std::filesystem;

mode_t modeOf(const fs::path& path) {
  struct stat info {};
  ::lstat(path.c_str(), &info);
  return info.st_mode & 07777;
}

TEST(RuntimeFolder, AMissingFolderIsMadePrivate) {
  test::TempDir dir;
  const fs::path folder = dir.path() / "tavrelo2";
  std::string error;
  ASSERT_TRUE(prepareRuntimeFolder(folder, error)) << error;
  EXPECT_EQ(modeOf(folder), 0700u);
  EXPECT_TRUE(prepareRuntimeFolder(folder, error)) << "a second look at our own folder";
}

TEST(RuntimeFolder, FoldersOthersCouldReachOrThatAreNoFoldersAreRefused) {
  test::TempDir dir;
  std::string error;
  const fs::path open = dir.path() / "open";
  fs::create_directory(open);
  ::chmod(open.c_str(), 0750);
  EXPECT_FALSE(prepareRuntimeFolder(open, error));
  EXPECT_NE(error.find("open to other users"), std::string::npos) << error;

  const fs::path file = dir.path() / "file";
  std::ofstream(file) << "x";
  EXPECT_FALSE(prepareRuntimeFolder(file, error));
  EXPECT_NE(error.find("is not a folder"), std::string::npos) << error;

  // A link to a good folder is not taken: someone else may own the link's target.
  const fs::path good = dir.path() / "good";
  ASSERT_TRUE(prepareRuntimeFolder(good, error)) << error;
  fs::create_directory_symlink(good, dir.path() / "link");
  EXPECT_FALSE(prepareRuntimeFolder(dir.path() / "link", error));

  EXPECT_FALSE(prepareRuntimeFolder(dir.path() / "no/such/parent", error));
  EXPECT_NE(error.find("cannot create"), std::string::npos) << error;
}

TEST(RuntimeFolder, AFolderOfAnotherUserIsRefused) {
  if (::geteuid() != 0) GTEST_SKIP() << "needs root to give a folder to another user";
  test::TempDir dir;
  const fs::path theirs = dir.path() / "theirs";
  fs::create_directory(theirs);
  ::chmod(theirs.c_str(), 0700);
  ASSERT_EQ(::chown(theirs.c_str(), 65534, 65534), 0);
  std::string error;
  EXPECT_FALSE(prepareRuntimeFolder(theirs, error));
  EXPECT_NE(error.find("belongs to another user"), std::string::npos) << error;
}

TEST(RuntimeFolder, LivesUnderXdgRuntimeDirWhenThatIsAnAbsolutePath) {
  test::TempDir dir;
  std::string error;
  const auto folder = [&] {
    test::ScopedEnv runtime("XDG_RUNTIME_DIR", dir.path().string());
    return runtimeFolder(error);
  }();
  ASSERT_TRUE(folder.has_value()) << error;
  EXPECT_EQ(*folder, dir.path() / "tavrelo2");
}

}  // namespace
}  // namespace tavrelo::os
