#include "tests/player/ProgramOnScreen.h"

#include <QtGui/qguiapplication_platform.h>
#include <signal.h>
#include <sys/stat.h>
#include <xcb/xcb.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QGuiApplication>
#include <QImage>
#include <QScreen>
#include <QTest>
#include <cmath>
#include <cstring>
#include <string>

#include "platform/disc/PhysicalDrive.h"
#include "platform/win32/LogicalDrives.h"
#include "platform/win32/Twips.h"

namespace tavrelo::testing {

QString runHelper(const QString& program, const QStringList& args) {
  QProcess process;
  process.start(program, args);
  if (!process.waitForFinished(20000)) {
    process.kill();
    process.waitForFinished(5000);
  }
  return QString::fromUtf8(process.readAllStandardOutput());
}

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

ShownTime parseShown(const QString& shown) {
  static const QRegularExpression pattern(R"(^\[(\d\d)\] 00:(\d\d)$)");
  const auto match = pattern.match(shown);
  if (!match.hasMatch()) return {};
  return {match.captured(1).toInt(), match.captured(2).toInt()};
}

ProgramOnScreen::ProgramOnScreen(int trackCount, int seconds)
    : pulseServer(TAVRELO_TEST_PULSE_SERVER),
      pulseSink(TAVRELO_TEST_PULSE_SINK),
      tracks(trackCount),
      trackSeconds(seconds) {}

void ProgramOnScreen::SetUp() {
  ASSERT_TRUE(folder.isValid());
  runtimeDir = QDir(folder.path()).filePath("xdg");
  QDir(folder.path()).mkdir("xdg");
  ::chmod(runtimeDir.toLocal8Bit().constData(), 0700);
  tavrelo::testdisc::DiscSpec layout;
  layout.tracks = tavrelo::testdisc::plainTracks(tracks, trackSeconds);
  disc = tavrelo::testdisc::writeDisc(folder.path().toStdString(), layout);
  std::vector<std::string> warnings;
  const auto table = tavrelo::win32::buildDriveTable(tavrelo::disc::listPhysicalDrives(),
                                                     disc.cue.string(), warnings);
  root = QString::fromStdString(table.back().root);

  QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
  environment.insert("XDG_RUNTIME_DIR", runtimeDir);
  environment.insert("PULSE_SERVER", pulseServer);
  environment.insert("TAVRELO2_DISC_IMAGES", QString::fromStdString(disc.cue.string()));
  environment.insert("QT_QPA_PLATFORM", "xcb");
  program.setProcessEnvironment(environment);
  program.setProcessChannelMode(QProcess::ForwardedErrorChannel);
}

void ProgramOnScreen::TearDown() {
  if (program.state() != QProcess::NotRunning) {
    program.kill();
    program.waitForFinished(5000);
  }
  // The service of this test's runtime folder goes with the test.
  if (const int pid = servicePid(); pid > 0) ::kill(pid, SIGTERM);
}

::testing::AssertionResult ProgramOnScreen::startProgram() {
  window.clear();
  program.start(TAVRELO2_PROGRAM, {});
  if (!program.waitForStarted(10000)) return ::testing::AssertionFailure() << "did not start";
  if (!findWindow()) return ::testing::AssertionFailure() << "the window did not appear";
  return ::testing::AssertionSuccess();
}

bool ProgramOnScreen::findWindow() {
  for (int i = 0; i < 200 && window.isEmpty(); ++i) {
    const QStringList found =
        runHelper("xdotool", {"search", "--onlyvisible", "--name", "^Tavrelo2$"})
            .split('\n', Qt::SkipEmptyParts);
    if (!found.isEmpty()) window = found.front();
    if (window.isEmpty()) QTest::qWait(100);
  }
  if (window.isEmpty()) return false;
  const QString shell = runHelper("xdotool", {"getwindowgeometry", "--shell", window});
  const auto field = [&](const char* name) {
    const auto match = QRegularExpression(QString("%1=(-?\\d+)").arg(name)).match(shell);
    return match.hasMatch() ? match.captured(1).toInt() : -1;
  };
  origin = QPoint(field("X"), field("Y"));
  return origin.x() >= 0;
}

void ProgramOnScreen::click(const QPushButton* button) {
  const QPoint centre = button->geometry().center();
  runHelper("xdotool", {"mousemove", "--window", window, QString::number(centre.x()),
                        QString::number(centre.y()), "click", "1"});
}

QImage ProgramOnScreen::panelOnScreen() {
  const QRect panel = reference.Picture1->geometry().translated(origin);
  return QGuiApplication::primaryScreen()
      ->grabWindow(0, panel.x(), panel.y(), panel.width(), panel.height())
      .toImage()
      .convertToFormat(QImage::Format_RGB32);
}

// Found by drawing every status the label could show in the same panel and
// taking the one that matches the screen.
QString ProgramOnScreen::status() {
  const QImage screen = panelOnScreen();
  reference.Label2->setText("Lecteur CD Audio = " + root);
  QString best = "?";
  qint64 fewest = screen.width() * screen.height() / 50;  // 2 % may differ at most
  QStringList candidates{""};
  for (int track = 1; track <= tracks; ++track) {
    for (int second = 0; second < trackSeconds; ++second) {
      candidates
          << QString("[%1] 00:%2").arg(track, 2, 10, QChar('0')).arg(second, 2, 10, QChar('0'));
    }
  }
  for (const QString& candidate : candidates) {
    reference.Label3->setText(candidate);
    const QImage drawn = reference.Picture1->grab().toImage().convertToFormat(QImage::Format_RGB32);
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

QString ProgramOnScreen::waitForStatus(const QRegularExpression& wanted) {
  QString shown;
  for (int i = 0; i < 100; ++i) {
    shown = status();
    if (wanted.match(shown).hasMatch()) break;
    QTest::qWait(200);
  }
  return shown;
}

// On a loaded machine the recorder may take a while to connect: it runs until
// it has written a second, or gives up after ten.
std::vector<std::int16_t> ProgramOnScreen::record() {
  const QString file = QDir(folder.path()).filePath("recording.raw");
  QFile::remove(file);
  QProcess recorder;
  recorder.start("parecord", {"--server=" + pulseServer, "--device=" + pulseSink + ".monitor",
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

::testing::AssertionResult ProgramOnScreen::hears(int track) {
  const auto samples = record();
  if (samples.size() < 22050)
    return ::testing::AssertionFailure()
           << "recorded too little: " << samples.size() << " " << recorderErrors.toStdString();
  const double wanted = powerAt(samples, tavrelo::testdisc::toneFrequency(track, 0));
  heardPower = wanted;
  for (int other = 1; other <= tracks; ++other) {
    if (other == track) continue;
    const double unwanted = powerAt(samples, tavrelo::testdisc::toneFrequency(other, 0));
    if (wanted < 10 * unwanted) {
      return ::testing::AssertionFailure() << "track " << track << " tone " << wanted << ", track "
                                           << other << " tone " << unwanted;
    }
  }
  return ::testing::AssertionSuccess();
}

::testing::AssertionResult ProgramOnScreen::hearsSilence() {
  const auto samples = record();
  if (samples.size() < 22050)
    return ::testing::AssertionFailure()
           << "recorded too little: " << samples.size() << " " << recorderErrors.toStdString();
  // A full-scale tone over a second has a Goertzel power near 1e17; a
  // thousandth of its amplitude would still be 1e11.
  constexpr double kAudible = 1e11;
  for (int track = 1; track <= tracks; ++track) {
    const double power = powerAt(samples, tavrelo::testdisc::toneFrequency(track, 0));
    if (power > kAudible)
      return ::testing::AssertionFailure() << "track " << track << " tone " << power;
  }
  return ::testing::AssertionSuccess();
}

// The WM_DELETE_WINDOW message of the ICCCM.
void ProgramOnScreen::closeWindow() {
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

int ProgramOnScreen::visibleWindows() {
  return static_cast<int>(runHelper("xdotool", {"search", "--onlyvisible", "--name", "^Tavrelo2$"})
                              .split('\n', Qt::SkipEmptyParts)
                              .size());
}

void ProgramOnScreen::saveScreen(const char* name) {
  QGuiApplication::primaryScreen()->grabWindow(0).save(QString(TAVRELO_E2E_OUTPUT_DIR) + "/" +
                                                       name);
}

int ProgramOnScreen::servicePid() const {
  QFile lock(QDir(runtimeDir).filePath("tavrelo2/drived.lock"));
  if (!lock.open(QIODevice::ReadOnly)) return 0;
  const int pid = QString::fromUtf8(lock.readAll()).trimmed().toInt();
  // A lock file outlives its service; only a live process counts.
  return pid > 0 && ::kill(pid, 0) == 0 ? pid : 0;
}

}  // namespace tavrelo::testing
