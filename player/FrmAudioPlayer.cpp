#include "player/FrmAudioPlayer.h"

#include <QCloseEvent>
#include <QIcon>
#include <QPalette>
#include <QPixmap>

#include "about/frmAbout.h"
#include "cd/ModuleAudioPlayer.h"
#include "platform/win32/End.h"
#include "platform/win32/SingleInstance.h"
#include "platform/win32/Twips.h"
#include "platform/win32/VbRuntime.h"
#include "player/WindowOnDesktop.h"
#include "resources/PictureFiles.h"
#include "resources/Pictures.h"

namespace {

namespace pictures = tavrelo::resources;

const QColor kBlack(0, 0, 0);
const QColor kOlive(128, 128, 0);
const QColor kDisplayYellow(192, 192, 0);
const QColor kGreen(0, 255, 0);

// MS Sans Serif 8.25 pt and Arial are not on Linux; Liberation Sans has
// Arial's metrics and stands in for both.
QFont defaultFont() {
  QFont font(QStringLiteral("Liberation Sans"));
  font.setPointSizeF(8.25);
  return font;
}

QFont statusFont() {
  QFont font(QStringLiteral("Liberation Sans"));
  font.setPointSizeF(15.75);
  font.setBold(true);
  return font;
}

void setColour(QWidget* widget, QPalette::ColorRole role, const QColor& colour) {
  QPalette palette = widget->palette();
  palette.setColor(role, colour);
  widget->setPalette(palette);
}

// The bottom row: Top 1320, Height 495.
constexpr double kRowTop = 1320;
constexpr double kRowHeight = 495;
// Drive buttons: element 0's design place.
constexpr double kDriveLeft = 120;
constexpr double kDriveTop = 1000;
constexpr double kDriveWidth = 615;
constexpr double kDriveHeight = 255;

}  // namespace

FrmAudioPlayer::FrmAudioPlayer()
    : QWidget(nullptr, Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                           Qt::WindowSystemMenuHint | Qt::WindowMinimizeButtonHint |
                           Qt::WindowCloseButtonHint) {
  setObjectName(QStringLiteral("FrmAudioPlayer"));
  setWindowTitle(QStringLiteral("Tavrelo2"));
  // Only the 32-pixel picture goes to the window system: all six sizes made
  // the start-up about 4% slower under Xvfb. The desktop's menus and task
  // lists take the larger ones from the installed theme icon.
  setWindowIcon(QIcon(pictures::applicationIcon().pixmap(32, 32)));
  setFont(defaultFont());
  setAutoFillBackground(true);
  setColour(this, QPalette::Window, kBlack);
  setFixedSize(px(5760), px(1905));
  buildControls();
  buildTabOrder();
  fitToDesktop(this);
}

int FrmAudioPlayer::px(double twips) const {
  return tavrelo::win32::twipsToPixels(twips);
}

void FrmAudioPlayer::place(QWidget* control, double left, double top, double width, double height,
                           int originX, int originY) {
  control->setGeometry(originX + px(left), originY + px(top), px(width), px(height));
}

QPushButton* FrmAudioPlayer::makePictureButton(const char* picture, const char* tooltip,
                                               double left, double width) {
  auto* button = new QPushButton(this);
  button->setIcon(pictures::buttonIcon(picture));
  button->setIconSize(QSize(32, 32));
  button->setToolTip(QString::fromUtf8(tooltip));
  place(button, left, kRowTop, width, kRowHeight);
  return button;
}

QPushButton* FrmAudioPlayer::makeDriveButton(int index) {
  auto* button = new DriveButton(this);
  button->setObjectName(QStringLiteral("CD(%1)").arg(index));
  button->setToolTip(QStringLiteral("Sélectionner le lecteur"));
  button->setVisible(false);
  const float left = cdPlaces_.empty() ? static_cast<float>(kDriveLeft) : cdPlaces_[0].left;
  place(button, left, kDriveTop, kDriveWidth, kDriveHeight);
  connect(button, &QPushButton::clicked, this,
          [this, index] { CD_Click(static_cast<std::int16_t>(index)); });
  cdButtons_.push_back(button);
  cdPlaces_.push_back({left, static_cast<float>(kDriveWidth)});
  return button;
}

