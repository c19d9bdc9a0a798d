#include <gtest/gtest.h>

#include <QAccessible>
#include <QApplication>
#include <QTest>
#include <string>
#include <vector>

#include "about/frmAbout.h"
#include "platform/win32/Twips.h"
#include "player/FrmAudioPlayer.h"
#include "player/StartArgument.h"
#include "resources/PictureFiles.h"
#include "tests/player/RecordingMciChannel.h"

namespace {

using Commands = std::vector<std::string>;

class FrmAudioPlayerTest : public tavrelo::testing::PlayerFixture {
 protected:
  void showActive() {
    window.show();
    QApplication::setActiveWindow(&window);
    ASSERT_TRUE(QTest::qWaitForWindowActive(&window));
  }
  static void click(QWidget* button) { QTest::mouseClick(button, Qt::LeftButton); }
  int px(double twips) { return tavrelo::win32::twipsToPixels(twips); }

  FrmAudioPlayer window;
};

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
    if (widget != window.CD().at(0) && widget != window.Picture1) {
      QAccessibleInterface* accessible = QAccessible::queryAccessibleInterface(widget);
      ASSERT_NE(accessible, nullptr) << tooltip;
      EXPECT_EQ(accessible->text(QAccessible::Name).toStdString(), tooltip);
    }
    widget = widget->nextInFocusChain();
  }
  EXPECT_TRUE(window.CD().at(0)->isHidden());
  EXPECT_FALSE(window.Timer1->isActive());
  EXPECT_EQ(window.Label3->font().family(), "Liberation Sans");
  EXPECT_EQ(window.Label3->palette().color(QPalette::WindowText), QColor(192, 192, 0));
}

TEST_F(FrmAudioPlayerTest, LoadPlacesTheDriveButtonsAndFocusesTheFirstBeforeTheFirstTick) {
  ASSERT_TRUE(window.load());
  ASSERT_EQ(window.CD().size(), 3u);
  const char* roots[] = {"E:\\", "F:\\", "G:\\"};
  for (std::size_t i = 0; i < 3; ++i) {
    QPushButton* button = window.CD()[i];
    EXPECT_EQ(button->text().toStdString(), roots[i]);
    EXPECT_FALSE(button->isHidden());
    EXPECT_EQ(button->geometry(), QRect(px(120 + 615.0 * i), px(1000), px(615), px(255)));
  }
  EXPECT_EQ(window.Label3->text(), "");
  EXPECT_TRUE(window.Timer1->isActive());
  EXPECT_EQ(window.Timer1->interval(), 1000);
  showActive();
  EXPECT_EQ(QApplication::focusWidget(), window.CD().at(0));
  window.hide();
}

TEST_F(FrmAudioPlayerTest, ASecondInstanceEndsSilentlyBeforeTouchingAnyDrive) {
  otherInstance = true;
  EXPECT_FALSE(window.load());
  EXPECT_EQ(ends, 1);
  EXPECT_TRUE(desktop.messages.empty());
  EXPECT_TRUE(window.CD().at(0)->text().isEmpty());
  EXPECT_FALSE(window.Timer1->isActive());
  window.close();
  EXPECT_TRUE(mci.sent.empty());
}

TEST_F(FrmAudioPlayerTest, ClosingStopsAndClosesInOrderEvenWhenTheOpenFailedButQuitSendsNothing) {
  mci.failureCode = 275;  // every command fails
  ASSERT_TRUE(window.load());
  window.show();
  mci.sent.clear();
  EXPECT_TRUE(window.close());
  EXPECT_EQ(mci.commands(), (Commands{"stop cd", "close cd", "close all"}));
  EXPECT_FALSE(window.Timer1->isActive());

  FrmAudioPlayer quitting;
  ASSERT_TRUE(quitting.load());
  quitting.show();
  mci.sent.clear();
  click(quitting.Command10);
  EXPECT_EQ(ends, 1);
  EXPECT_FALSE(quitting.Timer1->isActive());
  quitting.close();
  EXPECT_TRUE(mci.sent.empty());
}

TEST_F(FrmAudioPlayerTest, VolumeStartsAMixerAtEveryClickOrSaysThereIsNone) {
  ASSERT_TRUE(window.load());
  mci.sent.clear();
  click(window.Command9);
  ASSERT_EQ(desktop.messages.size(), 1u);
  EXPECT_EQ(desktop.messages[0].text, "Aucun mélangeur de volume n'a été trouvé.");
  EXPECT_EQ(ends, 0);
  desktop.installed = {"pwvucontrol", "kmix"};
  click(window.Command9);
  click(window.Command9);
  ASSERT_EQ(desktop.starts.size(), 2u);
  EXPECT_EQ(desktop.starts[1].program, "/usr/bin/pwvucontrol");
  EXPECT_EQ(desktop.messages.size(), 1u);
  EXPECT_TRUE(mci.sent.empty());
}

