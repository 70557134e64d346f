#include "controls/qt/spin_box_btn.h"

#include <qdrawutil.h>
#include <QMouseEvent>
#include <QPainter>

#include "controls/spin_geometry.h"

namespace osc::qt {

TSpinBoxBtn::TSpinBoxBtn(osc::TSpinBoxBtn& logic, QWidget* parent) : QWidget(parent), logic_(logic) {
  setFocusPolicy(Qt::NoFocus);  // a click steps the box and leaves the focus to it
  resize(osc::TSpinBoxBtn::kDefaultWidth, osc::TSpinBoxBtn::kDefaultHeight);
  logic_.OnRepaint = [this](int halves) { Repaint(halves); };
  setVisible(false);
}

TSpinBoxBtn::~TSpinBoxBtn() {
  logic_.OnRepaint = nullptr;
}

void TSpinBoxBtn::FollowBox(bool box_shown) {
  box_shown_ = box_shown;
  UpdateVisibility();
}

QRect TSpinBoxBtn::HalfRect(bool upper) const {
  const TBounds h = SpinButtonHalf(width(), height(), upper);
  return QRect(h.Left, h.Top, h.Width, h.Height);
}

QSize TSpinBoxBtn::sizeHint() const {
  return QSize(osc::TSpinBoxBtn::kDefaultWidth, osc::TSpinBoxBtn::kDefaultHeight);
}

void TSpinBoxBtn::paintEvent(QPaintEvent*) {
  if (!logic_.Visible()) return;
  QPainter painter(this);
  painter.fillRect(rect(), palette().button());
  PaintHalf(painter, true);
  PaintHalf(painter, false);
}

void TSpinBoxBtn::PaintHalf(QPainter& painter, bool upper) {
  const QRect r = HalfRect(upper);
  const bool pressed = logic_.BmpIndex() == (upper ? osc::TSpinBoxBtn::kUpper : osc::TSpinBoxBtn::kLower);
  const QPalette& pal = palette();
  qDrawWinButton(&painter, r, pal, pressed, &pal.button());
  const TSpinArrow a = SpinButtonArrow(TBounds{r.x(), r.y(), r.width(), r.height()}, upper, pressed);
  const QColor colour =
      pal.color(logic_.Enabled() ? QPalette::Active : QPalette::Disabled, QPalette::ButtonText);
  // Row by row: crisp at any scale, exactly the pixels the geometry names.
  for (int i = 0; i <= a.HalfWidth; ++i) {
    const int span = a.Up ? i : a.HalfWidth - i;
    painter.fillRect(a.CenterX - span, a.Top + i, 2 * span + 1, 1, colour);
  }
}

void TSpinBoxBtn::mousePressEvent(QMouseEvent* event) {
  if (event->button() != Qt::LeftButton) return;
  logic_.MouseDown(static_cast<int>(event->position().y()), height());
}

void TSpinBoxBtn::mouseReleaseEvent(QMouseEvent* event) {
  if (event->button() == Qt::LeftButton) logic_.MouseUp();
}

void TSpinBoxBtn::Repaint(int halves) {
  UpdateVisibility();
  if (halves & osc::TSpinBoxBtn::kUpper) update(HalfRect(true));
  if (halves & osc::TSpinBoxBtn::kLower) update(HalfRect(false));
}

void TSpinBoxBtn::UpdateVisibility() {
  // Without a parent the button would become a window of its own.
  const bool show = box_shown_ && logic_.Visible() && parentWidget() != nullptr;
  if (show != !isHidden()) setVisible(show);
}

}  // namespace osc::qt
