#include "about/frmAbout.h"

#include <QFont>
#include <QKeyEvent>
#include <QLabel>
#include <QPalette>
#include <QPixmap>
#include <QPointer>
#include <QPushButton>
#include <QShowEvent>
#include <string>

#include "about/ClickableLabel.h"
#include "about/LineShape.h"
#include "about/Maker.h"
#include "cd/ModuleAudioPlayer.h"
#include "platform/win32/Twips.h"
#include "platform/win32/VbRuntime.h"
#include "resources/PictureFiles.h"
#include "resources/Pictures.h"

using tavrelo::about::ClickableLabel;
using tavrelo::about::LineShape;
using tavrelo::win32::twipsRect;

namespace {

constexpr int SW_SHOWNORMAL = 1;

const QColor kGreen(0, 255, 0);
const QColor kBlue(0, 0, 255);
const QColor kRed(255, 0, 0);

// Comic Sans MS in the original; Comic Neue is its free stand-in.
QFont comicFont(double points, bool bold) {
  QFont font(QStringLiteral("Comic Neue"));
  font.setPointSizeF(points);
  font.setBold(bold);
  font.setItalic(false);
  font.setUnderline(false);
  font.setStrikeOut(false);
  return font;
}

QString qs(const std::string& text) {
  return QString::fromStdString(text);
}

// A label as VB draws one: transparent, text from the top, wrapped at words.
template <typename Label>
Label* makeLabel(QWidget* parent, QRect place, const std::string& text, double points, bool bold,
                 QColor colour, Qt::Alignment alignment) {
  auto* label = new Label(parent);
  label->setGeometry(place);
  label->setTextFormat(Qt::PlainText);
  label->setText(qs(text));
  label->setFont(comicFont(points, bold));
  label->setAlignment(alignment | Qt::AlignTop);
  label->setWordWrap(true);
  label->setAutoFillBackground(false);
  label->setFocusPolicy(Qt::NoFocus);
  QPalette palette = label->palette();
  palette.setColor(QPalette::WindowText, colour);
  label->setPalette(palette);
  return label;
}

QPushButton* makeButton(QWidget* parent, QRect place, const char* text, bool bold) {
  auto* button = new QPushButton(QString::fromUtf8(text), parent);
  button->setGeometry(place);
  button->setFont(comicFont(8.25, bold));
  button->setFocusPolicy(Qt::StrongFocus);
  return button;
}

}  // namespace

void frmAbout::ShowModal(QWidget* owner) {
  // The owner may go while the window is open (the program ends); QPointer
  // then knows the window went with it.
  QPointer<frmAbout> form = new frmAbout(owner);
  form->exec();
  delete form.data();
}

frmAbout::frmAbout(QWidget* owner) : QDialog(owner) {
  setObjectName(QStringLiteral("frmAbout"));
  // A fixed dialog frame: title bar and close box, no minimise or maximise.
  setWindowFlags(Qt::Dialog | Qt::MSWindowsFixedSizeDialogHint | Qt::CustomizeWindowHint |
                 Qt::WindowTitleHint | Qt::WindowCloseButtonHint);
  setWindowTitle(QStringLiteral("Tavrelo 2 : A Propos"));
  setFixedSize(twipsRect(0, 0, 5730, 3150).size());
  setSizeGripEnabled(false);
  setModal(true);
  setWindowIcon(tavrelo::resources::applicationIcon());
  QPalette palette = this->palette();
  palette.setColor(QPalette::Window, Qt::black);
  setPalette(palette);
  setAutoFillBackground(true);
  createControls();
  Form_Load();
}

