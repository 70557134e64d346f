#pragma once
// Integer pixel geometry and colours as the drawing services use them: points and
// rectangles in pixels with Y growing downwards, and 32-bit colours 0x00BBGGRR.
#include <cstdint>

namespace osc {

// 0x00BBGGRR: red in the low byte.
using TColor = std::uint32_t;

// The no-colour value: nothing is drawn in it.
constexpr TColor clNone = 0x1FFFFFFF;
constexpr TColor clBlack = 0x000000;
constexpr TColor clWhite = 0xFFFFFF;
constexpr TColor clRed = 0x0000FF;
constexpr TColor clLime = 0x00FF00;
constexpr TColor clBlue = 0xFF0000;
constexpr TColor clFuchsia = 0xFF00FF;
constexpr TColor clGray = 0x808080;
constexpr TColor clSilver = 0xC0C0C0;

constexpr TColor RGB(unsigned r, unsigned g, unsigned b) {
  return (r & 0xFF) | ((g & 0xFF) << 8) | ((b & 0xFF) << 16);
}
constexpr unsigned GetRValue(TColor c) {
  return c & 0xFF;
}
constexpr unsigned GetGValue(TColor c) {
  return (c >> 8) & 0xFF;
}
constexpr unsigned GetBValue(TColor c) {
  return (c >> 16) & 0xFF;
}

struct TPoint {
  int X = 0;
  int Y = 0;
  friend bool operator==(const TPoint&, const TPoint&) = default;
};

struct TSize {
  int cx = 0;
  int cy = 0;
  friend bool operator==(const TSize&, const TSize&) = default;
};

// Right and Bottom lie just outside the rectangle when it is filled.
struct TRect {
  int Left = 0;
  int Top = 0;
  int Right = 0;
  int Bottom = 0;
  int Width() const { return Right - Left; }
  int Height() const { return Bottom - Top; }
  bool IsEmpty() const { return Right <= Left || Bottom <= Top; }
  friend bool operator==(const TRect&, const TRect&) = default;
};

constexpr TPoint Point(int x, int y) {
  return TPoint{x, y};
}
constexpr TRect Rect(int left, int top, int right, int bottom) {
  return TRect{left, top, right, bottom};
}

}  // namespace osc
