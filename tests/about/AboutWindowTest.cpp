// The About window (offscreen) over a recording desktop and a registry of the
// test's own, and its system-information launcher over a real file system.

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <QApplication>
#include <QDir>
#include <QFontInfo>
#include <QImage>
#include <QLabel>
#include <QPointer>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <cstdlib>
#include <fstream>
#include <memory>
#include <tuple>

#include "about/ClickableLabel.h"
#include "about/frmAbout.h"
#include "platform/win32/VbRuntime.h"
#include "tests/about/StandIns.h"

namespace tavrelo::testing {
namespace {

using namespace std::string_literals;
using win32::RegistryValue;

// A fresh About window over a recording desktop (with xdg-open) and an empty
// registry; App's settings are put back afterwards.
class AboutTest : public ::testing::Test {
 protected:
  AboutTest() {
    desktop.installed = {"xdg-open"};
    win32::setRegistry(&registry);
  }
  ~AboutTest() override {
    win32::setRegistry(nullptr);
    App = savedApp;
  }

  frmAbout& load() {
    form = std::make_unique<frmAbout>();
    return *form;
  }

  // Shows the window and makes it the active one, so keys reach it.
  frmAbout& showActive() {
    load().show();
    QApplication::setActiveWindow(form.get());
    form->activateWindow();
    QApplication::processEvents();
    return *form;
  }

