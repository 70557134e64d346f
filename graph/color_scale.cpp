#include "graph/color_scale.h"

#include <cmath>

namespace osc {

namespace {

unsigned Channel(double c, double f) {
  if (c == 0) return 0;
  return static_cast<unsigned>(std::nearbyint(255 * std::pow(c * f, 0.8)));
}

}  // namespace

TColor ValueToColor(double value, double lo, double hi) {
  if (value > hi) return RGB(0xFF, 0xFF, 0xFF);
  if (value < lo) return RGB(0x40, 0x40, 0x40);
  const double t = hi > lo ? (value - lo) / (hi - lo) : 0;
  return WavelengthToColor(645 - 265 * t);
}

TColor WavelengthToColor(double w) {
  const double n = std::trunc(w);
  double r = 0, g = 0, b = 0;
  if (n >= 380 && n <= 439) {
    r = (440 - w) / 60;
    b = 1;
  } else if (n >= 440 && n <= 489) {
    g = (w - 440) / 50;
    b = 1;
  } else if (n >= 490 && n <= 509) {
    g = 1;
    b = (510 - w) / 20;
  } else if (n >= 510 && n <= 579) {
    r = (w - 510) / 70;
    g = 1;
  } else if (n >= 580 && n <= 644) {
    r = 1;
    g = (645 - w) / 65;
  } else if (n >= 645 && n <= 780) {
    r = 1;
  }
  double f = 0;
  if (n >= 380 && n <= 419) {
    f = 0.3 + 0.7 * (w - 380) / 40;
  } else if (n >= 420 && n <= 700) {
    f = 1;
  } else if (n >= 701 && n <= 780) {
    f = 0.3 + 0.7 * (780 - w) / 80;
  }
  return Channel(r, f) + 256 * Channel(g, f) + 65536 * Channel(b, f);
}

}  // namespace osc
