#pragma once
// Readable failure messages for the geometry types.
#include <ostream>

#include "graph/geometry.h"

namespace osc {

inline void PrintTo(const TPoint& p, std::ostream* os) {
  *os << "(" << p.X << ", " << p.Y << ")";
}
inline void PrintTo(const TDoublePoint& p, std::ostream* os) {
  *os << "(" << p.X << ", " << p.Y << ")";
}
inline void PrintTo(const TRect& r, std::ostream* os) {
  *os << "[" << r.Left << ", " << r.Top << ", " << r.Right << ", " << r.Bottom << "]";
}
inline void PrintTo(const TDoubleRect& r, std::ostream* os) {
  *os << "[" << r.X1 << ", " << r.Y1 << ", " << r.X2 << ", " << r.Y2 << "]";
}

}  // namespace osc
