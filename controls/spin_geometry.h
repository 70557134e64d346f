#pragma once
// Where the spin button sits and how it is drawn, in whole pixels, so that both can be
// checked without a display.
namespace osc {

struct TBounds {
  int Left = 0;
  int Top = 0;
  int Width = 0;
  int Height = 0;
  bool operator==(const TBounds&) const = default;
};

// The button right beside the box (left = box left + box width, same top), size kept.
TBounds SpinButtonBesideBox(const TBounds& box, const TBounds& button);
// After the box was resized: beside it again and, when its height differs from the
// box's, the box's height with two thirds of it (integer division) as the width.
TBounds SpinButtonAfterResize(const TBounds& box, const TBounds& button);

// Width of the 3-D bevel round each half.
constexpr int kSpinBevel = 2;

// The upper half is the top height / 2 rows, the lower half the rest.
TBounds SpinButtonHalf(int width, int height, bool upper);

// The filled triangle of one half: HalfWidth + 1 rows from Top; an up arrow's row i
// spans CenterX - i .. CenterX + i, a down arrow's row i spans CenterX - (HalfWidth - i)
// .. CenterX + (HalfWidth - i). HalfWidth is a third of the half's inner height (inside
// the bevel), at least 1. A pressed half has its arrow one pixel right and down.
struct TSpinArrow {
  int CenterX = 0;
  int Top = 0;
  int HalfWidth = 1;
  bool Up = true;
  bool operator==(const TSpinArrow&) const = default;
};
TSpinArrow SpinButtonArrow(const TBounds& half, bool upper, bool pressed);

}  // namespace osc
