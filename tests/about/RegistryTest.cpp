// The registry stand-in through the three Win32 functions, with Windows'
// result codes.

#include <gtest/gtest.h>

#include <array>
#include <cstring>
#include <string>

#include "platform/win32/Registry.h"
#include "tests/about/MemoryRegistry.h"
#include "tests/support/RecordingDesktop.h"

namespace tavrelo::testing {
namespace {

constexpr HKEY kLocalMachine = 0x80000002;
constexpr REGSAM kKeyRead = 0x20019;
constexpr REGSAM kAsked = 0x2003F;

class RegistryTest : public ::testing::Test {
 protected:
  RegistryTest() {
    memory.setValue("SOFTWARE\\Tavrelo\\Tools", "Path", win32::RegistryValue::text("/bin/tool"));
    memory.setValue("SOFTWARE\\Tavrelo\\Tools", "Empty", {1, {}});
    memory.setValue("SOFTWARE\\Tavrelo\\Tools", "", win32::RegistryValue::text("default"));
    win32::setRegistry(&memory);
  }
  ~RegistryTest() override {
    for (HKEY key : opened) RegCloseKey(key);
    win32::setRegistry(nullptr);
  }

  HKEY open(const char* path, REGSAM access = kAsked, HKEY root = kLocalMachine) {
    HKEY key = 0;
    EXPECT_EQ(0, RegOpenKeyExA(root, path, 0, access, &key)) << path;
    if (key != 0) opened.push_back(key);
    return key;
  }