void frmAbout::createControls() {
  using tavrelo::about::maker::kAuthorLine;
  using tavrelo::about::maker::kAuthorMail;
  using tavrelo::about::maker::kWebHost;

  Image1 = new QLabel(this);
  Image1->setGeometry(twipsRect(120, 240, 720, 720));
  Image1->setPixmap(QPixmap::fromImage(
      tavrelo::resources::readPicture(QString::fromLatin1(tavrelo::resources::kApplicationIcon))));
  Image1->setScaledContents(true);

  lblTitle = makeLabel<QLabel>(this, twipsRect(1080, 120, 3885, 240), "Tavrelo 2", 9.75, true,
                               kGreen, Qt::AlignLeft);
  lblVersion = makeLabel<QLabel>(this, twipsRect(1050, 480, 3885, 225), "Version 1.1.0", 8.25,
                                 false, kGreen, Qt::AlignLeft);
  lblDescription = makeLabel<QLabel>(this, twipsRect(1080, 840, 3885, 330),
                                     std::string(kAuthorLine), 8.25, false, kGreen, Qt::AlignLeft);

  // One etched divider: white, 2 pixels, with a grey pixel line just below.
  Line1[0] = new LineShape(this, {0, 1200}, {5549, 1200}, 2, QColor(255, 255, 255));
  Line1[1] = new LineShape(this, {0, 1217}, {5564, 1217}, 1, QColor(128, 128, 128));

  lblDisclaimer = makeLabel<ClickableLabel>(this, twipsRect(720, 1320, 2625, 225),
                                            "E-Mail : " + std::string(kAuthorMail), 8.25, false,
                                            kBlue, Qt::AlignHCenter);
  lblDisclaimer->setToolTip(QStringLiteral("Envoyer un courriel"));

  cmdOK = makeButton(this, twipsRect(3840, 1440, 1620, 465), "OK", true);

  Label3 = makeLabel<ClickableLabel>(this, twipsRect(960, 1680, 2115, 225),
                                     "URL : http://" + std::string(kWebHost), 8.25, false, kBlue,
                                     Qt::AlignHCenter);
  Label3->setToolTip(QStringLiteral("Visitez le site officiel Quenolt"));

  Label2 = makeLabel<QLabel>(this, twipsRect(720, 2040, 2775, 255), "Logiciel FREEWARE", 9.75, true,
                             kRed, Qt::AlignHCenter);

  Command1 = makeButton(this, twipsRect(3840, 2160, 1575, 375), "Détails...", false);

  Image2 = new ClickableLabel(this);
  Image2->setGeometry(twipsRect(1320, 2400, 1500, 660));
  Image2->setPixmap(QPixmap::fromImage(tavrelo::resources::readPicture(
      QString::fromLatin1(tavrelo::resources::kDonation))));  // natural size
  Image2->setAlignment(Qt::AlignLeft | Qt::AlignTop);
  Image2->setToolTip(
      QString::fromUtf8("Faire un don avec PayPal - Un solution gratuite, rapide et sécurisée."));

  cmdSysInfo = makeButton(this, twipsRect(3840, 2640, 1605, 345), "&Système Info...", false);
  cmdSysInfo->setToolTip(QString::fromUtf8("Informations système"));

  // Only the three links show the hand; everything else keeps the arrow.
  const QCursor hand = tavrelo::resources::handCursor();
  lblDisclaimer->setCursor(hand);
  Label3->setCursor(hand);
  Image2->setCursor(hand);

  // cmdOK is both the default (Enter) and the cancel button (Escape, below).
  cmdOK->setDefault(true);
  setTabOrder(cmdOK, cmdSysInfo);
  setTabOrder(cmdSysInfo, Command1);
  cmdOK->setFocus();

  connect(cmdOK, &QPushButton::clicked, this, &frmAbout::cmdOK_Click);
  connect(Command1, &QPushButton::clicked, this, &frmAbout::Command1_Click);
  connect(cmdSysInfo, &QPushButton::clicked, this, &frmAbout::cmdSysInfo_Click);
  connect(Image2, &ClickableLabel::clicked, this, &frmAbout::Image2_Click);
  connect(Label3, &ClickableLabel::clicked, this, &frmAbout::Label3_Click);
  connect(lblDisclaimer, &ClickableLabel::clicked, this, &frmAbout::lblDisclaimer_Click);
}

void frmAbout::keyPressEvent(QKeyEvent* event) {
  // Escape presses the cancel button, as Windows does, rather than rejecting.
  if (event->key() == Qt::Key_Escape && event->modifiers() == Qt::NoModifier) {
    cmdOK->click();
    return;
  }
  QDialog::keyPressEvent(event);
}

void frmAbout::showEvent(QShowEvent* event) {
  // Centred over the owner's window, client area over client area. Qt's own
  // placement guesses frame sizes and lands tens of pixels off without a
  // window manager.
  if (!placed_ && parentWidget() != nullptr) {
    const QRect owner = parentWidget()->window()->geometry();
    setGeometry(QRect(owner.center() - rect().center(), size()));
  }
  placed_ = true;
  QDialog::showEvent(event);
}

HWND frmAbout::hwnd() {
  return reinterpret_cast<HWND>(winId());
}

// Loading: caption, version and title from the application's settings.
void frmAbout::Form_Load() {
  setWindowTitle(qs("A propos " + App.Title));
  lblVersion->setText(qs("Version " + std::to_string(App.Major) + "." + std::to_string(App.Minor) +
                         "." + std::to_string(App.Revision)));
  lblTitle->setText(qs(App.Title));
}

// OK: unloads the window.
void frmAbout::cmdOK_Click() {
  accept();
}

// Détails...: the details box.
void frmAbout::Command1_Click() {
  using namespace tavrelo::about::maker;
  const std::string cr = "\r";
  MsgBox("Tavrelo 2 version 1.1.0 - Lecteur de CD Audio" + cr + cr + std::string(kAuthorLine) + cr +
             "E-Mail : " + std::string(kAuthorMail) + cr + "Url : http://" + std::string(kWebHost) +
             cr + cr + "Logiciel FREEWARE",
         vbInformation, "A propos");
}

// The donation picture: the donation page.
void frmAbout::Image2_Click() {
  const std::string page =
      "http://" + std::string(tavrelo::about::maker::kWebHost) + "/Don/Don.htm";
  ShellExecuteA(hwnd(), "Open", page.c_str(), "", App.Path.c_str(), SW_SHOWNORMAL);
}

// The web address: the maker's site.
void frmAbout::Label3_Click() {
  const std::string site = "http://" + std::string(tavrelo::about::maker::kWebHost);
  ShellExecuteA(hwnd(), "Open", site.c_str(), "", App.Path.c_str(), SW_SHOWNORMAL);
}

// The e-mail line: a new mail to the maker. Errors are ignored (resume next).
void frmAbout::lblDisclaimer_Click() {
  try {
    const std::string mail = "mailto:" + std::string(tavrelo::about::maker::kLinkMail);
    ShellExecuteA(hwnd(), "Open", mail.c_str(), "", "", SW_SHOWNORMAL);
  } catch (...) {
    // Whatever failed, the handler ends normally.
  }
}

// Système Info...: the system-information tool.
void frmAbout::cmdSysInfo_Click() {
  StartSysInfo();
}
