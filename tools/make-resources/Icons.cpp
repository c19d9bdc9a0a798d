// The application icon and the nine button glyphs.
#include <QConicalGradient>
#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>
#include <QRadialGradient>
#include <QTransform>

#include "tools/make-resources/Artwork.h"

namespace tavrelo::artwork {
namespace {

// One palette for every glyph.
const QColor kGlyphTop(78, 94, 130);
const QColor kGlyphBottom(22, 28, 46);
const QColor kShadow(0, 0, 0, 70);
const QColor kNoteBlue(24, 64, 178);
const QColor kNoteBlueDark(12, 30, 92);
const QColor kMetalLight(214, 218, 226);
const QColor kMetalDark(120, 126, 138);
const QColor kOutline(52, 56, 66);
const QColor kArrowGreen(56, 176, 72);
const QColor kArrowGreenDark(20, 96, 36);
const QColor kWoodLight(206, 140, 72);
const QColor kWoodDark(138, 82, 34);

QImage canvas(int size) {
  QImage image(size, size, QImage::Format_ARGB32_Premultiplied);
  image.fill(Qt::transparent);
  return image;
}

void begin(QPainter& p, int size) {
  p.setRenderHint(QPainter::Antialiasing);
  p.scale(size / 32.0, size / 32.0);
}

QBrush glyphBrush(double top, double bottom) {
  QLinearGradient g(0, top, 0, bottom);
  g.setColorAt(0, kGlyphTop);
  g.setColorAt(1, kGlyphBottom);
  return g;
}

// A solid glyph with a soft shadow below and to the right (light from the top left).
void fillGlyph(QPainter& p, const QPainterPath& path) {
  const QRectF box = path.boundingRect();
  p.setPen(Qt::NoPen);
  p.setBrush(kShadow);
  p.drawPath(path.translated(0.9, 0.9));
  p.setBrush(glyphBrush(box.top(), box.bottom()));
  p.drawPath(path);
  // A thin highlight along the top edge gives the glyph some relief.
  p.save();
  p.setClipPath(path);
  p.setPen(QPen(QColor(255, 255, 255, 70), 1.0));
  p.setBrush(Qt::NoBrush);
  p.drawPath(path.translated(0.7, 0.7));
  p.restore();
}

QPainterPath triangle(QPointF a, QPointF b, QPointF c) {
  QPainterPath path;
  path.moveTo(a);
  path.lineTo(b);
  path.lineTo(c);
  path.closeSubpath();
  return path;
}

QPainterPath roundedRect(QRectF r, double radius) {
  QPainterPath path;
  path.addRoundedRect(r, radius, radius);
  return path;
}

// A compact disc: silver with rainbow sheen, a clear hub and a hole that
// lets the ground show. `squash` < 1 lays it down in perspective.
void drawDisc(QPainter& p, QPointF centre, double radius, double squash = 1.0) {
  p.save();
  p.translate(centre);
  p.scale(1.0, squash);
  const QRectF outer(-radius, -radius, 2 * radius, 2 * radius);

  QConicalGradient sheen(0, 0, 35);
  const QColor stops[] = {QColor(238, 240, 246), QColor(168, 186, 236), QColor(252, 228, 176),
                          QColor(184, 228, 196), QColor(198, 202, 218), QColor(242, 244, 250),
                          QColor(172, 188, 236), QColor(246, 204, 220), QColor(238, 240, 246)};
  for (int i = 0; i < 9; ++i) sheen.setColorAt(i / 8.0, stops[i]);
  p.setPen(QPen(kMetalDark, 0.9 / squash > 1.6 ? 1.6 : 0.9));
  p.setBrush(sheen);
  p.drawEllipse(outer);

  // Soft light from the top left over the whole face.
  QRadialGradient light(-radius * 0.45, -radius * 0.45, radius * 1.4);
  light.setColorAt(0, QColor(255, 255, 255, 90));
  light.setColorAt(1, QColor(255, 255, 255, 0));
  p.setPen(Qt::NoPen);
  p.setBrush(light);
  p.drawEllipse(outer.adjusted(0.5, 0.5, -0.5, -0.5));

  const double hub = radius * 0.36;
  p.setPen(QPen(QColor(150, 156, 168), 0.6));
  p.setBrush(QColor(226, 230, 238, 235));
  p.drawEllipse(QRectF(-hub, -hub, 2 * hub, 2 * hub));
  const double hole = radius * 0.15;
  p.setCompositionMode(QPainter::CompositionMode_Clear);
  p.setBrush(Qt::black);
  p.setPen(Qt::NoPen);
  p.drawEllipse(QRectF(-hole, -hole, 2 * hole, 2 * hole));
  p.setCompositionMode(QPainter::CompositionMode_SourceOver);
  p.setPen(QPen(kMetalDark, 0.6));
  p.setBrush(Qt::NoBrush);
  p.drawEllipse(QRectF(-hole, -hole, 2 * hole, 2 * hole));
  p.restore();
}

// An eighth note: head centre, stem height; a thin light halo keeps it
// readable where it overlaps other shapes.
QPainterPath notePath(QPointF head, double height, double scale) {
  QPainterPath note;
  const double rx = 3.4 * scale;
  const double ry = 2.5 * scale;
  QPainterPath ellipse;
  ellipse.addEllipse(QPointF(0, 0), rx, ry);
  note += QTransform().translate(head.x(), head.y()).rotate(-22).map(ellipse);
  const double stemX = head.x() + rx * 0.86;
  const double top = head.y() - height;
  note.addRect(QRectF(stemX - 1.5 * scale, top, 1.5 * scale, height - 0.4 * scale));
  QPainterPath flag;
  flag.moveTo(stemX - 0.2 * scale, top);
  flag.cubicTo(stemX + 0.6 * scale, top + 3.2 * scale, stemX + 4.6 * scale, top + 4.2 * scale,
               stemX + 3.4 * scale, top + 9.0 * scale);
  flag.cubicTo(stemX + 3.0 * scale, top + 6.2 * scale, stemX + 1.6 * scale, top + 5.2 * scale,
               stemX - 0.2 * scale, top + 4.8 * scale);
  flag.closeSubpath();
  note += flag;
  return note.simplified();
}

void drawNote(QPainter& p, QPointF head, double height, double scale) {
  const QPainterPath note = notePath(head, height, scale);
  p.setPen(QPen(QColor(255, 255, 255, 230), 1.6, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
  p.setBrush(Qt::NoBrush);
  p.drawPath(note);
  QLinearGradient g(0, head.y() - height, 0, head.y() + 3);
  g.setColorAt(0, kNoteBlue.lighter(125));
  g.setColorAt(1, kNoteBlueDark);
  p.setPen(QPen(kNoteBlueDark, 0.5));
  p.setBrush(g);
  p.drawPath(note);
}

QBrush metalBrush(double top, double bottom, int lift = 0) {
  QLinearGradient g(0, top, 0, bottom);
  g.setColorAt(0, kMetalLight.lighter(100 + lift));
  g.setColorAt(1, kMetalDark.lighter(100 + lift));
  return g;
}

void drawTransport(QPainter& p, Button button) {
  switch (button) {
    case Button::Play:
      fillGlyph(p, triangle({11, 8}, {24.5, 16}, {11, 24}));
      break;
    case Button::Previous:
      fillGlyph(p,
                triangle({5, 16}, {16, 9}, {16, 23}) + triangle({15.5, 16}, {26.5, 9}, {26.5, 23}));
      break;
    case Button::Next:
      fillGlyph(p,
                triangle({27, 16}, {16, 9}, {16, 23}) + triangle({16.5, 16}, {5.5, 9}, {5.5, 23}));
      break;
    case Button::Pause:
      fillGlyph(p, roundedRect({9, 9, 5, 14}, 0.8) + roundedRect({18, 9, 5, 14}, 0.8));
      break;
    case Button::Stop:
      fillGlyph(p, roundedRect({9, 9, 14, 14}, 1.2));
      break;
    default:
      break;
  }
}

// A drive with its tray out and a disc lying on it.
void drawEject(QPainter& p) {
  // Tray: a plate coming towards the viewer, wider at the front.
  QPainterPath tray;
  tray.moveTo(7, 14);
  tray.lineTo(25, 14);
  tray.lineTo(29, 26);
  tray.lineTo(3, 26);
  tray.closeSubpath();
  p.setPen(QPen(kOutline, 0.9));
  p.setBrush(metalBrush(14, 26, 10));
  p.drawPath(tray);
  // The recess the disc sits in.
  p.setPen(QPen(QColor(110, 116, 128), 0.6));
  p.setBrush(QColor(150, 156, 168));
  p.drawEllipse(QPointF(16, 20.2), 11.2, 4.6);
  // Tray front lip.
  p.setPen(QPen(kOutline, 0.9));
  p.setBrush(metalBrush(26, 29, -15));
  p.drawRoundedRect(QRectF(3, 26, 26, 3), 0.8, 0.8);
  drawDisc(p, {16, 20}, 10.2, 0.42);
  // Drive body behind, its front face.
  p.setPen(QPen(kOutline, 0.9));
  p.setBrush(glyphBrush(4, 14));
  p.drawRoundedRect(QRectF(3, 4, 26, 10), 1.4, 1.4);
  p.setPen(QPen(QColor(255, 255, 255, 70), 0.8));
  p.drawLine(QPointF(4.5, 5.4), QPointF(27.5, 5.4));
  p.setPen(Qt::NoPen);
  p.setBrush(QColor(90, 230, 110));
  p.drawEllipse(QPointF(25.2, 9.6), 1.1, 1.1);
  // The eject sign on the front.
  p.setBrush(QColor(214, 220, 232));
  p.drawPath(triangle({6.5, 10}, {9.5, 7}, {12.5, 10}));
  p.drawRect(QRectF(6.5, 10.8, 6, 1.3));
}

// A musical note and a disc above a player unit.
void drawLoad(QPainter& p) {
  drawDisc(p, {12, 10.5}, 8.6);
  drawNote(p, {23.2, 15.6}, 13.0, 0.9);
  // The player.
  p.setPen(QPen(kOutline, 0.9));
  p.setBrush(glyphBrush(20, 29));
  p.drawRoundedRect(QRectF(2.5, 20, 27, 9), 1.4, 1.4);
  p.setPen(QPen(QColor(255, 255, 255, 70), 0.8));
  p.drawLine(QPointF(4, 21.4), QPointF(28, 21.4));
  // Display window and buttons.
  p.setPen(QPen(QColor(20, 40, 24), 0.5));
  p.setBrush(QColor(120, 230, 120));
  p.drawRoundedRect(QRectF(5, 23, 9, 3.6), 0.6, 0.6);
  p.setPen(Qt::NoPen);
  p.setBrush(QColor(200, 206, 218));
  for (int i = 0; i < 3; ++i) p.drawEllipse(QPointF(18.5 + i * 3.4, 24.8), 1.2, 1.2);
}

// A loudspeaker on a page, with sound waves.
void drawVolume(QPainter& p) {
  QPainterPath page;
  page.moveTo(6, 2.5);
  page.lineTo(20, 2.5);
  page.lineTo(26, 8.5);
  page.lineTo(26, 29.5);
  page.lineTo(6, 29.5);
  page.closeSubpath();
  p.setPen(Qt::NoPen);
  p.setBrush(kShadow);
  p.drawPath(page.translated(0.9, 0.9));
  QLinearGradient paper(6, 2, 26, 30);
  paper.setColorAt(0, QColor(255, 255, 255));
  paper.setColorAt(1, QColor(224, 228, 236));
  p.setPen(QPen(QColor(106, 112, 124), 0.9));
  p.setBrush(paper);
  p.drawPath(page);
  // The folded corner.
  p.setBrush(QColor(206, 212, 222));
  p.drawPath(triangle({20, 2.5}, {20, 8.5}, {26, 8.5}));
  // Speaker: magnet box and cone.
  QPainterPath speaker = roundedRect({9, 13, 4, 6.5}, 0.6);
  QPainterPath cone;
  cone.moveTo(12.5, 13);
  cone.lineTo(17.5, 8.5);
  cone.lineTo(17.5, 24);
  cone.lineTo(12.5, 19.5);
  cone.closeSubpath();
  speaker += cone;
  p.setPen(Qt::NoPen);
  p.setBrush(glyphBrush(8.5, 24));
  p.drawPath(speaker.simplified());
  // Waves.
  p.setBrush(Qt::NoBrush);
  p.setPen(QPen(kNoteBlue, 1.5, Qt::SolidLine, Qt::RoundCap));
  p.drawArc(QRectF(15, 12.25, 7, 7), -50 * 16, 100 * 16);
  p.drawArc(QRectF(12.5, 9.75, 12, 12), -50 * 16, 100 * 16);
}

// An arrow going into an open doorway.
void drawQuit(QPainter& p) {
  // Doorway: dark inside a wooden frame.
  QLinearGradient inside(0, 4, 0, 29);
  inside.setColorAt(0, QColor(56, 50, 46));
  inside.setColorAt(1, QColor(24, 22, 22));
  p.setPen(QPen(kWoodDark, 1.6));
  p.setBrush(inside);
  p.drawRect(QRectF(12, 4, 11, 25));
  // The door, swung open towards the viewer on hinges at the right.
  QPainterPath door;
  door.moveTo(23, 4);
  door.lineTo(29.5, 1.5);
  door.lineTo(29.5, 31);
  door.lineTo(23, 29);
  door.closeSubpath();
  QLinearGradient wood(23, 0, 30, 0);
  wood.setColorAt(0, kWoodDark);
  wood.setColorAt(1, kWoodLight);
  p.setPen(QPen(QColor(92, 52, 20), 0.9));
  p.setBrush(wood);
  p.drawPath(door);
  p.setPen(Qt::NoPen);
  p.setBrush(QColor(250, 214, 90));
  p.drawEllipse(QPointF(28, 17), 0.9, 1.1);
  // The arrow, from the left into the doorway.
  QPainterPath arrow;
  arrow.moveTo(2, 14);
  arrow.lineTo(12, 14);
  arrow.lineTo(12, 9.5);
  arrow.lineTo(19.5, 16.5);
  arrow.lineTo(12, 23.5);
  arrow.lineTo(12, 19);
  arrow.lineTo(2, 19);
  arrow.closeSubpath();
  p.setBrush(kShadow);
  p.drawPath(arrow.translated(0.9, 0.9));
  QLinearGradient green(0, 9.5, 0, 23.5);
  green.setColorAt(0, kArrowGreen.lighter(130));
  green.setColorAt(1, kArrowGreen.darker(115));
  p.setPen(QPen(kArrowGreenDark, 0.9, Qt::SolidLine, Qt::SquareCap, Qt::MiterJoin));
  p.setBrush(green);
  p.drawPath(arrow);
}

}  // namespace

const char* buttonName(Button button) {
  switch (button) {
    case Button::Previous:
      return "previous";
    case Button::Play:
      return "play";
    case Button::Next:
      return "next";
    case Button::Pause:
      return "pause";
    case Button::Stop:
      return "stop";
    case Button::Eject:
      return "eject";
    case Button::Load:
      return "load";
    case Button::Volume:
      return "volume";
    case Button::Quit:
      return "quit";
  }
  return "";
}

QImage drawApplicationIcon(int size) {
  QImage image = canvas(size);
  QPainter p(&image);
  begin(p, size);
  // A faint shadow under the disc.
  p.setPen(Qt::NoPen);
  p.setBrush(QColor(0, 0, 0, 50));
  p.drawEllipse(QPointF(13.8, 18.8), 12.6, 12.6);
  drawDisc(p, {13, 18}, 12.6);
  drawNote(p, {23.6, 24.6}, 20.5, 1.1);
  return image;
}

QImage drawButton(Button button, int size) {
  QImage image = canvas(size);
  QPainter p(&image);
  begin(p, size);
  switch (button) {
    case Button::Eject:
      drawEject(p);
      break;
    case Button::Load:
      drawLoad(p);
      break;
    case Button::Volume:
      drawVolume(p);
      break;
    case Button::Quit:
      drawQuit(p);
      break;
    default:
      drawTransport(p, button);
      break;
  }
  return image;
}

}  // namespace tavrelo::artwork
