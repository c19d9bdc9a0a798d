#include "resources/Pictures.h"

#include <QFile>
#include <QPixmap>

#include "resources/PictureFiles.h"

namespace tavrelo::resources {
namespace {

int little16(const QByteArray& bytes, int at) {
  return static_cast<unsigned char>(bytes[at]) | (static_cast<unsigned char>(bytes[at + 1]) << 8);
}

}  // namespace

QString desktopIconPath(int size) {
  return QStringLiteral(":/tavrelo/icons/hicolor/%1x%1/tavrelo2.png").arg(size);
}

QIcon iconWithDoubleSize(const QString& normal, const QString& large) {
  QIcon icon;
  for (const QString& path : {normal, large}) {
    const QImage image = readPicture(path);
    if (!image.isNull()) icon.addPixmap(QPixmap::fromImage(image));
  }
  return icon;
}

QIcon buttonIcon(const char* path) {
  const QString normal = QString::fromLatin1(path);
  QString large = normal;
  large.replace(QStringLiteral(".png"), QStringLiteral("@2x.png"));
  return iconWithDoubleSize(normal, large);
}

QIcon applicationIcon() {
  QIcon icon;
  for (int size : kDesktopIconSizes) {
    icon.addPixmap(QPixmap::fromImage(readPicture(desktopIconPath(size))));
  }
  return icon;
}

QPoint handCursorHotSpot() {
  QFile file(QString::fromLatin1(kHandCursor));
  if (!file.open(QIODevice::ReadOnly)) return {-1, -1};
  // ICONDIR (reserved 0, type 2 for cursors, count), then the first entry,
  // whose bytes 4..7 hold the hot spot's x and y.
  const QByteArray head = file.read(6 + 16);
  if (head.size() < 6 + 16 || little16(head, 0) != 0 || little16(head, 2) != 2 ||
      little16(head, 4) < 1) {
    return {-1, -1};
  }
  return {little16(head, 10), little16(head, 12)};
}

QCursor handCursor() {
  const QPixmap picture = QPixmap::fromImage(readPicture(QString::fromLatin1(kHandCursor)));
  const QPoint hotSpot = handCursorHotSpot();
  if (picture.isNull() || hotSpot.x() < 0) return QCursor(Qt::ArrowCursor);
  return QCursor(picture, hotSpot.x(), hotSpot.y());
}

}  // namespace tavrelo::resources
