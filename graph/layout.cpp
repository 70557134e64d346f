#include "graph/layout.h"

#include <algorithm>

#include "graph/graph_data.h"
#include "graph/view.h"

namespace osc {

namespace {

int ToInt(std::int64_t v) {
  return static_cast<int>(std::clamp<std::int64_t>(v, -kPixelLimit, kPixelLimit));
}

}  // namespace

void TVelaGraphLayout::Changed() {
  if (view_ == nullptr) return;
  view_->InvalidateImage();
  view_->Invalidate();
}

std::uint32_t TVelaGraphLayout::NumGraphs() const {
  if (view_ == nullptr || view_->GraphData() == nullptr) return 0;
  return view_->GraphData()->NumGraphs();
}

int TVelaGraphLayout::ScaleX(std::int64_t v, const TRect& r) const {
  const int width = view_ != nullptr ? view_->ClientSize().cx : 0;
  if (width <= 0) return ToInt(v);
  return ToInt(v * (r.Right - r.Left) / width);
}

int TVelaGraphLayout::ScaleY(std::int64_t v, const TRect& r) const {
  const int height = view_ != nullptr ? view_->ClientSize().cy : 0;
  if (height <= 0) return ToInt(v);
  return ToInt(v * (r.Bottom - r.Top) / height);
}

int TVelaGraphLayout::GraphHeight(std::uint32_t g, const TRect& r) const {
  const std::int64_t n = NumGraphs();
  if (n == 0) return 0;
  const std::int64_t fixed =
      (std::int64_t{topSpace_} + bottomSpace_ + titleBarHeight_ + xAxisHeight_) * n + (n - 1) * graphSpacing_;
  int h = ToInt((r.Bottom - r.Top - std::int64_t{ScaleY(fixed, r)}) / n);
  if (view_->OnGetGraphHeight) view_->OnGetGraphHeight(g, static_cast<std::uint32_t>(n), h);
  return h >= 0 ? h : 0;
}

bool TVelaGraphLayout::Valid(std::uint32_t g, const TRect& r) const {
  return g >= 1 && g <= NumGraphs() && GraphHeight(g, r) > 0;
}

int TVelaGraphLayout::GraphTop(std::uint32_t g, const TRect& r) const {
  if (!Valid(g, r)) return 0;
  const std::int64_t block =
      std::int64_t{titleBarHeight_} + xAxisHeight_ + topSpace_ + bottomSpace_ + graphSpacing_;
  std::int64_t top = std::int64_t{r.Top} + ScaleY(topSpace_, r);
  for (std::uint32_t i = 1; i < g; ++i)
    top += GraphHeight(i, r) + std::int64_t{ScaleY(block, r)};
  return ToInt(top);
}

TRect TVelaGraphLayout::TitleBarRect(std::uint32_t g, const TRect& r) const {
  if (!Valid(g, r)) return TRect{};
  const int top = GraphTop(g, r);
  return TRect{r.Left + ScaleX(std::int64_t{leftSpace_} + yAxisWidth_, r), top,
               r.Right - ScaleX(rightSpace_, r), top + ScaleY(titleBarHeight_, r)};
}

TRect TVelaGraphLayout::PlotRect(std::uint32_t g, const TRect& r) const {
  if (!Valid(g, r)) return TRect{};
  TRect p = TitleBarRect(g, r);
  p.Top = p.Bottom;
  p.Bottom = p.Top + GraphHeight(g, r);
  return p;
}

TRect TVelaGraphLayout::XAxisRect(std::uint32_t g, const TRect& r) const {
  if (!Valid(g, r)) return TRect{};
  TRect x = PlotRect(g, r);
  x.Top = x.Bottom;
  x.Bottom = x.Top + ScaleY(xAxisHeight_, r);
  return x;
}

TRect TVelaGraphLayout::YAxisRect(std::uint32_t g, const TRect& r) const {
  if (!Valid(g, r)) return TRect{};
  const TRect p = PlotRect(g, r);
  return TRect{r.Left + ScaleX(leftSpace_, r), p.Top, p.Left, p.Bottom};
}

}  // namespace osc
