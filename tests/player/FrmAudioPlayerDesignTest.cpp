#include <gtest/gtest.h>

#include <QFontInfo>
#include <QPushButton>
#include <string>
#include <vector>

#include "platform/win32/Twips.h"
#include "player/FrmAudioPlayer.h"

namespace {

// The window as designed, in twips; the panel's three controls count from
// the panel's inner area.
struct Design {
  const char* name;
  double left, top, width, height;
  bool inPanel;
  const char* text;
  const char* tooltip;
};

const Design kDesign[] = {
    {"Command8", 240, 120, 735, 615, false, "", "A propos..."},
    {"Picture1", 1200, 30, 4455, 735, false, nullptr, ""},
    {"Image1", 0, 0, 2115, 345, true, nullptr, ""},
    {"Label3", 1680, 120, 2535, 495, true, "", ""},
    {"Label2", 30, 360, 3135, 375, true, "Lecteur CD Audio", ""},
    {"Label1", 120, 780, 2055, 255, false, "Lecteurs de CD Audio", ""},
    {"CD(0)", 120, 1000, 615, 255, false, "", "Sélectionner le lecteur"},
    {"Command1", 120, 1320, 615, 495, false, "", "Piste précédente"},
    {"Command2", 720, 1320, 615, 495, false, "", "Play"},
    {"Command3", 1320, 1320, 615, 495, false, "", "Piste suivante"},
    {"Command4", 1920, 1320, 615, 495, false, "", "Pause"},
    {"Command5", 2520, 1320, 615, 495, false, "", "Stop"},
    {"Command6", 3240, 1320, 615, 495, false, "", "Ejecter"},
    {"Command7", 3840, 1320, 615, 495, false, "", "Charger"},
    {"Command9", 4440, 1320, 615, 495, false, "", "Réglages"},
    {"Command10", 5160, 1320, 495, 495, false, "", "Quitter"},
};

class FrmAudioPlayerDesignTest : public ::testing::Test {
 protected:
  QWidget* control(const std::string& name) {
    if (name == "CD(0)") return window.CD().at(0);
    const std::vector<std::pair<std::string, QWidget*>> all{
        {"Command1", window.Command1}, {"Command2", window.Command2},
        {"Command3", window.Command3}, {"Command4", window.Command4},
        {"Command5", window.Command5}, {"Command6", window.Command6},
        {"Command7", window.Command7}, {"Command8", window.Command8},
        {"Command9", window.Command9}, {"Command10", window.Command10},
        {"Picture1", window.Picture1}, {"Image1", window.Image1},
        {"Label1", window.Label1},     {"Label2", window.Label2},
        {"Label3", window.Label3}};
    for (const auto& [n, widget] : all) {
      if (n == name) return widget;
    }
    return nullptr;
  }
  int px(double twips) { return tavrelo::win32::twipsToPixels(twips); }
  static QColor colour(const QWidget* widget, QPalette::ColorRole role) {
    return widget->palette().color(role);
  }

