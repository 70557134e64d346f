#include "graph/series.h"

#include <cmath>
#include <limits>

#include "graph/graph_data.h"

namespace osc {

namespace {

constexpr double kSearchStart = 1.7E308;

// The quiet NaN with the sign bit set that a series without a callback yields.
double NoValue() {
  return -std::numeric_limits<double>::quiet_NaN();
}

}  // namespace

// ---- TVelaSeries ------------------------------------------------------------------

TVelaSeries::~TVelaSeries() {
  if (graphData_ != nullptr) graphData_->Release(this);
}

void TVelaSeries::GetXRange(double& min, double& max) {
  if (autoXMinMax_) {
    CalcXRange(min, max);
  } else {
    min = xMin_;
    max = xMax_;
  }
}

void TVelaSeries::GetYRange(double& min, double& max) {
  if (autoYMinMax_) {
    CalcYRange(min, max);
  } else {
    min = yMin_;
    max = yMax_;
  }
}

void TVelaSeries::SetGraphNumber(std::uint32_t v) {
  if (v == graphNumber_) return;
  if (graphData_ == nullptr) {
    graphNumber_ = v;
    return;
  }
  graphData_->SeriesGraphNumberChanged(*this, v);
}

void TVelaSeries::SetAutoXMinMax(bool v) {
  if (v == autoXMinMax_) return;
  autoXMinMax_ = v;
  if (graphData_ != nullptr) graphData_->UpdateXAxes(graphNumber_);
}

void TVelaSeries::SetAutoYMinMax(bool v) {
  if (v == autoYMinMax_) return;
  autoYMinMax_ = v;
  NotifyYAxes();
}

void TVelaSeries::SetYMax(double v) {
  if (v == yMax_) return;
  yMax_ = v;
  NotifyYAxes();
}

void TVelaSeries::SetYMin(double v) {
  if (v == yMin_) return;
  yMin_ = v;
  NotifyYAxes();
}

void TVelaSeries::SetTitle(const std::string& v) {
  title_ = v;
  NotifyInvalidate();
}

void TVelaSeries::NotifyInvalidate() {
  if (graphData_ != nullptr) graphData_->InvalidateViews();
}

void TVelaSeries::NotifyYAxes() {
  if (graphData_ != nullptr) graphData_->UpdateYAxes(graphNumber_);
}

// ---- TBaseEquiDistantSeries -------------------------------------------------------

void TBaseEquiDistantSeries::SetXStep(double v) {
  if (!(v > 0) || v == xStep_) return;
  xStep_ = v;
  NotifyInvalidate();
}

double TBaseEquiDistantSeries::GetValue(int index) {
  double value = NoValue();
  if (OnGetValue) OnGetValue(*this, index, value);
  return value;
}

void TBaseEquiDistantSeries::CalcXRange(double& min, double& max) {
  min = xStart_;
  max = count_ > 0 ? xStart_ + (static_cast<double>(count_) - 1) * xStep_ : xStart_;
}

void TBaseEquiDistantSeries::CalcYRange(double& min, double& max) {
  min = kSearchStart;
  max = -kSearchStart;
  for (std::uint32_t i = 0; i < count_; ++i) {
    const double v = GetValue(static_cast<int>(i));
    if (!std::isfinite(v)) continue;
    if (v < min) min = v;
    if (v > max) max = v;
  }
}

TDoublePoint TBaseEquiDistantSeries::SampleAt(TDoublePoint p) {
  if (xStep_ == 0) return p;
  // Decided in double: an X far outside the data must not wrap an integer.
  const double i = std::nearbyint((p.X - xStart_) / xStep_);
  if (!(i >= 0 && i < static_cast<double>(count_))) return TDoublePoint{};
  const int index = static_cast<int>(i);
  return TDoublePoint{xStart_ + index * xStep_, GetValue(index)};
}

bool TBaseEquiDistantSeries::SnapToSample(const TRect& pixelRect, const TDoubleRect& valueRect, TPoint& pixel,
                                          TDoublePoint& sample) {
  if (xStep_ == 0) return false;
  const double kx = (pixelRect.Right - pixelRect.Left) / (valueRect.X2 - valueRect.X1);
  const double ky = (pixelRect.Bottom - pixelRect.Top) / (valueRect.Y2 - valueRect.Y1);
  const double x = (pixel.X - pixelRect.Left) / kx + valueRect.X1;
  const double i = std::nearbyint((x - xStart_) / xStep_);
  if (!(i >= 0 && i < static_cast<double>(count_))) return false;
  const int index = static_cast<int>(i);
  const TDoublePoint found{xStart_ + index * xStep_, GetValue(index)};
  const double px = (found.X - valueRect.X1) * kx + pixelRect.Left;
  const double py = pixelRect.Bottom - (found.Y - valueRect.Y1) * ky;
  if (!std::isfinite(px) || !std::isfinite(py)) return false;
  sample = found;
  pixel = TPoint{RoundPixel(px), RoundPixel(py)};
  return true;
}

}  // namespace osc
