// StartSysInfo and GetKeyValue over a registry of the test's own, a real file
// system (temporary folders) and the recording desktop.

#include <sys/stat.h>

#include <QDir>
#include <QPushButton>
#include <QTemporaryDir>
#include <fstream>
#include <string>
#include <utility>
#include <vector>

#include "tests/about/AboutFixture.h"

namespace tavrelo::testing {
namespace {

const char kToolKey[] = "SOFTWARE\\Microsoft\\Shared Tools\\MSINFO";
const char kFolderKey[] = "SOFTWARE\\Microsoft\\Shared Tools Location";
const std::string kNotFound = "Information Systeme introuvable !";
constexpr HKEY kLocalMachine = 0x80000002;

// Remembers every key the program opens and the rights it asks for.
class LoggingRegistry : public win32::MemoryRegistry {
 public:
  std::vector<std::pair<std::string, REGSAM>> opens;
  LONG openKey(std::string_view path, REGSAM access) override {
    opens.emplace_back(std::string(path), access);
    return MemoryRegistry::openKey(path, access);
  }
};

class SysInfoTest : public AboutFixture {
 protected:
  SysInfoTest() { win32::setRegistry(&logging); }

  // A file in the temporary folder, executable unless told otherwise.
  std::string makeFile(const std::string& name, bool executable = true) {
    const std::string path = folder.path().toStdString() + "/" + name;
    std::ofstream(path) << "#!/bin/sh\n";
    ::chmod(path.c_str(), executable ? 0755 : 0644);
    return path;
  }

  void press() { load().cmdSysInfo->click(); }

  void expectNotFound() {
    ASSERT_EQ(1u, desktop.messages.size());
    EXPECT_EQ(kNotFound, desktop.messages[0].text);
    EXPECT_EQ(0, desktop.messages[0].style);
    EXPECT_EQ("Tavrelo2", desktop.messages[0].title);
    EXPECT_TRUE(desktop.starts.empty());
  }

  void expectStarted(const std::string& program) {
    EXPECT_TRUE(desktop.messages.empty());
    ASSERT_EQ(1u, desktop.starts.size());
    EXPECT_EQ(program, desktop.starts[0].program);
    EXPECT_TRUE(desktop.starts[0].args.empty());
  }

