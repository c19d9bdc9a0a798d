// Random clicks on every control of both windows against the real drive
// service and a real sound server: the program must stay alive, its label
// must only ever show nothing or "[TT] MM:SS", and it must still play
// afterwards. The desktop is recorded, so nothing modal stops the clicking.
// TAVRELO_MONKEY_SECONDS says how long (default 60), TAVRELO_MONKEY_SEED
// replays the clicks of a printed seed; tools/monkey runs the long one.

#include <gtest/gtest.h>

#include <QApplication>
#include <QElapsedTimer>
#include <QRegularExpression>
#include <QTest>
#include <QTimer>
#include <cstdint>
#include <iostream>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include "about/ClickableLabel.h"
#include "about/frmAbout.h"
#include "platform/win32/End.h"
#include "platform/win32/Win32Api.h"
#include "player/FrmAudioPlayer.h"
#include "tests/support/PrivateWorld.h"
#include "tests/support/RecordingDesktop.h"

namespace {

const QRegularExpression kWellFormed(R"(^(\[\d\d\] \d\d:\d\d)?$)");

int environmentNumber(const char* name, int fallback) {
  return qEnvironmentVariableIsSet(name) ? qEnvironmentVariableIntValue(name) : fallback;
}

// Clicks at random; now and then the close box. After Quit or the close box
// the program starts again as a person would start it, in a new window, with
// the aliases of the one that ended closed as its process would have closed
// them, and the disc left as it was.
class Monkey {
 public:
  explicit Monkey(std::uint32_t seed) : random_(seed) { start(); }

  FrmAudioPlayer& window() { return *window_; }

  void step() {
    if (auto* about = qobject_cast<frmAbout*>(QApplication::activeModalWidget())) {
      QWidget* const controls[] = {about->cmdOK,  about->Command1, about->cmdSysInfo,
                                   about->Image2, about->Label3,   about->lblDisclaimer,
                                   about->Image1, about->lblTitle, about->lblDescription};
      click(controls[pick(std::size(controls))]);
      return;
    }
    if (ended) return start();
    FrmAudioPlayer& w = *window_;
    std::vector<QWidget*> controls{w.Command1, w.Command2, w.Command3, w.Command4, w.Command5,
                                   w.Command6, w.Command7, w.Command8, w.Command9, w.Command10,
                                   w.Label1,   w.Label2,   w.Label3,   w.Image1};
    for (QPushButton* drive : w.CD())
      if (drive->isVisible()) controls.push_back(drive);
    if (pick(100) == 0) {
      w.close();
      ended = true;
    } else {
      click(controls[pick(controls.size())]);
    }
  }

  void start() {
    if (window_) {
      mciSendStringA("close all", nullptr, 0, nullptr);
      window_.release()->deleteLater();
      ++restarts;
    }
    ended = false;
    window_ = std::make_unique<FrmAudioPlayer>();
    loaded = loaded && window_->load();
    window_->show();
  }

  int clicks = 0;
  int restarts = 0;
  bool loaded = true;
  bool ended = false;  // by Quit (End) or the close box

 private:
  void click(QWidget* control) {
    QTest::mouseClick(control, Qt::LeftButton);
    ++clicks;
  }
  std::size_t pick(std::size_t count) {
    return std::uniform_int_distribution<std::size_t>(0, count - 1)(random_);
  }

  std::unique_ptr<FrmAudioPlayer> window_;
  std::mt19937 random_;
};

// One process with the program's window, its real MCI session and a drive
// service of its own in a private world.
TEST(RealDrives, AMinuteOfRandomClicksLeavesTheProgramAliveAndItsLabelWellFormed) {
  tavrelo::testing::PrivateWorld world(3, 8, true);
  tavrelo::testing::RecordingDesktop desktop;
  const int seconds = environmentNumber("TAVRELO_MONKEY_SECONDS", 60);
  const auto seed = static_cast<std::uint32_t>(
      environmentNumber("TAVRELO_MONKEY_SEED", static_cast<int>(std::random_device{}() >> 1)));
  RecordProperty("seed", static_cast<int>(seed));
  std::cout << "monkey seed " << seed << " (TAVRELO_MONKEY_SEED replays it)\n";

  desktop.installed = {"xdg-open", "pavucontrol", "hardinfo"};  // links and the mixer start
  tavrelo::win32::setEndForTesting([] {});                      // the first load's
  Monkey monkey(seed);
  tavrelo::win32::setEndForTesting([&monkey] { monkey.ended = true; });
  QStringList malformed;
  QTimer clicker;
  clicker.setInterval(25);
  QElapsedTimer clock;
  clock.start();
  QObject::connect(&clicker, &QTimer::timeout, [&] {
    const QString shown = monkey.window().Label3->text();
    if (!kWellFormed.match(shown).hasMatch()) malformed << shown;
    if (clock.elapsed() < seconds * 1000LL) {
      // Queued, so a click that opens the modal About window runs its loop
      // outside this timer's slot, and the timer goes on clicking inside it.
      QMetaObject::invokeMethod(
          &clicker, [&monkey] { monkey.step(); }, Qt::QueuedConnection);
    } else if (auto* about = qobject_cast<frmAbout*>(QApplication::activeModalWidget())) {
      about->cmdOK->click();
    }
  });
  clicker.start();
  while (clock.elapsed() < seconds * 1000LL || QApplication::activeModalWidget() != nullptr)
    QTest::qWait(200);
  clicker.stop();

  EXPECT_TRUE(monkey.loaded);
  EXPECT_TRUE(malformed.isEmpty()) << malformed.join(" | ").toStdString();
  EXPECT_GT(monkey.clicks, seconds * 10);
  std::cout << monkey.clicks << " clicks, " << monkey.restarts << " restarts, "
            << desktop.messages.size() << " messages, " << desktop.starts.size() << " starts\n";

  // Still alive and answering: the drive opens anew, its tray closes, it plays.
  if (monkey.ended) monkey.start();
  FrmAudioPlayer& window = monkey.window();
  QTest::mouseClick(window.CD().front(), Qt::LeftButton);
  QTest::mouseClick(window.Command7, Qt::LeftButton);
  QTest::mouseClick(window.Command2, Qt::LeftButton);
  const QRegularExpression playing(R"(^\[0[1-3]\] 00:0[1-7]$)");
  for (int i = 0; i < 100 && !playing.match(window.Label3->text()).hasMatch(); ++i)
    QTest::qWait(100);  // the window's timer ticks meanwhile
  EXPECT_TRUE(playing.match(window.Label3->text()).hasMatch())
      << window.Label3->text().toStdString() << "\nthe service's log:\n"
      << world.serviceLog();
  tavrelo::win32::setEndForTesting({});
  mciSendStringA("close all", nullptr, 0, nullptr);
}

}  // namespace
