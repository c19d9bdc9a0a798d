#include <gtest/gtest.h>

#include <QFile>
#include <QProcess>
#include <QStandardPaths>
#include <QTest>

#include "platform/disc/PhysicalDrive.h"
#include "tests/support/PrivateWorld.h"

namespace {

// The program as a desktop starts it for a CUE sheet, on a headless Wayland
// compositor: its window goes to the compositor, the sheet becomes a drive
// and plays; a second start with the sheet plays it again through the
// running copy's drive service.
class WaylandStartTest : public ::testing::Test {
 protected:
  void SetUp() override {
    if (QStandardPaths::findExecutable("weston").isEmpty()) GTEST_SKIP() << "no weston";
    world.setenv("TAVRELO2_DISC_IMAGES", "");  // the sheet comes as the argument
    weston.start("weston", {"--backend=headless-backend.so", "--no-config", "--idle-time=0",
                            "--socket=wayland-tavrelo"});
    const QString socket = QString::fromStdString((world.runtime / "wayland-tavrelo").string());
    ASSERT_TRUE(QTest::qWaitFor([&] { return QFile::exists(socket); }, 10000))
        << weston.readAllStandardError().toStdString();
    world.setenv("WAYLAND_DISPLAY", "wayland-tavrelo");
    world.setenv("QT_QPA_PLATFORM", "wayland");  // no fallback to X11
    world.setenv("WAYLAND_DEBUG", "client");
  }
  void TearDown() override {
    for (QProcess* process : {&program, &weston}) {
      process->terminate();
      if (!process->waitForFinished(5000)) process->kill();
    }
  }
  // Replies of mcisend on the sheet's drive, opened shareable.
  QString mci(QStringList commands) {
    QProcess mcisend;
    QProcessEnvironment withSheet = QProcessEnvironment::systemEnvironment();
    withSheet.insert("TAVRELO2_DISC_IMAGES", sheet);
    mcisend.setProcessEnvironment(withSheet);
    commands.prepend("open " + root + " type cdaudio alias cd shareable");
    mcisend.start(TAVRELO_MCISEND, commands);
    mcisend.waitForFinished(20000);
    return QString::fromUtf8(mcisend.readAllStandardOutput());
  }
  bool plays() {
    return QTest::qWaitFor([&] { return mci({"status cd mode"}).endsWith("playing\n"); }, 10000);
  }

  tavrelo::testing::PrivateWorld world{2, 20, false};
  const QString sheet = QString::fromStdString(world.disc.cue.string());
  // The sheet's letter comes after the physical drives'.
  const QString root =
      QString("%1:\\").arg(QChar('D' + int(tavrelo::disc::listPhysicalDrives().size())));
  QProcess weston;
  QProcess program;
};

TEST_F(WaylandStartTest, ASheetOpensTheWindowAndPlaysAlsoThroughARunningCopy) {
  program.start(TAVRELO2_PROGRAM, {"file://" + sheet});
  QByteArray protocol;  // the client's Wayland requests, as WAYLAND_DEBUG logs them
  const auto titled = [&] {
    protocol += program.readAllStandardError();
    return protocol.contains("set_title(\"Tavrelo2\")");
  };
  ASSERT_TRUE(
      QTest::qWaitFor([&] { return titled() || program.state() == QProcess::NotRunning; }, 20000) &&
      program.state() == QProcess::Running)
      << protocol.right(2000).toStdString();
  EXPECT_TRUE(plays());

  mci({"stop cd"});
  QProcess second;
  second.start(TAVRELO2_PROGRAM, {sheet});
  ASSERT_TRUE(second.waitForFinished(20000));
  EXPECT_EQ(second.exitCode(), 0);
  EXPECT_FALSE(second.readAllStandardError().contains("xdg_toplevel"));
  EXPECT_TRUE(plays());
  EXPECT_EQ(program.state(), QProcess::Running);
}

}  // namespace
