#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "tests/player/FakeCdWindow.h"
#include "tests/player/RecordingMciChannel.h"

namespace {

using tavrelo::testing::FakeCdWindow;
using tavrelo::win32::kDriveCdrom;
using tavrelo::win32::kDriveFixed;
using tavrelo::win32::LogicalDrive;
using Commands = std::vector<std::string>;

TEST(MciTextTest, ReplyEndsAtTheFirstNulWhateverIsLeftOverBehindIt) {
  MciReplyBuffer buffer{};
  std::memcpy(buffer.data(), "openxxx", 7);
  std::memcpy(buffer.data(), "ope", 4);
  EXPECT_EQ(replyText(buffer), "ope");
  EXPECT_FALSE(replyStartsWith(buffer, "open"));
  EXPECT_TRUE(replyStartsWith(buffer, "op"));
  buffer.fill('x');
  EXPECT_EQ(replyText(buffer).size(), 255u);
}

TEST(MciTextTest, IntegersAreWhole16BitDecimalNumbersShownWithTwoDigitsAtLeast) {
  for (const auto& [text, value] :
       {std::pair{"  12 ", 12}, std::pair{"-32768", -32768}, std::pair{"32767", 32767},
        std::pair{"+3", 3}, std::pair{"007", 7}}) {
    EXPECT_EQ(parseInteger16(text), value) << text;
  }
  for (const char* bad : {"", " ", "32768", "-32769", "1a", "1 2", "0x10", "+-1", "+", "1.5"}) {
    EXPECT_FALSE(parseInteger16(bad).has_value()) << bad;
  }
  EXPECT_EQ(twoDigits(7), "07");
  EXPECT_EQ(twoDigits(123), "123");
  EXPECT_EQ(twoDigits(-5), "-05");
}

class CdHandlersTest : public tavrelo::testing::PlayerFixture {
 protected:
  // A window after discovery, with the commands of discovery forgotten.
  void discover() {
    window.Detect_CDs();
    mci.sent.clear();
  }

