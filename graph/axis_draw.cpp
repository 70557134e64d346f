// Drawing of an axis strip: axis line, ticks, labels, colour bar and grid lines.
#include <algorithm>
#include <cmath>
#include <cstdint>
#include <functional>
#include <string>

#include "graph/axis.h"
#include "graph/axis_ticks.h"
#include "graph/color_scale.h"
#include "graph/graph_data.h"
#include "graph/view.h"

namespace osc {

namespace {

// A major tick's label (labels may shorten what repeats the previous one).
using TLabelOf = std::function<std::string(double value)>;

// What the painting of a strip needs besides its ticks.
struct TAxisPaint {
  TColor AxisColor{};
  TColor GridColor{};
  int MajorLength = 0;
  int MinorLength = 0;
  bool Grid = false;
};

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

// The strip along the bottom of a graph: line, ticks down, labels centred under the
// major ticks (the last one ending at the right edge), vertical grid lines.
void DrawHorizontal(TCanvas& c, const TRect& r, const TRect& plot, const TAxisTicks& ticks,
                    const TLabelOf& labelOf, const TAxisPaint& paint) {
  Line(c, r.Left, r.Top + 1, r.Right, r.Top + 1);
  for (const TAxisTick& t : ticks.Ticks) {
    const int x = r.Left + t.Offset;
    Line(c, x, r.Top + 1, x, r.Top + 2 + (t.Major ? paint.MajorLength : paint.MinorLength));
    if (!t.Major) continue;
    const std::string text = labelOf(t.Value);
    // The last label would be cut at the right edge: it ends there instead.
    const int width = c.TextWidth(text);
    c.TextOut(std::min(x - width / 2, r.Right - 1 - width), r.Top + 2 + paint.MajorLength, text);
    if (paint.Grid) {
      c.SetPenColor(paint.GridColor);
      Line(c, x, plot.Bottom, x, plot.Top);
      c.SetPenColor(paint.AxisColor);
    }
  }
}

// The strip left of a graph: line, ticks to the left, labels centred on the major
// ticks, horizontal grid lines.
void DrawVertical(TCanvas& c, const TRect& r, const TRect& plot, const TAxisTicks& ticks,
                  const TLabelOf& labelOf, const TAxisPaint& paint) {
  for (const TAxisTick& t : ticks.Ticks) {
    const int y = r.Bottom - t.Offset;
    Line(c, r.Right - 2, y, r.Right - 3 - (t.Major ? paint.MajorLength : paint.MinorLength), y);
    if (!t.Major) continue;
    const std::string text = labelOf(t.Value);
    const TSize size = c.TextExtent(text);
    c.TextOut(r.Right - 4 - paint.MajorLength - size.cx, y - size.cy / 2, text);
    if (paint.Grid) {
      c.SetPenColor(paint.GridColor);
      Line(c, plot.Left, y, plot.Right, y);
      c.SetPenColor(paint.AxisColor);
    }
  }
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
  TAxisPaint paint;
  if (!vertical_) {
    paint.AxisColor = colors.XAxis();
    canvas.SetBrushColor(fill ? colors.XAxisBackground() : clWhite);
    canvas.SetFontColor(colors.XAxisLabels());
    r = layout.XAxisRect(graphNumber_, rect);
    r.Right -= 1;
  } else {
    paint.AxisColor = colors.YAxis();
    canvas.SetBrushColor(fill ? colors.YAxisBackground() : clWhite);
    canvas.SetFontColor(view->GraphData()->VisibleClip(graphNumber_, view) != 0 ? colors.Clipped()
                                                                                : colors.YAxisLabels());
    r = layout.YAxisRect(graphNumber_, rect);
    r.Bottom -= 1;
  }
  canvas.SetPenColor(paint.AxisColor);
  const TRect g = layout.PlotRect(graphNumber_, rect);
  if (r.Left >= r.Right || r.Bottom <= r.Top) return;
  if (fill) canvas.FillRect(r);

  // Tick distances keep their physical size on a printer.
  const TGlobalAxis& global = vertical_ ? static_cast<const TGlobalAxis&>(view->GlobalYAxis())
                                        : static_cast<const TGlobalAxis&>(view->GlobalXAxis());
  const int ownResolution = view->Canvas().FontResolution();
  const std::int64_t distance = global.MinMajorTicksDistance();
  const double minMajorPixels = ownResolution > 0
                                    ? static_cast<double>(canvas.FontResolution() * distance / ownResolution)
                                    : static_cast<double>(distance);
  paint.MajorLength = static_cast<int>(global.MajorTicksLength());
  paint.MinorLength = static_cast<int>(global.MinorTicksLength());
  paint.GridColor = colors.Grid();
  std::string previous;
  const bool time = style_ != asNormal;
  if (!vertical_) {
    paint.Grid = view->ShowVGrid();
    const TAxisTicks ticks = AxisTicks(left_, right_, r.Right - r.Left, minMajorPixels, time);
    DrawHorizontal(
        canvas, r, g, ticks, [&](double v) { return LabelText(previous, v, ticks.MajorStep); }, paint);
  } else {
    Line(canvas, r.Right - 2, r.Top, r.Right - 2, r.Bottom);
    if (colorBar_) DrawColorBar(canvas, r, paint.AxisColor);
    paint.Grid = view->ShowHGrid();
    const TAxisTicks ticks = AxisTicks(left_, right_, r.Bottom - r.Top, minMajorPixels, time);
    DrawVertical(
        canvas, r, g, ticks, [&](double v) { return LabelText(previous, v, ticks.MajorStep); }, paint);
  }
}

}  // namespace osc
