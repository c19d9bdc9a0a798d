// Faults a CD player lives with, each caused on the real program while it
// plays a generated disc in a private world with a sound server of its own:
// what the label shows on a real X server, what the sink plays afterwards, and
// that the program still answers its buttons.

#include <gtest/gtest.h>
#include <signal.h>

#include <QApplication>
#include <QImage>
#include <QProcess>
#include <QRegularExpression>
#include <QScreen>
#include <QTest>
#include <cstring>
#include <filesystem>
#include <iostream>
#include <memory>

#include "platform/disc/PhysicalDrive.h"
#include "player/FrmAudioPlayer.h"
#include "tests/support/PrivateWorld.h"
#include "tests/support/XServer.h"

namespace {

using tavrelo::testdisc::toneFrequency;
using tavrelo::testing::SoundServer;
using tavrelo::testing::tonePower;

constexpr int kTracks = 2;
constexpr int kTrackSeconds = 40;
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

// xdotool's answer to `args`.
QString xdotool(const QStringList& args) {
  std::vector<std::string> argv{"xdotool"};
  for (const QString& arg : args) argv.push_back(arg.toStdString());
  std::string output;
  tavrelo::testing::runProgram(argv, "", &output);
  return QString::fromStdString(output);
}

// "[TT] 00:SS" as a track and a second; {0, -1} for anything else.
struct ShownTime {
  int track = 0;
  int second = -1;
};
ShownTime parseShown(const QString& shown) {
  static const QRegularExpression pattern(R"(^\[(\d\d)\] 00:(\d\d)$)");
  const auto match = pattern.match(shown);
  if (!match.hasMatch()) return {};
  return {match.captured(1).toInt(), match.captured(2).toInt()};
}

// The program as a person uses it: started on the world's disc, clicked on
// the X server, read off the screen, heard through the null sink's monitor.
class FaultMatrix : public ::testing::Test {
 protected:
  explicit FaultMatrix(SoundServer server = SoundServer::PulseAudio)
      : world(kTracks, kTrackSeconds, true, server) {
    program.setProcessChannelMode(QProcess::ForwardedErrorChannel);
  }
  ~FaultMatrix() override {
    program.kill();
    program.waitForFinished(5000);
  }

  ::testing::AssertionResult startProgram() {
    window.clear();
    program.start(TAVRELO2_PROGRAM, {});
    if (!program.waitForStarted(10000)) return ::testing::AssertionFailure() << "did not start";
    if (!findWindow()) return ::testing::AssertionFailure() << "the window did not appear";
    return ::testing::AssertionSuccess();
  }

  // Starts the program, presses Play and waits until track 1 sounds.
  void startPlaying() {
    ASSERT_TRUE(startProgram());
    click(reference.Command2);
    ASSERT_TRUE(shows(kPlayingTrackOne));
    ASSERT_TRUE(hears(1));
  }

  // Waits (20 s at most) for the program's window on the X server.
  bool findWindow() {
    for (int i = 0; i < 200 && window.isEmpty(); ++i) {
      const QStringList found = windows();
      if (!found.isEmpty()) window = found.front();
      if (window.isEmpty()) QTest::qWait(100);
    }
    return !window.isEmpty();
  }

  QStringList windows() {
    return xdotool({"search", "--onlyvisible", "--name", "^Tavrelo2$"})
        .split('\n', Qt::SkipEmptyParts);
  }

  void click(const QPushButton* button) {
    const QPoint centre = button->geometry().center();
    xdotool({"mousemove", "--window", window, QString::number(centre.x()),
             QString::number(centre.y()), "click", "1"});
  }

