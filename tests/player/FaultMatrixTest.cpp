// Faults a CD player lives with, each caused on the real program while it
// plays a generated disc: what the label shows and what the sink plays
// afterwards, and that the program still answers its buttons. Each test has a
// sound server of its own, so it can kill it and disturbs no other test.

#include <gtest/gtest.h>
#include <signal.h>

#include <QDir>
#include <QFileInfo>
#include <QTest>
#include <filesystem>

#include "tests/drive/support/PrivatePulse.h"
#include "tests/player/ProgramOnScreen.h"

namespace {

using tavrelo::testing::parseShown;
using tavrelo::testing::PrivatePulse;
using tavrelo::testing::ShownTime;

constexpr int kSectorsPerSecond = 75;
constexpr int kSectorBytes = 2352;

const QRegularExpression kEmpty("^$");
const QRegularExpression kStopped(R"(^\[01\] 00:00$)");
const QRegularExpression kPlayingTrackOne(R"(^\[01\] 00:0[1-9]$)");

QRegularExpression trackOneFrom(int first, int last) {
  QStringList seconds;
  for (int second = first; second <= last; ++second)
    seconds << QString("%1").arg(second, 2, 10, QChar('0'));
  return QRegularExpression(R"(^\[01\] 00:()" + seconds.join('|') + ")$");
}

class FaultMatrix : public tavrelo::testing::ProgramOnScreen {
 protected:
  FaultMatrix() : ProgramOnScreen(2, 40) {}

  void SetUp() override {
    ASSERT_TRUE(sound.start());
    pulseServer = QString::fromStdString(sound.server());
    ProgramOnScreen::SetUp();
  }

  // Starts the program, presses Play and waits until track 1 sounds.
  void startPlaying() {
    ASSERT_TRUE(startProgram());
    click(reference.Command2);
    const QString shown = waitForStatus(kPlayingTrackOne);
    ASSERT_TRUE(kPlayingTrackOne.match(shown).hasMatch()) << shown.toStdString();
    ASSERT_TRUE(hears(1));
  }

  bool running() const { return program.state() == QProcess::Running; }

  // Where `second` of track 1 is in the sheet's one BIN file.
  qint64 binOffset(int second) const {
    return qint64{second} * kSectorsPerSecond * kSectorBytes;
  }

  PrivatePulse sound;
};

TEST_F(FaultMatrix, TheDriveServiceKilledMidPlayEmptiesTheLabelUntilTheDriveIsOpenedAgain) {
  startPlaying();
  const int service = servicePid();
  ASSERT_GT(service, 0);
  ASSERT_EQ(::kill(service, SIGKILL), 0);

  EXPECT_EQ(waitForStatus(kEmpty), "");
  EXPECT_TRUE(hearsSilence());
  ASSERT_TRUE(running());

  // The drive button opens the drive again, in a new service, at the start.
  click(reference.CD()[0]);
  EXPECT_EQ(waitForStatus(kStopped), "[01] 00:00");
  click(reference.Command2);
  const QString shown = waitForStatus(kPlayingTrackOne);
  EXPECT_TRUE(kPlayingTrackOne.match(shown).hasMatch()) << shown.toStdString();
  EXPECT_TRUE(hears(1));
  EXPECT_NE(servicePid(), service);
}

TEST_F(FaultMatrix, TheSoundServerRestartedMidPlayIsHeardAgainWithoutARestart) {
  startPlaying();
  sound.stop();
  // Without a sound server the drive plays on by the wall clock.
  const ShownTime before = parseShown(status());
  QTest::qWait(2500);
  const ShownTime during = parseShown(status());
  EXPECT_EQ(during.track, 1);
  EXPECT_GE(during.second, before.second + 2);

  ASSERT_TRUE(sound.start());
  QTest::qWait(2500);  // the sink finds the new server within two seconds
  EXPECT_TRUE(hears(1));
  const ShownTime after = parseShown(status());
  EXPECT_EQ(after.track, 1);
  EXPECT_GT(after.second, during.second);
  EXPECT_TRUE(running());
}

// Sectors that never read are played as silence; the position, and the
// sound after them, go on.
class ScratchedDisc : public FaultMatrix {
 protected:
  static constexpr int kFirstBadSecond = 8;
  static constexpr int kBadSeconds = 8;

