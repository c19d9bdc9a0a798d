#include <gtest/gtest.h>

#include <QRegularExpression>

#include "tests/player/ProgramOnScreen.h"

namespace {

using tavrelo::testing::powerAt;

using EndToEndTest = tavrelo::testing::ProgramOnScreen;

TEST_F(EndToEndTest, PlayNextAndEjectShowAndSoundAsTheyShould) {
  ASSERT_TRUE(startProgram());
  // Stopped at the start: empty before the first tick, "[01] 00:00" after it.
  const QString loaded = waitForStatus(QRegularExpression(R"(^(\[01\] 00:00)?$)"));
  EXPECT_TRUE(loaded == "" || loaded == "[01] 00:00") << loaded.toStdString();

  click(reference.Command2);  // Play
  const QString playing = waitForStatus(QRegularExpression(R"(^\[01\] 00:0[1-9]$)"));
  saveScreen("end-to-end-playing.png");
  EXPECT_TRUE(QRegularExpression(R"(^\[01\] 00:0[1-9]$)").match(playing).hasMatch())
      << playing.toStdString();
  EXPECT_TRUE(hears(1));

  click(reference.Command3);  // Next
  const QString next = waitForStatus(QRegularExpression(R"(^\[02\] 00:0[0-9]$)"));
  EXPECT_TRUE(QRegularExpression(R"(^\[02\] 00:0[0-9]$)").match(next).hasMatch())
      << next.toStdString();
  EXPECT_TRUE(hears(2));

  click(reference.Command6);  // Eject
  const QString ejected = waitForStatus(QRegularExpression("^$"));
  saveScreen("end-to-end-ejected.png");
  EXPECT_EQ(ejected, "");
  const auto silence = record();
  ASSERT_FALSE(silence.empty());
  // The open tray stops the sound: not even a hundredth of the tone is left.
  EXPECT_LT(powerAt(silence, tavrelo::testdisc::toneFrequency(2, 0)), heardPower / 100);

  click(reference.Command10);  // Quit
  ASSERT_TRUE(program.waitForFinished(10000));
  EXPECT_EQ(program.exitStatus(), QProcess::NormalExit);
  EXPECT_EQ(program.exitCode(), 0);
}

// Quit leaves the disc playing in its drive, as on Windows; the next start
// finds it playing, and closing the window stops it. A second copy started
// meanwhile ends without a window and disturbs nothing.
TEST_F(EndToEndTest, QuitLeavesTheDiscPlayingAndClosingTheWindowStopsIt) {
  ASSERT_TRUE(startProgram());
  click(reference.Command2);  // Play
  const QRegularExpression onTrackOne(R"(^\[01\] 00:[0-9]{2}$)");
  ASSERT_TRUE(onTrackOne.match(waitForStatus(onTrackOne)).hasMatch());

  QProcess second;
  second.setProcessEnvironment(program.processEnvironment());
  second.start(TAVRELO2_PROGRAM, {});
  ASSERT_TRUE(second.waitForFinished(30000));
  EXPECT_EQ(second.exitCode(), 0);
  EXPECT_EQ(visibleWindows(), 1);
  EXPECT_TRUE(hears(1));

  click(reference.Command10);  // Quit: nothing is sent, the disc plays on
  ASSERT_TRUE(program.waitForFinished(10000));
  EXPECT_EQ(program.exitCode(), 0);
  EXPECT_TRUE(hears(1));

  ASSERT_TRUE(startProgram());
  const QString found = waitForStatus(QRegularExpression(R"(^\[01\] 00:(0[4-9]|1[0-9])$)"));
  EXPECT_TRUE(QRegularExpression(R"(^\[01\] 00:(0[4-9]|1[0-9])$)").match(found).hasMatch())
      << found.toStdString();

  closeWindow();  // "stop cd", "close cd", "close all"
  ASSERT_TRUE(program.waitForFinished(10000));
  EXPECT_EQ(program.exitCode(), 0);
  const auto silence = record();
  ASSERT_FALSE(silence.empty());
  EXPECT_LT(powerAt(silence, tavrelo::testdisc::toneFrequency(1, 0)), heardPower / 100);
}

}  // namespace