TEST_F(FrmAudioPlayerTest, ButtonsReachTheirHandlersByClickEnterOrSpace) {
  ASSERT_TRUE(window.load());
  showActive();
  mci.replies = {{"status cd mode", "playing"},
                 {"status cd current track", "2"},
                 {"status cd number of tracks wait", "3"}};
  const std::pair<QPushButton*, const char*> lastCommands[] = {
      {window.Command1, "play cd from 1"},    {window.Command2, "play cd"},
      {window.Command3, "play cd from 3"},    {window.Command4, "pause cd wait"},
      {window.Command5, "seek cd to 1 wait"}, {window.Command6, "set cd door open wait"},
      {window.Command7, "status cd mode"}};
  for (const auto& [button, last] : lastCommands) {
    mci.sent.clear();
    click(button);
    ASSERT_FALSE(mci.sent.empty()) << last;
    EXPECT_EQ(mci.sent.back().command, last);
  }
  for (const Qt::Key key : {Qt::Key_Return, Qt::Key_Enter, Qt::Key_Space}) {
    mci.sent.clear();
    window.Command2->setFocus();
    QTest::keyClick(window.Command2, key);
    EXPECT_EQ(mci.commands(), (Commands{"play cd"})) << key;
  }
  window.hide();
}

// KDE Plasma writes accelerators into button captions ("&F:\\"), through the
// text property or, by other means, into the text itself.
TEST_F(FrmAudioPlayerTest, DriveButtonsSwitchDrivesWhateverAcceleratorMarksTheirCaptionsGot) {
  ASSERT_TRUE(window.load());
  showActive();
  window.CD().at(1)->setProperty("text", QStringLiteral("&F:\\"));
  EXPECT_EQ(window.CD().at(1)->text(), "F:\\");
  window.CD().at(2)->setText(QStringLiteral("&G:\\"));
  click(window.CD().at(1));
  EXPECT_EQ(window.Label2->text(), "Lecteur CD Audio = F:\\");
  window.CD().at(2)->setFocus();
  QTest::keyClick(window.CD().at(2), Qt::Key_Return);
  EXPECT_EQ(window.Label2->text(), "Lecteur CD Audio = G:\\");
  window.hide();
}

// The timer starts with the load and ticks on while the About window is
// open modally.
TEST_F(FrmAudioPlayerTest, TheTimerShowsThePositionAlsoWhileAboutIsOpen) {
  mci.replies["status cd media present"] = "true";
  mci.replies["status cd position"] = "02:00:03:00";
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

// Runs at QT_SCALE_FACTOR=2 (its own ctest entry): the layout in device
// pixels doubles and the buttons draw their double-size pictures.
TEST(FrmAudioPlayerAtScaleTwo, WindowDoublesAndDrawsDoubleSizePictures) {
  if (qApp->devicePixelRatio() != 2.0) GTEST_SKIP() << "needs QT_SCALE_FACTOR=2";
  FrmAudioPlayer window;
  EXPECT_EQ(window.grab().size(), QSize(768, 254));
  EXPECT_EQ(window.Command10->geometry(), QRect(344, 88, 33, 33));
  // Compared premultiplied, as they are drawn: taking the alpha back out
  // rounds differently from one Qt code path to another.
  const QImage drawn = window.Command3->icon().pixmap(QSize(32, 32), 2.0).toImage();
  EXPECT_EQ(drawn.convertToFormat(QImage::Format_ARGB32_Premultiplied),
            tavrelo::resources::readPicture(":/tavrelo/buttons/next@2x.png")
                .convertToFormat(QImage::Format_ARGB32_Premultiplied));
}

TEST(StartArgumentTest, ReadsDiscAddressesDevicesAndSheets) {
  using Kind = StartArgument::Kind;
  const struct {
    const char* argument;
    Kind kind;
    const char* path;
  } cases[] = {
      {"cdda:///dev/sr0", Kind::Device, "/dev/sr0"},
      {"cdda://sr1/", Kind::Device, "/dev/sr1"},
      {"cdda://sr0/Track%201.wav", Kind::Device, "/dev/sr0"},
      {"/dev/cdrom", Kind::Device, "/dev/cdrom"},
      {"/home/u/Album.CUE", Kind::CueSheet, "/home/u/Album.CUE"},
      {"discs/../a.cue", Kind::CueSheet, "/work/a.cue"},
      {"file:///m/Caf%C3%A9%20live.cue", Kind::CueSheet, "/m/Café live.cue"},
      {"cdda://../etc", Kind::Invalid, ""},
      {"/dev/../etc/passwd", Kind::Invalid, ""},
      {"file:///m/a%2", Kind::Invalid, ""},
      {"file:///m/song.mp3", Kind::Invalid, ""},
      {"--help", Kind::Invalid, ""},
      {"", Kind::Invalid, ""},
  };
  for (const auto& c : cases) {
    const StartArgument read = parseStartArgument(c.argument, "/work");
    EXPECT_EQ(read.kind, c.kind) << c.argument;
    if (c.kind != Kind::Invalid) {
      EXPECT_EQ(read.path, c.path) << c.argument;
    }
  }
}

}  // namespace
