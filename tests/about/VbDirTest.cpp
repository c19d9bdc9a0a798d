#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QTemporaryDir>
#include <filesystem>
#include <fstream>
#include <string>

#include "platform/win32/VbDir.h"

namespace {

TEST(VbDirTest, FindsNormalFilesOnly) {
  QTemporaryDir temp;
  const std::string dir = temp.path().toStdString();
  std::ofstream(dir + "/MSINFO32.EXE") << "x";
  std::ofstream(dir + "/.hidden") << "x";
  std::filesystem::create_directory(dir + "/folder");
  std::filesystem::create_symlink(dir + "/MSINFO32.EXE", dir + "/link");
  std::filesystem::create_symlink(dir + "/gone", dir + "/dangling");

  EXPECT_EQ("MSINFO32.EXE", Dir(dir + "/MSINFO32.EXE"));
  EXPECT_EQ("MSINFO32.EXE", Dir(dir + "\\MSINFO32.EXE"));  // backslash as separator
  EXPECT_EQ("link", Dir(dir + "/link"));
  EXPECT_EQ("", Dir(dir + "/msinfo32.exe"));  // case counts on Linux
  EXPECT_EQ("", Dir(dir + "/.hidden"));
  EXPECT_EQ("", Dir(dir + "/folder"));
  EXPECT_EQ("", Dir(dir + "/folder/"));
  EXPECT_EQ("", Dir(dir + "/dangling"));
  EXPECT_EQ("", Dir(dir + "/missing"));
  EXPECT_EQ("", Dir(""));
  EXPECT_EQ("", Dir(std::string("bad\0name", 8)));
}

}  // namespace
