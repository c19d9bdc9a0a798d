// The program's own start (as player/main.cpp), ended at the window's first
// paint: single-instance check, drive discovery, the drive opened through the
// MCI session, the window built and shown.
#include <QApplication>

#include "bench/startup_first_paint.h"
#include "player/FrmAudioPlayer.h"

int main(int argc, char** argv) {
  QApplication application(argc, argv);
  FrmAudioPlayer window;
  if (!window.load()) return 1;
  QuitAfterFirstPaint quit;
  window.installEventFilter(&quit);
  window.show();
  return QApplication::exec();
}
