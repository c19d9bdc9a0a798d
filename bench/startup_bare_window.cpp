// The yardstick: a bare Qt window holding one label, shown and ended at its
// first paint.
#include <QApplication>
#include <QLabel>
#include <QWidget>

#include "bench/startup_first_paint.h"

int main(int argc, char** argv) {
  QApplication application(argc, argv);
  QWidget window;
  window.setWindowTitle(QStringLiteral("Tavrelo2"));
  window.setFixedSize(384, 127);
  QLabel label(QStringLiteral("Lecteur CD Audio"), &window);
  QuitAfterFirstPaint quit;
  window.installEventFilter(&quit);
  window.show();
  return QApplication::exec();
}
