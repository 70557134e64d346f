#include "acquisition/sample_span.h"

#include <algorithm>
#include <cmath>
#include <utility>

namespace osc {
namespace {

constexpr double kSecondsPerDay = 86400.0;
// Date-times far from 0 carry about a hundredth of a sample's rounding at the fast rate.
constexpr double kSampleTolerance = 0.05;

TSampleSpan SpanOfPositions(std::uint32_t count, double a, double b) {
  if (std::isnan(a) || std::isnan(b)) return {};
  if (a > b) std::swap(a, b);
  const double first = std::ceil(a - kSampleTolerance);
  const double last = std::floor(b + kSampleTolerance);
  if (last < 0 || first >= count || first > last) return {};
  const auto f = static_cast<std::uint32_t>(std::max(first, 0.0));
  const auto e = static_cast<std::uint32_t>(std::min<double>(last + 1, count));
  return {f, e};
}

}  // namespace

TSampleSpan SpanOfTimes(double start, std::uint32_t rate, std::uint32_t count, double from, double to) {
  return SpanOfPositions(count, (from - start) * kSecondsPerDay * rate, (to - start) * kSecondsPerDay * rate);
}

TSampleSpan SpanOfSeconds(std::uint32_t rate, std::uint32_t count, double from, double to) {
  return SpanOfPositions(count, from * rate, to * rate);
}

}  // namespace osc
