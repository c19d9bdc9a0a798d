// Loading, closing, the details box, the three links and the modal opening.

#include <QLabel>
#include <QPointer>
#include <QPushButton>
#include <QTimer>
#include <algorithm>
#include <string>
#include <tuple>
#include <vector>

#include "about/ClickableLabel.h"
#include "tests/about/AboutFixture.h"

namespace tavrelo::testing {
namespace {

using HandlersTest = AboutFixture;

std::vector<std::string> splitOnCr(const std::string& text) {
  std::vector<std::string> lines(1);
  for (char c : text) {
    if (c == '\r') {
      lines.emplace_back();
    } else {
      lines.back() += c;
    }
  }
  return lines;
}

TEST_F(HandlersTest, LoadBuildsCaptionVersionAndTitleFromApp) {
  App.Major = 2;
  App.Minor = 10;
  App.Revision = 3;
  App.Title = "Tavrelo2";
  frmAbout& f = load();
  EXPECT_EQ("A propos Tavrelo2", f.windowTitle());
  EXPECT_EQ("Version 2.10.3", f.lblVersion->text());
  EXPECT_EQ("Tavrelo2", f.lblTitle->text());

  App.Title.clear();
  App.Major = -1;
  App.Minor = 0;
  App.Revision = 0;
  frmAbout& g = load();
  EXPECT_EQ("A propos ", g.windowTitle());  // the blank stays
  EXPECT_EQ("", g.lblTitle->text());
  EXPECT_EQ("Version -1.0.0", g.lblVersion->text());
}

TEST_F(HandlersTest, DetailsBoxHasSevenLinesJoinedByLoneCarriageReturns) {
  App.Major = 7;  // the first line keeps saying 1.1.0
  frmAbout& f = showActive();
  QTest::mouseClick(f.Command1, Qt::LeftButton);
  ASSERT_EQ(1u, desktop.messages.size());
  const auto& box = desktop.messages.front();
  EXPECT_EQ(64, box.style);
  EXPECT_EQ("A propos", box.title);
  EXPECT_EQ(6, std::count(box.text.begin(), box.text.end(), '\r'));
  EXPECT_EQ(std::string::npos, box.text.find('\n'));
  EXPECT_EQ((std::vector<std::string>{"Tavrelo 2 version 1.1.0 - Lecteur de CD Audio", "",
                                      "L'équipe Tavrelo - Décembre 2026",
                                      "E-Mail : contact@tavrelo.example",
                                      "Url : http://tavrelo.example", "", "Logiciel FREEWARE"}),
            splitOnCr(box.text));
  EXPECT_TRUE(f.isVisible());
}

TEST_F(HandlersTest, EachLinkMakesOneShellCallWithItsSixArguments) {
  App.Path = "/opt/tavrelo2/bin";
  frmAbout& f = showActive();
  const HWND owner = reinterpret_cast<HWND>(f.winId());
  QTest::mouseClick(f.Image2, Qt::LeftButton);
  QTest::mouseClick(f.Label3, Qt::LeftButton);
  QTest::mouseClick(f.lblDisclaimer, Qt::LeftButton);
  auto row = [](const ShellCall& c) {
    return std::make_tuple(c.owner, c.verb, c.file, c.parameters, c.directory, c.show);
  };
  const std::vector<ShellCall> expected = {
      {owner, "Open", "http://tavrelo.example/Don/Don.htm", "", "/opt/tavrelo2/bin", 1},
      {owner, "Open", "http://tavrelo.example", "", "/opt/tavrelo2/bin", 1},
      {owner, "Open", "mailto:support@tavrelo.example", "", "", 1},
  };
  ASSERT_EQ(expected.size(), shellCalls().size());
  for (std::size_t i = 0; i < expected.size(); ++i) {
    EXPECT_EQ(row(expected[i]), row(shellCalls()[i])) << expected[i].file;
  }
}

TEST_F(HandlersTest, ALinkTheShellCannotOpenLeavesTheWindowAsItWas) {
  shellAnswer() = 31;  // no handler for the scheme
  frmAbout& f = showActive();
  const QString caption = f.windowTitle();
  for (QWidget* link : {static_cast<QWidget*>(f.Image2), static_cast<QWidget*>(f.Label3),
                        static_cast<QWidget*>(f.lblDisclaimer)}) {
    QTest::mouseClick(link, Qt::LeftButton);
  }
  EXPECT_EQ(3u, shellCalls().size());
  EXPECT_TRUE(f.isVisible());
  EXPECT_EQ(caption, f.windowTitle());
  EXPECT_TRUE(desktop.messages.empty());
  EXPECT_EQ(QDialog::Rejected, f.result());
}

TEST_F(HandlersTest, APressThatLeavesTheLinkBeforeReleaseIsNoClick) {
  frmAbout& f = showActive();
  QTest::mousePress(f.Label3, Qt::LeftButton);
  QTest::mouseRelease(f.Label3, Qt::LeftButton, {}, QPoint(-5, -5));
  QTest::mouseClick(f.Label3, Qt::RightButton);
  EXPECT_TRUE(shellCalls().empty());
}

TEST_F(HandlersTest, EscapeAndEnterPressOkAltSPressesSystemInfo) {
  for (int key : {Qt::Key_Escape, Qt::Key_Return, Qt::Key_Enter}) {
    frmAbout& f = showActive();
    QTest::keyClick(&f, static_cast<Qt::Key>(key));
    EXPECT_FALSE(f.isVisible()) << key;
    // Accepted: cmdOK's handler ran (a plain Escape would have rejected).
    EXPECT_EQ(QDialog::Accepted, f.result()) << key;
  }

  frmAbout& f = showActive();
  QTest::keyClick(&f, Qt::Key_S, Qt::AltModifier);
  // A mnemonic animates the press: the click comes a moment later.
  for (int i = 0; i < 100 && desktop.messages.empty(); ++i) QTest::qWait(10);
  ASSERT_EQ(1u, desktop.messages.size());
  EXPECT_EQ("Information Systeme introuvable !", desktop.messages[0].text);

  // Enter presses whichever button has the focus.
  f.Command1->setFocus();
  QTest::keyClick(f.Command1, Qt::Key_Return);
  ASSERT_EQ(2u, desktop.messages.size());
  EXPECT_EQ("A propos", desktop.messages[1].title);
  EXPECT_TRUE(f.isVisible());
}

// The owner's timer ticks while the window is open; the window is centred over
// the owner; OK unloads it, and the next opening loads a new one.
TEST_F(HandlersTest, ShowModalOpensANewWindowOverItsOwnerEachTime) {
  QWidget owner;
  owner.setGeometry(200, 150, 600, 400);
  owner.show();
  int ticks = 0;
  QTimer timer;
  QObject::connect(&timer, &QTimer::timeout, [&] { ++ticks; });
  timer.start(10);

  std::vector<QString> captions;
  std::vector<QPointer<frmAbout>> opened;
  for (const char* title : {"Premier", "Second"}) {
    App.Title = title;
    QTimer::singleShot(200, [&] {
      auto* f = qobject_cast<frmAbout*>(QApplication::activeModalWidget());
      ASSERT_NE(nullptr, f);
      opened.emplace_back(f);
      captions.push_back(f->windowTitle());
      EXPECT_EQ(&owner, f->parentWidget());
      EXPECT_LE((f->geometry().center() - owner.geometry().center()).manhattanLength(), 2);
      f->cmdOK->click();
    });
    frmAbout::ShowModal(&owner);
  }
  EXPECT_EQ((std::vector<QString>{"A propos Premier", "A propos Second"}), captions);
  ASSERT_EQ(2u, opened.size());
  EXPECT_TRUE(opened[0].isNull());  // unloaded, not hidden
  EXPECT_TRUE(opened[1].isNull());
  EXPECT_GE(ticks, 3);  // the owner's timer ran inside the modal loop
  EXPECT_TRUE(owner.findChildren<frmAbout*>().isEmpty());
}

}  // namespace
}  // namespace tavrelo::testing
