// The banner, the donation button and the hand cursor.
#include <QFont>
#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>

#include "tools/make-resources/Artwork.h"

namespace tavrelo::artwork {
namespace {

const QColor kOlive(128, 128, 0);

// Text as outlines, so that the letters do not depend on hinting settings.
QPainterPath textPath(const QString& text, const QFont& font, QPointF baseline) {
  QPainterPath path;
  path.addText(baseline, font, text);
  return path;
}

QFont pixelFont(const QString& family, int pixels, bool bold, bool italic) {
  QFont font(family);
  font.setPixelSize(pixels);
  font.setBold(bold);
  font.setItalic(italic);
  font.setHintingPreference(QFont::PreferNoHinting);
  font.setStyleStrategy(QFont::PreferOutline);
  return font;
}

}  // namespace

QImage drawBanner() {
  QImage image(141, 23, QImage::Format_RGB32);
  image.fill(kOlive);
  QPainter p(&image);
  p.setRenderHint(QPainter::Antialiasing);
  // The letters and their shadow stay off the left eight columns and the
  // bottom seven rows: those JPEG blocks are then flat olive and decode
  // exactly, so the banner's edges cannot show against the panel.
  const QFont font = pixelFont(QStringLiteral("Liberation Serif"), 18, true, true);
  const QPainterPath text = textPath(QStringLiteral("Tavrelo 2"), font, {8.5, 14.0});
  p.setPen(Qt::NoPen);
  p.setBrush(QColor(64, 64, 0));
  p.drawPath(text.translated(1.0, 1.0));
  p.setBrush(QColor(255, 255, 0));
  p.drawPath(text);
  return image;
}

QImage drawDonationButton() {
  QImage image(100, 44, QImage::Format_ARGB32_Premultiplied);
  image.fill(Qt::transparent);
  QPainter p(&image);
  p.setRenderHint(QPainter::Antialiasing);
  const QRectF face(3.5, 6.5, 93, 30);
  p.setPen(Qt::NoPen);
  p.setBrush(QColor(0, 0, 0, 90));
  p.drawRoundedRect(face.translated(1.5, 2), 15, 15);
  QLinearGradient body(0, face.top(), 0, face.bottom());
  body.setColorAt(0, QColor(255, 226, 120));
  body.setColorAt(0.5, QColor(255, 196, 60));
  body.setColorAt(1, QColor(244, 150, 24));
  p.setPen(QPen(QColor(176, 102, 10), 1));
  p.setBrush(body);
  p.drawRoundedRect(face, 15, 15);
  // Gloss on the upper half.
  QLinearGradient gloss(0, face.top(), 0, face.center().y());
  gloss.setColorAt(0, QColor(255, 255, 255, 150));
  gloss.setColorAt(1, QColor(255, 255, 255, 10));
  p.setPen(Qt::NoPen);
  p.setBrush(gloss);
  p.drawRoundedRect(QRectF(face.left() + 4, face.top() + 1.5, face.width() - 8, 12), 6, 6);

  const QFont font = pixelFont(QStringLiteral("Liberation Sans"), 13, true, true);
  const QString label = QStringLiteral("Faire un don");
  QPainterPath text;
  text.addText(0, 0, font, label);
  const QRectF box = text.boundingRect();
  text.translate(face.center().x() - box.center().x(), 26.5);
  p.setBrush(QColor(255, 244, 200, 160));
  p.drawPath(text.translated(0, 1));
  p.setBrush(QColor(20, 44, 110));
  p.drawPath(text);
  return image;
}

QImage drawHandCursor() {
  // . transparent  # black  w white  l light grey  g grey  b blue  d dark blue  c light blue
  // clang-format off
  static const char* const kRows[32] = {
      "................................",
      "...........###..................",
      "..........#wwl#.................",
      "..........#wwl#.................",
      "..........#wwl#.................",
      "..........#wwl#.................",
      "..........#wwl#.................",
      "..........#wwl###...............",
      "..........#wwl#wwl###...........",
      "..........#wwl#wwl#wwl#.........",
      "..........#wwl#wwl#wwl###.......",
      "..........#wwl#wwl#wwl#wl#......",
      ".....##...#wwwwwwwwwwwwwl#......",
      "....#wwl#.#wwwwwwwwwwwwwl#......",
      "....#wwwl##wwwwwwwwwwwwwl#......",
      ".....#wwwlwwwwwwwwwwwwwwl#......",
      "......#wwwwwwwwwwwwwwwwwl#......",
      ".......#wwwwwwwwwwwwwwwwl#......",
      "........#wwwwwwwwwwwwwwlg#......",
      ".........#wwwwwwwwwwwwwlg#......",
      "..........#wwwwwwwwwwwlg#.......",
      "..........#wwwwwwwwwwwlg#.......",
      "..........###############.......",
      "..........#cbbbbbbbbbbbd#.......",
      "..........#bbbbbbbbbbbbd#.......",
      "..........#ddddddddddddd#.......",
      "..........###############.......",
      "................................",
      "................................",
      "................................",
      "................................",
      "................................",
  };
  // clang-format on
  QImage image(32, 32, QImage::Format_Indexed8);
  QList<QRgb> table{qRgba(0, 0, 0, 0),   qRgb(0, 0, 0),   qRgb(255, 255, 255), qRgb(200, 200, 200),
                    qRgb(128, 128, 128), qRgb(0, 0, 255), qRgb(0, 0, 128),     qRgb(96, 160, 255)};
  while (table.size() < 16) table.push_back(qRgb(0, 0, 0));
  image.setColorTable(table);
  const QByteArray keys(".#wlgbdc");
  for (int y = 0; y < 32; ++y) {
    for (int x = 0; x < 32; ++x) {
      image.setPixel(x, y, static_cast<uint>(std::max<qsizetype>(0, keys.indexOf(kRows[y][x]))));
    }
  }
  return image;
}

}  // namespace tavrelo::artwork
