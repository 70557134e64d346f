#pragma once
// Points and rectangles in value coordinates (Y growing upwards), the segment
// geometry the series drawing clips with, and the conversions from computed doubles
// to pixel and index integers. Pixel types and colours are platform/geometry.h.
#include <cmath>
#include <cstdint>

#include "platform/geometry.h"

namespace osc {

struct TDoublePoint {
  double X = 0;
  double Y = 0;
  friend bool operator==(const TDoublePoint&, const TDoublePoint&) = default;
};

// As a value rectangle X1 is the left, Y1 the bottom, X2 the right and Y2 the top end;
// as a segment it runs from (X1, Y1) to (X2, Y2).
struct TDoubleRect {
  double X1 = 0;
  double Y1 = 0;
  double X2 = 0;
  double Y2 = 0;
  TDoublePoint First() const { return TDoublePoint{X1, Y1}; }
  TDoublePoint Second() const { return TDoublePoint{X2, Y2}; }
  friend bool operator==(const TDoubleRect&, const TDoubleRect&) = default;
};

TDoublePoint DoublePoint(double x, double y);
TDoubleRect DoubleRect(double x1, double y1, double x2, double y2);
void swap(double& a, double& b);

// Position code bits of OutCode; 0 means inside or on the border.
enum : unsigned { ocLeft = 1, ocRight = 2, ocBelow = 4, ocAbove = 8 };
inline unsigned OutCode(const TDoublePoint& p, const TDoubleRect& r) {
  unsigned code = 0;
  if (!(p.X >= r.X1)) code |= ocLeft;
  if (p.X > r.X2) code |= ocRight;
  if (!(p.Y >= r.Y1)) code |= ocBelow;
  if (p.Y > r.Y2) code |= ocAbove;
  return code;
}

// Crossing point of two segments (ends count as crossing); false and (0, 0) when they
// do not cross or are parallel.
bool IntersectSegments(const TDoubleRect& a, const TDoubleRect& b, TDoublePoint& p);

// Cuts segment `s` to rectangle `r` (which may be given with its ends in any order).
// False when the segment does not touch the rectangle; `s` is meaningful only after true.
bool ClipSegment(TDoubleRect& s, const TDoubleRect& r);

// All four borders count as inside.
bool PointInRect(const TPoint& p, const TRect& r);

// Pixel coordinates computed in double become integers only through these: the value
// is truncated (or rounded half to even) and clamped to +-kPixelLimit, so that far-away
// values never overflow and stay far outside any drawable area. NaN gives 0.
constexpr int kPixelLimit = 1 << 28;
inline double ClampPixel(double v) {
  if (std::isnan(v)) return 0;
  if (v < -kPixelLimit) return -kPixelLimit;
  if (v > kPixelLimit) return kPixelLimit;
  return v;
}
inline int TruncPixel(double v) {
  return static_cast<int>(std::trunc(ClampPixel(v)));
}
inline int RoundPixel(double v) {
  return static_cast<int>(std::nearbyint(ClampPixel(v)));
}

}  // namespace osc
