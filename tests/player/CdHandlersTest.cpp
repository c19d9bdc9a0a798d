#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/win32/End.h"
#include "platform/win32/LogicalDrives.h"
#include "tests/player/FakeCdWindow.h"
#include "tests/player/RecordingMciChannel.h"
#include "tests/support/RecordingDesktop.h"

namespace {

using tavrelo::testing::FakeCdWindow;
using tavrelo::testing::RecordingDesktop;
using tavrelo::testing::RecordingMciChannel;
using tavrelo::win32::LogicalDrive;
using Commands = std::vector<std::string>;

constexpr UINT kRemovable = 2;

class CdHandlersTest : public ::testing::Test {
 protected:
  void SetUp() override {
    tavrelo::win32::setEndForTesting([this] { ++ends; });
    useDrives({{"A:\\", kRemovable, {}},
               {"C:\\", tavrelo::win32::kDriveFixed, {}},
               {"E:\\", tavrelo::win32::kDriveCdrom, "/dev/sr0"},
               {"F:\\", tavrelo::win32::kDriveCdrom, "/dev/sr1"},
               {"G:\\", tavrelo::win32::kDriveCdrom, "g.cue"}});
  }
  void TearDown() override {
    tavrelo::win32::setLogicalDrivesForTesting(nullptr);
    tavrelo::win32::setEndForTesting({});
  }
  void useDrives(std::vector<LogicalDrive> table) {
    drives = std::move(table);
    tavrelo::win32::setLogicalDrivesForTesting(&drives);
  }
  // A window after discovery, with the commands of discovery forgotten.
  void discover() {
    window.Detect_CDs();
    mci.clear();
  }

