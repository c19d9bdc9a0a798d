// make-resources OUTDIR: draws the program's pictures into OUTDIR.
#include <QGuiApplication>
#include <cstdio>

#include "tools/make-resources/Generator.h"

int main(int argc, char** argv) {
  // Drawing needs fonts but no screen.
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  QGuiApplication app(argc, argv);
  const QStringList args = app.arguments();
  if (args.size() != 2) {
    std::fprintf(stderr, "usage: make-resources OUTDIR\n");
    return 2;
  }
  QString error;
  const QStringList written = tavrelo::artwork::writePictures(args[1], &error);
  if (written.isEmpty()) {
    std::fprintf(stderr, "make-resources: %s\n", qPrintable(error));
    return 1;
  }
  for (const QString& file : written) std::printf("%s\n", qPrintable(file));
  return 0;
}
