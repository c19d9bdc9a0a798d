// The Win32 stand-ins: drive letters, the MCI call's edge, the real desktop and
// the single-instance lock (that a second program ends silently while the
// first runs is shown on the real program by the fault matrix).
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QTest>
#include <cstring>
#include <filesystem>
#include <stdexcept>

#include "platform/os/LockFile.h"
#include "platform/os/Settings.h"
#include "platform/win32/Desktop.h"
#include "platform/win32/LogicalDrives.h"
#include "platform/win32/MciChannel.h"
#include "platform/win32/TitlesConsent.h"
#include "platform/win32/Win32Api.h"
#include "tests/player/RecordingMciChannel.h"
#include "tests/support/FakeCdDrive.h"
#include "tests/support/ManualClock.h"
#include "tests/support/RecordingDesktop.h"
#include "tests/support/TempDir.h"

namespace tavrelo::win32 {
namespace {

TEST(DriveLetters, RootThenPhysicalDrivesThenImagesUpToZ) {
  std::vector<std::string> warnings;
  std::string drives;
  for (const auto& drive :
       buildDriveTable({"/dev/sr0", "/dev/sr1"}, "/a/1.cue::/b/2.cue:", warnings))
    drives += drive.root + std::to_string(drive.type) + drive.source + " ";
  EXPECT_EQ(drives, "C:\\3 D:\\5/dev/sr0 E:\\5/dev/sr1 F:\\5/a/1.cue G:\\5/b/2.cue ");
  EXPECT_EQ(buildDriveTable({}, "", warnings).size(), 1u);
  EXPECT_TRUE(warnings.empty());

  std::string images;
  for (int i = 0; i < 25; ++i) images += "/d/" + std::to_string(i) + ".cue:";
  const auto table = buildDriveTable({"/dev/sr0"}, images, warnings);
  ASSERT_EQ(table.size(), 24u);  // C: to Z:
  EXPECT_EQ(table.back(), (LogicalDrive{"Z:\\", kDriveCdrom, "/d/21.cue"}));
  ASSERT_EQ(warnings.size(), 3u);  // what does not fit is named
  EXPECT_NE(warnings[0].find("/d/22.cue"), std::string::npos);
}

// The list is NUL-separated and counted without its final NUL; a buffer too
// small gets the size needed and nothing written. Types ignore the letter's
// case.
TEST(DriveLetters, StringsAndTypesAsKernel32GivesThem) {
  const std::vector<LogicalDrive> table{
      {"C:\\", kDriveFixed, ""}, {"D:\\", kDriveCdrom, "/dev/sr0"}, {"e:\\", kDriveCdrom, "x.cue"}};
  setLogicalDrivesForTesting(&table);
  char buffer[64];
  std::memset(buffer, '#', sizeof buffer);
  EXPECT_EQ(GetLogicalDriveStringsA(12, buffer), 13u);
  EXPECT_EQ(buffer[0], '#');
  EXPECT_EQ(GetLogicalDriveStringsA(0, nullptr), 13u);
  EXPECT_EQ(GetLogicalDriveStringsA(64, nullptr), 13u);
  EXPECT_EQ(GetLogicalDriveStringsA(13, buffer), 12u);
  EXPECT_EQ(std::string(buffer, 14), std::string("C:\\\0D:\\\0e:\\\0\0#", 14));

  const std::pair<const char*, UINT> types[] = {
      {"C:\\", 3}, {"d:\\", 5}, {"E:\\", 5},  {"F:\\", 1},   {"", 1},
      {"D:", 1},   {"CD", 1},   {"C:\\x", 1}, {"D:\\\\", 1}, {nullptr, 1}};
  for (const auto& [root, type] : types)
    EXPECT_EQ(GetDriveTypeA(root), type) << (root != nullptr ? root : "null");
  setLogicalDrivesForTesting(nullptr);
}

class ThrowingChannel final : public MciChannel {
 public:
  MCIERROR send(const std::string&, char* reply, UINT length, HWND) override {
    if (reply != nullptr && length > 0) std::strncpy(reply, "half", length);
    throw std::runtime_error("drive service gone");
  }
};

// The command and the reply's length reach the session; a length without a
// buffer is taken as no buffer; a missing command is refused here; and
// nothing thrown below crosses the call.
TEST(MciSendString, ForwardsTheCommandAndTheReplyLengthAndNothingThrown) {
  testing::RecordingMciChannel mci;
  mci.replies["status cd mode"] = "playing";
  char reply[255] = "keep";
  EXPECT_EQ(mciSendStringA(nullptr, reply, sizeof reply, nullptr), kMciErrMissingCommandString);
  EXPECT_STREQ(reply, "");
  EXPECT_EQ(mciSendStringA("", nullptr, 0, nullptr), kMciErrMissingCommandString);
  EXPECT_TRUE(mci.sent.empty());

  EXPECT_EQ(mciSendStringA("status cd mode", reply, sizeof reply, nullptr), 0u);
  EXPECT_STREQ(reply, "playing");
  EXPECT_EQ(mciSendStringA("status cd mode", nullptr, 255, nullptr), 0u);
  ASSERT_EQ(mci.sent.size(), 2u);
  EXPECT_EQ(mci.sent[0].replyLength, 255u);
  EXPECT_EQ(mci.sent[1].replyLength, 0u);

  ThrowingChannel throwing;
  setMciChannel(&throwing);
  EXPECT_EQ(mciSendStringA("status cd position", reply, sizeof reply, nullptr), kMciErrInternal);
  EXPECT_STREQ(reply, "");
  setMciChannel(&mci);  // which takes itself out at the end
}

// Whatever a path, a registry value or a link holds reaches the program as
// one argument.
TEST(QtDesktop, StartsExactlyTheProgramWithItsArgumentsAndNoShell) {
  QTemporaryDir folder;
  const QDir dir(folder.path());
  // A program whose name and arguments a shell would take apart.
  const QString program = dir.filePath("tool; touch named-pwned");
  const QString out = dir.filePath("out.txt");
  QFile script(program);
  ASSERT_TRUE(script.open(QIODevice::WriteOnly));
  script.write(("#!/bin/sh\nprintf '%s\\n' \"$(pwd)\" \"$@\" > '" + out + ".tmp' && mv '" + out +
                ".tmp' '" + out + "'\n")
                   .toUtf8());
  script.close();
  ::chmod(program.toLocal8Bit().constData(), 0755);
  const std::vector<std::string> args{"$(touch dollar-pwned)", "`touch tick-pwned`", "a b", "|",
                                      "> redirected"};
  ASSERT_TRUE(dir.mkpath("work"));
  const QString where = dir.filePath("work");

  EXPECT_GT(desktop().startProcess(program.toStdString(), args, where.toStdString()), 0);
  for (int i = 0; i < 100 && !QFileInfo::exists(out); ++i) QTest::qWait(50);
  QFile written(out);
  ASSERT_TRUE(written.open(QIODevice::ReadOnly));
  QStringList expected{where};
  for (const std::string& arg : args) expected.push_back(QString::fromStdString(arg));
  EXPECT_EQ(QString::fromUtf8(written.readAll()).split('\n', Qt::SkipEmptyParts), expected);
  for (const char* trace : {"named-pwned", "dollar-pwned", "tick-pwned", "redirected"}) {
    EXPECT_FALSE(QFileInfo::exists(dir.filePath(trace))) << trace;
    EXPECT_FALSE(QFileInfo::exists(dir.filePath(QString("work/") + trace))) << trace;
  }

  EXPECT_EQ(desktop().startProcess("/nonexistent/tool", {}, ""), 0);
  EXPECT_EQ(desktop().findProgram({"sh -c id", "no-such-tool-anywhere"}), "");
  EXPECT_NE(desktop().findProgram({"no-such-tool-anywhere", "sh"}), "");
}

// The lock is held once, freed with its owner, private to its user; a lock
// file that is a symbolic link, or in a missing folder, fails.
TEST(InstanceLock, IsHeldOnceFreedWithItsOwnerAndNeverFollowsALink) {
  QTemporaryDir temp;
  const std::filesystem::path dir = temp.path().toStdString(), file = dir / "instance.lock";
  std::string error;
  os::Fd first, second;
  ASSERT_EQ(os::lockFile(file, first, error), os::LockOutcome::Taken) << error;
  EXPECT_EQ(os::lockFile(file, second, error), os::LockOutcome::HeldElsewhere);
  EXPECT_FALSE(second.valid());
  first.reset();
  EXPECT_EQ(os::lockFile(file, second, error), os::LockOutcome::Taken);
  EXPECT_EQ(std::filesystem::status(file).permissions(),
            std::filesystem::perms::owner_read | std::filesystem::perms::owner_write);

  std::filesystem::create_symlink(dir / "elsewhere", dir / "link.lock");
  error.clear();
  EXPECT_EQ(os::lockFile(dir / "link.lock", first, error), os::LockOutcome::Failed);
  EXPECT_FALSE(error.empty());
  EXPECT_FALSE(std::filesystem::exists(dir / "elsewhere"));
  EXPECT_EQ(os::lockFile(dir / "no" / "such.lock", first, error), os::LockOutcome::Failed);
}

class OneDrive final : public mci::DriveDirectory {
 public:
  std::shared_ptr<drive::CdDrive> cdDrive(char) override { return fake; }
  std::vector<char> cdDriveLetters() override { return {'D'}; }
  std::shared_ptr<testing::FakeCdDrive> fake;
};

// Asked once per process: the cases that must not ask come first.
TEST(TitlesConsent, AsksOnceForADiscWithoutTitlesWhileTheSettingIsUnset) {
  const test::TempDir config;
  const test::ScopedEnv home("XDG_CONFIG_HOME", config.path().string());
  testing::RecordingDesktop desktop;
  testing::ManualClock clock;
  disc::Toc named{{{1, 150, true, 1, "Une", ""}, {2, 9000, false, 2}}, 20000, "Album"};
  disc::Toc bare{{{1, 150}, {2, 9000}}, 20000};
  auto directory = std::make_shared<OneDrive>();
  directory->fake = std::make_shared<testing::FakeCdDrive>(clock, named);
  TitlesConsentDirectory consent(directory);
  const auto read = [&] {
    disc::Toc toc;
    EXPECT_EQ(consent.cdDrive('D')->readToc(toc), drive::DriveError::None);
    QCoreApplication::processEvents();
  };
  EXPECT_EQ(consent.cdDrive('D'), consent.cdDrive('D'));
  read();  // titled
  std::string error;
  ASSERT_TRUE(os::writeSetting("titles", "online", "false", error));
  directory->fake->insertDisc(bare);
  read();  // already answered
  EXPECT_TRUE(desktop.questions.empty());

  std::filesystem::remove(os::settingsFile());
  read();
  read();
  ASSERT_EQ(desktop.questions.size(), 1u);
  EXPECT_EQ(desktop.questions[0].text, kTitlesQuestion);
  EXPECT_EQ(desktop.questions[0].title, "Tavrelo2");
  EXPECT_EQ(os::readSetting("titles", "online"), "true");
}

}  // namespace
}  // namespace tavrelo::win32
