#include <gtest/gtest.h>

#include <fstream>
#include <sstream>

#include "platform/os/Settings.h"
#include "tests/support/TempDir.h"

namespace tavrelo::os {
namespace {

std::string contents(const std::filesystem::path& file) {
  std::ifstream in(file);
  std::stringstream text;
  text << in.rdbuf();
  return text.str();
}

TEST(Settings, ReadsSectionsAndKeysLooselyAndWritesKeepingEveryOtherLine) {
  test::TempDir dir;
  test::ScopedEnv config("XDG_CONFIG_HOME", dir.path().string());
  ASSERT_EQ(settingsFile(), dir.path() / "tavrelo2" / "tavrelo2.conf");
  EXPECT_EQ(readBoolSetting("titles", "online"), std::nullopt) << "no file yet";

  std::filesystem::create_directories(settingsFile().parent_path());
  std::ofstream(settingsFile())
      << "; mine\n[Sound]\n  DeEmphasis = no \nother=1\n\n[x]\nonline=true\n";
  EXPECT_EQ(readBoolSetting("sound", "deemphasis"), false);
  EXPECT_EQ(readBoolSetting("titles", "online"), std::nullopt) << "a key of another section";
  EXPECT_EQ(readSetting("x", "online"), "true");

  std::string error;
  ASSERT_TRUE(writeSetting("titles", "online", "true", error)) << error;
  ASSERT_TRUE(writeSetting("sound", "deemphasis", "true", error)) << error;
  ASSERT_TRUE(writeSetting("sound", "new", "v", error)) << error;
  EXPECT_EQ(contents(settingsFile()),
            "; mine\n[Sound]\ndeemphasis=true\nother=1\nnew=v\n\n[x]\nonline=true\n\n"
            "[titles]\nonline=true\n");
  EXPECT_EQ(readBoolSetting("titles", "online"), true);
}

TEST(Settings, AnUnwritableFolderIsAnErrorNotACrash) {
  test::TempDir dir;
  test::ScopedEnv config("XDG_CONFIG_HOME", (dir.path() / "file").string());
  std::ofstream(dir.path() / "file") << "a file where the folder should be";
  std::string error;
  EXPECT_FALSE(writeSetting("titles", "online", "false", error));
  EXPECT_FALSE(error.empty());
  EXPECT_EQ(readBoolSetting("titles", "online"), std::nullopt);
}

}  // namespace
}  // namespace tavrelo::os