  void SetUp() override {
    FaultMatrix::SetUp();
    if (HasFatalFailure()) return;
    const int first = disc.toc.tracks.front().start + kFirstBadSecond * kSectorsPerSecond;
    service.setProcessEnvironment(program.processEnvironment());
    service.setProcessChannelMode(QProcess::ForwardedChannels);
    service.start(TAVRELO_SCRATCHED_SERVICE,
                  {QString::number(first), QString::number(kBadSeconds * kSectorsPerSecond)});
    ASSERT_TRUE(service.waitForStarted(5000));
    const QString socket = QDir(runtimeDir).filePath("tavrelo2/drived.sock");
    for (int i = 0; i < 100 && !QFileInfo::exists(socket); ++i) QTest::qWait(50);
    ASSERT_TRUE(QFileInfo::exists(socket));
  }

  QProcess service;
};

TEST_F(ScratchedDisc, ARunOfUnreadableSectorsIsSilenceAndPlayGoesOn) {
  startPlaying();
  const auto inside = trackOneFrom(kFirstBadSecond + 1, kFirstBadSecond + 2);
  const QString scratched = waitForStatus(inside);
  ASSERT_TRUE(inside.match(scratched).hasMatch()) << scratched.toStdString();
  EXPECT_TRUE(hearsSilence());

  const auto past = trackOneFrom(kFirstBadSecond + kBadSeconds + 1, 30);
  const QString shown = waitForStatus(past);
  EXPECT_TRUE(past.match(shown).hasMatch()) << shown.toStdString();
  EXPECT_TRUE(hears(1));
  EXPECT_TRUE(running());
}

TEST_F(FaultMatrix, ABinFileCutShortWhilePlayingEndsInSilenceNotInAHang) {
  startPlaying();
  constexpr int kCutAtSecond = 14;
  std::filesystem::resize_file(disc.files.front(), static_cast<std::uintmax_t>(binOffset(kCutAtSecond)));

  const auto pastTheCut = trackOneFrom(kCutAtSecond + 2, 30);
  const QString shown = waitForStatus(pastTheCut);
  EXPECT_TRUE(pastTheCut.match(shown).hasMatch()) << shown.toStdString();
  EXPECT_TRUE(hearsSilence());

  click(reference.Command5);  // Stop: back at the start, as the buttons promise
  EXPECT_EQ(waitForStatus(kStopped), "[01] 00:00");
  EXPECT_TRUE(running());
}

TEST_F(FaultMatrix, ABinFileDeletedWhilePlayingPlaysOnAndIsNoDiscOnceTheTrayCloses) {
  startPlaying();
  std::filesystem::remove(disc.files.front());
  // The drive holds the file open, as a drive holds its disc.
  const auto later = trackOneFrom(12, 30);
  const QString shown = waitForStatus(later);
  EXPECT_TRUE(later.match(shown).hasMatch()) << shown.toStdString();
  EXPECT_TRUE(hears(1));

  click(reference.Command6);  // Eject
  EXPECT_EQ(waitForStatus(kEmpty), "");
  click(reference.Command7);  // Load: the sheet names a file that is gone
  QTest::qWait(2500);
  EXPECT_EQ(status(), "");
  EXPECT_TRUE(hearsSilence());
  EXPECT_TRUE(running());
}

TEST_F(FaultMatrix, TheTrayOpenedMidPlayTwiceThenClosedStandsStoppedAtTheStart) {
  startPlaying();
  click(reference.Command6);  // Eject
  EXPECT_EQ(waitForStatus(kEmpty), "");
  EXPECT_TRUE(hearsSilence());
  click(reference.Command6);  // Eject again, the tray already open
  QTest::qWait(1500);
  EXPECT_EQ(status(), "");

  click(reference.Command7);  // Load
  EXPECT_EQ(waitForStatus(kStopped), "[01] 00:00");
  EXPECT_TRUE(hearsSilence());
  click(reference.Command2);
  const QString shown = waitForStatus(kPlayingTrackOne);
  EXPECT_TRUE(kPlayingTrackOne.match(shown).hasMatch()) << shown.toStdString();
  EXPECT_TRUE(hears(1));
}

TEST_F(FaultMatrix, LoadWithTheTrayClosedChangesNothing) {
  ASSERT_TRUE(startProgram());
  EXPECT_EQ(waitForStatus(kStopped), "[01] 00:00");
  click(reference.Command7);  // Load, stopped
  QTest::qWait(1500);
  EXPECT_EQ(status(), "[01] 00:00");

  click(reference.Command2);
  ASSERT_TRUE(kPlayingTrackOne.match(waitForStatus(kPlayingTrackOne)).hasMatch());
  const ShownTime before = parseShown(status());
  click(reference.Command7);  // Load, playing
  QTest::qWait(1500);
  const ShownTime after = parseShown(status());
  EXPECT_EQ(after.track, 1);
  EXPECT_GT(after.second, before.second);
  EXPECT_TRUE(hears(1));
}

TEST_F(FaultMatrix, TwoStartsAtTheSameInstantShowExactlyOneWindow) {
  QProcess second;
  second.setProcessEnvironment(program.processEnvironment());
  second.setProcessChannelMode(QProcess::ForwardedErrorChannel);
  program.start(TAVRELO2_PROGRAM, {});
  second.start(TAVRELO2_PROGRAM, {});
  ASSERT_TRUE(program.waitForStarted(10000));
  ASSERT_TRUE(second.waitForStarted(10000));
  ASSERT_TRUE(findWindow());
  // The one that lost ends quietly; the other stays.
  const auto bothRunning = [&] {
    return program.state() != QProcess::NotRunning && second.state() != QProcess::NotRunning;
  };
  for (int i = 0; i < 300 && bothRunning(); ++i) QTest::qWait(100);
  QTest::qWait(1000);
  ASSERT_FALSE(bothRunning());
  QProcess& loser = program.state() == QProcess::NotRunning ? program : second;
  QProcess& winner = &loser == &program ? second : program;
  EXPECT_EQ(loser.exitStatus(), QProcess::NormalExit);
  EXPECT_EQ(loser.exitCode(), 0);
  EXPECT_EQ(winner.state(), QProcess::Running);
  EXPECT_EQ(visibleWindows(), 1);

  click(reference.Command2);
  const QString shown = waitForStatus(kPlayingTrackOne);
  EXPECT_TRUE(kPlayingTrackOne.match(shown).hasMatch()) << shown.toStdString();
  EXPECT_TRUE(hears(1));
  second.kill();
  second.waitForFinished(5000);
}

TEST_F(FaultMatrix, QuitAndRestartTenTimesDuringPlayFindsTheDiscPlayingEachTime) {
  startPlaying();
  const QRegularExpression playing(R"(^\[0[12]\] 00:\d\d$)");
  ShownTime last = parseShown(status());
  for (int round = 1; round <= 10; ++round) {
    SCOPED_TRACE(round);
    click(reference.Command10);  // Quit
    ASSERT_TRUE(program.waitForFinished(10000));
    EXPECT_EQ(program.exitCode(), 0);
    ASSERT_TRUE(startProgram());
    const QString shown = waitForStatus(playing);
    ASSERT_TRUE(playing.match(shown).hasMatch()) << shown.toStdString();
    const ShownTime now = parseShown(shown);
    // Later on the disc than at the round before: the disc played on.
    EXPECT_TRUE(now.track > last.track || (now.track == last.track && now.second >= last.second))
        << shown.toStdString();
    last = now;
  }
  if (last.second >= 37) last = parseShown(waitForStatus(QRegularExpression(R"(^\[02\])")));
  EXPECT_TRUE(hears(last.track));
}

}  // namespace
