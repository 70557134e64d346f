#include "graph/point.h"

#include <cmath>

#include "graph/axis.h"
#include "graph/graph_data.h"
#include "graph/view.h"

namespace osc {

namespace {

void Line(TCanvas& c, int x1, int y1, int x2, int y2) {
  c.MoveTo(x1, y1);
  c.LineTo(x2, y2);
}

}  // namespace

TVelaGraphPoint::TVelaGraphPoint(TVelaGraph* view, TPointShape shape, const TDoublePoint& position,
                                 TColor color, std::uint32_t graphNumber)
    : TVelaGraphObject(view), position_(position), color_(color), graphNumber_(graphNumber), shape_(shape) {}

void TVelaGraphPoint::Changed() {
  if (Graph() == nullptr) return;
  Graph()->InvalidateImage();
  Graph()->Invalidate();
}

void TVelaGraphPoint::SetPosition(const TDoublePoint& p) {
  if (p.X == position_.X && p.Y == position_.Y) return;
  position_ = p;
  Changed();
}

void TVelaGraphPoint::SetColor(TColor v) {
  if (v == color_) return;
  color_ = v;
  Changed();
}

void TVelaGraphPoint::SetGraphNumber(std::uint32_t v) {
  if (v == graphNumber_) return;
  graphNumber_ = v;
  Changed();
}

void TVelaGraphPoint::SetSize(int v) {
  if (v == size_) return;
  size_ = v;
  Changed();
}

void TVelaGraphPoint::SetShape(TPointShape v) {
  if (v == shape_) return;
  shape_ = v;
  Changed();
}

void TVelaGraphPoint::Draw(TCanvas& canvas, const TRect& rect) {
  TVelaGraph* view = Graph();
  if (view == nullptr || view->GraphData() == nullptr) return;
  if (graphNumber_ == 0 || graphNumber_ > view->GraphData()->NumGraphs()) return;
  const TRect p = view->Layout().PlotRect(graphNumber_, rect);
  const TAxis* a = view->XAxis(static_cast<int>(graphNumber_) - 1);
  const TAxis* b = view->YAxis(static_cast<int>(graphNumber_) - 1);
  if (a == nullptr || b == nullptr || p.IsEmpty()) return;
  if (!std::isfinite(position_.X) || !std::isfinite(position_.Y)) return;
  // The window spans the whole plot here, its end on the plot's edge.
  const int x =
      p.Left + TruncPixel((position_.X - a->Left()) * (p.Right - p.Left) / (a->Right() - a->Left()));
  const int y =
      p.Bottom - TruncPixel((position_.Y - b->Left()) * (p.Bottom - p.Top) / (b->Right() - b->Left()));
  if (x < p.Left || x > p.Right || y < p.Top || y > p.Bottom) return;

  canvas.SetPenColor(color_);
  canvas.SetPenWidth(width_);
  canvas.SetPenStyle(psSolid);
  canvas.SetPenMode(pmCopy);
  const int s = size_;
  switch (shape_) {
    case psCross:
      Line(canvas, x, y - s, x, y + s);
      Line(canvas, x - s, y, x + s, y);
      break;
    case psDiagonal:
      Line(canvas, x - s, y - s, x + s + 1, y + s + 1);
      Line(canvas, x + s, y - s, x - s - 1, y + s + 1);
      break;
    case psCircle: {
      // Hollow, whatever brush the canvas holds.
      const TBrushStyle style = canvas.Brush().Style;
      canvas.SetBrushStyle(bsClear);
      canvas.Ellipse(TRect{x - s, y - s, x + s, y + s});
      canvas.SetBrushStyle(style);
      break;
    }
  }
}

}  // namespace osc
