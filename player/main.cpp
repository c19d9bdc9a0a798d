#include <QApplication>
#include <QDir>
#include <iostream>

#include "platform/win32/SingleInstance.h"
#include "player/FrmAudioPlayer.h"
#include "player/StartDrive.h"

// The program starts with its main window. A desktop may name a drive to
// play: an inserted disc or a CUE sheet.
int main(int argc, char** argv) {
  QApplication application(argc, argv);
  const QStringList arguments = QCoreApplication::arguments();
  std::string root;
  if (arguments.size() > 1) {
    if (arguments.size() > 2) std::cerr << "tavrelo2: only the first drive named is played\n";
    const StartArgument argument =
        parseStartArgument(arguments[1].toStdString(), QDir::currentPath().toStdString());
    root = startDriveRoot(argument);
    if (!root.empty() && tavrelo::win32::anotherInstanceRunning()) playInRunningCopy(root);
  }
  FrmAudioPlayer window;
  if (!window.load()) return 0;
  if (!root.empty()) selectAndPlay(window, root);
  window.show();
  return QApplication::exec();
}