void FrmAudioPlayer::buildControls() {
  Command8 = new QPushButton(this);
  Command8->setIcon(
      pictures::iconWithDoubleSize(pictures::desktopIconPath(32), pictures::desktopIconPath(64)));
  Command8->setIconSize(QSize(32, 32));
  Command8->setToolTip(QStringLiteral("A propos..."));
  place(Command8, 240, 120, 735, 615);

  Picture1 = new QFrame(this);
  Picture1->setFrameStyle(QFrame::Panel | QFrame::Sunken);
  Picture1->setLineWidth(2);
  Picture1->setFocusPolicy(Qt::StrongFocus);
  Picture1->setAutoFillBackground(true);
  setColour(Picture1, QPalette::Window, kOlive);
  place(Picture1, 1200, 30, 4455, 735);
  // Controls inside the panel are placed from its inner area, inside the border.
  const int inner = Picture1->frameWidth();

  Image1 = new QLabel(Picture1);
  Image1->setPixmap(
      QPixmap::fromImage(pictures::readPicture(QString::fromLatin1(pictures::kBanner))));
  Image1->setAlignment(Qt::AlignLeft | Qt::AlignTop);
  place(Image1, 0, 0, 2115, 345, inner, inner);

  Label3 = new QLabel(Picture1);
  Label3->setFont(statusFont());
  setColour(Label3, QPalette::WindowText, kDisplayYellow);
  Label3->setAlignment(Qt::AlignRight | Qt::AlignTop);
  place(Label3, 1680, 120, 2535, 495, inner, inner);

  Label2 = new QLabel(QStringLiteral("Lecteur CD Audio"), Picture1);
  setColour(Label2, QPalette::WindowText, kDisplayYellow);
  setColour(Label2, QPalette::Window, kOlive);  // never painted: transparent
  Label2->setAlignment(Qt::AlignLeft | Qt::AlignTop);
  place(Label2, 30, 360, 3135, 375, inner, inner);

  Label1 = new QLabel(QStringLiteral("Lecteurs de CD Audio"), this);
  setColour(Label1, QPalette::WindowText, kGreen);
  setColour(Label1, QPalette::Window, kBlack);
  Label1->setAutoFillBackground(true);
  Label1->setAlignment(Qt::AlignLeft | Qt::AlignTop);
  place(Label1, 120, 780, 2055, 255);

  makeDriveButton(0);  // drawn over Label1, which reaches 35 twips into the row

  Command1 = makePictureButton(pictures::kPrevious, "Piste précédente", 120, 615);
  Command2 = makePictureButton(pictures::kPlay, "Play", 720, 615);
  Command3 = makePictureButton(pictures::kNext, "Piste suivante", 1320, 615);
  Command4 = makePictureButton(pictures::kPause, "Pause", 1920, 615);
  Command5 = makePictureButton(pictures::kStop, "Stop", 2520, 615);
  Command6 = makePictureButton(pictures::kEject, "Ejecter", 3240, 615);
  Command7 = makePictureButton(pictures::kLoad, "Charger", 3840, 615);
  Command9 = makePictureButton(pictures::kVolume, "Réglages", 4440, 615);
  Command10 = makePictureButton(pictures::kQuit, "Quitter", 5160, 495);

  connect(Command1, &QPushButton::clicked, this, [this] { Command1_Click(); });
  connect(Command2, &QPushButton::clicked, this, [this] { Command2_Click(); });
  connect(Command3, &QPushButton::clicked, this, [this] { Command3_Click(); });
  connect(Command4, &QPushButton::clicked, this, [this] { Command4_Click(); });
  connect(Command5, &QPushButton::clicked, this, [this] { Command5_Click(); });
  connect(Command6, &QPushButton::clicked, this, [this] { Command6_Click(); });
  connect(Command7, &QPushButton::clicked, this, [this] { Command7_Click(); });
  connect(Command8, &QPushButton::clicked, this, [this] { Command8_Click(); });
  connect(Command9, &QPushButton::clicked, this, [this] { Command9_Click(); });
  connect(Command10, &QPushButton::clicked, this, [this] { Command10_Click(); });

  // The designer names, for accessibility tools and anyone inspecting the window.
  const std::pair<QObject*, const char*> names[] = {
      {Command1, "Command1"},   {Command2, "Command2"}, {Command3, "Command3"},
      {Command4, "Command4"},   {Command5, "Command5"}, {Command6, "Command6"},
      {Command7, "Command7"},   {Command8, "Command8"}, {Command9, "Command9"},
      {Command10, "Command10"}, {Picture1, "Picture1"}, {Image1, "Image1"},
      {Label1, "Label1"},       {Label2, "Label2"},     {Label3, "Label3"}};
  for (const auto& [control, name] : names) control->setObjectName(QString::fromLatin1(name));

  Timer1 = new QTimer(this);
  Timer1->setObjectName(QStringLiteral("Timer1"));
  Timer1->setInterval(1000);
  connect(Timer1, &QTimer::timeout, this, [this] { Timer1_Timer(); });
}

