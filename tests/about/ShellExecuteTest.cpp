// ShellExecuteA over xdg-open, against the recording desktop.

#include <gtest/gtest.h>

#include <QTemporaryDir>
#include <fstream>
#include <string>

#include "cd/ModuleAudioPlayer.h"
#include "tests/support/RecordingDesktop.h"

namespace tavrelo::testing {
namespace {

class ShellExecuteTest : public ::testing::Test {
 protected:
  ShellExecuteTest() { desktop.installed = {"xdg-open"}; }
  RecordingDesktop desktop;
  QTemporaryDir temp;
  std::string dir() const { return temp.path().toStdString(); }
};

TEST_F(ShellExecuteTest, OpensATargetWithXdgOpenInTheGivenFolder) {
  EXPECT_GT(ShellExecuteA(nullptr, "Open", "http://tavrelo.example.org", "", dir().c_str(), 1), 32);
  EXPECT_GT(ShellExecuteA(nullptr, nullptr, "mailto:a@b.example", nullptr, nullptr, 1), 32);
  EXPECT_GT(ShellExecuteA(nullptr, "OPEN", "mailto:a@b.example", "", "", 1), 32);
  ASSERT_EQ(3u, desktop.starts.size());
  EXPECT_EQ("/usr/bin/xdg-open", desktop.starts[0].program);
  EXPECT_EQ(std::vector<std::string>{"http://tavrelo.example.org"}, desktop.starts[0].args);
  EXPECT_EQ(dir(), desktop.starts[0].directory);
  EXPECT_EQ(std::vector<std::string>{"mailto:a@b.example"}, desktop.starts[1].args);
  EXPECT_EQ("", desktop.starts[1].directory);
  EXPECT_TRUE(desktop.messages.empty());
}

TEST_F(ShellExecuteTest, LocalFilesMustExistAndNeverReadAsOptions) {
  std::ofstream(dir() + "/-x") << "x";
  EXPECT_GT(ShellExecuteA(nullptr, "open", "-x", "", dir().c_str(), 1), 32);
  ASSERT_EQ(1u, desktop.starts.size());
  EXPECT_EQ(std::vector<std::string>{"./-x"}, desktop.starts[0].args);
  EXPECT_EQ(2, ShellExecuteA(nullptr, "open", "missing.txt", "", dir().c_str(), 1));
  EXPECT_EQ(2, ShellExecuteA(nullptr, "open", "C:\\x.txt", "", "", 1));
  EXPECT_EQ(1u, desktop.starts.size());
}

TEST_F(ShellExecuteTest, FailuresAreWindowsErrorValues) {
  EXPECT_EQ(2, ShellExecuteA(nullptr, "open", nullptr, "", "", 1));
  EXPECT_EQ(2, ShellExecuteA(nullptr, "open", "", "", "", 1));
  EXPECT_EQ(31, ShellExecuteA(nullptr, "print", "http://x.example", "", "", 1));
  EXPECT_EQ(3, ShellExecuteA(nullptr, "open", "http://x.example", "", "/no/such/folder", 1));
  EXPECT_TRUE(desktop.starts.empty());

  desktop.nextProcessId = 0;  // xdg-open is there but does not start
  EXPECT_EQ(31, ShellExecuteA(nullptr, "open", "http://x.example", "", "", 1));
  EXPECT_EQ(1u, desktop.starts.size());

  desktop.installed.clear();  // no xdg-open at all
  EXPECT_EQ(31, ShellExecuteA(nullptr, "open", "http://x.example", "", "", 1));
  EXPECT_EQ(1u, desktop.starts.size());
}

}  // namespace
}  // namespace tavrelo::testing