  FrmAudioPlayer window;
};

TEST_F(FrmAudioPlayerDesignTest, WindowIsAFixedBlackFrameWithMinimiseButNoMaximise) {
  EXPECT_EQ(window.windowTitle(), "Tavrelo2");
  EXPECT_EQ(window.minimumSize(), QSize(px(5760), px(1905)));
  EXPECT_EQ(window.maximumSize(), QSize(px(5760), px(1905)));
  if (window.logicalDpiX() == 96) {
    EXPECT_EQ(window.size(), QSize(384, 127));
  }
  const Qt::WindowFlags flags = window.windowFlags();
  EXPECT_TRUE(flags.testFlag(Qt::WindowMinimizeButtonHint));
  EXPECT_FALSE(flags.testFlag(Qt::WindowMaximizeButtonHint));
  EXPECT_TRUE(flags.testFlag(Qt::WindowCloseButtonHint));
  EXPECT_TRUE(window.autoFillBackground());
  EXPECT_EQ(colour(&window, QPalette::Window), QColor(0, 0, 0));
  EXPECT_FALSE(window.windowIcon().isNull());
  EXPECT_EQ(window.Timer1->interval(), 1000);
  EXPECT_FALSE(window.Timer1->isSingleShot());
}

TEST_F(FrmAudioPlayerDesignTest, EveryControlHasItsPlaceTextAndTooltip) {
  const int inner = window.Picture1->frameWidth();
  EXPECT_GT(inner, 0);  // the sunken border
  for (const Design& d : kDesign) {
    SCOPED_TRACE(d.name);
    QWidget* widget = control(d.name);
    ASSERT_NE(widget, nullptr);
    EXPECT_EQ(widget->objectName().toStdString(), d.name);
    const int origin = d.inPanel ? inner : 0;
    EXPECT_EQ(widget->parentWidget(),
              d.inPanel ? static_cast<QWidget*>(window.Picture1) : static_cast<QWidget*>(&window));
    EXPECT_EQ(widget->geometry(),
              QRect(origin + px(d.left), origin + px(d.top), px(d.width), px(d.height)));
    EXPECT_EQ(widget->toolTip().toStdString(), d.tooltip);
    if (d.text == nullptr) continue;
    if (auto* button = qobject_cast<QPushButton*>(widget)) {
      EXPECT_EQ(button->text().toStdString(), d.text);
    } else if (auto* label = qobject_cast<QLabel*>(widget)) {
      EXPECT_EQ(label->text().toStdString(), d.text);
    }
  }
}

TEST_F(FrmAudioPlayerDesignTest, PicturesColoursAndFontsAreThoseOfTheDesign) {
  for (QPushButton* button :
       {window.Command1, window.Command2, window.Command3, window.Command4, window.Command5,
        window.Command6, window.Command7, window.Command8, window.Command9, window.Command10}) {
    SCOPED_TRACE(button->toolTip().toStdString());
    EXPECT_FALSE(button->icon().isNull());
    EXPECT_EQ(button->iconSize(), QSize(32, 32));
    EXPECT_TRUE(button->text().isEmpty());
  }
  ASSERT_FALSE(window.Image1->pixmap().isNull());
  EXPECT_EQ(window.Image1->pixmap().size(), QSize(141, 23));
  EXPECT_FALSE(window.Image1->hasScaledContents());

  EXPECT_EQ(colour(window.Picture1, QPalette::Window), QColor(128, 128, 0));
  EXPECT_TRUE(window.Picture1->autoFillBackground());
  EXPECT_EQ(window.Picture1->frameShadow(), QFrame::Sunken);

  EXPECT_EQ(colour(window.Label3, QPalette::WindowText), QColor(192, 192, 0));
  EXPECT_FALSE(window.Label3->autoFillBackground());  // transparent
  EXPECT_EQ(window.Label3->alignment() & Qt::AlignHorizontal_Mask, Qt::AlignRight);
  EXPECT_EQ(window.Label3->font().family(), "Liberation Sans");
  EXPECT_DOUBLE_EQ(window.Label3->font().pointSizeF(), 15.75);
  EXPECT_TRUE(window.Label3->font().bold());
  EXPECT_EQ(QFontInfo(window.Label3->font()).family(), "Liberation Sans");  // installed

  EXPECT_EQ(colour(window.Label2, QPalette::WindowText), QColor(192, 192, 0));
  EXPECT_EQ(colour(window.Label2, QPalette::Window), QColor(128, 128, 0));
  EXPECT_FALSE(window.Label2->autoFillBackground());
  EXPECT_EQ(window.Label2->alignment() & Qt::AlignHorizontal_Mask, Qt::AlignLeft);

  EXPECT_EQ(colour(window.Label1, QPalette::WindowText), QColor(0, 255, 0));
  EXPECT_EQ(colour(window.Label1, QPalette::Window), QColor(0, 0, 0));
  EXPECT_TRUE(window.Label1->autoFillBackground());  // opaque
  EXPECT_EQ(window.Label1->alignment() & Qt::AlignHorizontal_Mask, Qt::AlignLeft);

  for (QWidget* widget :
       {static_cast<QWidget*>(window.Label1), static_cast<QWidget*>(window.Label2),
        static_cast<QWidget*>(window.CD().at(0)), static_cast<QWidget*>(window.Command1)}) {
    EXPECT_EQ(widget->font().family(), "Liberation Sans");
    EXPECT_DOUBLE_EQ(widget->font().pointSizeF(), 8.25);
    EXPECT_FALSE(widget->font().bold());
  }
}

TEST_F(FrmAudioPlayerDesignTest, TabOrderRunsFromTheDriveButtonToThePanelAndLabelsTakeNoFocus) {
  const std::vector<QWidget*> expected{window.CD().at(0), window.Command1, window.Command2,
                                       window.Command3,   window.Command4, window.Command5,
                                       window.Command6,   window.Command7, window.Command9,
                                       window.Command10,  window.Command8, window.Picture1};
  std::vector<QWidget*> order;
  QWidget* widget = expected.front();
  do {
    if (widget->focusPolicy() & Qt::TabFocus) order.push_back(widget);
    widget = widget->nextInFocusChain();
  } while (widget != expected.front() && order.size() < 40);
  EXPECT_EQ(order, expected);
  for (QWidget* label :
       {static_cast<QWidget*>(window.Label1), static_cast<QWidget*>(window.Label2),
        static_cast<QWidget*>(window.Label3), static_cast<QWidget*>(window.Image1)}) {
    EXPECT_EQ(label->focusPolicy(), Qt::NoFocus);
  }
}

TEST_F(FrmAudioPlayerDesignTest, OnlyTheDriveButtonStartsHidden) {
  EXPECT_TRUE(window.CD().at(0)->isHidden());
  EXPECT_EQ(window.CD().size(), 1u);
  for (const Design& d : kDesign) {
    if (std::string(d.name) == "CD(0)") continue;
    EXPECT_FALSE(control(d.name)->isHidden()) << d.name;
  }
  EXPECT_FALSE(window.Timer1->isActive());  // it starts with the load
}

}  // namespace