  // What the status label shows: "", "[TT] 00:SS", or "?" when none matches.
  // Found by drawing every status the label could show in the same panel and
  // taking the one that matches the screen.
  QString status() {
    const QRect panel = reference.Picture1->geometry();
    const QImage screen =
        QGuiApplication::primaryScreen()
            ->grabWindow(window.toULongLong(), panel.x(), panel.y(), panel.width(), panel.height())
            .toImage()
            .convertToFormat(QImage::Format_RGB32);
    reference.Label2->setText("Lecteur CD Audio = " + root);
    QString best = "?";
    qint64 fewest = screen.width() * screen.height() / 50;  // 2 % may differ at most
    QStringList candidates{""};
    for (int track = 1; track <= kTracks; ++track) {
      for (int second = 0; second < kTrackSeconds; ++second)
        candidates
            << QString("[%1] 00:%2").arg(track, 2, 10, QChar('0')).arg(second, 2, 10, QChar('0'));
    }
    for (const QString& candidate : candidates) {
      reference.Label3->setText(candidate);
      const QImage drawn =
          reference.Picture1->grab().toImage().convertToFormat(QImage::Format_RGB32);
      if (drawn.size() != screen.size()) return "size differs";
      qint64 differing = 0;
      for (int y = 0; y < drawn.height(); ++y) {
        const auto* a = reinterpret_cast<const QRgb*>(drawn.constScanLine(y));
        const auto* b = reinterpret_cast<const QRgb*>(screen.constScanLine(y));
        for (int x = 0; x < drawn.width(); ++x) differing += (a[x] & 0xffffff) != (b[x] & 0xffffff);
      }
      if (differing < fewest) {
        fewest = differing;
        best = candidate;
      }
    }
    return best;
  }

  // Reads the label until it matches `wanted` (about 20 s at most); the last reading.
  QString waitForStatus(const QRegularExpression& wanted) {
    QString shown;
    for (int i = 0; i < 100; ++i) {
      shown = status();
      if (wanted.match(shown).hasMatch()) break;
      QTest::qWait(200);
    }
    return shown;
  }
  ::testing::AssertionResult shows(const QRegularExpression& wanted) {
    const QString shown = waitForStatus(wanted);
    if (wanted.match(shown).hasMatch()) return ::testing::AssertionSuccess();
    return ::testing::AssertionFailure() << "the label shows \"" << shown.toStdString() << '"';
  }

  // About a second of what the sink plays. On a loaded machine the recorder
  // may take a while to connect: it gives up after ten.
  std::vector<std::int16_t> record() {
    tavrelo::testing::Recorder recorder(world.sound.server());
    for (int i = 0; i < 100 && recorder.bytes() < 44100 * 4; ++i) QTest::qWait(100);
    return recorder.finish();
  }

  // True when the sink plays `track`'s tone rather than the other track's;
  // for track 0, when it plays none of the disc's tones: a full-scale tone
  // over a second has a power near 1e8, a thousandth of its amplitude still 100.
  ::testing::AssertionResult hears(int track) {
    const auto samples = record();
    if (samples.size() < 22050)
      return ::testing::AssertionFailure() << "recorded too little: " << samples.size();
    const double one = tonePower(samples, toneFrequency(1, 0));
    const double two = tonePower(samples, toneFrequency(2, 0));
    const bool heard =
        track == 0 ? one <= 100 && two <= 100 : (track == 1 ? one >= 10 * two : two >= 10 * one);
    if (!heard) return ::testing::AssertionFailure() << "tone powers " << one << ", " << two;
    return ::testing::AssertionSuccess();
  }
  ::testing::AssertionResult hearsSilence() { return hears(0); }

  bool running() const { return program.state() == QProcess::Running; }

