#include "graph/view.h"

#include <algorithm>

#include "graph/graph_data.h"
#include "graph/series.h"

namespace osc {

TVelaGraph::TVelaGraph(TVelaGraphHost& host)
    : host_(host), cache_(host.CreateImage()), screen_(host.CreateImage()) {}

TVelaGraph::~TVelaGraph() {
  // Detach without repainting: the window may be going away too.
  points_.clear();
  if (graphData_ != nullptr) graphData_->RemoveView(this);
  graphData_ = nullptr;
  SetGraphCount(0);
  // Points made for this view outlive it as objects without a view.
  for (TVelaGraphObject* o : objects_)
    o->graph_ = nullptr;
}

void TVelaGraph::ObjectCreated(TVelaGraphObject* o) {
  objects_.push_back(o);
}

void TVelaGraph::ObjectDestroyed(TVelaGraphObject* o) {
  objects_.erase(std::remove(objects_.begin(), objects_.end(), o), objects_.end());
  if (std::find(points_.begin(), points_.end(), o) != points_.end()) RemovePoint(o);
}

std::uint32_t TVelaGraph::NumGraphs() const {
  return graphData_ != nullptr ? graphData_->NumGraphs() : 0;
}

TRect TVelaGraph::ClientRect() const {
  const TSize size = host_.ClientSize();
  return TRect{0, 0, size.cx, size.cy};
}

void TVelaGraph::Changed() {
  InvalidateImage();
  Invalidate();
}

void TVelaGraph::SetGraphData(TVelaGraphData* data) {
  if (graphData_ != nullptr) graphData_->RemoveView(this);
  graphData_ = data;
  SetGraphCount(data != nullptr ? data->NumGraphs() : 0);
  if (data != nullptr) data->AddView(this);
  Changed();
}

void TVelaGraph::GraphDataDestroyed(TVelaGraphData& data) {
  if (&data != graphData_) return;
  graphData_ = nullptr;
  Changed();
}

TAxis* TVelaGraph::XAxis(int index) const {
  if (index < 0 || index >= AxisCount()) return nullptr;
  return xAxes_[static_cast<std::size_t>(index)].get();
}

TAxis* TVelaGraph::YAxis(int index) const {
  if (index < 0 || index >= static_cast<int>(yAxes_.size())) return nullptr;
  return yAxes_[static_cast<std::size_t>(index)].get();
}

void TVelaGraph::SetGraphCount(std::uint32_t n) {
  const std::size_t count = n;
  while (xAxes_.size() > count) {
    xAxes_.pop_back();
    yAxes_.pop_back();
  }
  for (std::size_t g = xAxes_.size() + 1; g <= count; ++g) {
    xAxes_.push_back(std::make_unique<TAxis>(this, static_cast<std::uint32_t>(g), false));
    yAxes_.push_back(std::make_unique<TAxis>(this, static_cast<std::uint32_t>(g), true));
  }
}

void TVelaGraph::UpdateXAxis(std::uint32_t g) {
  if (TAxis* a = XAxis(static_cast<int>(g) - 1)) a->UpdateAutoMinMax();
}

void TVelaGraph::UpdateYAxis(std::uint32_t g) {
  if (TAxis* a = YAxis(static_cast<int>(g) - 1)) a->UpdateAutoMinMax();
}

void TVelaGraph::InvalidateImage() {
  if (!stillImage_) imageDirty_ = true;
}

void TVelaGraph::Invalidate() {
  host_.Invalidate();
}

void TVelaGraph::SetShowHGrid(bool v) {
  if (v == showHGrid_) return;
  showHGrid_ = v;
  Changed();
}

void TVelaGraph::SetShowVGrid(bool v) {
  if (v == showVGrid_) return;
  showVGrid_ = v;
  Changed();
}

void TVelaGraph::SetMode(TVelaGraphMode v) {
  mode_ = v;
  UpdateCursor();
}

void TVelaGraph::SetFont(const TFont& f) {
  if (f == font_) return;
  font_ = f;
  Changed();
}

void TVelaGraph::AddPoint(TVelaGraphObject* point) {
  if (point == nullptr) return;
  points_.push_back(point);
  Changed();
}

void TVelaGraph::RemovePoint(TVelaGraphObject* point) {
  const auto it = std::find(points_.begin(), points_.end(), point);
  if (it == points_.end()) return;
  points_.erase(it);
  Changed();
}

void TVelaGraph::SetMarkedSpans(std::vector<std::pair<double, double>> spans) {
  if (spans == markedSpans_) return;
  markedSpans_ = std::move(spans);
  InvalidateImage();
  Invalidate();
}

void TVelaGraph::DrawMarkedSpans(TCanvas& canvas, const TRect& r) {
  if (markedSpans_.empty()) return;
  canvas.SetBrushStyle(bsSolid);
  canvas.SetBrushColor(colors_.Marked());
  for (std::uint32_t g = 1; g <= NumGraphs(); ++g) {
    const TAxis* x = XAxis(static_cast<int>(g) - 1);
    if (x == nullptr || !(x->Right() > x->Left())) continue;
    const TRect plot = layout_.PlotRect(g, r);
    const double k = (plot.Right - 1 - plot.Left) / (x->Right() - x->Left());
    for (const auto& [from, to] : markedSpans_) {
      if (to < x->Left() || from > x->Right()) continue;
      const int left = std::max(plot.Left, TruncPixel((from - x->Left()) * k) + plot.Left);
      const int right =
          std::min(plot.Right, std::max(TruncPixel((to - x->Left()) * k) + plot.Left, left) + 1);
      canvas.FillRect(TRect{left, plot.Top, right, plot.Bottom});
    }
  }
}

void TVelaGraph::DrawTo(TCanvas& canvas, const TRect& r) {
  canvas.SetFont(font_);
  canvas.SetBrushStyle(bsSolid);
  if (fillBackgrounds_) {
    canvas.SetBrushColor(colors_.Background());
    canvas.FillRect(r);
  }
  if (graphData_ == nullptr) return;
  const std::uint32_t n = NumGraphs();
  if (fillBackgrounds_) {
    canvas.SetBrushColor(colors_.GraphBackground());
    for (std::uint32_t g = 1; g <= n; ++g)
      canvas.FillRect(layout_.PlotRect(g, r));
  }
  DrawMarkedSpans(canvas, r);
  for (std::uint32_t g = 1; g <= n; ++g) {
    if (fillBackgrounds_) {
      canvas.SetBrushStyle(bsSolid);
      canvas.SetBrushColor(colors_.TitleBar());
      canvas.FillRect(layout_.TitleBarRect(g, r));
    }
    if (TAxis* a = XAxis(static_cast<int>(g) - 1)) a->Draw(canvas, r);
    if (TAxis* a = YAxis(static_cast<int>(g) - 1)) a->Draw(canvas, r);
  }
  for (std::size_t i = 0; i < points_.size(); ++i) {
    if (!points_[i]->Foreground()) points_[i]->Draw(canvas, r);
  }
  graphData_->DrawSeries(canvas, this, r);
  for (std::size_t i = 0; i < points_.size(); ++i) {
    if (points_[i]->Foreground()) points_[i]->Draw(canvas, r);
  }
}

void TVelaGraph::Paint() {
  const TRect r = ClientRect();
  if (r.IsEmpty()) return;
  if (!cached_ || imageDirty_) {
    cache_->SetSize(r.Right, r.Bottom);
    DrawTo(cache_->Canvas(), r);
    imageDirty_ = false;
  }
  screen_->SetSize(r.Right, r.Bottom);
  screen_->Canvas().Draw(0, 0, *cache_);
  if (cross_) {
    crossGraph_ = 0;
    CrossUpdate(screen_->Canvas(), r);
  }
  if (dragState_ >= dsZoomX && dragState_ <= dsZoomXY) DrawZoomRect(screen_->Canvas());
}

// ---- measuring cross ------------------------------------------------------------

void TVelaGraph::DrawCrossLines(TCanvas& canvas, const TRect& r) {
  const TRect p = layout_.PlotRect(crossGraph_, r);
  // A cross snapped to a sample outside the window stays off the strips around the plot.
  canvas.SetClipRect(TRect{p.Left, p.Top, p.Right + 1, p.Bottom + 1});
  canvas.SetPenColor(colors_.Cross());
  canvas.SetPenWidth(1);
  canvas.SetPenStyle(psSolid);
  canvas.SetPenMode(pmNotXor);
  canvas.MoveTo(p.Left, crossPos_.Y);
  canvas.LineTo(p.Right, crossPos_.Y);
  canvas.MoveTo(crossPos_.X, p.Top);
  canvas.LineTo(crossPos_.X, p.Bottom);
  canvas.SetPenMode(pmCopy);
  canvas.ResetClip();
}

void TVelaGraph::CrossUpdate(TCanvas& canvas, const TRect& r) {
  const std::uint32_t n = NumGraphs();
  if (n == 0) return;
  if (crossGraph_ > 0) DrawCrossLines(canvas, r);
  crossGraph_ = 0;
  for (std::uint32_t g = 1; g <= n; ++g) {
    const TRect plot = layout_.PlotRect(g, r);
    if (plot.IsEmpty() || !PointInRect(mousePos_, plot)) continue;
    crossPos_ = mousePos_;
    TAxis* x = XAxis(static_cast<int>(g) - 1);
    TAxis* y = YAxis(static_cast<int>(g) - 1);
    if (x == nullptr || y == nullptr) break;
    TDoublePoint sample;
    TVelaSeries* series = graphData_->FindNearest(
        g, plot, DoubleRect(x->Left(), y->Bottom(), x->Right(), y->Top()), crossPos_, sample);
    if (series != nullptr) {
      crossGraph_ = g;
      DrawCrossLines(canvas, r);
      if (OnCrossMove) OnCrossMove(*this, sample, series);
    }
    break;
  }
  if (crossGraph_ == 0 && OnCrossOut) OnCrossOut(*this);
}

void TVelaGraph::EraseCross() {
  if (crossGraph_ > 0) {
    DrawCrossLines(screen_->Canvas(), ClientRect());
    host_.ScreenChanged();
  }
  crossGraph_ = 0;
}

void TVelaGraph::SetCross(bool v) {
  if (v == cross_) return;
  cross_ = v;
  if (v) {
    CrossUpdate(screen_->Canvas(), ClientRect());
    host_.ScreenChanged();
  } else {
    EraseCross();
    if (OnCrossOut) OnCrossOut(*this);
  }
}

}  // namespace osc
