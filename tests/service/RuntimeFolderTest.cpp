#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <fstream>

#include "platform/os/RuntimeFolder.h"
#include "tests/support/TempDir.h"

namespace tavrelo::os {
namespace {

namespace fs = std::filesystem;

TEST(RuntimeFolder, AMissingFolderIsMadePrivateUnderXdgRuntimeDir) {
  test::TempDir dir;
  std::string error;
  const auto folder = [&] {
    test::ScopedEnv runtime("XDG_RUNTIME_DIR", dir.path().string());
    return runtimeFolder(error);
  }();
  ASSERT_TRUE(folder.has_value()) << error;
  EXPECT_EQ(*folder, dir.path() / "tavrelo2");
  ASSERT_TRUE(prepareRuntimeFolder(*folder, error)) << error;
  struct stat info {};
  ASSERT_EQ(::lstat(folder->c_str(), &info), 0);
  EXPECT_EQ(info.st_mode & 07777, 0700u);
  EXPECT_TRUE(prepareRuntimeFolder(*folder, error)) << "a second look at our own folder";
}

TEST(RuntimeFolder, FoldersOthersCouldReachOrThatAreNoFoldersAreRefused) {
  test::TempDir dir;
  std::string error;
  const fs::path open = dir.path() / "open";
  fs::create_directory(open);
  ::chmod(open.c_str(), 0750);
  std::ofstream(dir.path() / "file") << "x";
  // A link to a good folder is not taken: someone else may own the link's target.
  ASSERT_TRUE(prepareRuntimeFolder(dir.path() / "good", error)) << error;
  fs::create_directory_symlink(dir.path() / "good", dir.path() / "link");
  const fs::path theirs = dir.path() / "theirs";
  fs::create_directory(theirs);
  ::chmod(theirs.c_str(), 0700);
  const bool root = ::geteuid() == 0 && ::chown(theirs.c_str(), 65534, 65534) == 0;

  for (const auto& [name, reason] :
       {std::pair<std::string, std::string>{"open", "open to other users"},
        {"file", "is not a folder"},
        {"link", ""},
        {"no/such/parent", "cannot create"},
        {"theirs", "belongs to another user"}}) {
    if (name == "theirs" && !root) continue;  // needs root to give a folder to another user
    EXPECT_FALSE(prepareRuntimeFolder(dir.path() / name, error)) << name;
    EXPECT_NE(error.find(reason), std::string::npos) << error;
  }
}

}  // namespace
}  // namespace tavrelo::os