  LoggingRegistry logging;
  QTemporaryDir folder;
};

TEST_F(SysInfoTest, LookupOneStartsItsToolAndNeverReadsLookupTwo) {
  const std::string tool = makeFile("hardinfo");
  logging.setValue(kToolKey, "PATH", win32::RegistryValue::text(tool));
  logging.setValue(kFolderKey, "MSINFO", win32::RegistryValue::text("/nowhere"));
  press();
  expectStarted(tool);
  ASSERT_EQ(1u, logging.opens.size());
  EXPECT_EQ("software\\microsoft\\shared tools\\msinfo", logging.opens[0].first);
  EXPECT_EQ(0x2003Fu, logging.opens[0].second);
  EXPECT_EQ(0u, win32::openKeyCount());
}

TEST_F(SysInfoTest, LookupOneNamingAMissingFileShowsTheMessageEvenWhenLookupTwoWouldWork) {
  makeFile("MSINFO32.EXE");
  logging.setValue(kToolKey, "PATH",
                   win32::RegistryValue::text(folder.path().toStdString() + "/gone"));
  logging.setValue(kFolderKey, "MSINFO", win32::RegistryValue::text(folder.path().toStdString()));
  press();
  expectNotFound();
  EXPECT_EQ(1u, logging.opens.size());
}

// The folder + "\MSINFO32.EXE" is tested and started with the backslash read
// as a separator.
TEST_F(SysInfoTest, LookupTwoStartsMsinfo32FromItsFolder) {
  const std::string tool = makeFile("MSINFO32.EXE");
  logging.setValue(kFolderKey, "MSINFO", win32::RegistryValue::text(folder.path().toStdString()));
  press();
  expectStarted(tool);
  ASSERT_EQ(2u, logging.opens.size());
  EXPECT_EQ("software\\microsoft\\shared tools location", logging.opens[1].first);
  EXPECT_EQ(0x2003Fu, logging.opens[1].second);
}

TEST_F(SysInfoTest, LookupTwoWithoutItsFileAndBothAbsentShowTheMessage) {
  logging.setValue(kFolderKey, "MSINFO", win32::RegistryValue::text(folder.path().toStdString()));
  QDir(folder.path()).mkdir("MSINFO32.EXE");  // a folder is not the file
  press();
  expectNotFound();

  desktop.messages.clear();
  logging.opens.clear();
  win32::MemoryRegistry empty;
  win32::setRegistry(&empty);
  press();
  expectNotFound();
  win32::setRegistry(&logging);  // a second press asks both lookups again
  desktop.messages.clear();
  form->cmdSysInfo->click();
  form->cmdSysInfo->click();
  EXPECT_EQ(2u, desktop.messages.size());
  EXPECT_EQ(4u, logging.opens.size());
}

TEST_F(SysInfoTest, AValueOfOtherTypeAtLookupOneGivesAnEmptyPathAndTheMessage) {
  makeFile("MSINFO32.EXE");
  logging.setValue(kToolKey, "PATH", {3, {'a', 'b'}});  // REG_BINARY
  logging.setValue(kFolderKey, "MSINFO", win32::RegistryValue::text(folder.path().toStdString()));
  press();
  expectNotFound();
  EXPECT_EQ(1u, logging.opens.size());
}

TEST_F(SysInfoTest, AZeroByteValueIsARunTimeErrorThatEndsInTheMessage) {
  logging.setValue(kToolKey, "PATH", {1, {}});
  std::string value;
  EXPECT_THROW(frmAbout::GetKeyValue(kLocalMachine, kToolKey, "PATH", value), VbError);
  EXPECT_EQ(0u, win32::openKeyCount());  // the key is closed all the same
  press();
  expectNotFound();
}

class GetKeyValueTest : public SysInfoTest {
 protected:
  // Stores the value K\V and reads it into a text that held `entry`.
  std::pair<bool, std::string> read(std::vector<BYTE> data, DWORD type = 1,
                                    std::string entry = "before") {
    logging.setValue("K", "V", {type, std::move(data)});
    const bool found = frmAbout::GetKeyValue(kLocalMachine, "K", "V", entry);
    return {found, entry};
  }
};

std::vector<BYTE> bytes(const std::string& text) {
  return {text.begin(), text.end()};
}

TEST_F(GetKeyValueTest, OneZeroIsCutAtTheEndOnly) {
  using namespace std::string_literals;
  EXPECT_EQ(std::make_pair(true, "abc"s), read(bytes("abc"s + '\0')));
  EXPECT_EQ(std::make_pair(true, "abc"s), read(bytes("abc")));
  EXPECT_EQ(std::make_pair(true, "abc\0"s), read(bytes("abc\0\0"s)));
  EXPECT_EQ(std::make_pair(true, "a\0c"s), read(bytes("a\0c"s)));
  EXPECT_EQ(std::make_pair(true, ""s), read({0}));
}

TEST_F(GetKeyValueTest, ReadsUpTo1024BytesWhole) {
  const auto whole = read(bytes(std::string(1023, 'p') + '\0'));
  EXPECT_TRUE(whole.first);
  EXPECT_EQ(std::string(1023, 'p'), whole.second);
  EXPECT_EQ(std::string(1024, 'q'), read(bytes(std::string(1024, 'q'))).second);
  EXPECT_EQ(std::make_pair(false, std::string()), read(bytes(std::string(1025, 'r'))));
  EXPECT_EQ(0u, win32::openKeyCount());
}

TEST_F(GetKeyValueTest, NumbersOtherTypesAndMissingValues) {
  EXPECT_EQ(std::make_pair(true, std::string("&h102")), read({0x02, 0x01, 0, 0}, 4));
  EXPECT_EQ(std::make_pair(true, std::string("&h1000000")), read({0, 0, 0, 1}, 4));
  EXPECT_EQ(std::make_pair(true, std::string("&h0")), read({0, 0, 0, 0}, 4));
  EXPECT_EQ(std::make_pair(true, std::string("before")), read(bytes("x"), 3));
  EXPECT_EQ(std::make_pair(true, std::string("before")), read(bytes("%PATH%"), 2));

  std::string value = "before";
  EXPECT_FALSE(frmAbout::GetKeyValue(kLocalMachine, "K", "other", value));
  EXPECT_EQ("", value);
  value = "before";
  EXPECT_FALSE(frmAbout::GetKeyValue(kLocalMachine, "Missing\\Key", "V", value));
  EXPECT_EQ("", value);
  EXPECT_EQ(0u, win32::openKeyCount());
}

}  // namespace
}  // namespace tavrelo::testing
