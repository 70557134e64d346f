#include "graph/graph_data.h"

#include <algorithm>

#include "graph/graph_data_view.h"
#include "graph/series.h"
#include "platform/errors.h"
#include "platform/locale/locale.h"

namespace osc {

namespace {

constexpr double kSearchStart = 1.7E308;

}  // namespace

TVelaGraphData::~TVelaGraphData() {
  // Views learn of the end only after the series are gone, as a free notification
  // arrives after the owner's own clean-up.
  std::vector<TGraphDataView*> views;
  views.swap(views_);
  std::reverse(views.begin(), views.end());
  while (!series_.empty()) {
    TVelaSeries* s = series_.back();
    s->graphData_ = nullptr;
    series_.pop_back();
    if (autoDestroySeries_) delete s;
  }
  for (TGraphDataView* v : views)
    v->GraphDataDestroyed(*this);
}

int TVelaGraphData::AddSeries(TVelaSeries* s) {
  if (s == nullptr) return -1;
  if (s->graphData_ == this) {
    return static_cast<int>(std::find(series_.begin(), series_.end(), s) - series_.begin());
  }
  if (s->graphData_ != nullptr) s->graphData_->Release(s);
  s->graphData_ = this;
  series_.push_back(s);
  const int index = SeriesCount() - 1;
  FollowMaxGraphNumber();
  UpdateXAxes(s->GraphNumber());
  UpdateYAxes(s->GraphNumber());
  InvalidateViews();
  return index;
}

void TVelaGraphData::DeleteSeries(int index) {
  if (index < 0 || index >= SeriesCount()) {
    throw EListError(Format("List index out of bounds (%d)", {index}));
  }
  Drop(index, autoDestroySeries_);
}

void TVelaGraphData::RemoveSeries(TVelaSeries* s) {
  const auto it = std::find(series_.begin(), series_.end(), s);
  DeleteSeries(it == series_.end() ? -1 : static_cast<int>(it - series_.begin()));
}

void TVelaGraphData::Release(TVelaSeries* s) {
  const auto it = std::find(series_.begin(), series_.end(), s);
  if (it != series_.end()) Drop(static_cast<int>(it - series_.begin()), false);
}

void TVelaGraphData::Drop(int index, bool destroy) {
  TVelaSeries* s = series_[static_cast<std::size_t>(index)];
  const std::uint32_t g = s->GraphNumber();
  s->graphData_ = nullptr;
  series_.erase(series_.begin() + index);
  if (destroy) delete s;
  FollowMaxGraphNumber();
  UpdateXAxes(g);
  UpdateYAxes(g);
  InvalidateViews();
}

void TVelaGraphData::Clear() {
  std::vector<TVelaSeries*> dropped;
  dropped.swap(series_);
  for (TVelaSeries* s : dropped) {
    s->graphData_ = nullptr;
    if (autoDestroySeries_) delete s;
  }
  if (autoNumGraphs_) {
    numGraphs_ = 0;
    ApplyNumGraphs();
  }
  for (std::uint32_t g = 1; g <= numGraphs_; ++g) {
    UpdateXAxes(g);
    UpdateYAxes(g);
  }
  InvalidateViews();
}

TVelaSeries* TVelaGraphData::Series(int index) const {
  if (index < 0 || index >= SeriesCount()) return nullptr;
  return series_[static_cast<std::size_t>(index)];
}

void TVelaGraphData::SetNumGraphs(std::uint32_t v) {
  if (autoNumGraphs_ || v == numGraphs_) return;
  numGraphs_ = v;
  ApplyNumGraphs();
  InvalidateViews();
}

void TVelaGraphData::SetAutoNumGraphs(bool v) {
  if (v == autoNumGraphs_) return;
  if (v) {
    const std::uint32_t n = MaxGraphNumber();
    if (n != numGraphs_) {
      numGraphs_ = n;
      ApplyNumGraphs();
      InvalidateViews();
    }
  }
  autoNumGraphs_ = v;
}

void TVelaGraphData::FollowMaxGraphNumber() {
  if (!autoNumGraphs_) return;
  const std::uint32_t n = MaxGraphNumber();
  if (n == numGraphs_) return;
  numGraphs_ = n;
  ApplyNumGraphs();
}

void TVelaGraphData::SeriesGraphNumberChanged(TVelaSeries& s, std::uint32_t newNumber) {
  // The old graph is updated while the series still counts in it.
  UpdateXAxes(s.graphNumber_);
  UpdateYAxes(s.graphNumber_);
  s.graphNumber_ = newNumber;
  FollowMaxGraphNumber();
  UpdateXAxes(newNumber);
  UpdateYAxes(newNumber);
  InvalidateViews();
}

void TVelaGraphData::AddView(TGraphDataView* view) {
  if (view == nullptr || std::find(views_.begin(), views_.end(), view) != views_.end()) return;
  views_.push_back(view);
}

void TVelaGraphData::RemoveView(TGraphDataView* view) {
  const auto it = std::find(views_.begin(), views_.end(), view);
  if (it != views_.end()) views_.erase(it);
}

void TVelaGraphData::GetXRange(std::uint32_t g, double& min, double& max) {
  min = kSearchStart;
  max = -kSearchStart;
  if (series_.empty()) {
    min = -1;
    max = 1;
  } else {
    for (TVelaSeries* s : series_) {
      if (s->GraphNumber() != g) continue;
      double a, b;
      s->GetXRange(a, b);
      if (a < min) min = a;
      if (b > max) max = b;
    }
  }
  if (min > max) {
    min = -1;
    max = 1;
  }
  if (min == max) max = min + 1;
}

void TVelaGraphData::GetYRange(std::uint32_t g, double& min, double& max) {
  min = kSearchStart;
  max = -kSearchStart;
  bool found = false;
  for (TVelaSeries* s : series_) {
    if (s->GraphNumber() != g) continue;
    found = true;
    double a, b;
    s->GetYRange(a, b);
    if (a < min) min = a;
    if (b > max) max = b;
  }
  if (!found) {
    min = -1;
    max = 1;
  }
  if (min > max) {
    max = min;
  } else if (min == max) {
    min = min - 1;
    max = max + 1;
  }
}

TVelaSeries* TVelaGraphData::FindNearest(std::uint32_t g, const TRect& pixelRect,
                                         const TDoubleRect& valueRect, TPoint& pos, TDoublePoint& sample) {
  const TPoint p0 = pos;
  double best = kSearchStart;
  TVelaSeries* result = nullptr;
  for (TVelaSeries* s : series_) {
    if (s->GraphNumber() != g) continue;
    TPoint p = p0;
    TDoublePoint found;
    if (!s->SnapToSample(pixelRect, valueRect, p, found)) continue;
    const double dx = static_cast<double>(p.X) - p0.X;
    const double dy = static_cast<double>(p.Y) - p0.Y;
    const double d = dx * dx + dy * dy;
    if (d < best) {
      best = d;
      result = s;
      pos = p;
      sample = found;
    }
  }
  return result;
}

int TVelaGraphData::GraphSeriesIndex(const TVelaSeries* s, int& countInGraph) const {
  countInGraph = 0;
  if (s == nullptr) return 0;
  int result = 0;
  for (const TVelaSeries* t : series_) {
    if (t->GraphNumber() != s->GraphNumber()) continue;
    ++countInGraph;
    if (t == s) result = countInGraph;
  }
  return result;
}

std::uint32_t TVelaGraphData::MaxGraphNumber() const {
  std::uint32_t n = 0;
  for (const TVelaSeries* s : series_)
    n = std::max(n, s->GraphNumber());
  return n;
}

void TVelaGraphData::DrawSeries(TCanvas& canvas, TVelaGraph* view, const TRect& rect) {
  for (std::size_t i = 0; i < series_.size(); ++i) {
    series_[i]->Draw(canvas, view, rect);
    series_[i]->DrawTitle(canvas, view, rect);
  }
}

void TVelaGraphData::ApplyNumGraphs() {
  for (std::size_t i = 0; i < views_.size(); ++i)
    views_[i]->SetGraphCount(numGraphs_);
}

void TVelaGraphData::UpdateXAxes(std::uint32_t g) {
  if (g == 0) return;
  for (std::size_t i = 0; i < views_.size(); ++i)
    views_[i]->UpdateXAxis(g);
}

void TVelaGraphData::UpdateYAxes(std::uint32_t g) {
  if (g == 0) return;
  for (std::size_t i = 0; i < views_.size(); ++i)
    views_[i]->UpdateYAxis(g);
}

void TVelaGraphData::InvalidateViews() {
  for (std::size_t i = 0; i < views_.size(); ++i) {
    views_[i]->InvalidateImage();
    views_[i]->Invalidate();
  }
}

unsigned TVelaGraphData::VisibleClip(std::uint32_t g, TVelaGraph* view) {
  unsigned edges = 0;
  for (TVelaSeries* s : series_) {
    if (s->GraphNumber() == g) edges |= s->VisibleClip(view);
  }
  return edges;
}

}  // namespace osc
