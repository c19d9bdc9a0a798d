#include "player/WindowOnDesktop.h"

#include <signal.h>

#include <QApplication>
#include <QEvent>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QPixmap>
#include <QScreen>
#include <QSocketNotifier>
#include <QWindow>

#include "platform/os/Log.h"
#include "platform/os/SignalPipe.h"
#include "platform/win32/SingleInstance.h"

namespace {

// Events that reach the window after a button left them unhandled.
class DesktopEvents final : public QObject {
 public:
  explicit DesktopEvents(QWidget* window) : QObject(window), window_(window) {}

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override {
    if (watched != window_) return false;
    if (event->type() == QEvent::KeyPress) return enterClicks(static_cast<QKeyEvent*>(event));
    if (!centred_ && (event->type() == QEvent::Move || event->type() == QEvent::Resize ||
                      event->type() == QEvent::Expose)) {
      centreOnceFramed();
    }
    return false;
  }

 private:
  // Qt's push buttons take Enter only as a dialog's default button; on Windows
  // Enter clicks the focused button of any window.
  bool enterClicks(const QKeyEvent* key) {
    if (key->key() != Qt::Key_Return && key->key() != Qt::Key_Enter) return false;
    if ((key->modifiers() & ~Qt::KeypadModifier) != Qt::NoModifier) return false;
    auto* button = qobject_cast<QPushButton*>(window_->focusWidget());
    if (button == nullptr || !button->isEnabled()) return false;
    button->click();
    return true;
  }

  // Before the window is mapped its frame is unknown; the first time the
  // window system reports one, the window is centred again with it.
  void centreOnceFramed() {
    const QWindow* handle = window_->windowHandle();
    if (handle == nullptr || handle->frameMargins().isNull()) return;
    centred_ = true;
    centreByFrame(window_);
  }

  QWidget* window_;
  bool centred_ = false;
};

void comeForward(QWidget* window) {
  // Qt hands a token it finds here to the compositor when it asks to activate.
  const std::string token = tavrelo::win32::takeActivationToken();
  if (!token.empty()) qputenv("XDG_ACTIVATION_TOKEN", QByteArray::fromStdString(token));
  window->setWindowState(window->windowState() & ~Qt::WindowMinimized);
  window->show();
  window->raise();
  window->activateWindow();
}

}  // namespace

QString captionWithoutMnemonics(const QString& caption) {
  QString plain;
  plain.reserve(caption.size());
  for (qsizetype i = 0; i < caption.size(); ++i) {
    if (caption[i] == u'&' && i + 1 < caption.size()) ++i;
    plain += caption[i];
  }
  return plain;
}

void fitToDesktop(QWidget* window) {
  for (QPushButton* button : window->findChildren<QPushButton*>()) {
    if (button->text().isEmpty() && !button->icon().isNull()) {
      button->setAccessibleName(button->toolTip());
    }
  }
  window->installEventFilter(new DesktopEvents(window));
}

void centreByFrame(QWidget* window) {
  const QScreen* screen = window->screen();
  if (screen == nullptr) screen = QGuiApplication::primaryScreen();
  if (screen == nullptr) return;
  QSize frame = window->size();
  if (const QWindow* handle = window->windowHandle()) {
    const QMargins margins = handle->frameMargins();
    frame += QSize(margins.left() + margins.right(), margins.top() + margins.bottom());
  }
  // move() places the frame's top-left corner.
  const QRect area = screen->availableGeometry();
  window->move(area.center() - QRect(QPoint(), frame).center());
}

void holdDesktopRequests() {
  std::string error;
  // Without a pipe the call is lost rather than fatal: SIGUSR1 would end the program.
  if (tavrelo::os::routeSignals({SIGUSR1}, error) < 0) ::signal(SIGUSR1, SIG_IGN);
}

void answerDesktopRequests(QWidget* window) {
  std::string error;
  const int fd = tavrelo::os::routeSignals({SIGTERM, SIGINT, SIGHUP, SIGUSR1}, error);
  if (fd < 0) {
    tavrelo::os::log(error + "; an end request ends the program without closing its window");
    return;
  }
  auto* requests = new QSocketNotifier(fd, QSocketNotifier::Read, window);
  QObject::connect(requests, &QSocketNotifier::activated, window, [window, fd] {
    for (int number = 0; (number = tavrelo::os::takeSignal(fd)) != 0;) {
      if (number == SIGUSR1) {
        comeForward(window);
      } else {
        // A modal window (About, a message) closes first, as at a logout.
        QApplication::closeAllWindows();
      }
    }
  });
}
