// The window as designed: places in twips, texts, fonts, colours, pictures,
// cursors, tooltips and the focus order.

#include <QFontInfo>
#include <QImage>
#include <QLabel>
#include <QPushButton>
#include <cstdlib>
#include <vector>

#include "about/ClickableLabel.h"
#include "about/LineShape.h"
#include "tests/about/AboutFixture.h"

namespace tavrelo::testing {
namespace {

using DesignTest = AboutFixture;

QRect inTwips(const QRect& px) {
  return {px.x() * 15, px.y() * 15, px.width() * 15, px.height() * 15};
}

void expectComicNeue(const QWidget* control, double points, bool bold) {
  const QFont font = control->font();
  EXPECT_EQ("Comic Neue", QFontInfo(font).family());
  EXPECT_DOUBLE_EQ(points, font.pointSizeF());
  EXPECT_EQ(bold, font.bold());
  EXPECT_FALSE(font.italic() || font.underline());
}

TEST_F(DesignTest, AFixedBlackDialogWhoseControlsSitWhereDesigned) {
  frmAbout& f = load();
  EXPECT_EQ(QSize(5730, 3150), f.size() * 15);
  EXPECT_EQ(f.minimumSize(), f.maximumSize());
  EXPECT_TRUE(f.windowFlags().testFlag(Qt::WindowTitleHint));
  EXPECT_FALSE(f.windowFlags() & (Qt::WindowMinimizeButtonHint | Qt::WindowMaximizeButtonHint));
  EXPECT_EQ(QColor(Qt::black), f.palette().color(QPalette::Window));
  EXPECT_FALSE(f.windowIcon().isNull());
  EXPECT_TRUE(f.cmdOK->isDefault());

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
  for (const auto& row : table) EXPECT_EQ(row.twips, inTwips(row.control->geometry()));
  EXPECT_EQ(QPoint(0, 1200), f.Line1[0]->fromTwips());
  EXPECT_EQ(QPoint(5549, 1200), f.Line1[0]->toTwips());
  EXPECT_EQ(QPoint(0, 1217), f.Line1[1]->fromTwips());
  EXPECT_EQ(QPoint(5564, 1217), f.Line1[1]->toTwips());
}

TEST_F(DesignTest, LabelsAndButtonsHaveTheirTextsFontsColoursAndTooltips) {
  frmAbout& f = load();
  const QColor green(0, 255, 0), blue(0, 0, 255), red(255, 0, 0);
  const struct {
    QLabel* label;
    QString text;
    double points;
    bool bold;
    QColor colour;
    Qt::Alignment alignment;
    QString tooltip;
  } labels[] = {
      {f.lblTitle, "Tavrelo2", 9.75, true, green, Qt::AlignLeft, ""},
      {f.lblVersion, "Version 1.1.0", 8.25, false, green, Qt::AlignLeft, ""},
      {f.lblDescription, QString::fromUtf8("L'équipe Tavrelo - Décembre 2026"), 8.25, false, green,
       Qt::AlignLeft, ""},
      {f.lblDisclaimer, "E-Mail : contact@tavrelo.example", 8.25, false, blue, Qt::AlignHCenter,
       "Envoyer un courriel"},
      {f.Label3, "URL : http://tavrelo.example", 8.25, false, blue, Qt::AlignHCenter,
       "Visitez le site officiel Quenolt"},
      {f.Label2, "Logiciel FREEWARE", 9.75, true, red, Qt::AlignHCenter, ""},
  };
  for (const auto& row : labels) {
    SCOPED_TRACE(row.text.toStdString());
    EXPECT_EQ(row.text, row.label->text());
    expectComicNeue(row.label, row.points, row.bold);
    EXPECT_EQ(row.colour, row.label->palette().color(QPalette::WindowText));
    EXPECT_EQ(row.alignment, row.label->alignment() & Qt::AlignHorizontal_Mask);
    EXPECT_EQ(row.tooltip, row.label->toolTip());
    // Each text fits its label on one line.
    EXPECT_LE(row.label->fontMetrics().horizontalAdvance(row.text), row.label->width());
  }
  const struct {
    QPushButton* button;
    QString text;
    bool bold;
    QString tooltip;
  } buttons[] = {
      {f.cmdOK, "OK", true, ""},
      {f.Command1, QString::fromUtf8("Détails..."), false, ""},
      {f.cmdSysInfo, QString::fromUtf8("&Système Info..."), false,
       QString::fromUtf8("Informations système")},
  };
  for (const auto& row : buttons) {
    SCOPED_TRACE(row.text.toStdString());
    EXPECT_EQ(row.text, row.button->text());
    expectComicNeue(row.button, 8.25, row.bold);
    EXPECT_EQ(row.tooltip, row.button->toolTip());
  }
  EXPECT_EQ(
      QString::fromUtf8("Faire un don avec PayPal - Un solution gratuite, rapide et sécurisée."),
      f.Image2->toolTip());
}

// What the window really paints: black through the labels, coloured text,
// the etched divider, the icon stretched and the donation picture as it is.
TEST_F(DesignTest, PaintsTransparentLabelsTheDividerAndThePictures) {
  frmAbout& f = load();
  f.show();
  const QImage image = f.grab().toImage();
  ASSERT_EQ(QSize(382, 210), image.size());
  auto at = [&](int x, int y) { return QColor(image.pixel(x, y)); };
  auto countNear = [&](QRect box, QColor colour) {  // text is smoothed
    int n = 0;
    for (int y = box.top(); y <= box.bottom(); ++y) {
      for (int x = box.left(); x <= box.right(); ++x) {
        const QColor c = at(x, y);
        n += std::abs(c.red() - colour.red()) + std::abs(c.green() - colour.green()) +
                         std::abs(c.blue() - colour.blue()) <
                     150
                 ? 1
                 : 0;
      }
    }
    return n;
  };
  EXPECT_EQ(QColor(Qt::black), at(f.lblTitle->geometry().right() - 2, f.lblTitle->y() + 2));
  EXPECT_GT(countNear(f.lblTitle->geometry(), QColor(0, 255, 0)), 20);
  EXPECT_GT(countNear(f.Label3->geometry(), QColor(0, 0, 255)), 20);
  EXPECT_GT(countNear(f.Label2->geometry(), QColor(255, 0, 0)), 20);
  for (int x : {0, 100, 369}) {
    EXPECT_EQ(QColor(255, 255, 255), at(x, 79));
    EXPECT_EQ(QColor(255, 255, 255), at(x, 80));
    EXPECT_EQ(QColor(128, 128, 128), at(x, 81));
    EXPECT_EQ(QColor(Qt::black), at(x, 82));
  }
  EXPECT_EQ(QColor(Qt::black), at(376, 80));  // short of the right edge
  EXPECT_EQ(QColor(Qt::black), at(376, 81));

  EXPECT_EQ(QSize(32, 32), f.Image1->pixmap().size());
  EXPECT_TRUE(f.Image1->hasScaledContents());
  EXPECT_EQ(QSize(100, 44), f.Image2->pixmap().size());
  EXPECT_FALSE(f.Image2->hasScaledContents());
}

TEST_F(DesignTest, HandCursorOverTheThreeLinksOnly) {
  frmAbout& f = load();
  for (QWidget* link : std::vector<QWidget*>{f.lblDisclaimer, f.Label3, f.Image2}) {
    EXPECT_EQ(Qt::BitmapCursor, link->cursor().shape());
    EXPECT_EQ(QPoint(12, 1), link->cursor().hotSpot());  // the finger tip
    EXPECT_EQ(QSize(32, 32), link->cursor().pixmap().size());
  }
  for (QWidget* other : std::vector<QWidget*>{f.Image1, f.lblTitle, f.lblVersion, f.lblDescription,
                                              f.Label2, f.cmdOK, f.Command1, f.cmdSysInfo, &f}) {
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
}

}  // namespace
}  // namespace tavrelo::testing
