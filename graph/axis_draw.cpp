// Drawing of an axis strip: axis line, ticks, labels, colour bar and grid lines.
#include <algorithm>
#include <cmath>
#include <cstdint>

#include "graph/axis.h"
#include "graph/color_scale.h"
#include "graph/graph_data.h"
#include "graph/tick_step.h"
#include "graph/view.h"

namespace osc {

namespace {

// Tick indices beyond this would not fit the 64-bit counter; such a window shows no
// ticks. It is far above anything a strip of pixels can show.
constexpr double kMaxTickIndex = 4.0e18;

void Line(TCanvas& c, int x1, int y1, int x2, int y2) {
  c.MoveTo(x1, y1);
  c.LineTo(x2, y2);
}

// The colour scale between two axis lines; `r.Right` moves left past it.
void DrawColorBar(TCanvas& c, TRect& r, TColor axisColor) {
  const int w = (r.Right - r.Left) / 4;
  for (int y = r.Top; y <= r.Bottom; ++y) {
    c.SetPenColor(ValueToColor(r.Bottom - y, 0, r.Bottom - r.Top));
    Line(c, r.Right - w, y, r.Right - w / 2, y);
  }
  r.Right -= w;
  c.SetPenColor(axisColor);
  Line(c, r.Right - 2, r.Top, r.Right - 2, r.Bottom);
}

}  // namespace

void TAxis::Draw(TCanvas& canvas, const TRect& rect) {
  TVelaGraph* view = Graph();
  if (view == nullptr || view->GraphData() == nullptr || view->GraphData()->NumGraphs() == 0) return;
  TVelaGraphColors& colors = view->Colors();
  const TVelaGraphLayout& layout = view->Layout();
  const bool fill = view->FillBackgrounds();

  canvas.SetPenWidth(1);
  canvas.SetPenStyle(psSolid);
  canvas.SetPenMode(pmCopy);
  canvas.SetBrushStyle(bsSolid);
  TRect r;
  TColor axisColor;
  if (!vertical_) {
    axisColor = colors.XAxis();
    canvas.SetBrushColor(fill ? colors.XAxisBackground() : clWhite);
    canvas.SetFontColor(colors.XAxisLabels());
    r = layout.XAxisRect(graphNumber_, rect);
    r.Right -= 1;
  } else {
    axisColor = colors.YAxis();
    canvas.SetBrushColor(fill ? colors.YAxisBackground() : clWhite);
    canvas.SetFontColor(view->GraphData()->VisibleClip(graphNumber_, view) != 0 ? colors.Clipped()
                                                                                : colors.YAxisLabels());
    r = layout.YAxisRect(graphNumber_, rect);
    r.Bottom -= 1;
  }
  canvas.SetPenColor(axisColor);
  const TRect g = layout.PlotRect(graphNumber_, rect);
  if (r.Left >= r.Right || r.Bottom <= r.Top) return;
  if (fill) canvas.FillRect(r);

  // Tick distances keep their physical size on a printer.
  const TGlobalAxis& global = vertical_ ? static_cast<const TGlobalAxis&>(view->GlobalYAxis())
                                        : static_cast<const TGlobalAxis&>(view->GlobalXAxis());
  const int ownResolution = view->Canvas().FontResolution();
  const std::int64_t distance = global.MinMajorTicksDistance();
  const double p = ownResolution > 0 ? static_cast<double>(canvas.FontResolution() * distance / ownResolution)
                                     : static_cast<double>(distance);
  double u;
  if (!vertical_) {
    u = (right_ - left_) / (r.Right - r.Left);
    Line(canvas, r.Left, r.Top + 1, r.Right, r.Top + 1);
  } else {
    u = (right_ - left_) / (r.Bottom - r.Top);
    Line(canvas, r.Right - 2, r.Top, r.Right - 2, r.Bottom);
    if (colorBar_) DrawColorBar(canvas, r, axisColor);
  }
  TTickStep step;
  if (!CalcTickStep(u * p, style_ != asNormal, step)) return;
  const double s = step.Minor;
  if (!(std::fabs(left_ / s) < kMaxTickIndex && std::fabs(right_ / s) < kMaxTickIndex)) return;

  const int majorLength = static_cast<int>(global.MajorTicksLength());
  const int minorLength = static_cast<int>(global.MinorTicksLength());
  std::string label;
  std::int64_t k = static_cast<std::int64_t>(std::trunc(left_ / s));
  if (k * s < left_) ++k;
  for (; k * s <= right_; ++k) {
    const double v = k * s;
    const bool major = k % step.Intervals == 0;
    if (!vertical_) {
      const int x = r.Left + TruncPixel((v - left_) / u);
      const int length = major ? majorLength : minorLength;
      Line(canvas, x, r.Top + 1, x, r.Top + 2 + length);
      if (!major) continue;
      const std::string text = LabelText(label, v, step.Major());
      // The last label would be cut at the right edge: it ends there instead.
      const int width = canvas.TextWidth(text);
      canvas.TextOut(std::min(x - width / 2, r.Right - 1 - width), r.Top + 2 + majorLength, text);
      if (view->ShowVGrid()) {
        canvas.SetPenColor(colors.Grid());
        Line(canvas, x, g.Bottom, x, g.Top);
        canvas.SetPenColor(axisColor);
      }
    } else {
      const int y = r.Bottom - TruncPixel((v - left_) / u);
      const int length = major ? majorLength : minorLength;
      Line(canvas, r.Right - 2, y, r.Right - 3 - length, y);
      if (!major) continue;
      const std::string text = LabelText(label, v, step.Major());
      const TSize size = canvas.TextExtent(text);
      canvas.TextOut(r.Right - 4 - majorLength - size.cx, y - size.cy / 2, text);
      if (view->ShowHGrid()) {
        canvas.SetPenColor(colors.Grid());
        Line(canvas, g.Left, y, g.Right, y);
        canvas.SetPenColor(axisColor);
      }
    }
  }
}

}  // namespace osc
