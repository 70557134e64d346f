#include "graph/tick_step.h"

#include <cmath>

namespace osc {

namespace {

TTickStep Decimal(double d) {
  double e = std::trunc(std::log10(d));
  if (d < 1) e -= 1;
  const double p = std::pow(10.0, e);
  const double m = std::trunc(d / p);
  if (m < 2) return TTickStep{2 * p / 4, 4};
  if (m < 5) return TTickStep{5 * p / 5, 5};
  return TTickStep{10 * p / 5, 5};
}

// Major steps in hours for the whole hours of the minimum step.
TTickStep Hours(double h) {
  const double m = std::trunc(h);
  if (m < 2) return TTickStep{2.0 / 4, 4};
  if (m < 4) return TTickStep{4.0 / 4, 4};
  if (m < 6) return TTickStep{6.0 / 6, 6};
  if (m < 12) return TTickStep{12.0 / 6, 6};
  return TTickStep{24.0 / 4, 4};
}

// Major steps in minutes or seconds.
TTickStep Units(double t) {
  const double m = std::trunc(t);
  if (m < 2) return TTickStep{2.0 / 4, 4};
  if (m < 5) return TTickStep{5.0 / 5, 5};
  if (m < 10) return TTickStep{10.0 / 5, 5};
  if (m < 30) return TTickStep{30.0 / 6, 6};
  return TTickStep{60.0 / 6, 6};
}

TTickStep InDays(TTickStep s, double unitsPerDay) {
  return TTickStep{s.Minor / unitsPerDay, s.Intervals};
}

}  // namespace

bool CalcTickStep(double d, bool timeStyle, TTickStep& step) {
  if (!(d > 0) || !std::isfinite(d)) return false;
  if (!timeStyle || d >= 1) {
    step = Decimal(d);
    return true;
  }
  const double h = d * 24;
  if (h >= 1) {
    step = InDays(Hours(h), 24);
    return true;
  }
  double t = h * 60;
  double perDay = 1440;
  if (t < 1) {
    t *= 60;
    perDay = 86400;
  }
  step = InDays(t >= 1 ? Units(t) : Decimal(t), perDay);
  return true;
}

}  // namespace osc
