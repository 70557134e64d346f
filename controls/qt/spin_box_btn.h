#pragma once
// The spin button widget: draws an osc::TSpinBoxBtn and hands it the mouse. Two
// bevelled halves, raised or sunken while pressed, each with a filled triangle; a change
// of the pressed half repaints only the half that changed. It lives beside its box, as
// a child of the box's parent, and is shown and hidden with the box.
#include <QWidget>

#include "controls/spin_button.h"

namespace osc::qt {

class TSpinBoxBtn : public QWidget {
  Q_OBJECT

 public:
  TSpinBoxBtn(osc::TSpinBoxBtn& logic, QWidget* parent);
  ~TSpinBoxBtn() override;

  osc::TSpinBoxBtn& Logic() { return logic_; }
  // The box was shown or hidden; the button shows when the box does and its Visible
  // flag (the box's VisibleBtn) is on.
  void FollowBox(bool box_shown);
  // Where each half is, in this widget's coordinates.
  QRect HalfRect(bool upper) const;

  QSize sizeHint() const override;

 protected:
  void paintEvent(QPaintEvent* event) override;
  void mousePressEvent(QMouseEvent* event) override;
  void mouseReleaseEvent(QMouseEvent* event) override;

 private:
  void Repaint(int halves);
  void UpdateVisibility();
  void PaintHalf(QPainter& painter, bool upper);

  osc::TSpinBoxBtn& logic_;
  bool box_shown_ = false;
};

}  // namespace osc::qt
