#include <QApplication>

#include "platform/os/Log.h"
#include "player/FrmAudioPlayer.h"

// The program starts with its main window; there is no command line.
int main(int argc, char** argv) {
  tavrelo::os::setLogPrefix("tavrelo2");
  QApplication application(argc, argv);
  FrmAudioPlayer window;
  if (!window.load()) return 0;
  window.show();
  return QApplication::exec();
}