  tavrelo::testing::PrivateWorld world;
  // The sheet's drive letter comes after the physical drives'.
  const QString root =
      QString("%1:\\").arg(QChar('D' + int(tavrelo::disc::listPhysicalDrives().size())));
  QProcess program;
  QString window;
  FrmAudioPlayer reference;  // the same controls, drawn here for comparison
};

TEST_F(FaultMatrix, TheDriveServiceKilledMidPlayEmptiesTheLabelUntilTheDriveIsOpenedAgain) {
  startPlaying();
  const int service = world.servicePid();
  ASSERT_GT(service, 0);
  ASSERT_EQ(::kill(service, SIGKILL), 0);

  EXPECT_TRUE(shows(kEmpty));
  EXPECT_TRUE(hearsSilence());
  ASSERT_TRUE(running());

  // The drive button opens the drive again, in a new service, at the start.
  click(reference.CD()[0]);
  EXPECT_TRUE(shows(kStopped));
  click(reference.Command2);
  EXPECT_TRUE(shows(kPlayingTrackOne));
  EXPECT_TRUE(hears(1));
  EXPECT_NE(world.servicePid(), service);
}

// Under PipeWire, its pulse server restarts; PipeWire itself runs on.
class SoundServerRestart : public FaultMatrix, public ::testing::WithParamInterface<SoundServer> {
 protected:
  SoundServerRestart() : FaultMatrix(GetParam()) {}
};

TEST_P(SoundServerRestart, MidPlayIsHeardAgainWithoutRestartingTheDriveService) {
  startPlaying();
  const int service = world.servicePid();
  world.sound.stop();
  // Without a sound server the drive plays on by the wall clock.
  const ShownTime before = parseShown(status());
  QTest::qWait(2500);
  const ShownTime during = parseShown(status());
  EXPECT_EQ(during.track, 1);
  EXPECT_GE(during.second, before.second + 2);

  ASSERT_TRUE(world.sound.start());
  QTest::qWait(2500);  // the sink finds the new server within two seconds
  EXPECT_TRUE(hears(1));
  const ShownTime after = parseShown(status());
  EXPECT_EQ(after.track, 1);
  EXPECT_GT(after.second, during.second);
  EXPECT_TRUE(running());
  EXPECT_EQ(world.servicePid(), service);
}

INSTANTIATE_TEST_SUITE_P(Both, SoundServerRestart,
                         ::testing::ValuesIn(tavrelo::testing::kSoundServers),
                         ::testing::PrintToStringParamName());

// Sectors that never read are played as silence; the position, and the
// sound after them, go on.
class ScratchedDisc : public FaultMatrix {
 protected:
  static constexpr int kFirstBadSecond = 4;
  static constexpr int kBadSeconds = 6;

  void SetUp() override {
    const int first = world.disc.toc.tracks.front().start + kFirstBadSecond * kSectorsPerSecond;
    service.setProcessChannelMode(QProcess::ForwardedChannels);
    service.start(TAVRELO_SCRATCHED_SERVICE,
                  {QString::number(first), QString::number(kBadSeconds * kSectorsPerSecond)});
    ASSERT_TRUE(service.waitForStarted(5000));
    const auto socket = world.serviceFolder() / "drived.sock";
    for (int i = 0; i < 100 && !std::filesystem::exists(socket); ++i) QTest::qWait(50);
    ASSERT_TRUE(std::filesystem::exists(socket));
  }

