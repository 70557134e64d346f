// Mouse and keyboard handling of the graph view: the drag state machine for panning
// and zooming, the zoom rectangle and the mouse cursor.
#include <algorithm>

#include "graph/graph_data.h"
#include "graph/view.h"

namespace osc {

namespace {

// A degenerate rectangle (of a graph without room) is never under the mouse.
bool Hit(const TRect& r, TPoint p) {
  return !r.IsEmpty() && PointInRect(p, r);
}

TRect Span(int a1, int b1, int a2, int b2) {
  return TRect{std::min(a1, a2), std::min(b1, b2), std::max(a1, a2), std::max(b1, b2)};
}

}  // namespace

bool TVelaGraph::PanCondition() const {
  return mode_ == gmPan || (mode_ == gmSelect && shift_ == ssCtrl);
}

bool TVelaGraph::ZoomCondition() const {
  return mode_ == gmZoom || (mode_ == gmSelect && shift_ == ssShift);
}

TPoint TVelaGraph::Confined(int x, int y) const {
  if (!confined_) return TPoint{x, y};
  return TPoint{std::clamp(x, confineRect_.Left, std::max(confineRect_.Left, confineRect_.Right)),
                std::clamp(y, confineRect_.Top, std::max(confineRect_.Top, confineRect_.Bottom))};
}

void TVelaGraph::MouseDown(TMouseButton button, TShiftState shift, int x, int y) {
  if (OnMouseDown) OnMouseDown(*this, button, shift, x, y);
  if (!host_.TakeFocus() || button != mbLeft) return;
  const TPoint p{x, y};
  const TRect client = ClientRect();
  dragState_ = dsNone;
  for (std::uint32_t g = 1; g <= NumGraphs(); ++g) {
    const TRect areas[3] = {layout_.XAxisRect(g, client), layout_.YAxisRect(g, client),
                            layout_.PlotRect(g, client)};
    const auto hit =
        std::find_if(std::begin(areas), std::end(areas), [p](const TRect& r) { return Hit(r, p); });
    if (hit == std::end(areas)) continue;
    const int region = static_cast<int>(hit - std::begin(areas));  // 0 X strip, 1 Y strip, 2 plot
    dragGraph_ = g;
    if (PanCondition()) {
      dragState_ = dsPanX + region;
    } else if (ZoomCondition()) {
      dragState_ = dsZoomX + region;
      confined_ = true;
      confineRect_ = *hit;
      host_.ConfineCursor(&confineRect_);
    }
    break;
  }
  dragStart_ = dragEnd_ = p;
  if (dragState_ == dsNone) dragGraph_ = 0;
}

void TVelaGraph::MouseMove(TShiftState shift, int x, int y) {
  const TPoint p = Confined(x, y);
  if (OnMouseMove) OnMouseMove(*this, shift, p.X, p.Y);
  mousePos_ = p;
  if (cross_) {
    CrossUpdate(screen_->Canvas(), ClientRect());
    host_.ScreenChanged();
  }
  if (dragState_ == dsPanX || dragState_ == dsPanXY) PanX(p.X);
  if (dragState_ == dsPanY || dragState_ == dsPanXY) PanY(p.Y);
  if (dragState_ >= dsZoomX && dragState_ <= dsZoomXY) {
    DrawZoomRect(screen_->Canvas());
    dragEnd_ = p;
    DrawZoomRect(screen_->Canvas());
    host_.ScreenChanged();
  }
}

void TVelaGraph::PanX(int x) {
  const TRect r = layout_.XAxisRect(dragGraph_, ClientRect());
  TAxis* a = XAxis(static_cast<int>(dragGraph_) - 1);
  if (r.Left < r.Right && a != nullptr) {
    const double d = (a->Right() - a->Left()) * (dragStart_.X - x) / (r.Right - r.Left);
    a->SetRange(a->Left() + d, a->Right() + d);
  }
  dragStart_.X = x;
}

void TVelaGraph::PanY(int y) {
  const TRect r = layout_.YAxisRect(dragGraph_, ClientRect());
  TAxis* a = YAxis(static_cast<int>(dragGraph_) - 1);
  if (r.Top < r.Bottom && a != nullptr) {
    const double d = (a->Right() - a->Left()) * (dragStart_.Y - y) / (r.Top - r.Bottom);
    a->SetRange(a->Left() + d, a->Right() + d);
  }
  dragStart_.Y = y;
}

void TVelaGraph::DrawZoomRect(TCanvas& canvas) {
  const TRect client = ClientRect();
  const auto xBand = [&] {
    const std::uint32_t first = globalXAxis_.Locked() ? 1 : dragGraph_;
    const std::uint32_t last = globalXAxis_.Locked() ? NumGraphs() : dragGraph_;
    for (std::uint32_t g = first; g <= last; ++g) {
      const TRect r = layout_.XAxisRect(g, client);
      canvas.InvertRect(Span(dragStart_.X, r.Top, dragEnd_.X, r.Bottom));
    }
  };
  const auto yBand = [&] {
    const TRect r = layout_.YAxisRect(dragGraph_, client);
    canvas.InvertRect(Span(r.Left, dragStart_.Y, r.Right, dragEnd_.Y));
  };
  switch (dragState_) {
    case dsZoomX:
      xBand();
      break;
    case dsZoomY:
      yBand();
      break;
    case dsZoomXY:
      canvas.InvertRect(Span(dragStart_.X, dragStart_.Y, dragEnd_.X, dragEnd_.Y));
      xBand();
      yBand();
      break;
    default:
      break;
  }
}

void TVelaGraph::MouseUp(TMouseButton button, TShiftState shift, int x, int y) {
  const TPoint p = Confined(x, y);
  if (OnMouseUp) OnMouseUp(*this, button, shift, p.X, p.Y);
  if (dragState_ >= dsZoomX && dragState_ <= dsZoomXY) {
    // Take the rectangle off the screen even when the zoom leaves the window as it is.
    DrawZoomRect(screen_->Canvas());
    host_.ScreenChanged();
  }
  if (dragState_ == dsZoomX || dragState_ == dsZoomXY) FinishXZoom();
  if (dragState_ == dsZoomY || dragState_ == dsZoomXY) FinishYZoom();
  dragState_ = dsNone;
  dragGraph_ = 0;
  if (confined_) {
    confined_ = false;
    host_.ConfineCursor(nullptr);
  }
}

void TVelaGraph::FinishXZoom() {
  const TRect r = layout_.XAxisRect(dragGraph_, ClientRect());
  TAxis* a = XAxis(static_cast<int>(dragGraph_) - 1);
  if (!(r.Bottom > r.Top && r.Right > r.Left) || a == nullptr) return;
  const double u = (a->Right() - a->Left()) / (r.Right - r.Left);
  int sx = dragStart_.X, ex = dragEnd_.X;
  if (ex < sx - 5) std::swap(sx, ex);
  if (ex > sx + 5) {
    a->SetRange(a->Left() + (sx - r.Left) * u, a->Right() - (r.Right - ex) * u);
  } else {
    a->ZoomOut();
  }
}

void TVelaGraph::FinishYZoom() {
  const TRect r = layout_.YAxisRect(dragGraph_, ClientRect());
  TAxis* a = YAxis(static_cast<int>(dragGraph_) - 1);
  if (!(r.Top < r.Bottom) || a == nullptr) return;
  const double u = (a->Right() - a->Left()) / (r.Bottom - r.Top);
  int sy = dragStart_.Y, ey = dragEnd_.Y;
  if (ey < sy - 5) std::swap(sy, ey);
  if (ey > sy + 5) {
    a->SetRange(a->Left() + (r.Bottom - ey) * u, a->Right() - (sy - r.Top) * u);
  } else {
    a->ZoomOut();
  }
}

void TVelaGraph::KeyDown(std::uint16_t& key, TShiftState shift) {
  if (OnKeyDown) OnKeyDown(*this, key, shift);
  shift_ = shift;
  UpdateCursor();
}

void TVelaGraph::KeyUp(std::uint16_t& key, TShiftState shift) {
  if (OnKeyUp) OnKeyUp(*this, key, shift);
  shift_ = 0;
  dragState_ = dsNone;
  UpdateCursor();
  Changed();
}

void TVelaGraph::Resized() {
  InvalidateImage();
}

bool TVelaGraph::OverActiveArea(TPoint p) const {
  const TRect client = ClientRect();
  for (std::uint32_t g = 1; g <= NumGraphs(); ++g) {
    if (Hit(layout_.XAxisRect(g, client), p) || Hit(layout_.YAxisRect(g, client), p) ||
        Hit(layout_.PlotRect(g, client), p)) {
      return true;
    }
  }
  return false;
}

void TVelaGraph::UpdateCursor() {
  TGraphCursor cursor = crArrow;
  if (mode_ == gmPan) {
    cursor = crPan;
  } else if (mode_ == gmZoom) {
    cursor = crZoom;
  } else if (dragState_ >= dsPanX && dragState_ <= dsPanXY) {
    cursor = crPan;
  } else if (dragState_ >= dsZoomX && dragState_ <= dsZoomXY) {
    cursor = crZoom;
  } else if ((shift_ == ssCtrl || shift_ == ssShift) && OverActiveArea(host_.CursorPos())) {
    cursor = shift_ == ssCtrl ? crPan : crZoom;
  }
  host_.SetCursor(cursor);
}

}  // namespace osc
