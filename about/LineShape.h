#pragma once

#include <QColor>
#include <QPoint>
#include <QWidget>

namespace tavrelo::about {

// A VB Line control: a straight solid line from (X1, Y1) to (X2, Y2), given in
// twips in its parent's client area, BorderWidth pixels wide. It only paints;
// the mouse goes through it to what lies below.
class LineShape : public QWidget {
 public:
  LineShape(QWidget* parent, QPoint fromTwips, QPoint toTwips, int borderWidth, QColor colour);

  QPoint fromTwips() const { return from_; }
  QPoint toTwips() const { return to_; }
  int borderWidth() const { return width_; }
  QColor borderColor() const { return colour_; }

 protected:
  void paintEvent(QPaintEvent* event) override;

 private:
  QPoint from_;
  QPoint to_;
  int width_;
  QColor colour_;
};

}  // namespace tavrelo::about
