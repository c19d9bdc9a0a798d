#pragma once

#include <QIcon>
#include <QPushButton>
#include <QString>

// What the main window needs to behave on today's Linux desktops as it does
// on Windows: keyboard clicks, captions without accelerator marks, names for
// screen readers, sharp pictures on dense screens, centring by the frame.

// A caption as written, without the accelerator marks a desktop may add
// ("&E:\" reads "E:\"; "&&" stays a plain "&").
QString captionWithoutMnemonics(const QString& caption);

// A drive button. KDE Plasma gives every button of a window an accelerator by
// writing its "text" property; drive letters must not get one, so the
// property drops the marks before they reach the button.
class DriveButton final : public QPushButton {
  Q_OBJECT
  Q_PROPERTY(QString text READ text WRITE setCaption)

 public:
  using QPushButton::QPushButton;
  void setCaption(const QString& caption) { setText(captionWithoutMnemonics(caption)); }
};

// Fits a built window to the desktop: Enter on a focused button clicks it, as
// Space does; each button that shows only a picture is named by its tooltip
// for screen readers; once the window manager has put a frame around the
// window, the window is centred again by that frame.
void fitToDesktop(QWidget* window);

// Centres the window on its screen by its frame (as far as it is known yet).
void centreByFrame(QWidget* window);

// Lets the desktop reach the running program. A request to end it (SIGTERM
// from a logout, the media controls' Quit or kill; SIGINT; SIGHUP) closes its
// windows as their close boxes do, so the window's unload handler runs; a
// second copy's call (SIGUSR1) brings the window forward: shown normal,
// raised and active.
void answerDesktopRequests(QWidget* window);
// Until then a second copy's call waits (it would end the program otherwise);
// an end request still ends it at once.
void holdDesktopRequests();
