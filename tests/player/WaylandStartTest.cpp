#include <gtest/gtest.h>
#include <signal.h>
#include <sys/stat.h>

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>

#include "platform/disc/PhysicalDrive.h"
#include "tools/testdisc/TestDisc.h"

namespace {

// The program as a desktop starts it for a CUE sheet, on a headless Wayland
// compositor: its window goes to the compositor, the sheet becomes a drive
// and plays; a second start with the sheet plays it again through the
// running copy's drive service.
class WaylandStartTest : public ::testing::Test {
 protected:
  void SetUp() override {
    if (QStandardPaths::findExecutable("weston").isEmpty()) GTEST_SKIP() << "no weston";
    ASSERT_TRUE(folder.isValid());
    runtime = folder.filePath("xdg");
    ASSERT_TRUE(QDir().mkpath(runtime));
    ::chmod(runtime.toLocal8Bit().constData(), 0700);
    tavrelo::testdisc::DiscSpec layout;
    layout.tracks = tavrelo::testdisc::plainTracks(2, 20);
    disc = tavrelo::testdisc::writeDisc(folder.filePath("disc").toStdString(), layout);
    // The sheet's letter comes after the physical drives'.
    root = QString("%1:\\").arg(QChar('D' + int(tavrelo::disc::listPhysicalDrives().size())));

    environment.insert("XDG_RUNTIME_DIR", runtime);
    environment.insert("PULSE_SERVER", "unix:" + folder.filePath("no-sound"));
    environment.remove("DISPLAY");
    weston.setProcessEnvironment(environment);
    weston.start("weston", {"--backend=headless-backend.so", "--no-config", "--idle-time=0",
                            "--socket=wayland-tavrelo"});
    ASSERT_TRUE(QTest::qWaitFor([&] { return QFile::exists(runtime + "/wayland-tavrelo"); }, 10000))
        << weston.readAllStandardError().toStdString();
    environment.insert("WAYLAND_DISPLAY", "wayland-tavrelo");
    environment.insert("QT_QPA_PLATFORM", "wayland");  // no fallback to X11
    environment.insert("WAYLAND_DEBUG", "client");
    program.setProcessEnvironment(environment);
  }
  void TearDown() override {
    for (QProcess* process : {&program, &weston}) {
      process->terminate();
      if (!process->waitForFinished(5000)) process->kill();
    }
    QFile lock(runtime + "/tavrelo2/drived.lock");
    if (lock.open(QIODevice::ReadOnly)) ::kill(lock.readAll().trimmed().toInt(), SIGTERM);
  }
  // Replies of mcisend on the sheet's drive, opened shareable.
  QString mci(QStringList commands) {
    QProcess mcisend;
    QProcessEnvironment withSheet = environment;
    withSheet.insert("TAVRELO2_DISC_IMAGES", QString::fromStdString(disc.cue.string()));
    mcisend.setProcessEnvironment(withSheet);
    commands.prepend("open " + root + " type cdaudio alias cd shareable");
    mcisend.start(TAVRELO_MCISEND, commands);
    mcisend.waitForFinished(20000);
    return QString::fromUtf8(mcisend.readAllStandardOutput());
  }
  bool plays() {
    return QTest::qWaitFor([&] { return mci({"status cd mode"}).endsWith("playing\n"); }, 10000);
  }

  QTemporaryDir folder;
  QString runtime;
  tavrelo::testdisc::TestDisc disc;
  QString root;
  QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
  QProcess weston;
  QProcess program;
};

TEST_F(WaylandStartTest, ASheetOpensTheWindowAndPlaysAlsoThroughARunningCopy) {
  const QString sheet = QString::fromStdString(disc.cue.string());
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
  second.setProcessEnvironment(environment);
  second.start(TAVRELO2_PROGRAM, {sheet});
  ASSERT_TRUE(second.waitForFinished(20000));
  EXPECT_EQ(second.exitCode(), 0);
  EXPECT_FALSE(second.readAllStandardError().contains("xdg_toplevel"));
  EXPECT_TRUE(plays());
  EXPECT_EQ(program.state(), QProcess::Running);
}

}  // namespace