void FrmAudioPlayer::buildTabOrder() {
  const QWidget* order[] = {cdButtons_[0], Command1, Command2, Command3,  Command4, Command5,
                            Command6,      Command7, Command9, Command10, Command8, Picture1};
  for (std::size_t i = 1; i < std::size(order); ++i) {
    QWidget::setTabOrder(const_cast<QWidget*>(order[i - 1]), const_cast<QWidget*>(order[i]));
  }
}

bool FrmAudioPlayer::load() {
  Form_Load();
  if (ended_) return false;
  // Timer1 runs from the end of the load, so nothing ticks while the load
  // still decides whether the program runs at all.
  Timer1->start();
  centreByFrame(this);
  cdButtons_[0]->setFocus();
  return true;
}

void FrmAudioPlayer::Form_Load() {
  if (tavrelo::win32::anotherInstanceRunning()) {
    programEnded();
    End();
    return;
  }
  Detect_CDs();
}

void FrmAudioPlayer::Form_Unload(std::int16_t& Cancel) {
  // Result codes are kept and not looked at: a device that never opened
  // changes nothing here.
  [[maybe_unused]] MCIERROR result = mciSendStringA("stop cd", nullptr, 0, nullptr);
  result = mciSendStringA("close cd", nullptr, 0, nullptr);
  result = mciSendStringA("close all", nullptr, 0, nullptr);
  Cancel = 0;
}

void FrmAudioPlayer::Command8_Click() {
  frmAbout::ShowModal(this);
}

void FrmAudioPlayer::Command9_Click() {
  try {
    Shell("sndvol32.exe", vbNormalFocus);
  } catch (const VbError&) {
    // Windows always has sndvol32.exe; a desktop without a mixer gets told
    // instead of losing the program.
    MsgBox("Aucun mélangeur de volume n'a été trouvé.", vbInformation, "");
  }
}

void FrmAudioPlayer::Command10_Click() {
  programEnded();
  End();
}

void FrmAudioPlayer::closeEvent(QCloseEvent* event) {
  if (ended_) {
    event->accept();
    return;
  }
  std::int16_t cancel = 0;
  Form_Unload(cancel);
  if (cancel != 0) {
    event->ignore();
    return;
  }
  Timer1->stop();
  event->accept();
}

std::string FrmAudioPlayer::driveButtonCaption(int index) const {
  return captionWithoutMnemonics(cdButtons_.at(static_cast<std::size_t>(index))->text())
      .toStdString();
}

void FrmAudioPlayer::setDriveButtonCaption(int index, const std::string& caption) {
  cdButtons_.at(static_cast<std::size_t>(index))->setText(QString::fromStdString(caption));
}

void FrmAudioPlayer::setDriveButtonVisible(int index, bool visible) {
  cdButtons_.at(static_cast<std::size_t>(index))->setVisible(visible);
}

void FrmAudioPlayer::loadDriveButton(int index) {
  while (static_cast<int>(cdButtons_.size()) <= index) {
    makeDriveButton(static_cast<int>(cdButtons_.size()));
  }
}

float FrmAudioPlayer::driveButtonLeft(int index) const {
  return cdPlaces_.at(static_cast<std::size_t>(index)).left;
}

float FrmAudioPlayer::driveButtonWidth(int index) const {
  return cdPlaces_.at(static_cast<std::size_t>(index)).width;
}

void FrmAudioPlayer::setDriveButtonLeft(int index, float left) {
  DriveButtonPlace& placeOf = cdPlaces_.at(static_cast<std::size_t>(index));
  placeOf.left = left;
  place(cdButtons_.at(static_cast<std::size_t>(index)), left, kDriveTop, placeOf.width,
        kDriveHeight);
}

void FrmAudioPlayer::setLabel2Caption(const std::string& caption) {
  Label2->setText(QString::fromStdString(caption));
}

void FrmAudioPlayer::setLabel3Caption(const std::string& caption) {
  Label3->setText(QString::fromStdString(caption));
}

void FrmAudioPlayer::programEnded() {
  ended_ = true;
  Timer1->stop();
}