  FakeCdWindow window;
};

TEST_F(CdHandlersTest, DiscoveryMakesOneButtonPerCdDriveEdgeToEdgeAndOpensTheFirst) {
  // 22 roots of 4 characters: 88, more than the first 64-character read holds.
  std::vector<LogicalDrive> table{{"a:\\", 2, {}}, {"c:\\", kDriveFixed, {}}};
  for (char letter = 'd'; letter <= 'w'; ++letter)
    table.push_back({{letter, ':', '\\'}, kDriveCdrom, {}});
  useDrives(table);
  window.Detect_CDs();
  ASSERT_EQ(window.buttons.size(), 20u);
  for (std::size_t i = 0; i < 20; ++i) {
    EXPECT_EQ(window.buttons[i].caption, std::string(1, static_cast<char>('D' + i)) + ":\\");
    // The row is never wrapped: from the tenth drive on it runs past 5760.
    EXPECT_FLOAT_EQ(window.buttons[i].left, 120 + 615 * i);
    EXPECT_TRUE(window.buttons[i].visible);
  }
  EXPECT_EQ(window.driveButtonCount(), 19);
  EXPECT_EQ(window.selectedDrive(), "D:\\");
  EXPECT_EQ(window.label2, "Lecteur CD Audio = D:\\");
  EXPECT_EQ(mci.commands(), (Commands{"open  D:\\ type cdaudio alias cd wait shareable",
                                      "set cd time format tmsf"}));
  EXPECT_TRUE(allSentWith(0));
  EXPECT_TRUE(desktop.messages.empty());
  EXPECT_EQ(ends, 0);
}

TEST_F(CdHandlersTest, NoCdDriveSaysSoEndsAndSendsNothing) {
  useDrives({{"A:\\", 2, {}}, {"C:\\", kDriveFixed, {}}});
  window.Detect_CDs();
  ASSERT_EQ(desktop.messages.size(), 1u);
  EXPECT_EQ(desktop.messages[0].text, "No Audio CDs were detected");
  EXPECT_EQ(desktop.messages[0].style, 64);
  EXPECT_EQ(ends, 1);
  EXPECT_TRUE(window.ended);
  EXPECT_TRUE(mci.sent.empty());
  EXPECT_FALSE(window.buttons[0].visible);
  EXPECT_EQ(window.label2, "Lecteur CD Audio");
}

TEST_F(CdHandlersTest, ADriveButtonStopsClosesAndOpensItsDriveWithoutPlaying) {
  discover();
  window.CD_Click(2);
  EXPECT_EQ(mci.commands(),
            (Commands{"stop cd", "close cd", "open  G:\\ type cdaudio alias cd wait shareable",
                      "set cd time format tmsf"}));
  EXPECT_EQ(window.selectedDrive(), "G:\\");
  EXPECT_EQ(window.label2, "Lecteur CD Audio = G:\\");
  EXPECT_EQ(window.driveButtonCount(), 2);  // discovery alone changes it
}

TEST_F(CdHandlersTest, TransportButtonsSendTheirCommandsInOrderAndLoadClosesAnOpenTray) {
  discover();
  window.Command5_Click();
  window.Command2_Click();
  window.Command4_Click();
  EXPECT_EQ(mci.commands(),
            (Commands{"stop cd wait", "seek cd to 1 wait", "play cd", "pause cd wait"}));
  EXPECT_TRUE(allSentWith(0));
  mci.sent.clear();
  window.Command6_Click();  // no stop before the tray opens
  EXPECT_EQ(mci.commands(), (Commands{"set cd door open wait"}));
  EXPECT_TRUE(allSentWith(255));
  // Load closes the tray only when the mode reads "open", in lower case.
  for (const char* mode : {"open", "Open", "stopped", "ope", ""}) {
    mci.sent.clear();
    mci.replies["status cd mode"] = mode;
    window.Command7_Click();
    Commands expected{"status cd mode"};
    if (std::string(mode) == "open") expected.push_back("set cd door closed wait");
    EXPECT_EQ(mci.commands(), expected) << mode;
    EXPECT_TRUE(allSentWith(255));
  }
}

TEST_F(CdHandlersTest, PreviousAndNextQueryThreeTimesThenPlayOrSeekTheTarget) {
  const struct {
    const char* current;
    const char* count;
    const char* mode;
    const char* previous;  // the last command of Previous, "" for none
    const char* next;
  } cases[] = {{"5", "12", "playing", "play cd from 4", "play cd from 6"},
               {"1", "12", "playing", "play cd from 12", "play cd from 2"},
               {"12", "12", "playing", "play cd from 11", "play cd from 1"},
               {"1", "12", "paused", "seek cd to 12", "seek cd to 2"},
               {"12", "12", "stopped", "seek cd to 11", "seek cd to 1"},
               {"1", "1", "playing", "play cd from 1", "play cd from 1"},
               // "Playing" is not "playing": the target is only sought.
               {"5", "12", "Playing", "seek cd to 4", "seek cd to 6"},
               // Failed queries read as 0 and not playing.
               {"", "", "", "seek cd to -1", "seek cd to 1"},
               // At the ends of the 16-bit range the target does not exist: no command.
               {"-32768", "5", "playing", "", "play cd from -32767"},
               {"32767", "5", "stopped", "seek cd to 32766", ""}};
  discover();
  const Commands queries{"status cd current track", "status cd number of tracks wait",
                         "status cd mode"};
  for (const auto& c : cases) {
    SCOPED_TRACE(std::string("track '") + c.current + "' of '" + c.count + "', " + c.mode);
    mci.replies["status cd current track"] = c.current;
    mci.replies["status cd number of tracks wait"] = c.count;
    mci.replies["status cd mode"] = c.mode;
    for (const bool next : {false, true}) {
      mci.sent.clear();
      next ? window.Command3_Click() : window.Command1_Click();
      Commands expected = queries;
      if (const char* target = next ? c.next : c.previous; *target != '\0')
        expected.push_back(target);
      EXPECT_EQ(mci.commands(), expected) << (next ? "next" : "previous");
      EXPECT_TRUE(allSentWith(255));
    }
  }
}

TEST_F(CdHandlersTest, NextUsesItsOwnBufferAndLeavesTheWindowsReplyAlone) {
  discover();
  mci.replies["status cd media present"] = "true";
  mci.replies["status cd position"] = "03:01:02:03";
  window.Timer1_Timer();
  mci.replies["status cd current track"] = "3";
  mci.replies["status cd number of tracks wait"] = "9";
  mci.replies["status cd mode"] = "playing";
  window.Command3_Click();
  EXPECT_EQ(replyText(window.reply()), "03:01:02:03");
  window.Command1_Click();  // Previous shares the window's buffer
  EXPECT_NE(replyText(window.reply()), "03:01:02:03");
}

TEST_F(CdHandlersTest, TimerShowsTrackMinutesAndSecondsAndKeepsThemForAPositionOfNoNumbers) {
  discover();
  mci.replies["status cd media present"] = "true";
  const std::pair<const char*, const char*> cases[] = {
      {"12:34:56:74", "[12] 34:56"}, {"05:03:09:42", "[05] 03:09"}, {"99:99:59", "[99] 99:59"},
      {"ab:cd:ef:00", "[99] 99:59"}, {"02:0x:07:00", "[99] 99:59"}, {"02:00", "[99] 99:59"},
      {"02:00:7", "[99] 99:59"}};
  for (const auto& [position, shown] : cases) {
    mci.sent.clear();
    mci.replies["status cd position"] = position;
    window.Timer1_Timer();
    EXPECT_EQ(window.label3, shown) << position;
    EXPECT_EQ(mci.commands(), (Commands{"status cd media present", "status cd position"}));
    EXPECT_TRUE(allSentWith(255));
  }
  EXPECT_EQ(window.label3Writes, 3);
}

TEST_F(CdHandlersTest, TimerEmptiesTheLabelWithoutADiscAndAsksNoPosition) {
  discover();
  for (const char* media : {"false", "TRUE", "tru", ""}) {
    window.label3 = "[01] 00:05";
    mci.sent.clear();
    mci.replies["status cd media present"] = media;
    window.Timer1_Timer();
    EXPECT_EQ(window.label3, "") << media;
    EXPECT_EQ(mci.commands(), (Commands{"status cd media present"}));
  }
}

}  // namespace
