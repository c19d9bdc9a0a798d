#include "tools/make-resources/Generator.h"

#include <QBuffer>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QImageWriter>

#include "tools/make-resources/Artwork.h"
#include "tools/make-resources/GifFile.h"
#include "tools/make-resources/IconFile.h"
#include "tools/make-resources/JpegFile.h"
#include "tools/make-resources/Palette.h"

namespace tavrelo::artwork {
namespace {

// Icons with a 1-bit mask lose their soft edges; blending the edge over a
// mid grey suits both light and dark grounds.
constexpr QRgb kIconMatte = qRgb(168, 168, 168);
// The About window behind the donation button is black.
constexpr QRgb kAboutBlack = qRgb(0, 0, 0);
constexpr int kHiColorSizes[] = {16, 32, 48, 64, 128, 256};

class Output {
 public:
  Output(QString folder, QString* error) : folder_(std::move(folder)), error_(error) {}

  bool write(const QString& relative, const QByteArray& bytes) {
    if (bytes.isEmpty()) return fail(relative, QStringLiteral("nothing to write"));
    const QString path = folder_ + QLatin1Char('/') + relative;
    if (!QDir().mkpath(QFileInfo(path).absolutePath())) {
      return fail(relative, QStringLiteral("cannot create its folder"));
    }
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate) ||
        file.write(bytes) != bytes.size() || !file.flush()) {
      return fail(relative, file.errorString());
    }
    written_.push_back(relative);
    return true;
  }

  bool writeImage(const QString& relative, const QImage& image, const char* format,
                  int quality = -1) {
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    QImageWriter writer(&buffer, format);
    writer.setQuality(quality);
    if (!writer.write(image)) return fail(relative, writer.errorString());
    return write(relative, bytes);
  }

  QStringList written() const { return written_; }

 private:
  bool fail(const QString& relative, const QString& why) {
    if (error_) *error_ = relative + QStringLiteral(": ") + why;
    return false;
  }

  QString folder_;
  QString* error_;
  QStringList written_;
};

}  // namespace

QStringList writePictures(const QString& folder, QString* error) {
  Output out(folder, error);
  const QImage icon32 = quantise(flattenAlpha(drawApplicationIcon(32), kIconMatte), 256);
  if (!out.write(QStringLiteral("icons/tavrelo2.ico"), encodeIcon(icon32, 8))) return {};
  for (int size : kHiColorSizes) {
    const QString name = QStringLiteral("icons/hicolor/%1x%1/tavrelo2.png").arg(size);
    if (!out.writeImage(name, drawApplicationIcon(size), "png")) return {};
  }
  for (Button button : kAllButtons) {
    const QString stem = QStringLiteral("buttons/") + QLatin1String(buttonName(button));
    if (!out.writeImage(stem + QStringLiteral(".png"), quantise(drawButton(button, 32), 256),
                        "png") ||
        !out.writeImage(stem + QStringLiteral("@2x.png"), quantise(drawButton(button, 64), 256),
                        "png")) {
      return {};
    }
  }
  if (!out.write(QStringLiteral("banner.jpg"), encodeRgbJpeg(drawBanner(), 100))) return {};
  const QImage donation = quantise(flattenAlpha(drawDonationButton(), kAboutBlack), 256);
  if (!out.write(QStringLiteral("donate.gif"), encodeGif(donation))) return {};
  if (!out.write(QStringLiteral("hand.cur"), encodeCursor(drawHandCursor(), 4, kHandHotSpot))) {
    return {};
  }
  return out.written();
}

}  // namespace tavrelo::artwork
