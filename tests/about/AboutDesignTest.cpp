// The window as designed: places in twips, texts, fonts, colours, pictures,
// cursors, tooltips and the focus order.

#include <QFontInfo>
#include <QImage>
#include <QLabel>
#include <QPushButton>
#include <cstdlib>
#include <string>
#include <vector>

#include "about/ClickableLabel.h"
#include "about/LineShape.h"
#include "tests/about/AboutFixture.h"

namespace tavrelo::testing {
namespace {

using DesignTest = AboutFixture;

QRect inTwips(const QRect& pixels) {
  return {pixels.x() * 15, pixels.y() * 15, pixels.width() * 15, pixels.height() * 15};
}

TEST_F(DesignTest, WindowIsAFixedBlackDialogOf5730By3150Twips) {
  frmAbout& f = load();
  EXPECT_EQ(QSize(5730, 3150), f.size() * 15);
  EXPECT_EQ(f.minimumSize(), f.maximumSize());
  const Qt::WindowFlags flags = f.windowFlags();
  EXPECT_TRUE(flags.testFlag(Qt::WindowTitleHint));
  EXPECT_FALSE(flags.testFlag(Qt::WindowMinimizeButtonHint));
  EXPECT_FALSE(flags.testFlag(Qt::WindowMaximizeButtonHint));
  EXPECT_EQ(QColor(Qt::black), f.palette().color(QPalette::Window));
  EXPECT_FALSE(f.windowIcon().isNull());
  EXPECT_TRUE(f.cmdOK->isDefault());
}

TEST_F(DesignTest, ControlsSitWhereTheTableSays) {
  frmAbout& f = load();
  const struct {
    QWidget* control;
    QRect twips;
  } table[] = {
      {f.Image1, {120, 240, 720, 720}},          {f.lblTitle, {1080, 120, 3885, 240}},
      {f.lblVersion, {1050, 480, 3885, 225}},    {f.lblDescription, {1080, 840, 3885, 330}},
      {f.lblDisclaimer, {720, 1320, 2625, 225}}, {f.cmdOK, {3840, 1440, 1620, 465}},
      {f.Label3, {960, 1680, 2115, 225}},        {f.Label2, {720, 2040, 2775, 255}},
      {f.Command1, {3840, 2160, 1575, 375}},     {f.Image2, {1320, 2400, 1500, 660}},
      {f.cmdSysInfo, {3840, 2640, 1605, 345}},
  };
  for (const auto& row : table) {
    EXPECT_EQ(row.twips, inTwips(row.control->geometry())) << row.control->metaObject()->className();
  }
  EXPECT_EQ(QPoint(0, 1200), f.Line1[0]->fromTwips());
  EXPECT_EQ(QPoint(5549, 1200), f.Line1[0]->toTwips());
  EXPECT_EQ(2, f.Line1[0]->borderWidth());
  EXPECT_EQ(QPoint(0, 1217), f.Line1[1]->fromTwips());
  EXPECT_EQ(QPoint(5564, 1217), f.Line1[1]->toTwips());
  EXPECT_EQ(1, f.Line1[1]->borderWidth());
}

struct TextRow {
  QWidget* control;
  QString text;
  double points;
  bool bold;
};

TEST_F(DesignTest, TextsAndFontsAreTheDesignedOnes) {
  frmAbout& f = load();
  const std::vector<TextRow> labels = {
      {f.lblDescription, QString::fromUtf8("L'équipe Tavrelo - Décembre 2026"), 8.25, false},
      {f.lblDisclaimer, "E-Mail : contact@tavrelo.example", 8.25, false},
      {f.Label3, "URL : http://tavrelo.example", 8.25, false},
      {f.Label2, "Logiciel FREEWARE", 9.75, true},
      {f.lblTitle, "Tavrelo2", 9.75, true},
      {f.lblVersion, "Version 1.1.0", 8.25, false},
  };
  const std::vector<TextRow> buttons = {
      {f.cmdOK, "OK", 8.25, true},
      {f.Command1, QString::fromUtf8("Détails..."), 8.25, false},
      {f.cmdSysInfo, QString::fromUtf8("&Système Info..."), 8.25, false},
  };
  auto checkFont = [](const TextRow& row) {
    const QFont font = row.control->font();
    EXPECT_EQ("Comic Neue", QFontInfo(font).family()) << row.text.toStdString();
    EXPECT_DOUBLE_EQ(row.points, font.pointSizeF()) << row.text.toStdString();
    EXPECT_EQ(row.bold, font.bold()) << row.text.toStdString();
    EXPECT_FALSE(font.italic() || font.underline()) << row.text.toStdString();
  };
  for (const TextRow& row : labels) {
    auto* label = qobject_cast<QLabel*>(row.control);
    ASSERT_NE(nullptr, label);
    EXPECT_EQ(row.text, label->text());
    checkFont(row);
    // One line, as designed: the text fits the label's width.
    EXPECT_LE(label->fontMetrics().horizontalAdvance(row.text), label->width())
        << row.text.toStdString();
  }
  for (const TextRow& row : buttons) {
    EXPECT_EQ(row.text, qobject_cast<QPushButton*>(row.control)->text());
    checkFont(row);
  }
}

TEST_F(DesignTest, ColoursAlignmentAndTooltips) {
  frmAbout& f = load();
  const QColor green(0, 255, 0), blue(0, 0, 255), red(255, 0, 0);
  const struct {
    QLabel* label;
    QColor colour;
    Qt::Alignment horizontal;
    QString tooltip;
  } table[] = {
      {f.lblTitle, green, Qt::AlignLeft, ""},
      {f.lblVersion, green, Qt::AlignLeft, ""},
      {f.lblDescription, green, Qt::AlignLeft, ""},
      {f.lblDisclaimer, blue, Qt::AlignHCenter, "Envoyer un courriel"},
      {f.Label3, blue, Qt::AlignHCenter, "Visitez le site officiel Quenolt"},
      {f.Label2, red, Qt::AlignHCenter, ""},
  };
  for (const auto& row : table) {
    EXPECT_EQ(row.colour, row.label->palette().color(QPalette::WindowText))
        << row.label->text().toStdString();
    EXPECT_EQ(row.horizontal, row.label->alignment() & Qt::AlignHorizontal_Mask)
        << row.label->text().toStdString();
    EXPECT_EQ(row.tooltip, row.label->toolTip()) << row.label->text().toStdString();
  }
  EXPECT_EQ(QString::fromUtf8("Faire un don avec PayPal - Un solution gratuite, rapide et sécurisée."),
            f.Image2->toolTip());
  EXPECT_EQ(QString::fromUtf8("Informations système"), f.cmdSysInfo->toolTip());
  EXPECT_TRUE(f.cmdOK->toolTip().isEmpty());
  EXPECT_TRUE(f.Command1->toolTip().isEmpty());
}

// What the window really paints: black through the labels, coloured text,
// the etched divider, the icon stretched and the donation picture as it is.
TEST_F(DesignTest, PaintsLabelsTransparentAndTheEtchedDivider) {
  frmAbout& f = load();
  f.show();
  const QImage image = f.grab().toImage();
  ASSERT_EQ(QSize(382, 210), image.size());
  auto at = [&](int x, int y) { return QColor(image.pixel(x, y)); };
  // Text is smoothed: count the pixels near the colour.
  auto count = [&](QRect box, QColor colour) {
    int n = 0;
    for (int y = box.top(); y <= box.bottom(); ++y) {
      for (int x = box.left(); x <= box.right(); ++x) {
        const QColor c = at(x, y);
        const bool near = std::abs(c.red() - colour.red()) < 100 &&
                          std::abs(c.green() - colour.green()) < 100 &&
                          std::abs(c.blue() - colour.blue()) < 100;
        n += near ? 1 : 0;
      }
    }
    return n;
  };
  // Past the end of lblTitle's text, inside its box: the black window.
  EXPECT_EQ(QColor(Qt::black), at(f.lblTitle->geometry().right() - 2, f.lblTitle->y() + 2));
  EXPECT_GT(count(f.lblTitle->geometry(), QColor(0, 255, 0)), 20);
  EXPECT_GT(count(f.Label3->geometry(), QColor(0, 0, 255)), 20);
  EXPECT_GT(count(f.Label2->geometry(), QColor(255, 0, 0)), 20);

  for (int x : {0, 100, 369}) {
    EXPECT_EQ(QColor(255, 255, 255), at(x, 79)) << x;
    EXPECT_EQ(QColor(255, 255, 255), at(x, 80)) << x;
    EXPECT_EQ(QColor(128, 128, 128), at(x, 81)) << x;
    EXPECT_EQ(QColor(Qt::black), at(x, 82)) << x;
  }
  // Short of the right edge.
  EXPECT_EQ(QColor(Qt::black), at(376, 80));
  EXPECT_EQ(QColor(Qt::black), at(376, 81));
}

TEST_F(DesignTest, PicturesAreTheIconStretchedAndTheDonationGifAsItIs) {
  frmAbout& f = load();
  EXPECT_TRUE(f.Image1->hasScaledContents());
  EXPECT_EQ(QSize(32, 32), f.Image1->pixmap().size());
  EXPECT_FALSE(f.Image2->hasScaledContents());
  EXPECT_EQ(QSize(100, 44), f.Image2->pixmap().size());
  EXPECT_EQ(f.Image2->size(), f.Image2->pixmap().size());
}

TEST_F(DesignTest, HandCursorOverTheThreeLinksOnly) {
  frmAbout& f = load();
  // The pointing hand's picture, its hot spot on the finger tip.
  for (QWidget* link : {static_cast<QWidget*>(f.lblDisclaimer), static_cast<QWidget*>(f.Label3),
                        static_cast<QWidget*>(f.Image2)}) {
    EXPECT_EQ(Qt::BitmapCursor, link->cursor().shape());
    EXPECT_EQ(QPoint(12, 1), link->cursor().hotSpot());
    EXPECT_EQ(QSize(32, 32), link->cursor().pixmap().size());
  }
  for (QWidget* other : {static_cast<QWidget*>(f.Image1), static_cast<QWidget*>(f.lblTitle),
                         static_cast<QWidget*>(f.lblVersion), static_cast<QWidget*>(f.lblDescription),
                         static_cast<QWidget*>(f.Label2), static_cast<QWidget*>(f.cmdOK),
                         static_cast<QWidget*>(f.Command1), static_cast<QWidget*>(f.cmdSysInfo),
                         static_cast<QWidget*>(&f)}) {
    EXPECT_EQ(Qt::ArrowCursor, other->cursor().shape()) << other->metaObject()->className();
  }
}

TEST_F(DesignTest, FocusStartsOnOkAndTabsThroughTheThreeButtonsOnly) {
  frmAbout& f = showActive();
  EXPECT_EQ(f.cmdOK, QApplication::focusWidget());
  std::vector<QWidget*> visited;
  for (int i = 0; i < 3; ++i) {
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
    visited.push_back(QApplication::focusWidget());
  }
  EXPECT_EQ((std::vector<QWidget*>{f.cmdSysInfo, f.Command1, f.cmdOK}), visited);
  for (QWidget* label : {static_cast<QWidget*>(f.lblDisclaimer), static_cast<QWidget*>(f.Label3),
                         static_cast<QWidget*>(f.lblTitle), static_cast<QWidget*>(f.Label2)}) {
    EXPECT_EQ(Qt::NoFocus, label->focusPolicy());
  }
}

}  // namespace
}  // namespace tavrelo::testing
