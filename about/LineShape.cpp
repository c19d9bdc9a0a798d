#include "about/LineShape.h"

#include <QPainter>
#include <QPen>
#include <algorithm>

#include "platform/win32/Twips.h"

namespace tavrelo::about {

using win32::twipsPoint;

LineShape::LineShape(QWidget* parent, QPoint fromTwips, QPoint toTwips, int borderWidth,
                     QColor colour)
    : QWidget(parent),
      from_(fromTwips),
      to_(toTwips),
      width_(std::max(1, borderWidth)),
      colour_(colour) {
  setAttribute(Qt::WA_TransparentForMouseEvents);
  setFocusPolicy(Qt::NoFocus);
  // The widget covers the line's box and the pen's width on every side.
  const QPoint a = twipsPoint(from_.x(), from_.y());
  const QPoint b = twipsPoint(to_.x(), to_.y());
  const QRect box = QRect(a, b).normalized().adjusted(-width_, -width_, width_, width_);
  setGeometry(box);
}

void LineShape::paintEvent(QPaintEvent* /*event*/) {
  QPainter painter(this);
  painter.setRenderHint(QPainter::Antialiasing, false);
  QPen pen(colour_);
  pen.setWidth(width_);
  pen.setStyle(Qt::SolidLine);
  pen.setCapStyle(Qt::FlatCap);
  painter.setPen(pen);
  const QPoint origin = geometry().topLeft();
  painter.drawLine(twipsPoint(from_.x(), from_.y()) - origin,
                   twipsPoint(to_.x(), to_.y()) - origin);
}

}  // namespace tavrelo::about