  std::vector<LogicalDrive> drives;
  RecordingMciChannel mci;
  RecordingDesktop desktop;
  FakeCdWindow window;
  int ends = 0;
};

const std::string kOpenE = "open  E:\\ type cdaudio alias cd wait shareable";

TEST_F(CdHandlersTest, DiscoveryMakesOneButtonPerCdDriveEdgeToEdgeAndOpensTheFirst) {
  window.Detect_CDs();

  ASSERT_EQ(window.buttons.size(), 3u);
  EXPECT_EQ(window.buttons[0].caption, "E:\\");
  EXPECT_EQ(window.buttons[1].caption, "F:\\");
  EXPECT_EQ(window.buttons[2].caption, "G:\\");
  EXPECT_FLOAT_EQ(window.buttons[0].left, 120);
  EXPECT_FLOAT_EQ(window.buttons[1].left, 735);
  EXPECT_FLOAT_EQ(window.buttons[2].left, 1350);
  for (const auto& button : window.buttons) EXPECT_TRUE(button.visible);
  EXPECT_EQ(window.driveButtonCount(), 2);
  EXPECT_EQ(window.selectedDrive(), "E:\\");
  EXPECT_EQ(window.label2, "Lecteur CD Audio = E:\\");
  EXPECT_EQ(mci.commands(), (Commands{kOpenE, "set cd time format tmsf"}));
  for (const auto& sent : mci.sent) EXPECT_EQ(sent.replyLength, 0u);
  EXPECT_TRUE(desktop.messages.empty());
  EXPECT_EQ(ends, 0);
}

TEST_F(CdHandlersTest, OneCdDriveGivesOneButtonAndALowerCaseRootShowsUpperCase) {
  useDrives({{"c:\\", tavrelo::win32::kDriveFixed, {}}, {"e:\\", tavrelo::win32::kDriveCdrom, {}}});
  window.Detect_CDs();

  ASSERT_EQ(window.buttons.size(), 1u);
  EXPECT_EQ(window.buttons[0].caption, "E:\\");
  EXPECT_TRUE(window.buttons[0].visible);
  EXPECT_EQ(window.driveButtonCount(), 0);
  EXPECT_EQ(window.selectedDrive(), "E:\\");
  EXPECT_EQ(mci.commands().at(0), kOpenE);
  EXPECT_EQ(window.label2, "Lecteur CD Audio = E:\\");
}

TEST_F(CdHandlersTest, NoCdDriveSaysSoEndsAndSendsNothing) {
  for (const std::vector<LogicalDrive>& table :
       {std::vector<LogicalDrive>{{"A:\\", kRemovable, {}}, {"C:\\", 3, {}}},
        std::vector<LogicalDrive>{}}) {
    useDrives(table);
    FakeCdWindow fresh;
    desktop.messages.clear();
    ends = 0;
    fresh.Detect_CDs();

    ASSERT_EQ(desktop.messages.size(), 1u);
    EXPECT_EQ(desktop.messages[0].text, "No Audio CDs were detected");
    EXPECT_EQ(desktop.messages[0].style, 64);
    EXPECT_EQ(ends, 1);
    EXPECT_TRUE(fresh.ended);
    EXPECT_TRUE(mci.sent.empty());
    EXPECT_FALSE(fresh.buttons[0].visible);
    EXPECT_EQ(fresh.label2, "Lecteur CD Audio");
  }
}

TEST_F(CdHandlersTest, ADriveListLongerThanSixtyFourCharactersIsReadInFull) {
  // 22 roots of 4 characters: 88, more than the first 64-character read holds.
  std::vector<LogicalDrive> table{{"C:\\", tavrelo::win32::kDriveFixed, {}}};
  for (char letter = 'D'; letter <= 'W'; ++letter) {
    table.push_back({std::string{letter, ':', '\\'}, tavrelo::win32::kDriveCdrom, {}});
  }
  useDrives(table);
  window.Detect_CDs();

  EXPECT_TRUE(desktop.messages.empty());
  EXPECT_EQ(ends, 0);
  ASSERT_EQ(window.buttons.size(), 20u);
  EXPECT_EQ(window.buttons.front().caption, "D:\\");
  EXPECT_EQ(window.buttons.back().caption, "W:\\");
  EXPECT_EQ(window.driveButtonCount(), 19);
  // The row is never wrapped: from the tenth drive on it runs past 5760.
  EXPECT_FLOAT_EQ(window.buttons.back().left, 120 + 19 * 615);
}

TEST_F(CdHandlersTest, ClickingADriveButtonStopsClosesAndOpensThatDriveWithoutPlaying) {
  discover();
  window.CD_Click(0);
  const Commands reopenE{"stop cd", "close cd", kOpenE, "set cd time format tmsf"};
  EXPECT_EQ(mci.commands(), reopenE);
  EXPECT_EQ(window.label2, "Lecteur CD Audio = E:\\");

  mci.clear();
  window.CD_Click(2);
  EXPECT_EQ(mci.commands(),
            (Commands{"stop cd", "close cd", "open  G:\\ type cdaudio alias cd wait shareable",
                      "set cd time format tmsf"}));
  EXPECT_EQ(window.selectedDrive(), "G:\\");
  EXPECT_EQ(window.label2, "Lecteur CD Audio = G:\\");
  EXPECT_EQ(window.driveButtonCount(), 2);  // discovery alone changes it
}

TEST_F(CdHandlersTest, TransportButtonsSendTheirCommandsInOrder) {
  discover();
  window.Command5_Click();
  window.Command2_Click();
  window.Command2_Click();
  window.Command4_Click();
  EXPECT_EQ(mci.commands(),
            (Commands{"stop cd wait", "seek cd to 1 wait", "play cd", "play cd", "pause cd wait"}));
  for (const auto& sent : mci.sent) EXPECT_EQ(sent.replyLength, 0u);

  mci.clear();
  window.Command6_Click();  // no stop before the tray opens
  ASSERT_EQ(mci.sent.size(), 1u);
  EXPECT_EQ(mci.sent[0].command, "set cd door open wait");
  EXPECT_EQ(mci.sent[0].replyLength, 255u);
}

TEST_F(CdHandlersTest, LoadClosesTheTrayOnlyWhenTheModeReadsOpenInLowerCase) {
  discover();
  const struct {
    const char* mode;
    bool closes;
  } cases[] = {{"open", true},     {"Open", false}, {"OPEN", false}, {"stopped", false},
               {"playing", false}, {"ope", false},  {"", false}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.mode);
    mci.clear();
    mci.reply("status cd mode", c.mode);
    window.Command7_Click();
    Commands expected{"status cd mode"};
    if (c.closes) expected.push_back("set cd door closed wait");
    EXPECT_EQ(mci.commands(), expected);
    for (const auto& sent : mci.sent) EXPECT_EQ(sent.replyLength, 255u);
  }
}

struct NavigationCase {
  const char* current;
  const char* count;
  const char* mode;
  const char* previous;  // the last command of Previous, "" for none
  const char* next;
};

void PrintTo(const NavigationCase& c, std::ostream* out) {
  *out << "track '" << c.current << "' of '" << c.count << "', mode '" << c.mode << "'";
}

class TrackNavigationTest : public CdHandlersTest,
                            public ::testing::WithParamInterface<NavigationCase> {};

