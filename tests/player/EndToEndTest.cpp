#include <QtGui/qguiapplication_platform.h>
#include <gtest/gtest.h>
#include <unistd.h>
#include <xcb/xcb.h>

#include <QDir>
#include <QFileInfo>
#include <QGuiApplication>
#include <QImage>
#include <QProcess>
#include <QRegularExpression>
#include <QScreen>
#include <QTemporaryDir>
#include <QTest>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "platform/disc/PhysicalDrive.h"
#include "platform/win32/DriveLetters.h"
#include "player/FrmAudioPlayer.h"
#include "player/Twips.h"
#include "tools/testdisc/TestDisc.h"

namespace {

// Runs a short helper program to its end; its standard output.
QString run(const QString& program, const QStringList& args) {
  QProcess process;
  process.start(program, args);
  if (!process.waitForFinished(20000)) {
    process.kill();
    process.waitForFinished(5000);
  }
  return QString::fromUtf8(process.readAllStandardOutput());
}

// Goertzel power of `frequency` (Hz) in the left channel.
double powerAt(const std::vector<std::int16_t>& stereo, double frequency) {
  const double coefficient = 2 * std::cos(2 * M_PI * frequency / 44100.0);
  double s1 = 0;
  double s2 = 0;
  for (std::size_t i = 0; i < stereo.size(); i += 2) {
    const double s0 = stereo[i] + coefficient * s1 - s2;
    s2 = s1;
    s1 = s0;
  }
  return s1 * s1 + s2 * s2 - coefficient * s1 * s2;
}

// The program as a person uses it: started on a generated disc image with the
// real sound server, clicked on a real X server, read off the screen, and
// heard through the null sink's monitor.
class EndToEndTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(folder.isValid());
    QDir(folder.path()).mkdir("xdg");
    ::chmod(QDir(folder.path()).filePath("xdg").toLocal8Bit().constData(), 0700);
    tavrelo::testdisc::DiscSpec layout;
    layout.tracks = tavrelo::testdisc::plainTracks(3, 20);
    disc = tavrelo::testdisc::writeDisc(folder.path().toStdString(), layout);
    std::vector<std::string> warnings;
    const auto table = tavrelo::win32::buildDriveTable(tavrelo::disc::listPhysicalDrives(),
                                                       disc.cue.string(), warnings);
    root = QString::fromStdString(table.back().root);

    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert("XDG_RUNTIME_DIR", QDir(folder.path()).filePath("xdg"));
    environment.insert("PULSE_SERVER", TAVRELO_TEST_PULSE_SERVER);
    environment.insert("TAVRELO2_DISC_IMAGES", QString::fromStdString(disc.cue.string()));
    environment.insert("QT_QPA_PLATFORM", "xcb");
    program.setProcessEnvironment(environment);
    program.setProcessChannelMode(QProcess::ForwardedErrorChannel);
  }
  void TearDown() override {
    if (program.state() != QProcess::NotRunning) {
      program.kill();
      program.waitForFinished(5000);
    }
  }

  int px(double twips) const {
    return twipsToPixels(twips, QGuiApplication::primaryScreen()->logicalDotsPerInchX());
  }

  bool findWindow() {
    for (int i = 0; i < 200 && window.isEmpty(); ++i) {
      const QStringList found = run("xdotool", {"search", "--onlyvisible", "--name", "^Tavrelo2$"})
                                    .split('\n', Qt::SkipEmptyParts);
      if (!found.isEmpty()) window = found.front();
      if (window.isEmpty()) QTest::qWait(100);
    }
    if (window.isEmpty()) return false;
    const QString shell = run("xdotool", {"getwindowgeometry", "--shell", window});
    const auto field = [&](const char* name) {
      const auto match = QRegularExpression(QString("%1=(-?\\d+)").arg(name)).match(shell);
      return match.hasMatch() ? match.captured(1).toInt() : -1;
    };
    origin = QPoint(field("X"), field("Y"));
    return origin.x() >= 0;
  }

  void click(const QPushButton* button) {
    const QPoint centre = button->geometry().center();
    run("xdotool", {"mousemove", "--window", window, QString::number(centre.x()),
                    QString::number(centre.y()), "click", "1"});
  }

  QImage panelOnScreen() {
    const QRect panel = reference.Picture1->geometry().translated(origin);
    return QGuiApplication::primaryScreen()
        ->grabWindow(0, panel.x(), panel.y(), panel.width(), panel.height())
        .toImage()
        .convertToFormat(QImage::Format_RGB32);
  }

  // What the status label shows, found by drawing every status it could show
  // in the same panel and taking the one that matches the screen.
  QString status() {
    const QImage screen = panelOnScreen();
    reference.Label2->setText("Lecteur CD Audio = " + root);
    QString best = "?";
    qint64 fewest = screen.width() * screen.height() / 50;  // 2 % may differ at most
    QStringList candidates{""};
    for (int track = 1; track <= 3; ++track) {
      for (int second = 0; second < 15; ++second) {
        candidates
            << QString("[%1] 00:%2").arg(track, 2, 10, QChar('0')).arg(second, 2, 10, QChar('0'));
      }
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

  QString waitForStatus(const QRegularExpression& wanted) {
    QString shown;
    for (int i = 0; i < 100; ++i) {
      shown = status();
      if (wanted.match(shown).hasMatch()) break;
      QTest::qWait(200);
    }
    return shown;
  }

  // About a second of what the sink plays, left and right interleaved. On a
  // loaded machine the recorder may take a while to connect: it runs until
  // it has written a second, or gives up after ten.
  std::vector<std::int16_t> record() {
    const QString file = QDir(folder.path()).filePath("recording.raw");
    QFile::remove(file);
    QProcess recorder;
    recorder.start("parecord", {QString("--server=") + TAVRELO_TEST_PULSE_SERVER,
                                QString("--device=") + TAVRELO_TEST_PULSE_SINK + ".monitor",
                                "--latency-msec=20", "--raw", "--format=s16le", "--rate=44100",
                                "--channels=2", file});
    if (!recorder.waitForStarted(5000)) return {};
    constexpr qint64 kSecondOfBytes = 44100 * 4;
    for (int i = 0; i < 100 && QFileInfo(file).size() < kSecondOfBytes; ++i) QTest::qWait(100);
    recorder.terminate();
    recorder.waitForFinished(5000);
    recorderErrors = QString::fromUtf8(recorder.readAllStandardError());
    QFile raw(file);
    if (!raw.open(QIODevice::ReadOnly)) return {};
    const QByteArray bytes = raw.readAll();
    std::vector<std::int16_t> samples(static_cast<std::size_t>(bytes.size()) / 2);
    std::memcpy(samples.data(), bytes.constData(), samples.size() * 2);
    return samples;
  }

  // True when the sink plays `track`'s tone rather than any other track's.
  ::testing::AssertionResult hears(int track) {
    const auto samples = record();
    if (samples.size() < 22050)
      return ::testing::AssertionFailure()
             << "recorded too little: " << samples.size() << " " << recorderErrors.toStdString();
    const double wanted = powerAt(samples, tavrelo::testdisc::toneFrequency(track, 0));
    heardPower = wanted;
    for (int other = 1; other <= 3; ++other) {
      if (other == track) continue;
      const double unwanted = powerAt(samples, tavrelo::testdisc::toneFrequency(other, 0));
      if (wanted < 10 * unwanted) {
        return ::testing::AssertionFailure() << "track " << track << " tone " << wanted
                                             << ", track " << other << " tone " << unwanted;
      }
    }
    return ::testing::AssertionSuccess();
  }

  // Closes the program's window as a window manager's close box does: the
  // WM_DELETE_WINDOW message of the ICCCM.
  void closeWindow() {
    auto* x11 = qApp->nativeInterface<QNativeInterface::QX11Application>();
    ASSERT_NE(x11, nullptr);
    xcb_connection_t* connection = x11->connection();
    const auto atom = [&](const char* name) {
      xcb_intern_atom_reply_t* reply = xcb_intern_atom_reply(
          connection,
          xcb_intern_atom(connection, 0, static_cast<std::uint16_t>(std::strlen(name)), name),
          nullptr);
      const xcb_atom_t value = reply != nullptr ? reply->atom : xcb_atom_t{XCB_ATOM_NONE};
      std::free(reply);
      return value;
    };
    xcb_client_message_event_t message{};
    message.response_type = XCB_CLIENT_MESSAGE;
    message.format = 32;
    message.window = window.toUInt();
    message.type = atom("WM_PROTOCOLS");
    message.data.data32[0] = atom("WM_DELETE_WINDOW");
    message.data.data32[1] = XCB_CURRENT_TIME;
    xcb_send_event(connection, 0, message.window, XCB_EVENT_MASK_NO_EVENT,
                   reinterpret_cast<const char*>(&message));
    xcb_flush(connection);
  }

  int visibleWindows() {
    return static_cast<int>(run("xdotool", {"search", "--onlyvisible", "--name", "^Tavrelo2$"})
                                .split('\n', Qt::SkipEmptyParts)
                                .size());
  }

  void saveScreen(const char* name) {
    QGuiApplication::primaryScreen()->grabWindow(0).save(QString(TAVRELO_E2E_OUTPUT_DIR) + "/" +
                                                         name);
  }

  QString recorderErrors;
  double heardPower = 0;  // of the tone hears() last looked for
  QTemporaryDir folder;
  tavrelo::testdisc::TestDisc disc;
  QString root;
  QProcess program;
  QString window;
  QPoint origin;
  FrmAudioPlayer reference;  // the same controls, drawn here for comparison
};

TEST_F(EndToEndTest, PlayNextAndEjectShowAndSoundAsTheyShould) {
  program.start(TAVRELO2_PROGRAM, {});
  ASSERT_TRUE(program.waitForStarted(10000));
  ASSERT_TRUE(findWindow()) << "the window did not appear";
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
  program.start(TAVRELO2_PROGRAM, {});
  ASSERT_TRUE(program.waitForStarted(10000));
  ASSERT_TRUE(findWindow());
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

  window.clear();
  program.start(TAVRELO2_PROGRAM, {});
  ASSERT_TRUE(program.waitForStarted(10000));
  ASSERT_TRUE(findWindow());
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