  QProcess service;
};

TEST_F(ScratchedDisc, ARunOfUnreadableSectorsIsSilenceAndPlayGoesOn) {
  startPlaying();
  ASSERT_TRUE(shows(trackOneFrom(kFirstBadSecond + 1, kFirstBadSecond + 2)));
  EXPECT_TRUE(hearsSilence());
  EXPECT_TRUE(shows(trackOneFrom(kFirstBadSecond + kBadSeconds + 1, 30)));
  EXPECT_TRUE(hears(1));
  EXPECT_TRUE(running());
}

TEST_F(FaultMatrix, ABinFileCutShortWhilePlayingEndsInSilenceNotInAHang) {
  startPlaying();
  constexpr int kCutAtSecond = 14;
  // Track 1 is at the start of the sheet's one BIN file.
  std::filesystem::resize_file(world.disc.files.front(),
                               std::uintmax_t{kCutAtSecond} * kSectorsPerSecond * kSectorBytes);

  EXPECT_TRUE(shows(trackOneFrom(kCutAtSecond + 2, 30)));
  EXPECT_TRUE(hearsSilence());

  click(reference.Command5);  // Stop: back at the start, as the buttons promise
  EXPECT_TRUE(shows(kStopped));
  EXPECT_TRUE(running());
}

TEST_F(FaultMatrix, ABinFileDeletedWhilePlayingPlaysOnAndIsNoDiscOnceTheTrayCloses) {
  startPlaying();
  std::filesystem::remove(world.disc.files.front());
  // The drive holds the file open, as a drive holds its disc.
  EXPECT_TRUE(shows(trackOneFrom(12, 30)));
  EXPECT_TRUE(hears(1));

  click(reference.Command6);  // Eject
  EXPECT_TRUE(shows(kEmpty));
  click(reference.Command7);  // Load: the sheet names a file that is gone
  QTest::qWait(2500);
  EXPECT_EQ(status(), "");
  EXPECT_TRUE(hearsSilence());
  EXPECT_TRUE(running());
}

// Load with the tray closed changes nothing; the tray opened mid-play, and
// again, then closed stands stopped at the start.
TEST_F(FaultMatrix, LoadOnlyClosesTheTrayAndTheClosedTrayStandsStoppedAtTheStart) {
  ASSERT_TRUE(startProgram());
  EXPECT_TRUE(shows(kStopped));
  click(reference.Command7);  // Load, stopped
  QTest::qWait(1500);
  EXPECT_EQ(status(), "[01] 00:00");

  click(reference.Command2);
  ASSERT_TRUE(shows(kPlayingTrackOne));
  const ShownTime before = parseShown(status());
  click(reference.Command7);  // Load, playing
  QTest::qWait(1500);
  const ShownTime after = parseShown(status());
  EXPECT_EQ(after.track, 1);
  EXPECT_GT(after.second, before.second);
  EXPECT_TRUE(hears(1));

  click(reference.Command6);  // Eject
  EXPECT_TRUE(shows(kEmpty));
  EXPECT_TRUE(hearsSilence());
  click(reference.Command6);  // Eject again, the tray already open
  QTest::qWait(1500);
  EXPECT_EQ(status(), "");
  click(reference.Command7);  // Load
  EXPECT_TRUE(shows(kStopped));
  EXPECT_TRUE(hearsSilence());
  click(reference.Command2);
  EXPECT_TRUE(shows(kPlayingTrackOne));
  EXPECT_TRUE(hears(1));
}

TEST_F(FaultMatrix, TwoStartsAtTheSameInstantShowExactlyOneWindow) {
  QProcess second;
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
  EXPECT_EQ(windows().size(), 1);

  // A later start brings the window forward from under another one.
  QWidget cover;
  cover.setGeometry(QGuiApplication::primaryScreen()->geometry());
  cover.show();
  ASSERT_EQ(waitForStatus(QRegularExpression(R"(^\?$)")), "?");
  EXPECT_EQ(QProcess::execute(TAVRELO2_PROGRAM, {}), 0);
  EXPECT_EQ(waitForStatus(kStopped), "[01] 00:00");

  click(reference.Command2);
  EXPECT_TRUE(shows(kPlayingTrackOne));
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

// Next plays the next track; an end request (SIGTERM, as at a logout) closes
// the window as its close box does: "stop cd", "close cd", "close all"
// silence the disc, and the program ends normally.
TEST_F(FaultMatrix, NextPlaysTheNextTrackAndAnEndRequestClosesTheWindowAndStopsTheDisc) {
  startPlaying();
  click(reference.Command3);
  EXPECT_TRUE(shows(QRegularExpression(R"(^\[02\] 00:0[0-9]$)")));
  EXPECT_TRUE(hears(2));
  program.terminate();
  ASSERT_TRUE(program.waitForFinished(10000));
  EXPECT_EQ(program.exitStatus(), QProcess::NormalExit);
  EXPECT_EQ(program.exitCode(), 0);
  EXPECT_TRUE(hearsSilence());
}

}  // namespace

// The process owns an X server: the program under test and this process
// (which reads the screen) both connect to it.
int main(int argc, char** argv) {
  bool listing = false;
  for (int i = 1; i < argc; ++i)
    listing = listing || std::strcmp(argv[i], "--gtest_list_tests") == 0;
  std::unique_ptr<tavrelo::testing::XvfbServer> server;
  if (listing) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
  } else {
    server = std::make_unique<tavrelo::testing::XvfbServer>();
    if (!server->running()) {
      std::cerr << "no X server: " << server->error() << '\n';
      return 1;
    }
    qputenv("DISPLAY", server->display().c_str());
    qputenv("QT_QPA_PLATFORM", "xcb");
  }
  QApplication application(argc, argv);
  ::testing::InitGoogleTest(&argc, argv);
  return RUN_ALL_TESTS();
}
