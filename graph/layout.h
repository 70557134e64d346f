#pragma once
// The layout metrics of a graph view, given in pixels at screen size, and the
// rectangles of every graph computed from them for any target rectangle R: the metrics
// are scaled by R's size over the view's client size, so a printout keeps the
// proportions of the screen. Graph g (1..NumGraphs) is a block of title bar, plot and
// X axis strip, with the Y axis strip left of the plot:
//
//   TopSpace | title bar | plot (GraphHeight) | X axis strip | BottomSpace | GraphSpacing | ...
//
// A graph whose height comes out 0 (the area is too small) has empty rectangles.
#include <cstdint>

#include "platform/geometry.h"

namespace osc {

class TVelaGraph;

class TVelaGraphLayout {
 public:
  explicit TVelaGraphLayout(TVelaGraph* view) : view_(view) {}

#define OSC_LAYOUT_PROPERTY(Name, member, initial) \
 public:                                           \
  std::uint32_t Name() const {                     \
    return member;                                 \
  }                                                \
  void Set##Name(std::uint32_t v) {                \
    if (v == member) return;                       \
    member = v;                                    \
    Changed();                                     \
  }                                                \
                                                   \
 private:                                          \
  std::uint32_t member = initial;

  OSC_LAYOUT_PROPERTY(TopSpace, topSpace_, 5)
  OSC_LAYOUT_PROPERTY(TitleBarHeight, titleBarHeight_, 18)
  OSC_LAYOUT_PROPERTY(GraphSpacing, graphSpacing_, 10)
  OSC_LAYOUT_PROPERTY(BottomSpace, bottomSpace_, 5)
  OSC_LAYOUT_PROPERTY(LeftSpace, leftSpace_, 5)
  OSC_LAYOUT_PROPERTY(YAxisWidth, yAxisWidth_, 40)
  OSC_LAYOUT_PROPERTY(XAxisHeight, xAxisHeight_, 25)
  OSC_LAYOUT_PROPERTY(RightSpace, rightSpace_, 5)
#undef OSC_LAYOUT_PROPERTY

 public:
  // v scaled by R's width (height) over the client width (height), truncated; v itself
  // when the client area has no width (height) to scale by.
  int ScaleX(std::int64_t v, const TRect& r) const;
  int ScaleY(std::int64_t v, const TRect& r) const;

  int GraphHeight(std::uint32_t g, const TRect& r) const;
  int GraphTop(std::uint32_t g, const TRect& r) const;
  TRect TitleBarRect(std::uint32_t g, const TRect& r) const;
  TRect PlotRect(std::uint32_t g, const TRect& r) const;
  TRect XAxisRect(std::uint32_t g, const TRect& r) const;
  TRect YAxisRect(std::uint32_t g, const TRect& r) const;

 private:
  std::uint32_t NumGraphs() const;
  bool Valid(std::uint32_t g, const TRect& r) const;
  void Changed();
  TVelaGraph* view_;
};

}  // namespace osc