  const AppObject savedApp = App;
  RecordingDesktop desktop;
  MemoryRegistry registry;
  std::unique_ptr<frmAbout> form;
};

// What a reader sees: the texts, their fonts and tooltips, a fixed dialog with
// the focus on OK, Tab going through the three buttons only, the hand over the
// three links only, and the caption, title and version from App.
TEST_F(AboutTest, AFixedDialogWithItsTextsTooltipsCursorsAndFocusOrder) {
  frmAbout& f = showActive();
  EXPECT_EQ(f.minimumSize(), f.maximumSize());
  EXPECT_FALSE(f.windowFlags() & (Qt::WindowMinimizeButtonHint | Qt::WindowMaximizeButtonHint));
  EXPECT_FALSE(f.windowIcon().isNull());
  EXPECT_EQ(QString::fromUtf8("L'équipe Tavrelo - Décembre 2026"), f.lblDescription->text());
  EXPECT_EQ("E-Mail : contact@tavrelo.example", f.lblDisclaimer->text());
  EXPECT_EQ("URL : http://tavrelo.example", f.Label3->text());
  EXPECT_EQ("Logiciel FREEWARE", f.Label2->text());
  EXPECT_EQ(QString::fromUtf8("Détails..."), f.Command1->text());
  EXPECT_EQ(QString::fromUtf8("&Système Info..."), f.cmdSysInfo->text());
  for (QLabel* label : std::initializer_list<QLabel*>{f.lblTitle, f.lblVersion, f.lblDescription,
                                                      f.lblDisclaimer, f.Label3, f.Label2}) {
    SCOPED_TRACE(label->text().toStdString());
    EXPECT_EQ("Comic Neue", QFontInfo(label->font()).family());
    EXPECT_EQ(label == f.lblTitle || label == f.Label2, label->font().bold());
    EXPECT_EQ(label->font().bold() ? 9.75 : 8.25, label->font().pointSizeF());
    // Each text fits its label on one line.
    EXPECT_LE(label->fontMetrics().horizontalAdvance(label->text()), label->width());
  }
  EXPECT_TRUE(f.cmdOK->font().bold());
  EXPECT_EQ("Envoyer un courriel", f.lblDisclaimer->toolTip());
  EXPECT_EQ("Visitez le site officiel Quenolt", f.Label3->toolTip());
  EXPECT_EQ(QString::fromUtf8("Informations système"), f.cmdSysInfo->toolTip());
  EXPECT_EQ(
      QString::fromUtf8("Faire un don avec PayPal - Un solution gratuite, rapide et sécurisée."),
      f.Image2->toolTip());

  for (QWidget* link : std::vector<QWidget*>{f.lblDisclaimer, f.Label3, f.Image2}) {
    EXPECT_EQ(Qt::BitmapCursor, link->cursor().shape());
    EXPECT_EQ(QPoint(12, 1), link->cursor().hotSpot());  // the finger tip
  }
  for (QWidget* other : std::vector<QWidget*>{f.Image1, f.lblTitle, f.lblVersion, f.lblDescription,
                                              f.Label2, f.cmdOK, f.Command1, f.cmdSysInfo, &f}) {
    EXPECT_EQ(Qt::ArrowCursor, other->cursor().shape()) << other->metaObject()->className();
  }

  EXPECT_EQ(f.cmdOK, QApplication::focusWidget());
  std::vector<QWidget*> visited;
  for (int i = 0; i < 3; ++i) {
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
    visited.push_back(QApplication::focusWidget());
  }
  EXPECT_EQ((std::vector<QWidget*>{f.cmdSysInfo, f.Command1, f.cmdOK}), visited);

  // Loading takes the caption, the title and the version from App.
  App = {"Titre", 2, 10, 3, ""};
  EXPECT_EQ("A propos Titre", load().windowTitle());
  EXPECT_EQ("Titre", form->lblTitle->text());
  EXPECT_EQ("Version 2.10.3", form->lblVersion->text());
  App = {"", -1, 0, 0, ""};
  EXPECT_EQ("A propos ", load().windowTitle());  // the blank stays
  EXPECT_EQ("", form->lblTitle->text());
  EXPECT_EQ("Version -1.0.0", form->lblVersion->text());
}

// What the window really paints: black through the labels, text in its
// colour, the etched divider, the icon stretched and the donation picture as
// it is.
TEST_F(AboutTest, PaintsTransparentLabelsColouredTextTheDividerAndThePictures) {
  frmAbout& f = showActive();
  const QImage image = f.grab().toImage();
  ASSERT_EQ(QSize(382, 210), image.size());
  auto countNear = [&](const QLabel* label, QRgb colour) {  // text is smoothed
    int n = 0;
    const QImage box = image.copy(label->geometry());
    for (int i = 0; i < box.width() * box.height(); ++i) {
      const QRgb c = box.pixel(i % box.width(), i / box.width());
      n += std::abs(qRed(c) - qRed(colour)) + std::abs(qGreen(c) - qGreen(colour)) +
               std::abs(qBlue(c) - qBlue(colour)) <
           150;
    }
    return n;
  };
  const QRgb green = qRgb(0, 255, 0), blue = qRgb(0, 0, 255), red = qRgb(255, 0, 0);
  const std::pair<const QLabel*, QRgb> texts[] = {
      {f.lblTitle, green},     {f.lblVersion, green}, {f.lblDescription, green},
      {f.lblDisclaimer, blue}, {f.Label3, blue},      {f.Label2, red}};
  for (const auto& [label, colour] : texts)
    EXPECT_GT(countNear(label, colour), 20) << label->text().toStdString();
  const QRgb white = qRgb(255, 255, 255), grey = qRgb(128, 128, 128), black = qRgb(0, 0, 0);
  EXPECT_EQ(black, image.pixel(f.lblTitle->geometry().right() - 2, f.lblTitle->y() + 2));
  for (int x : {0, 100, 369, 376}) {  // the divider stops short of the right edge
    const std::vector<QRgb> column = {image.pixel(x, 79), image.pixel(x, 80), image.pixel(x, 81),
                                      image.pixel(x, 82)};
    EXPECT_EQ(
        (x < 376 ? std::vector<QRgb>{white, white, grey, black} : std::vector<QRgb>(4, black)),
        column);
  }

  EXPECT_EQ(QSize(32, 32), f.Image1->pixmap().size());
  EXPECT_TRUE(f.Image1->hasScaledContents());
  EXPECT_EQ(QSize(100, 44), f.Image2->pixmap().size());
  EXPECT_FALSE(f.Image2->hasScaledContents());
}

// Through the real ShellExecuteA: each link opens its target with xdg-open.
// A press that leaves the link before release, or a right click, is no click;
// a link the desktop cannot open leaves the window as it was.
TEST_F(AboutTest, EachLinkOpensItsTargetAndAFailureIsIgnored) {
  App.Path = QDir::tempPath().toStdString();
  frmAbout& f = showActive();
  QTest::mousePress(f.Label3, Qt::LeftButton);
  QTest::mouseRelease(f.Label3, Qt::LeftButton, {}, QPoint(-5, -5));
  QTest::mouseClick(f.Label3, Qt::RightButton);
  EXPECT_TRUE(desktop.starts.empty());

  for (QWidget* link : std::vector<QWidget*>{f.Image2, f.Label3, f.lblDisclaimer})
    QTest::mouseClick(link, Qt::LeftButton);
  EXPECT_EQ(
      (std::vector<std::string>{App.Path + ": /usr/bin/xdg-open http://tavrelo.example/Don/Don.htm",
                                App.Path + ": /usr/bin/xdg-open http://tavrelo.example",
                                ": /usr/bin/xdg-open mailto:support@tavrelo.example"}),
      started(desktop));

  desktop.nextProcessId = 0;  // xdg-open does not start
  QTest::mouseClick(f.lblDisclaimer, Qt::LeftButton);
  EXPECT_TRUE(f.isVisible());
  EXPECT_TRUE(desktop.messages.empty());
}

TEST_F(AboutTest, EscapeAndEnterPressOkAltSPressesSystemInfoEnterTheFocusedButton) {
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

  // Enter presses whichever button has the focus: Détails... shows seven
  // lines joined by lone carriage returns, and the first keeps saying 1.1.0.
  App.Major = 7;
  f.Command1->setFocus();
  QTest::keyClick(f.Command1, Qt::Key_Return);
  ASSERT_EQ(2u, desktop.messages.size());
  EXPECT_EQ(64, desktop.messages[1].style);
  EXPECT_EQ("A propos", desktop.messages[1].title);
  EXPECT_EQ(
      "Tavrelo 2 version 1.1.0 - Lecteur de CD Audio\r\rL'équipe Tavrelo - Décembre 2026\r"
      "E-Mail : contact@tavrelo.example\rUrl : http://tavrelo.example\r\rLogiciel FREEWARE",
      desktop.messages[1].text);
  EXPECT_TRUE(f.isVisible());
}

// The window is centred over its owner and modal, its owner's events running
// meanwhile; OK unloads it, and the next opening loads a new one.
TEST_F(AboutTest, ShowModalOpensANewWindowOverItsOwnerEachTime) {
  QWidget owner;
  owner.setGeometry(200, 150, 600, 400);
  owner.show();
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
  EXPECT_TRUE(opened[0].isNull() && opened[1].isNull());  // unloaded, not hidden
}

// Lookup 1 names the tool, started untested; only without it does lookup 2
// name a folder, which must hold MSINFO32.EXE. Every failure ends in the
// message, and each press asks afresh.
TEST_F(AboutTest, StartsTheToolOfTheFirstLookupThatNamesOneOrSaysItIsMissing) {
  QTemporaryDir folder, other;
  QDir(other.path()).mkdir("MSINFO32.EXE");  // a folder, not the file
  const std::string dir = folder.path().toStdString();
  for (const char* name : {"hardinfo", "MSINFO32.EXE"}) {
    std::ofstream(dir + "/" + name) << "#!/bin/sh\n";
    ::chmod((dir + "/" + name).c_str(), 0755);
  }
  using Value = std::optional<RegistryValue>;
  const Value none, binary = RegistryValue{3, {'a', 'b'}}, zeroBytes = RegistryValue{1, {}};
  auto text = [](const std::string& value) { return RegistryValue::text(value); };
  // The two lookups' values, the program started ("" for the message) and
  // how many keys were opened.
  const std::tuple<Value, Value, std::string, std::size_t> rows[] = {
      {text(dir + "/hardinfo"), text("/nowhere"), dir + "/hardinfo", 1},
      {none, text(dir), dir + "/MSINFO32.EXE", 2},  // the backslash read as a separator
      {text(dir + "/gone"), text(dir), "", 1},
      {binary, text(dir), "", 1},  // an empty path
      {zeroBytes, text(dir), "", 1},
      {none, text(other.path().toStdString()), "", 2},
      {none, none, "", 2},
  };
  for (const auto& row : rows) {
    const auto& [tool, location, program, lookups] = row;
    SCOPED_TRACE(&row - rows);
    registry = {};
    if (tool) registry.setValue("SOFTWARE\\Microsoft\\Shared Tools\\MSINFO", "PATH", *tool);
    if (location)
      registry.setValue("SOFTWARE\\Microsoft\\Shared Tools Location", "MSINFO", *location);
    desktop.messages.clear();
    desktop.starts.clear();
    load().cmdSysInfo->click();

    const std::vector<std::pair<std::string, REGSAM>> keys = {
        {"software\\microsoft\\shared tools\\msinfo", 0x2003F},
        {"software\\microsoft\\shared tools location", 0x2003F}};
    EXPECT_EQ(std::vector(keys.begin(), keys.begin() + lookups), registry.opens);
    EXPECT_EQ(0u, openKeyCount());
    EXPECT_EQ(program.empty() ? std::vector<std::string>() : std::vector{": " + program},
              started(desktop));
    ASSERT_EQ(program.empty() ? 1u : 0u, desktop.messages.size());
  }
  EXPECT_EQ("Information Systeme introuvable !", desktop.messages[0].text);
  EXPECT_EQ(0, desktop.messages[0].style);
  EXPECT_EQ("Tavrelo2", desktop.messages[0].title);
}

// One zero is cut at the end only; numbers read as "&h" and hexadecimal; other
// types leave the text alone; more than 1,024 bytes, a missing value or key
// read as nothing; and the key is closed in every case.
TEST_F(AboutTest, GetKeyValueReadsTextsAndNumbersUpTo1024Bytes) {
  auto bytes = [](const std::string& text) { return std::vector<BYTE>(text.begin(), text.end()); };
  // A value's bytes and type; whether it is read, and as what.
  const std::tuple<std::vector<BYTE>, DWORD, bool, std::string> rows[] = {
      {bytes("abc\0"s), 1, true, "abc"},
      {bytes("abc"), 1, true, "abc"},
      {bytes("abc\0\0"s), 1, true, "abc\0"s},
      {bytes("a\0c"s), 1, true, "a\0c"s},
      {{0}, 1, true, ""},
      {bytes(std::string(1023, 'p') + '\0'), 1, true, std::string(1023, 'p')},
      {bytes(std::string(1024, 'q')), 1, true, std::string(1024, 'q')},
      {bytes(std::string(1025, 'r')), 1, false, ""},
      {{0x02, 0x01, 0, 0}, 4, true, "&h102"},
      {{0, 0, 0, 1}, 4, true, "&h1000000"},
      {{0, 0, 0, 0}, 4, true, "&h0"},
      {bytes("x"), 3, true, "before"},
      {bytes("%PATH%"), 2, true, "before"},
  };
  for (const auto& [data, type, found, text] : rows) {
    registry.setValue("K", "V", {type, data});
    std::string value = "before";
    EXPECT_EQ(found, frmAbout::GetKeyValue(win32::reg::kLocalMachine, "K", "V", value)) << text;
    EXPECT_EQ(text, value);
  }
  for (const char* key : {"K", "Missing\\Key"}) {
    std::string value = "before";
    EXPECT_FALSE(frmAbout::GetKeyValue(win32::reg::kLocalMachine, key, "other", value));
    EXPECT_EQ("", value);
  }
  registry.setValue("K", "V", {1, {}});  // no last byte: a run-time error
  std::string value;
  EXPECT_THROW(frmAbout::GetKeyValue(win32::reg::kLocalMachine, "K", "V", value), VbError);
  EXPECT_EQ(0u, openKeyCount());
}

}  // namespace
}  // namespace tavrelo::testing
