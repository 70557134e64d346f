#include "graph/axis_ticks.h"

#include "graph/geometry.h"

#include <cmath>
#include <cstdint>

namespace osc {
namespace {

// Tick indices beyond this would not fit the 64-bit counter; such a window shows no
// ticks. It is far above anything a strip of pixels can show.
constexpr double kMaxTickIndex = 4.0e18;

}  // namespace

TAxisTicks AxisTicks(double left, double right, int pixels, double minMajorPixels, bool timeStyle) {
  TAxisTicks out;
  if (pixels <= 0) return out;
  const double u = (right - left) / pixels;  // value per pixel
  TTickStep step;
  if (!CalcTickStep(u * minMajorPixels, timeStyle, step)) return out;
  const double s = step.Minor;
  if (!(std::fabs(left / s) < kMaxTickIndex && std::fabs(right / s) < kMaxTickIndex)) return out;
  out.MajorStep = step.Major();
  auto k = static_cast<std::int64_t>(std::trunc(left / s));
  if (k * s < left) ++k;
  for (; k * s <= right; ++k) {
    const double v = k * s;
    out.Ticks.push_back({v, TruncPixel((v - left) / u), k % step.Intervals == 0});
  }
  return out;
}

}  // namespace osc
