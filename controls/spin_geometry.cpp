#include "controls/spin_geometry.h"

#include <algorithm>

namespace osc {

TBounds SpinButtonBesideBox(const TBounds& box, const TBounds& button) {
  return TBounds{box.Left + box.Width, box.Top, button.Width, button.Height};
}

TBounds SpinButtonAfterResize(const TBounds& box, const TBounds& button) {
  TBounds placed = SpinButtonBesideBox(box, button);
  if (placed.Height != box.Height) {
    placed.Height = box.Height;
    placed.Width = box.Height * 2 / 3;
  }
  return placed;
}

TBounds SpinButtonHalf(int width, int height, bool upper) {
  const int upper_height = height / 2;
  if (upper) return TBounds{0, 0, width, upper_height};
  return TBounds{0, upper_height, width, height - upper_height};
}

TSpinArrow SpinButtonArrow(const TBounds& half, bool upper, bool pressed) {
  const int inner_height = std::max(0, half.Height - 2 * kSpinBevel);
  TSpinArrow arrow;
  arrow.Up = upper;
  arrow.HalfWidth = std::max(1, inner_height / 3);
  const int rows = arrow.HalfWidth + 1;
  arrow.CenterX = half.Left + (half.Width - 1) / 2;
  arrow.Top = half.Top + kSpinBevel + (inner_height - rows) / 2;
  if (pressed) {
    ++arrow.CenterX;
    ++arrow.Top;
  }
  return arrow;
}

}  // namespace osc
