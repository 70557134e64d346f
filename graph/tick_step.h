#pragma once
// Choice of the tick step of an axis from the smallest value distance that two major
// ticks may have: major steps of 2, 5 or 10 times a power of ten, or for time axes
// (values in days) of 2, 4, 6, 12, 24 hours and 2, 5, 10, 30, 60 minutes or seconds.

namespace osc {

struct TTickStep {
  double Minor = 0;   // distance of neighbouring ticks
  int Intervals = 0;  // minor intervals per major interval
  double Major() const { return Minor * Intervals; }
};

// False (and no ticks) when minStep is not a positive finite number.
bool CalcTickStep(double minStep, bool timeStyle, TTickStep& step);

}  // namespace osc