  win32::MemoryRegistry memory;
  std::vector<HKEY> opened;
};

TEST_F(RegistryTest, OpensKeysWithoutRegardToCaseAndRefusesMissingOnes) {
  const HKEY a = open("software\\TAVRELO\\tools");
  const HKEY b = open("SOFTWARE\\Tavrelo\\Tools");
  EXPECT_NE(0u, a);
  EXPECT_NE(a, b);
  EXPECT_NE(0u, open("SOFTWARE"));  // parents exist
  HKEY key = 0;
  EXPECT_EQ(2, RegOpenKeyExA(kLocalMachine, "SOFTWARE\\Tavrelo\\Other", 0, kAsked, &key));
  EXPECT_EQ(0u, key);
  EXPECT_EQ(87, RegOpenKeyExA(kLocalMachine, "SOFTWARE", 0, kAsked, nullptr));
  EXPECT_EQ(6, RegOpenKeyExA(0x12345678, "SOFTWARE", 0, kAsked, &key));
  EXPECT_EQ(3u, win32::openKeyCount());  // a, b and SOFTWARE

  const HKEY tools = open("Tavrelo\\Tools", kAsked, opened.back());  // below an open key
  std::array<BYTE, 16> data{};
  DWORD size = data.size();
  EXPECT_EQ(0, RegQueryValueExA(tools, "PATH", nullptr, nullptr, data.data(), &size));
  EXPECT_EQ(10u, size);
}

TEST_F(RegistryTest, RefusesRightsTheKeyDoesNotGrant) {
  memory.restrictAccess("SOFTWARE\\Tavrelo\\Tools", kKeyRead);
  HKEY key = 0;
  EXPECT_EQ(5, RegOpenKeyExA(kLocalMachine, "SOFTWARE\\Tavrelo\\Tools", 0, kAsked, &key));
  EXPECT_NE(0u, open("SOFTWARE\\Tavrelo\\Tools", kKeyRead));
  // A handle opened without KEY_QUERY_VALUE cannot read.
  const HKEY notify = open("SOFTWARE\\Tavrelo\\Tools", 0x10);
  DWORD size = 0;
  EXPECT_EQ(5, RegQueryValueExA(notify, "Path", nullptr, nullptr, nullptr, &size));
}

TEST_F(RegistryTest, QueriesTypeDataAndSizeAsStored) {
  const HKEY key = open("SOFTWARE\\Tavrelo\\Tools");
  std::array<BYTE, 10> data{};
  DWORD type = 0;
  DWORD size = data.size();
  EXPECT_EQ(0, RegQueryValueExA(key, "path", nullptr, &type, data.data(), &size));
  EXPECT_EQ(1u, type);
  EXPECT_EQ(10u, size);
  EXPECT_EQ(0, std::memcmp("/bin/tool", data.data(), 10));  // zero included

  size = 0;
  EXPECT_EQ(0, RegQueryValueExA(key, "Path", nullptr, nullptr, nullptr, &size));
  EXPECT_EQ(10u, size);  // no buffer: the size alone

  size = data.size();
  EXPECT_EQ(0, RegQueryValueExA(key, "Empty", nullptr, &type, data.data(), &size));
  EXPECT_EQ(0u, size);

  size = data.size();
  EXPECT_EQ(0, RegQueryValueExA(key, nullptr, nullptr, nullptr, data.data(), &size));
  EXPECT_EQ(8u, size);  // the default value

  // A buffer too short: more data, the size needed, the buffer untouched.
  std::array<BYTE, 9> small{};
  small.fill('#');
  size = small.size();
  EXPECT_EQ(234, RegQueryValueExA(key, "Path", nullptr, &type, small.data(), &size));
  EXPECT_EQ(10u, size);
  EXPECT_EQ(1u, type);
  EXPECT_EQ('#', small[0]);  // untouched
}

TEST_F(RegistryTest, RefusesBadArgumentsMissingValuesAndClosedHandles) {
  const HKEY key = open("SOFTWARE\\Tavrelo\\Tools");
  std::array<BYTE, 16> data{};
  DWORD size = data.size();
  DWORD reserved = 0;
  EXPECT_EQ(87, RegQueryValueExA(key, "Path", &reserved, nullptr, data.data(), &size));
  EXPECT_EQ(87, RegQueryValueExA(key, "Path", nullptr, nullptr, data.data(), nullptr));
  EXPECT_EQ(2, RegQueryValueExA(key, "Nothing", nullptr, nullptr, data.data(), &size));
  EXPECT_EQ(6, RegQueryValueExA(0, "Path", nullptr, nullptr, data.data(), &size));

  opened.clear();
  EXPECT_EQ(0, RegCloseKey(key));
  EXPECT_EQ(6, RegCloseKey(key));
  EXPECT_EQ(6, RegQueryValueExA(key, "Path", nullptr, nullptr, data.data(), &size));
  EXPECT_EQ(6, RegCloseKey(0));
  EXPECT_EQ(0, RegCloseKey(kLocalMachine));
}

// Linux's registry: the first system-information tool on PATH, or nothing.
TEST(SystemRegistryTest, AnswersLookupOneWithTheFirstToolFoundAndNeverLookupTwo) {
  RecordingDesktop desktop;
  win32::SystemRegistry system;
  EXPECT_EQ(2, system.openKey("SOFTWARE\\Microsoft\\Shared Tools\\MSINFO", kAsked));

  desktop.installed = {"gnome-system-monitor", "hardinfo", "kinfocenter"};
  EXPECT_EQ(0, system.openKey("Software\\Microsoft\\Shared Tools\\MSINFO", kAsked));
  EXPECT_EQ(0, system.openKey("SOFTWARE\\Microsoft", kAsked));
  EXPECT_EQ(2, system.openKey("SOFTWARE\\Microsoft\\Shared", kAsked));
  EXPECT_EQ(2, system.openKey("SOFTWARE\\Microsoft\\Shared Tools Location", kAsked));
  const auto value = system.value("SOFTWARE\\Microsoft\\Shared Tools\\MSINFO", "PATH");
  ASSERT_TRUE(value.has_value());
  EXPECT_EQ(1u, value->type);
  EXPECT_EQ(win32::RegistryValue::text("/usr/bin/hardinfo").data, value->data);
  EXPECT_FALSE(system.value("SOFTWARE\\Microsoft\\Shared Tools Location", "MSINFO").has_value());

  desktop.installed.insert("hardinfo2");
  EXPECT_EQ(win32::RegistryValue::text("/usr/bin/hardinfo2").data,
            system.value("SOFTWARE\\Microsoft\\Shared Tools\\MSINFO", "PATH")->data);
}

}  // namespace
}  // namespace tavrelo::testing
