#pragma once
// The colour scheme of a graph view. Every change re-renders the view; the cross
// colour only repaints it (the cross is not part of the rendered image).
#include "platform/geometry.h"

namespace osc {

class TVelaGraph;

class TVelaGraphColors {
 public:
  explicit TVelaGraphColors(TVelaGraph* view) : view_(view) {}

#define OSC_COLOR_PROPERTY(Name, member, initial) \
 public:                                          \
  TColor Name() const {                           \
    return member;                                \
  }                                               \
  void Set##Name(TColor v) {                      \
    if (v == member) return;                      \
    member = v;                                   \
    Changed();                                    \
  }                                               \
                                                  \
 private:                                         \
  TColor member = initial;

  OSC_COLOR_PROPERTY(Background, background_, clGray)
  OSC_COLOR_PROPERTY(YAxisBackground, yAxisBackground_, clGray)
  OSC_COLOR_PROPERTY(YAxis, yAxis_, clLime)
  OSC_COLOR_PROPERTY(XAxisBackground, xAxisBackground_, clGray)
  OSC_COLOR_PROPERTY(GraphBackground, graphBackground_, clWhite)
  OSC_COLOR_PROPERTY(TitleBar, titleBar_, clSilver)
  OSC_COLOR_PROPERTY(XAxis, xAxis_, clLime)
  OSC_COLOR_PROPERTY(Grid, grid_, clSilver)
  OSC_COLOR_PROPERTY(YAxisLabels, yAxisLabels_, clLime)
  OSC_COLOR_PROPERTY(XAxisLabels, xAxisLabels_, clLime)
  // Y labels of a graph showing clipped samples, and the bands that mark them (orange).
  OSC_COLOR_PROPERTY(Clipped, clipped_, clRed)
  OSC_COLOR_PROPERTY(ClipBand, clipBand_, 0x0080FF)
  // The shade of stretches that are not the signal (lost samples), light red.
  OSC_COLOR_PROPERTY(Marked, marked_, 0xD0D0FF)
#undef OSC_COLOR_PROPERTY

 public:
  TColor Cross() const {
    return cross_;
  }
  void SetCross(TColor v);

 private:
  void Changed();
  TVelaGraph* view_;
  TColor cross_ = clLime;
};

}  // namespace osc
