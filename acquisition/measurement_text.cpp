#include "acquisition/measurement_text.h"

#include <cmath>

#include "platform/locale.h"

namespace osc {

namespace {

constexpr double kSecondsPerDay = 86400;

}  // namespace

std::string ValueText(double x, double y, const std::string& unit) {
  if (x == 0) return std::string();
  return FormatDateTime("tt.zzz", x) + Format("    %3.2f %s", {y, unit});
}

std::string FrequencyText(double x0, double x1) {
  if (x0 == x1) return std::string();
  return Format("      f = %.1f Hz", {(1 / kSecondsPerDay) / std::fabs(x1 - x0)});
}

std::string PointDifText(double x0, double y0, double x1, double y1, const std::string& unit) {
  if (x0 == 0 || x1 == 0) return std::string();
  return Format("U2-U1 = %3.2f %s      T2-T1 = %.3f s", {y1 - y0, unit, (x1 - x0) * kSecondsPerDay}) +
         FrequencyText(x0, x1);
}

}  // namespace osc
