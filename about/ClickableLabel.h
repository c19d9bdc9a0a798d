#pragma once

#include <QLabel>

class QMouseEvent;

namespace tavrelo::about {

// A label or picture that answers a click as a VB Label or Image does: the
// left button pressed and released over it. Never takes the focus.
class ClickableLabel : public QLabel {
  Q_OBJECT

 public:
  explicit ClickableLabel(QWidget* parent);

 signals:
  void clicked();

 protected:
  void mousePressEvent(QMouseEvent* event) override;
  void mouseReleaseEvent(QMouseEvent* event) override;

 private:
  bool pressed_ = false;
};

}  // namespace tavrelo::about
