// How a series paints itself: the curve of an equidistant series, clipped in value
// space before it becomes pixels, and the title in the graph's title bar.
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <vector>

#include "graph/axis.h"
#include "graph/graph_data.h"
#include "graph/series.h"
#include "graph/view.h"

namespace osc {

bool TBaseEquiDistantSeries::VisibleRange(TVelaGraph* view, int& i0, int& i1) const {
  if (GraphData() == nullptr || view == nullptr || GraphNumber() == 0) return false;
  const TAxis* xAxis = view->XAxis(static_cast<int>(GraphNumber()) - 1);
  if (xAxis == nullptr) return false;
  const double xl = xAxis->Left(), xr = xAxis->Right();
  // The visible index range, decided in double so that a window far from the data
  // cannot overflow an index: the last sample at or left of XL to the first right of XR.
  const double count = Count();
  const double first = xl > XStart() ? std::trunc((xl - XStart()) / XStep()) : 0;
  if (xr <= XStart()) return false;
  double last = std::trunc((xr - XStart()) / XStep()) + 1;
  if (last > count - 1) last = count - 1;
  if (!(first < last && first >= 0 && last < count)) return false;
  i0 = static_cast<int>(first);
  i1 = static_cast<int>(last);
  return true;
}

unsigned TBaseEquiDistantSeries::VisibleClip(TVelaGraph* view) {
  int i0 = 0, i1 = 0;
  if (!OnGetClip || !VisibleRange(view, i0, i1)) return 0;
  // Only points whose samples lie in the window: the last one the range holds may
  // begin right of it.
  const double xr = view->XAxis(static_cast<int>(GraphNumber()) - 1)->Right();
  if (XStart() + i1 * XStep() > xr) --i1;
  return OnGetClip(*this, i0, i1);
}

void TBaseEquiDistantSeries::Draw(TCanvas& canvas, TVelaGraph* view, const TRect& rect) {
  int i0 = 0, i1 = 0;
  if (!VisibleRange(view, i0, i1)) return;
  const int index = static_cast<int>(GraphNumber()) - 1;
  const TAxis* xAxis = view->XAxis(index);
  const TAxis* yAxis = view->YAxis(index);
  if (yAxis == nullptr) return;
  const double xl = xAxis->Left(), xr = xAxis->Right(), yb = yAxis->Bottom(), yt = yAxis->Top();

  const TRect plot = view->Layout().PlotRect(GraphNumber(), rect);
  TRect pr = plot;  // its last column and row are the window's right and top ends
  pr.Right -= 1;
  pr.Bottom -= 1;
  if (pr.Left >= pr.Right || pr.Bottom <= pr.Top) return;
  const double kx = (pr.Right - pr.Left) / (xr - xl);
  const double ky = (pr.Bottom - pr.Top) / (yt - yb);

  canvas.SetPenWidth(std::abs(LineWidth()));
  canvas.SetPenStyle(LineStyle());
  canvas.SetPenMode(pmCopy);
  // A clip around the plot also keeps Qt's line drawing on its fast path.
  canvas.SetClipRect(plot);
  // A point's clip flags are asked right after its value: the owner's scan of the
  // point's samples is still at hand then.
  std::vector<std::uint8_t> edges;
  if (OnGetClip && OnGetClip(*this, i0, i1) != 0) edges.resize(static_cast<std::size_t>(i1 - i0) + 1);
  const auto takeEdges = [&](int i) {
    if (!edges.empty())
      edges[static_cast<std::size_t>(i - i0)] = static_cast<std::uint8_t>(OnGetClip(*this, i, i));
  };
  const TDoubleRect window = DoubleRect(xl, yb, xr, yt);
  double prev = GetValue(i0);
  takeEdges(i0);
  for (int i = i0; i < i1; ++i) {
    const double v = GetValue(i + 1);
    takeEdges(i + 1);
    TDoubleRect s{XStart() + i * XStep(), prev, XStart() + (i + 1) * XStep(), v};
    prev = v;
    if (!std::isfinite(s.Y1) || !std::isfinite(s.Y2)) continue;  // a missing value
    const unsigned code = OutCode(s.First(), window) | OutCode(s.Second(), window);
    // Chosen before clipping: the visible part of a segment that leaves the Y window
    // shows that it does.
    const TColor color = (code & (ocBelow | ocAbove)) != 0 ? OutOfRangeColor() : Color();
    if (code != 0 && !ClipSegment(s, window)) continue;
    if (color == clNone) continue;
    DrawSegment(canvas, color, TruncPixel((s.X1 - xl) * kx) + pr.Left,
                pr.Bottom - TruncPixel((s.Y1 - yb) * ky), TruncPixel((s.X2 - xl) * kx) + pr.Left,
                pr.Bottom - TruncPixel((s.Y2 - yb) * ky));
  }
  if (!edges.empty()) DrawClipBands(canvas, view->Colors().ClipBand(), i0, edges, xl, kx, pr);
  canvas.ResetClip();
}

void TBaseEquiDistantSeries::DrawClipBands(TCanvas& canvas, TColor color, int i0,
                                           const std::vector<std::uint8_t>& edges, double xl, double kx,
                                           const TRect& pr) {
  // A point stands for the samples up to the next one; runs of points on one edge
  // become one band, so a long clipped stretch is one fill. Drawn over the curve, whose
  // clipped stretch lies along the edge anyway.
  constexpr int kBand = 3;
  const auto pixel = [&](int i) { return TruncPixel((XStart() + i * XStep() - xl) * kx) + pr.Left; };
  canvas.SetBrushColor(color);
  canvas.SetBrushStyle(bsSolid);
  for (const unsigned edge : {kEdgeTop, kEdgeBottom}) {
    const int top = edge == kEdgeTop ? pr.Top : pr.Bottom + 1 - kBand;
    int runStart = -1;
    const int i1 = i0 + static_cast<int>(edges.size()) - 1;
    for (int i = i0; i <= i1 + 1; ++i) {
      const bool on = i <= i1 && (edges[static_cast<std::size_t>(i - i0)] & edge) != 0;
      if (on && runStart < 0) runStart = i;
      if (!on && runStart >= 0) {
        const int left = pixel(runStart);
        canvas.FillRect(TRect{left, top, std::max(pixel(i), left + 1), top + kBand});
        runStart = -1;
      }
    }
  }
}

void TVelaSeries::DrawSegment(TCanvas& canvas, TColor color, int x1, int y1, int x2, int y2) const {
  const int w = LineWidth();
  if (w < 0 && y1 == y2) {
    // A bar |w| rows high around y1 from the earlier end up to the later one.
    if (canvas.Brush().Color != color) canvas.SetBrushColor(color);
    if (canvas.Brush().Style != bsSolid) canvas.SetBrushStyle(bsSolid);
    const int top = y1 - (-w) / 2;
    canvas.FillRect(TRect{std::min(x1, x2), top, std::max(x1, x2), top - w});
    return;
  }
  if (canvas.Pen().Color != color) canvas.SetPenColor(color);
  // From the later sample back: the line leaves out its end, so every segment paints
  // its later end and the earliest point of the range stays unpainted.
  canvas.MoveTo(x2, y2);
  canvas.LineTo(x1, y1);
}

void TVelaSeries::DrawTitle(TCanvas& canvas, TVelaGraph* view, const TRect& rect) {
  if (GraphData() == nullptr || GraphNumber() == 0 || view == nullptr) return;
  const TRect tr = view->Layout().TitleBarRect(GraphNumber(), rect);
  if (tr.Right <= tr.Left) return;
  int n = 0;
  const int pos = GraphData()->GraphSeriesIndex(this, n);
  if (n < 1 || pos < 1) return;
  canvas.SetBrushColor(view->Colors().TitleBar());
  canvas.SetBrushStyle(bsClear);
  canvas.SetFontColor(Color());
  const TSize size = canvas.TextExtent(Title());
  const int y = tr.Top + (tr.Bottom - tr.Top - size.cy) / 2;
  const int x = tr.Left + (tr.Right - tr.Left) * pos / (n + 1) - size.cx / 2;
  if (Color() != clNone) canvas.TextRect(tr, x, y, Title());
  canvas.SetBrushStyle(bsSolid);
}

}  // namespace osc
