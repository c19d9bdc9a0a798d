#include <gtest/gtest.h>

#include <QApplication>
#include <QSignalSpy>
#include <QTest>
#include <string>
#include <vector>

#include "about/frmAbout.h"
#include "platform/win32/DriveLetters.h"
#include "platform/win32/End.h"
#include "platform/win32/SingleInstance.h"
#include "player/FrmAudioPlayer.h"
#include "player/Twips.h"
#include "tests/player/RecordingMciChannel.h"
#include "tests/support/RecordingDesktop.h"

namespace {

using tavrelo::testing::RecordingDesktop;
using tavrelo::testing::RecordingMciChannel;
using tavrelo::win32::LogicalDrive;
using Commands = std::vector<std::string>;

constexpr UINT kCd = tavrelo::win32::kDriveCdrom;

class FrmAudioPlayerTest : public ::testing::Test {
 protected:
  void SetUp() override {
    tavrelo::win32::setEndForTesting([this] { ++ends; });
    tavrelo::win32::setInstanceCheckForTesting([this] { return otherInstance; });
    useDrives({{"A:\\", 2, {}},
               {"C:\\", 3, {}},
               {"E:\\", kCd, {}},
               {"F:\\", kCd, {}},
               {"G:\\", kCd, {}}});
  }
  void TearDown() override {
    tavrelo::win32::setLogicalDrivesForTesting(nullptr);
    tavrelo::win32::setInstanceCheckForTesting({});
    tavrelo::win32::setEndForTesting({});
  }
  void useDrives(std::vector<LogicalDrive> table) {
    drives = std::move(table);
    tavrelo::win32::setLogicalDrivesForTesting(&drives);
  }
  static void click(QWidget* button) { QTest::mouseClick(button, Qt::LeftButton); }
  int px(double twips) { return twipsToPixels(twips, window.logicalDpiX()); }

