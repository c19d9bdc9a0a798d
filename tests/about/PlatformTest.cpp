// What the About window stands on: the registry through the three Win32
// functions, with Windows' result codes; ShellExecuteA over xdg-open; Dir.

#include <gtest/gtest.h>

#include <QTemporaryDir>
#include <array>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>

#include "cd/ModuleAudioPlayer.h"
#include "platform/win32/Registry.h"
#include "platform/win32/VbDir.h"
#include "tests/about/StandIns.h"

namespace tavrelo::testing {
namespace {

using win32::reg::kLocalMachine;
constexpr REGSAM kAsked = 0x2003F;

// The result, the type and the size RegQueryValueExA gives for `name`.
std::array<LONG, 3> query(HKEY key, const char* name, BYTE* data, DWORD size) {
  DWORD type = 0;
  const LONG result = RegQueryValueExA(key, name, nullptr, &type, data, &size);
  return {result, static_cast<LONG>(type), static_cast<LONG>(size)};
}

// Keys open without regard to case; values come with their type and size as
// stored; bad arguments, missing keys and closed handles get Windows' codes.
TEST(Registry, OpensKeysAndQueriesValuesWithWindowsResultCodes) {
  MemoryRegistry memory;
  memory.setValue("SOFTWARE\\Tavrelo\\Tools", "Path", win32::RegistryValue::text("/bin/tool"));
  memory.setValue("SOFTWARE\\Tavrelo\\Tools", "Empty", {1, {}});
  memory.setValue("SOFTWARE\\Tavrelo\\Tools", "", win32::RegistryValue::text("default"));
  win32::setRegistry(&memory);
  std::vector<HKEY> opened;
  auto open = [&](const char* path, REGSAM access = kAsked, HKEY root = kLocalMachine) {
    HKEY key = 0;
    EXPECT_EQ(0, RegOpenKeyExA(root, path, 0, access, &key)) << path;
    opened.push_back(key);
    return key;
  };
  EXPECT_NE(open("software\\TAVRELO\\tools"), open("SOFTWARE\\Tavrelo\\Tools"));
  const HKEY parent = open("SOFTWARE");  // parents exist
  EXPECT_EQ(3u, openKeyCount());
  const HKEY tools = open("Tavrelo\\Tools", kAsked, parent);  // below an open key
  EXPECT_EQ((std::array<LONG, 3>{0, 1, 10}), query(tools, "PATH", nullptr, 0));
  // A handle opened without KEY_QUERY_VALUE cannot read.
  EXPECT_EQ(5, query(open("SOFTWARE\\Tavrelo\\Tools", 0x10), "Path", nullptr, 0)[0]);

  HKEY key = 0;
  EXPECT_EQ(2, RegOpenKeyExA(kLocalMachine, "SOFTWARE\\Tavrelo\\Other", 0, kAsked, &key));
  EXPECT_EQ(0u, key);
  EXPECT_EQ(87, RegOpenKeyExA(kLocalMachine, "SOFTWARE", 0, kAsked, nullptr));
  EXPECT_EQ(6, RegOpenKeyExA(0x12345678, "SOFTWARE", 0, kAsked, &key));
  EXPECT_EQ(0, RegCloseKey(tools));  // closed again, harmlessly, at the end
  EXPECT_EQ(6, RegCloseKey(tools));
  EXPECT_EQ(6, query(tools, "Path", nullptr, 0)[0]);
  EXPECT_EQ(6, RegCloseKey(0));
  EXPECT_EQ(0, RegCloseKey(kLocalMachine));

  key = open("SOFTWARE\\Tavrelo\\Tools");
  std::array<BYTE, 10> data{};
  EXPECT_EQ((std::array<LONG, 3>{0, 1, 10}), query(key, "path", data.data(), 10));
  EXPECT_EQ(0, std::memcmp("/bin/tool", data.data(), 10));  // zero included
  EXPECT_EQ((std::array<LONG, 3>{0, 1, 0}), query(key, "Empty", data.data(), 10));
  EXPECT_EQ((std::array<LONG, 3>{0, 1, 8}), query(key, nullptr, data.data(), 10));  // default
  // A buffer too short: more data, the size needed, the buffer untouched.
  data.fill('#');
  EXPECT_EQ((std::array<LONG, 3>{234, 1, 10}), query(key, "Path", data.data(), 9));
  EXPECT_EQ('#', data[0]);

  EXPECT_EQ(2, query(key, "Nothing", data.data(), 10)[0]);
  DWORD size = 10, reserved = 0;
  EXPECT_EQ(87, RegQueryValueExA(key, "Path", &reserved, nullptr, data.data(), &size));
  EXPECT_EQ(87, RegQueryValueExA(key, "Path", nullptr, nullptr, data.data(), nullptr));
  for (HKEY handle : opened) RegCloseKey(handle);
  win32::setRegistry(nullptr);
}

// Linux's registry: the first system-information tool on PATH, or nothing.
TEST(SystemRegistryTest, AnswersLookupOneWithTheFirstToolFoundAndNeverLookupTwo) {
  RecordingDesktop desktop;
  win32::SystemRegistry system;
  const char* const tool = "SOFTWARE\\Microsoft\\Shared Tools\\MSINFO";
  const char* const location = "SOFTWARE\\Microsoft\\Shared Tools Location";
  EXPECT_EQ(2, system.openKey(tool, kAsked));

  desktop.installed = {"gnome-system-monitor", "hardinfo", "kinfocenter"};
  EXPECT_EQ(0, system.openKey("Software\\Microsoft\\Shared Tools\\MSINFO", kAsked));
  EXPECT_EQ(0, system.openKey("SOFTWARE\\Microsoft", kAsked));
  EXPECT_EQ(2, system.openKey("SOFTWARE\\Microsoft\\Shared", kAsked));
  EXPECT_EQ(2, system.openKey(location, kAsked));
  EXPECT_EQ(win32::RegistryValue::text("/usr/bin/hardinfo").data, system.value(tool, "PATH")->data);
  EXPECT_FALSE(system.value(location, "MSINFO"));

  desktop.installed.insert("hardinfo2");
  EXPECT_EQ(win32::RegistryValue::text("/usr/bin/hardinfo2").data,
            system.value(tool, "path")->data);
}

// A web or mail address goes to xdg-open as it is, in the given folder; a
// local file must exist and never reads as an option. Failures are Windows'
// error values.
TEST(ShellExecute, OpensATargetWithXdgOpenOrGivesAWindowsErrorValue) {
  RecordingDesktop desktop;
  desktop.installed = {"xdg-open"};
  QTemporaryDir temp;
  const std::string dir = temp.path().toStdString();
  auto open = [](const char* verb, const char* file, const std::string& directory) {
    return ShellExecuteA(nullptr, verb, file, "", directory.c_str(), 1);
  };
  std::ofstream(dir + "/-x") << "x";
  EXPECT_GT(open("Open", "http://tavrelo.example.org", dir), 32);
  EXPECT_GT(ShellExecuteA(nullptr, nullptr, "mailto:a@b.example", nullptr, nullptr, 1), 32);
  EXPECT_GT(open("OPEN", "-x", dir), 32);
  EXPECT_EQ(2, open("open", nullptr, ""));
  EXPECT_EQ(2, open("open", "", ""));
  EXPECT_EQ(2, open("open", "missing.txt", dir));
  EXPECT_EQ(2, open("open", "C:\\x.txt", ""));
  EXPECT_EQ(31, open("print", "http://x.example", ""));
  EXPECT_EQ(3, open("open", "http://x.example", "/no/such/folder"));
  EXPECT_EQ((std::vector<std::string>{dir + ": /usr/bin/xdg-open http://tavrelo.example.org",
                                      ": /usr/bin/xdg-open mailto:a@b.example",
                                      dir + ": /usr/bin/xdg-open ./-x"}),
            started(desktop));
  EXPECT_TRUE(desktop.messages.empty());

  desktop.nextProcessId = 0;  // xdg-open is there but does not start
  EXPECT_EQ(31, open("open", "http://x.example", ""));
  desktop.installed.clear();  // no xdg-open at all
  EXPECT_EQ(31, open("open", "http://x.example", ""));
  EXPECT_EQ(4u, desktop.starts.size());
}

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
  for (const std::string& none :
       {dir + "/msinfo32.exe", dir + "/.hidden", dir + "/folder", dir + "/folder/",
        dir + "/dangling", dir + "/missing", std::string(), std::string("bad\0name", 8)})
    EXPECT_EQ("", Dir(none)) << none;  // case counts on Linux
}

}  // namespace
}  // namespace tavrelo::testing
