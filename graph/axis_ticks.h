#pragma once
// Where an axis strip's ticks go: pure numbers, so they are tested against numbers and
// the painting of a horizontal and a vertical strip only draws them.
#include "graph/tick_step.h"

#include <vector>

namespace osc {

struct TAxisTick {
  double Value;  // the axis value at the tick
  int Offset;    // pixels from the strip's start (left, or bottom for a vertical one)
  bool Major;    // a major tick carries a label and a grid line
};

struct TAxisTicks {
  std::vector<TAxisTick> Ticks;  // in increasing value
  double MajorStep = 0;          // the labels' step, for their format
};

// The ticks of a strip `pixels` long showing [left, right], major ticks at least
// `minMajorPixels` apart, on time steps for time axes. None when the window or the step
// cannot be computed (an empty strip, a window so far away that tick indices overflow).
TAxisTicks AxisTicks(double left, double right, int pixels, double minMajorPixels, bool timeStyle);

}  // namespace osc