  std::vector<LogicalDrive> drives;
  RecordingMciChannel mci;
  RecordingDesktop desktop;
  int ends = 0;
  bool otherInstance = false;
  FrmAudioPlayer window;
};

const std::string kOpen = " type cdaudio alias cd wait shareable";

// What a person meets before the load: a fixed frame that minimises but does
// not maximise, picture buttons named for screen readers in tab order, and
// the drive button hidden until drives are found.
TEST_F(FrmAudioPlayerTest, AFixedFrameOfNamedButtonsInTabOrder) {
  EXPECT_EQ(window.windowTitle(), "Tavrelo2");
  EXPECT_EQ(window.minimumSize(), QSize(px(5760), px(1905)));
  EXPECT_EQ(window.maximumSize(), window.minimumSize());
  EXPECT_TRUE(window.windowFlags().testFlag(Qt::WindowMinimizeButtonHint));
  EXPECT_FALSE(window.windowFlags().testFlag(Qt::WindowMaximizeButtonHint));
  const std::vector<std::pair<QWidget*, const char*>> order{
      {window.CD().at(0), "Sélectionner le lecteur"},
      {window.Command1, "Piste précédente"},
      {window.Command2, "Play"},
      {window.Command3, "Piste suivante"},
      {window.Command4, "Pause"},
      {window.Command5, "Stop"},
      {window.Command6, "Ejecter"},
      {window.Command7, "Charger"},
      {window.Command9, "Réglages"},
      {window.Command10, "Quitter"},
      {window.Command8, "A propos..."},
      {window.Picture1, ""}};
  QWidget* widget = order.front().first;
  for (const auto& [expected, tooltip] : order) {
    while (!(widget->focusPolicy() & Qt::TabFocus)) widget = widget->nextInFocusChain();
    EXPECT_EQ(widget, expected) << tooltip;
    EXPECT_EQ(widget->toolTip().toStdString(), tooltip);
    widget = widget->nextInFocusChain();
  }
  EXPECT_TRUE(window.CD().at(0)->isHidden());
  EXPECT_FALSE(window.Command1->isHidden());
  EXPECT_FALSE(window.Timer1->isActive());
  EXPECT_EQ(window.Timer1->interval(), 1000);
  EXPECT_EQ(window.Label3->font().family(), "Liberation Sans");
  EXPECT_EQ(window.Label3->palette().color(QPalette::WindowText), QColor(192, 192, 0));
}

TEST_F(FrmAudioPlayerTest, LoadOpensTheFirstDriveAndShowsItsButtonsBeforeTheFirstTick) {
  ASSERT_TRUE(window.load());
  EXPECT_EQ(mci.commands(), (Commands{"open  E:\\" + kOpen, "set cd time format tmsf"}));
  ASSERT_EQ(window.CD().size(), 3u);
  const char* roots[] = {"E:\\", "F:\\", "G:\\"};
  const double lefts[] = {120, 735, 1350};
  for (std::size_t i = 0; i < 3; ++i) {
    QPushButton* button = window.CD()[i];
    EXPECT_EQ(button->text().toStdString(), roots[i]);
    EXPECT_FALSE(button->isHidden());
    EXPECT_EQ(button->geometry(), QRect(px(lefts[i]), px(1000), px(615), px(255)));
    EXPECT_EQ(button->toolTip(), "Sélectionner le lecteur");
    EXPECT_EQ(button->font(), window.CD()[0]->font());
  }
  EXPECT_EQ(window.Label2->text(), "Lecteur CD Audio = E:\\");
  EXPECT_EQ(window.Label3->text(), "");
  EXPECT_TRUE(window.Timer1->isActive());
  EXPECT_EQ(ends, 0);
  EXPECT_TRUE(desktop.messages.empty());
}

TEST_F(FrmAudioPlayerTest, FocusGoesToTheFirstDriveButtonWhenShown) {
  ASSERT_TRUE(window.load());
  window.show();
  QApplication::setActiveWindow(&window);
  ASSERT_TRUE(QTest::qWaitForWindowActive(&window));
  EXPECT_EQ(QApplication::focusWidget(), window.CD().at(0));
  window.hide();
}

TEST_F(FrmAudioPlayerTest, ASecondInstanceEndsSilentlyBeforeTouchingAnyDrive) {
  otherInstance = true;
  EXPECT_FALSE(window.load());
  EXPECT_EQ(ends, 1);
  EXPECT_TRUE(mci.sent.empty());
  EXPECT_TRUE(desktop.messages.empty());
  EXPECT_FALSE(window.isVisible());
  EXPECT_FALSE(window.Timer1->isActive());
  EXPECT_TRUE(window.CD().at(0)->text().isEmpty());
}

TEST_F(FrmAudioPlayerTest, NoCdDriveShowsTheMessageAndEndsWithoutAWindowOrCommand) {
  useDrives({{"C:\\", 3, {}}});
  EXPECT_FALSE(window.load());
  ASSERT_EQ(desktop.messages.size(), 1u);
  EXPECT_EQ(desktop.messages[0].text, "No Audio CDs were detected");
  EXPECT_EQ(desktop.messages[0].style, 64);
  EXPECT_EQ(ends, 1);
  EXPECT_TRUE(mci.sent.empty());
  EXPECT_FALSE(window.Timer1->isActive());
  window.close();  // whatever happens next, nothing more goes out
  EXPECT_TRUE(mci.sent.empty());
}

TEST_F(FrmAudioPlayerTest, ClosingStopsAndClosesInOrderEvenWhenTheOpenFailed) {
  mci.failureCode = 275;  // every command fails
  ASSERT_TRUE(window.load());
  window.show();
  mci.clear();
  EXPECT_TRUE(window.close());
  EXPECT_EQ(mci.commands(), (Commands{"stop cd", "close cd", "close all"}));
  for (const auto& sent : mci.sent) EXPECT_EQ(sent.replyLength, 0u);
  EXPECT_FALSE(window.isVisible());
  EXPECT_FALSE(window.Timer1->isActive());
  EXPECT_TRUE(desktop.messages.empty());
}

TEST_F(FrmAudioPlayerTest, QuitEndsAtOnceAndSendsNothingNotEvenOnClose) {
  ASSERT_TRUE(window.load());
  window.show();
  mci.clear();
  click(window.Command10);
  EXPECT_EQ(ends, 1);
  EXPECT_TRUE(mci.sent.empty());
  EXPECT_FALSE(window.Timer1->isActive());
  window.close();
  EXPECT_TRUE(mci.sent.empty());
}

TEST_F(FrmAudioPlayerTest, VolumeButtonStartsAMixerAtEveryClick) {
  desktop.installed = {"pwvucontrol", "kmix"};
  ASSERT_TRUE(window.load());
  mci.clear();
  click(window.Command9);
  click(window.Command9);
  ASSERT_EQ(desktop.starts.size(), 2u);
  EXPECT_EQ(desktop.starts[0].program, "/usr/bin/pwvucontrol");
  EXPECT_EQ(desktop.starts[1].program, "/usr/bin/pwvucontrol");
  EXPECT_TRUE(desktop.messages.empty());
  EXPECT_TRUE(mci.sent.empty());
}

TEST_F(FrmAudioPlayerTest, NoVolumeMixerGivesAFrenchMessageAndTheProgramGoesOn) {
  ASSERT_TRUE(window.load());
  click(window.Command9);
  ASSERT_EQ(desktop.messages.size(), 1u);
  EXPECT_EQ(desktop.messages[0].text, "Aucun mélangeur de volume n'a été trouvé.");
  EXPECT_TRUE(desktop.starts.empty());
  EXPECT_EQ(ends, 0);
  mci.clear();
  click(window.Command2);  // still working
  EXPECT_EQ(mci.commands(), (Commands{"play cd"}));
}

TEST_F(FrmAudioPlayerTest, ButtonsReachTheirHandlers) {
  ASSERT_TRUE(window.load());
  mci.clear();
  mci.reply("status cd mode", "open");
  click(window.Command2);
  click(window.Command4);
  click(window.Command5);
  click(window.Command6);
  click(window.Command7);
  click(window.CD().at(1));
  EXPECT_EQ(mci.commands(),
            (Commands{"play cd", "pause cd wait", "stop cd wait", "seek cd to 1 wait",
                      "set cd door open wait", "status cd mode", "set cd door closed wait",
                      "stop cd", "close cd", "open  F:\\" + kOpen, "set cd time format tmsf"}));
  EXPECT_EQ(window.Label2->text(), "Lecteur CD Audio = F:\\");

  mci.clear();
  mci.reply("status cd current track", "2");
  mci.reply("status cd number of tracks wait", "3");
  mci.reply("status cd mode", "playing");
  click(window.Command1);
  click(window.Command3);
  EXPECT_EQ(mci.commands().at(3), "play cd from 1");
  EXPECT_EQ(mci.commands().at(7), "play cd from 3");
}

TEST_F(FrmAudioPlayerTest, TheTimerShowsThePositionAboutASecondAfterTheLoad) {
  mci.reply("status cd media present", "true");
  mci.reply("status cd position", "03:02:07:55");
  ASSERT_TRUE(window.load());
  EXPECT_EQ(window.Label3->text(), "");
  EXPECT_TRUE(QTest::qWaitFor([&] { return !window.Label3->text().isEmpty(); }, 5000));
  EXPECT_EQ(window.Label3->text(), "[03] 02:07");
}

TEST_F(FrmAudioPlayerTest, AboutOpensModallyAndTheTimerTicksOnMeanwhile) {
  mci.reply("status cd media present", "true");
  mci.reply("status cd position", "02:00:03:00");
  ASSERT_TRUE(window.load());
  window.show();
  int openings = 0;
  QString shownMeanwhile;
  const auto closeWhenTicked = [&] {
    QWidget* modal = QApplication::activeModalWidget();
    if (qobject_cast<frmAbout*>(modal) != nullptr) ++openings;
    (void)QTest::qWaitFor([&] { return !window.Label3->text().isEmpty(); }, 5000);
    shownMeanwhile = window.Label3->text();
    if (modal != nullptr) modal->close();
  };
  QTimer::singleShot(0, &window, closeWhenTicked);
  click(window.Command8);  // returns once the About window has closed
  EXPECT_EQ(openings, 1);
  EXPECT_EQ(shownMeanwhile, "[02] 00:03");
  EXPECT_EQ(QApplication::activeModalWidget(), nullptr);
  window.hide();
}

}  // namespace