TEST_P(TrackNavigationTest, QueriesThreeTimesThenPlaysOrSeeksTheTarget) {
  const NavigationCase& c = GetParam();
  discover();
  mci.reply("status cd current track", c.current);
  mci.reply("status cd number of tracks wait", c.count);
  mci.reply("status cd mode", c.mode);
  const Commands queries{"status cd current track", "status cd number of tracks wait",
                         "status cd mode"};

  window.Command1_Click();
  Commands expected = queries;
  if (*c.previous != '\0') expected.push_back(c.previous);
  EXPECT_EQ(mci.commands(), expected) << "previous";
  for (const auto& sent : mci.sent) EXPECT_EQ(sent.replyLength, 255u);

  mci.clear();
  window.Command3_Click();
  expected = queries;
  if (*c.next != '\0') expected.push_back(c.next);
  EXPECT_EQ(mci.commands(), expected) << "next";
  for (const auto& sent : mci.sent) EXPECT_EQ(sent.replyLength, 255u);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, TrackNavigationTest,
    ::testing::Values(NavigationCase{"5", "12", "playing", "play cd from 4", "play cd from 6"},
                      NavigationCase{"1", "12", "playing", "play cd from 12", "play cd from 2"},
                      NavigationCase{"12", "12", "playing", "play cd from 11", "play cd from 1"},
                      NavigationCase{"1", "12", "paused", "seek cd to 12", "seek cd to 2"},
                      NavigationCase{"12", "12", "stopped", "seek cd to 11", "seek cd to 1"},
                      NavigationCase{"1", "1", "playing", "play cd from 1", "play cd from 1"},
                      // "Playing" is not "playing": the target is only sought.
                      NavigationCase{"5", "12", "Playing", "seek cd to 4", "seek cd to 6"},
                      // Failed queries read as 0 and not playing.
                      NavigationCase{"", "", "", "seek cd to -1", "seek cd to 1"},
                      NavigationCase{" 7 ", "  9", "playing now", "play cd from 6",
                                     "play cd from 8"},
                      NavigationCase{"7x", "9", "playing", "play cd from -1", "play cd from 1"},
                      NavigationCase{"40000", "12", "playing", "play cd from -1", "play cd from 1"},
                      // At the ends of the 16-bit range the target does not exist: no command.
                      NavigationCase{"-32768", "5", "playing", "", "play cd from -32767"},
                      NavigationCase{"32767", "5", "stopped", "seek cd to 32766", ""}),
    [](const ::testing::TestParamInfo<NavigationCase>& param) {
      return "Case" + std::to_string(param.index);
    });

TEST_F(CdHandlersTest, NextUsesItsOwnBufferAndLeavesTheWindowsReplyAlone) {
  discover();
  mci.reply("status cd media present", "true");
  mci.reply("status cd position", "03:01:02:03");
  window.Timer1_Timer();
  mci.reply("status cd current track", "3");
  mci.reply("status cd number of tracks wait", "9");
  mci.reply("status cd mode", "playing");
  window.Command3_Click();
  EXPECT_EQ(replyText(window.reply()), "03:01:02:03");
  window.Command1_Click();  // Previous shares the window's buffer
  EXPECT_NE(replyText(window.reply()), "03:01:02:03");
}

TEST_F(CdHandlersTest, TimerShowsTrackMinutesAndSecondsOfThePosition) {
  discover();
  mci.reply("status cd media present", "true");
  const struct {
    const char* position;
    const char* shown;
  } cases[] = {{"01:00:00:00", "[01] 00:00"},
               {"12:34:56:74", "[12] 34:56"},
               {"05:03:09:42", "[05] 03:09"},
               {"99:99:59", "[99] 99:59"}};
  for (const auto& c : cases) {
    mci.clear();
    mci.reply("status cd position", c.position);
    window.Timer1_Timer();
    EXPECT_EQ(window.label3, c.shown);
    EXPECT_EQ(mci.commands(), (Commands{"status cd media present", "status cd position"}));
    for (const auto& sent : mci.sent) EXPECT_EQ(sent.replyLength, 255u);
  }
}

TEST_F(CdHandlersTest, TimerEmptiesTheLabelWithoutADiscAndAsksNoPosition) {
  discover();
  mci.reply("status cd position", "01:00:05:00");
  for (const char* media : {"false", "TRUE", "True", "tru", ""}) {
    SCOPED_TRACE(media);
    mci.reply("status cd media present", "true");
    window.Timer1_Timer();
    ASSERT_EQ(window.label3, "[01] 00:05");
    mci.clear();
    mci.reply("status cd media present", media);
    window.Timer1_Timer();
    EXPECT_EQ(window.label3, "");
    EXPECT_EQ(mci.commands(), (Commands{"status cd media present"}));
  }
}

TEST_F(CdHandlersTest, TimerKeepsTheLabelWhenThePositionIsNotNumbers) {
  discover();
  mci.reply("status cd media present", "true");
  mci.reply("status cd position", "02:00:07:00");
  window.Timer1_Timer();
  ASSERT_EQ(window.label3, "[02] 00:07");
  const int writes = window.label3Writes;
  for (const char* position : {"ab:cd:ef:00", "02:0x:07:00", "02:00", "", "02:00:7"}) {
    SCOPED_TRACE(position);
    mci.reply("status cd position", position);
    window.Timer1_Timer();
    EXPECT_EQ(window.label3, "[02] 00:07");
  }
  EXPECT_EQ(window.label3Writes, writes);
}

TEST_F(CdHandlersTest, AFailedMediaQueryNeverReusesAnEarlierTrueReply) {
  discover();
  mci.reply("status cd media present", "true");
  mci.reply("status cd position", "04:00:01:00");
  window.Timer1_Timer();
  ASSERT_EQ(window.label3, "[04] 00:01");
  // The channel now fails without writing a reply.
  mci.reply("status cd media present", std::vector<std::string>{});
  mci.failureCode = 263;
  window.Timer1_Timer();
  EXPECT_EQ(window.label3, "");
}

}  // namespace
