#include "graph/axis.h"

#include "graph/graph_data.h"
#include "graph/view.h"
#include "platform/locale/locale.h"

namespace osc {

namespace {

constexpr double kSearchStart = 1.7e308;

}  // namespace

TAxis::TAxis(TVelaGraph* graph, std::uint32_t graphNumber, bool vertical)
    : TVelaGraphObject(graph), vertical_(vertical), graphNumber_(graphNumber) {}

bool TAxis::IsLockedX() const {
  return !vertical_ && Graph() != nullptr && Graph()->GlobalXAxis().Locked();
}

void TAxis::Changed() {
  if (Graph() == nullptr) return;
  Graph()->InvalidateImage();
  Graph()->Invalidate();
}

void TAxis::SetStyle(TAxisStyle v) {
  if (v == style_) return;
  style_ = v;
  Changed();
}

void TAxis::SetColorBar(bool v) {
  if (v == colorBar_) return;
  colorBar_ = v;
  Changed();
}

void TAxis::SetAutoMinMax(bool v) {
  if (v == autoMinMax_) return;
  autoMinMax_ = v;
  UpdateAutoMinMax();
}

void TAxis::Clamp() {
  if (right_ < left_) swap(left_, right_);
  if (right_ == left_) right_ = left_ + (max_ - min_);
  if (left_ < min_) {
    right_ = min_ + (right_ - left_);
    left_ = min_;
  }
  if (right_ > max_) {
    left_ = max_ - (right_ - left_);
    right_ = max_;
  }
  if (left_ < min_) left_ = min_;
}

void TAxis::SetRange(double newLeft, double newRight) {
  if (newLeft == left_ && newRight == right_) return;
  if (!(newLeft < newRight)) return;
  const double oldLeft = left_, oldRight = right_;
  left_ = newLeft;
  right_ = newRight;
  Clamp();
  TVelaGraph* view = Graph();
  if (view == nullptr || (left_ == oldLeft && right_ == oldRight)) return;
  if (IsLockedX()) {
    for (int i = 0; i < view->AxisCount(); ++i) {
      TAxis* a = view->XAxis(i);
      if (a == nullptr) continue;
      a->left_ = left_;
      a->right_ = right_;
    }
  }
  Changed();
  if (!vertical_ && view->OnXPositionChange) view->OnXPositionChange(*this, left_, right_);
}

void TAxis::SetMinMax(double newMin, double newMax) {
  if (autoMinMax_) return;
  if (!(newMin < newMax)) return;
  max_ = newMax;
  min_ = newMin;
  Clamp();
  TVelaGraph* view = Graph();
  if (view == nullptr) return;
  if (IsLockedX()) {
    for (int i = 0; i < view->AxisCount(); ++i) {
      TAxis* a = view->XAxis(i);
      if (a == nullptr) continue;
      a->min_ = min_;
      a->max_ = max_;
    }
  }
  Changed();
}

void TAxis::UpdateAutoMinMax() {
  TVelaGraph* view = Graph();
  if (!autoMinMax_ || view == nullptr || view->GraphData() == nullptr) return;
  TVelaGraphData& data = *view->GraphData();
  double newMin = kSearchStart, newMax = -kSearchStart;
  if (IsLockedX()) {
    for (std::uint32_t g = 1; g <= data.NumGraphs(); ++g) {
      double lo, hi;
      data.GetXRange(g, lo, hi);
      if (newMin > lo) newMin = lo;
      if (newMax < hi) newMax = hi;
    }
  } else if (!vertical_) {
    data.GetXRange(graphNumber_, newMin, newMax);
  } else {
    data.GetYRange(graphNumber_, newMin, newMax);
  }
  if (!(newMin < newMax)) return;
  autoMinMax_ = false;
  if (OnSetMinMax) OnSetMinMax(*this, newMin, newMax);
  SetMinMax(newMin, newMax);
  autoMinMax_ = true;
}

void TAxis::ZoomIn() {
  const double q = (right_ - left_) / 4;
  if (q > 0) SetRange(left_ + q, right_ - q);
}

void TAxis::ZoomOut() {
  const double h = (right_ - left_) / 2;
  if (h > 0) SetRange(left_ - h, right_ + h);
}

void TAxis::ZoomAll() {
  SetRange(min_, max_);
}

void TAxis::Scroll(double percent) {
  const double d = (right_ - left_) * percent / 100;
  SetRange(left_ + d, right_ + d);
}

void TAxis::ScrollHome() {
  SetRange(min_, min_ + right_ - left_);
}

void TAxis::ScrollEnd() {
  SetRange(max_ - (right_ - left_), max_);
}

std::string AxisLabel(TAxisStyle style, double value) {
  switch (style) {
    case asTime:
      return FormatDateTime("tt", value);
    case asDateTime:
      return FormatDateTime("c", value);
    case asDate:
      return FormatDateTime("ddddd", value);
    case asNormal:
      break;
  }
  return FloatToStrF(value, FloatFormat::General, 15, 0);
}

std::string TAxis::LabelText(std::string& previous, double value, double step) {
  if (OnGetText) {
    OnGetText(*this, previous, value, step);
  } else {
    previous = AxisLabel(style_, value);
  }
  return previous;
}

// ---- shared settings --------------------------------------------------------------

TGlobalAxis::TGlobalAxis(TVelaGraph* graph, std::uint32_t minMajorTicksDistance)
    : graph_(graph), minMajorTicksDistance_(minMajorTicksDistance) {}

void TGlobalAxis::Changed() {
  if (graph_ == nullptr) return;
  graph_->InvalidateImage();
  graph_->Invalidate();
}

void TGlobalAxis::SetMinMajorTicksDistance(std::uint32_t v) {
  if (v == minMajorTicksDistance_) return;
  minMajorTicksDistance_ = v;
  Changed();
}

void TGlobalAxis::SetMajorTicksLength(std::uint32_t v) {
  if (v == majorTicksLength_) return;
  majorTicksLength_ = v;
  Changed();
}

void TGlobalAxis::SetMinorTicksLength(std::uint32_t v) {
  if (v == minorTicksLength_) return;
  minorTicksLength_ = v;
  Changed();
}

void TGlobalXAxis::SetLocked(bool v) {
  locked_ = v;
  TVelaGraphData* data = graph_ != nullptr ? graph_->GraphData() : nullptr;
  if (data != nullptr) {
    for (std::uint32_t i = 1; i <= data->NumGraphs(); ++i) {
      data->UpdateXAxes(i);
      TAxis* first = graph_->XAxis(0);
      TAxis* axis = graph_->XAxis(static_cast<int>(i) - 1);
      if (locked_ && first != nullptr && axis != nullptr) axis->SetRange(first->Left(), first->Right());
    }
  }
  Changed();
}

}  // namespace osc
