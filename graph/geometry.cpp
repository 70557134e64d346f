#include "graph/geometry.h"

#include <cmath>

namespace osc {

TDoublePoint DoublePoint(double x, double y) {
  return TDoublePoint{x, y};
}

TDoubleRect DoubleRect(double x1, double y1, double x2, double y2) {
  return TDoubleRect{x1, y1, x2, y2};
}

void swap(double& a, double& b) {
  double t = a;
  a = b;
  b = t;
}

bool IntersectSegments(const TDoubleRect& a, const TDoubleRect& b, TDoublePoint& p) {
  const double dAx = a.X2 - a.X1, dAy = a.Y2 - a.Y1;
  const double dBx = b.X2 - b.X1, dBy = b.Y2 - b.Y1;
  p = TDoublePoint{};
  if (dAx * dBy == dAy * dBx) return false;
  double t, u;
  if (dBx == 0) {
    t = (b.X1 - a.X1) / dAx;
    u = (dAy * t + a.Y1 - b.Y1) / dBy;
  } else if (dBy == 0) {
    t = (b.Y1 - a.Y1) / dAy;
    u = (dAx * t + a.X1 - b.X1) / dBx;
  } else {
    t = ((b.X1 - a.X1) * dBy + (a.Y1 - b.Y1) * dBx) / (dBy * dAx - dBx * dAy);
    u = (dAx * t + a.X1 - b.X1) / dBx;
  }
  // Written so that a NaN parameter counts as no crossing.
  if (!(t >= 0 && t <= 1 && u >= 0 && u <= 1)) return false;
  p = TDoublePoint{a.X1 + dAx * t, a.Y1 + dAy * t};
  return true;
}

bool ClipSegment(TDoubleRect& s, const TDoubleRect& rect) {
  TDoubleRect r = rect;
  if (r.X1 > r.X2) swap(r.X1, r.X2);
  if (r.Y1 > r.Y2) swap(r.Y1, r.Y2);
  const TDoubleRect left{r.X1, r.Y1, r.X1, r.Y2};
  const TDoubleRect bottom{r.X1, r.Y1, r.X2, r.Y1};
  const TDoubleRect right{r.X2, r.Y1, r.X2, r.Y2};
  const TDoubleRect top{r.X1, r.Y2, r.X2, r.Y2};

  auto firstCrossing = [&s](const TDoubleRect* const(&edges)[4], TDoublePoint& at) {
    for (const TDoubleRect* edge : edges) {
      if (IntersectSegments(*edge, s, at)) return true;
    }
    return false;
  };

  TDoublePoint i1, i2;
  const bool firstOut = OutCode(s.First(), r) != 0;
  if (firstOut && !firstCrossing({&left, &bottom, &right, &top}, i1)) return false;
  const bool secondOut = OutCode(s.Second(), r) != 0;
  bool result = true;
  if (secondOut && !firstCrossing({&top, &right, &bottom, &left}, i2)) result = false;
  if (firstOut) {
    s.X1 = i1.X;
    s.Y1 = i1.Y;
  }
  if (secondOut && result) {
    s.X2 = i2.X;
    s.Y2 = i2.Y;
  }
  return result;
}

bool PointInRect(const TPoint& p, const TRect& r) {
  return r.Left <= p.X && p.X <= r.Right && r.Top <= p.Y && p.Y <= r.Bottom;
}

}  // namespace osc
