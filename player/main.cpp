#include <QApplication>
#include <QDir>
#include <iostream>

#include "platform/os/Log.h"
#include "platform/win32/SingleInstance.h"
#include "player/FrmAudioPlayer.h"
#include "player/StartDrive.h"
#include "player/WindowOnDesktop.h"

// The program starts with its main window. A desktop may name a drive to
// play: an inserted disc or a CUE sheet. Started again without one, it brings
// the window that runs forward.
int main(int argc, char** argv) {
  tavrelo::os::setLogPrefix("tavrelo2");
  // A second copy may call as soon as this one holds the instance lock.
  holdDesktopRequests();
  QApplication application(argc, argv);
  // Qt has taken its own options out of argv; file names stay the bytes given.
  std::string root;
  if (argc > 1) {
    if (argc > 2) std::cerr << "tavrelo2: only the first drive named is played\n";
    const StartArgument argument =
        parseStartArgument(argv[1], QDir::currentPath().toLocal8Bit().toStdString());
    root = startDriveRoot(argument);
    if (!root.empty() && tavrelo::win32::anotherInstanceRunning()) playInRunningCopy(root);
  }
  if (root.empty() && tavrelo::win32::anotherInstanceRunning()) {
    tavrelo::win32::bringRunningCopyForward();
  }
  FrmAudioPlayer window;
  if (!window.load()) return 0;
  if (!root.empty()) selectAndPlay(window, root);
  window.show();
  answerDesktopRequests(&window);
  return QApplication::exec();
}
