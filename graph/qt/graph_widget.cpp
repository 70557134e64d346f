#include "graph/qt/graph_widget.h"

#include <QCursor>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>

#include "graph/qt/cursors.h"
#include "platform/qt/qt_canvas.h"
#include "platform/qt/virtual_keys.h"
#include "platform/virtual_keys.h"

namespace osc {

namespace {

TShiftState ShiftOf(Qt::KeyboardModifiers modifiers) {
  TShiftState s = 0;
  if (modifiers & Qt::ShiftModifier) s |= ssShift;
  if (modifiers & Qt::AltModifier) s |= ssAlt;
  if (modifiers & Qt::ControlModifier) s |= ssCtrl;
  return s;
}

TShiftState ShiftOf(const QMouseEvent& e) {
  TShiftState s = ShiftOf(e.modifiers());
  if (e.buttons() & Qt::LeftButton) s |= ssLeft;
  if (e.buttons() & Qt::RightButton) s |= ssRight;
  if (e.buttons() & Qt::MiddleButton) s |= ssMiddle;
  return s;
}

// The state a key press leaves: the pressed modifier itself counts, whatever the
// platform reports for it.
TShiftState ShiftOf(const QKeyEvent& e) {
  TShiftState s = ShiftOf(e.modifiers());
  if (e.key() == Qt::Key_Shift) s |= ssShift;
  if (e.key() == Qt::Key_Control) s |= ssCtrl;
  if (e.key() == Qt::Key_Alt) s |= ssAlt;
  return s;
}

TMouseButton ButtonOf(Qt::MouseButton b) {
  if (b == Qt::RightButton) return mbRight;
  if (b == Qt::MiddleButton) return mbMiddle;
  return mbLeft;
}

}  // namespace

TVelaGraphWidget::TVelaGraphWidget(QWidget* parent) : QWidget(parent) {
  // The view paints every pixel of the client area.
  setAttribute(Qt::WA_OpaquePaintEvent);
  setFocusPolicy(Qt::StrongFocus);
  setMouseTracking(true);
}

TVelaGraphWidget::~TVelaGraphWidget() = default;

TSize TVelaGraphWidget::ClientSize() const {
  return TSize{width(), height()};
}

void TVelaGraphWidget::Invalidate() {
  paintPending_ = true;
  update();
}

void TVelaGraphWidget::ScreenChanged() {
  update();
}

void TVelaGraphWidget::SetCursor(TGraphCursor cursor) {
  switch (cursor) {
    case crPan:
      setCursor(PanCursor());
      break;
    case crZoom:
      setCursor(ZoomCursor());
      break;
    case crArrow:
      setCursor(Qt::ArrowCursor);
      break;
  }
}

void TVelaGraphWidget::ConfineCursor(const TRect* r) {
  confined_ = r != nullptr;
  if (r != nullptr) confineRect_ = QRect(QPoint(r->Left, r->Top), QPoint(r->Right, r->Bottom));
}

bool TVelaGraphWidget::TakeFocus() {
  if (focusPolicy() & Qt::ClickFocus) setFocus(Qt::MouseFocusReason);
  if (window()->focusWidget() == this) return true;
  releaseMouse();
  return false;
}

TPoint TVelaGraphWidget::CursorPos() const {
  const QPoint p = mapFromGlobal(QCursor::pos());
  return TPoint{p.x(), p.y()};
}

std::unique_ptr<TCanvasImage> TVelaGraphWidget::CreateImage() {
  return std::make_unique<TQtImage>(logicalDpiY());
}

void TVelaGraphWidget::paintEvent(QPaintEvent*) {
  TCanvasImage& screen = view_.ScreenImage();
  if (paintPending_ || screen.Width() != width() || screen.Height() != height()) {
    paintPending_ = false;
    view_.Paint();
  }
  const QImage& image = static_cast<TQtImage&>(screen).Image();
  if (image.isNull()) return;
  QPainter painter(this);
  painter.drawImage(0, 0, image);
}

void TVelaGraphWidget::resizeEvent(QResizeEvent*) {
  view_.Resized();
  paintPending_ = true;
}

void TVelaGraphWidget::mousePressEvent(QMouseEvent* e) {
  const QPoint p = e->position().toPoint();
  view_.MouseDown(ButtonOf(e->button()), ShiftOf(*e), p.x(), p.y());
  view_.UpdateCursor();
}

void TVelaGraphWidget::mouseMoveEvent(QMouseEvent* e) {
  const QPoint p = e->position().toPoint();
  if (confined_ && !confineRect_.contains(p)) {
    const QPoint inside(std::clamp(p.x(), confineRect_.left(), confineRect_.right()),
                        std::clamp(p.y(), confineRect_.top(), confineRect_.bottom()));
    QCursor::setPos(mapToGlobal(inside));
  }
  view_.MouseMove(ShiftOf(*e), p.x(), p.y());
  view_.UpdateCursor();
}

void TVelaGraphWidget::mouseReleaseEvent(QMouseEvent* e) {
  const QPoint p = e->position().toPoint();
  view_.MouseUp(ButtonOf(e->button()), ShiftOf(*e), p.x(), p.y());
  view_.UpdateCursor();
}

void TVelaGraphWidget::keyPressEvent(QKeyEvent* e) {
  std::uint16_t key = VirtualKeyFromQt(e->key());
  view_.KeyDown(key, ShiftOf(*e));
}

void TVelaGraphWidget::keyReleaseEvent(QKeyEvent* e) {
  if (e->isAutoRepeat()) return;
  std::uint16_t key = VirtualKeyFromQt(e->key());
  view_.KeyUp(key, ShiftOf(e->modifiers()));
}

void TVelaGraphWidget::enterEvent(QEnterEvent*) {
  view_.UpdateCursor();
}

}  // namespace osc
