// The window as a person meets it: texts, colours, what it paints, cursors
// and the focus order.

#include <QFontInfo>
#include <QImage>
#include <QLabel>
#include <QPushButton>
#include <cstdlib>
#include <vector>

#include "about/ClickableLabel.h"
#include "tests/about/AboutFixture.h"

namespace tavrelo::testing {
namespace {

using DesignTest = AboutFixture;

// What a reader sees: the texts, their colours and tooltips, and a fixed
// dialog with OK as its default button.
TEST_F(DesignTest, AFixedDialogWithItsTextsColoursAndTooltips) {
  frmAbout& f = load();
  EXPECT_EQ(f.minimumSize(), f.maximumSize());
  EXPECT_FALSE(f.windowFlags() & (Qt::WindowMinimizeButtonHint | Qt::WindowMaximizeButtonHint));
  EXPECT_TRUE(f.cmdOK->isDefault());
  EXPECT_EQ(QColor(Qt::black), f.palette().color(QPalette::Window));
  EXPECT_FALSE(f.windowIcon().isNull());
  EXPECT_TRUE(f.cmdOK->font().bold());
  const QColor green(0, 255, 0), blue(0, 0, 255), red(255, 0, 0);
  const struct {
    QLabel* label;
    QString text;
    double points;  // bold at 9.75
    QColor colour;
    QString tooltip;
  } labels[] = {
      {f.lblTitle, "Tavrelo2", 9.75, green, ""},
      {f.lblVersion, "Version 1.1.0", 8.25, green, ""},
      {f.lblDescription, QString::fromUtf8("L'équipe Tavrelo - Décembre 2026"), 8.25, green, ""},
      {f.lblDisclaimer, "E-Mail : contact@tavrelo.example", 8.25, blue, "Envoyer un courriel"},
      {f.Label3, "URL : http://tavrelo.example", 8.25, blue, "Visitez le site officiel Quenolt"},
      {f.Label2, "Logiciel FREEWARE", 9.75, red, ""},
  };
  for (const auto& row : labels) {
    SCOPED_TRACE(row.text.toStdString());
    EXPECT_EQ(row.text, row.label->text());
    EXPECT_EQ("Comic Neue", QFontInfo(row.label->font()).family());
    EXPECT_EQ(row.points, row.label->font().pointSizeF());
    EXPECT_EQ(row.points > 9, row.label->font().bold());
    EXPECT_EQ(row.colour, row.label->palette().color(QPalette::WindowText));
    EXPECT_EQ(row.tooltip, row.label->toolTip());
    // Each text fits its label on one line.
    EXPECT_LE(row.label->fontMetrics().horizontalAdvance(row.text), row.label->width());
  }
  EXPECT_EQ("OK", f.cmdOK->text());
  EXPECT_EQ(QString::fromUtf8("Détails..."), f.Command1->text());
  EXPECT_EQ(QString::fromUtf8("&Système Info..."), f.cmdSysInfo->text());
  EXPECT_EQ(QString::fromUtf8("Informations système"), f.cmdSysInfo->toolTip());
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
