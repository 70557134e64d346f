#pragma once
// Axes of the stacked graph view. Every graph has an X axis (below the plot) and a Y
// axis (left of it). An axis holds the data range Min..Max and the visible window
// Left..Right (Bottom..Top for Y axes) and keeps the window inside the data range:
// a window wider than the range becomes the range, one lying partly outside is
// shifted inside with its width kept. It draws its strip with ticks, labels, an
// optional colour bar and the grid lines of its plot, and carries the navigation
// operations. Invalid requests (an empty window or range, a range set while automatic)
// are ignored silently. TGlobalAxis / TGlobalXAxis hold the tick settings shared by
// all Y / X axes of a view, and Locked, which moves all X axes together.
#include <cstdint>
#include <functional>
#include <string>

#include "graph/graph_object.h"

namespace osc {

class TAxis;

enum TAxisStyle : std::uint8_t { asNormal, asTime, asDateTime, asDate };

// `text` holds the previous label of this drawing pass (empty for the first); whatever
// the handler leaves is written. `step` is the distance of major ticks.
using TAxisGetTextEvent = std::function<void(TAxis& sender, std::string& text, double value, double step)>;
// Called when the automatic range is about to be applied; may change both ends.
using TAxisSetMinMaxEvent = std::function<void(TAxis& sender, double& newMin, double& newMax)>;
// The window of an X axis changed through SetRange on it.
using TPositionChangeNE = std::function<void(TAxis& sender, double posLeft, double posRight)>;

class TAxis : public TVelaGraphObject {
 public:
  TAxis(TVelaGraph* graph, std::uint32_t graphNumber, bool vertical);

  double Min() const { return min_; }
  void SetMin(double v) { SetMinMax(v, max_); }
  double Max() const { return max_; }
  void SetMax(double v) { SetMinMax(min_, v); }
  double Left() const { return left_; }
  void SetLeft(double v) { SetRange(v, right_); }
  double Right() const { return right_; }
  void SetRight(double v) { SetRange(left_, v); }
  double Bottom() const { return left_; }
  void SetBottom(double v) { SetLeft(v); }
  double Top() const { return right_; }
  void SetTop(double v) { SetRight(v); }
  TAxisStyle Style() const { return style_; }
  void SetStyle(TAxisStyle v);
  bool Vertical() const { return vertical_; }
  std::uint32_t GraphNumber() const { return graphNumber_; }
  bool AutoMinMax() const { return autoMinMax_; }
  void SetAutoMinMax(bool v);
  bool ColorBar() const { return colorBar_; }
  void SetColorBar(bool v);

  TAxisGetTextEvent OnGetText;
  TAxisSetMinMaxEvent OnSetMinMax;

  // The visible window; ignored when newLeft >= newRight. With the view's X axes locked
  // the window of an X axis is copied to all of them; OnXPositionChange fires once.
  void SetRange(double newLeft, double newRight);
  // The data range; ignored while AutoMinMax() or when newMax <= newMin.
  void SetMinMax(double newMin, double newMax);
  // Takes the data range from the graph data (all graphs for locked X axes).
  void UpdateAutoMinMax();

  void ZoomIn();
  void ZoomOut();
  void ZoomAll();
  void Scroll(double percent);
  void ScrollLeft() { Scroll(-10); }
  void ScrollRight() { Scroll(10); }
  void ScrollFastLeft() { Scroll(-50); }
  void ScrollFastRight() { Scroll(50); }
  void ScrollHome();
  void ScrollEnd();

  // Strip, ticks, labels, colour bar and grid lines of this axis' graph.
  void Draw(TCanvas& canvas, const TRect& rect) override;

 private:
  bool IsLockedX() const;
  void Clamp();
  void Changed();
  std::string LabelText(std::string& previous, double value, double step);

  double min_ = 0;
  double max_ = 1;
  double left_ = 0;
  double right_ = 1;
  TAxisStyle style_ = asNormal;
  bool vertical_;
  std::uint32_t graphNumber_;
  bool autoMinMax_ = true;
  bool colorBar_ = false;
};

class TGlobalAxis {
 public:
  explicit TGlobalAxis(TVelaGraph* graph, std::uint32_t minMajorTicksDistance = 30);
  virtual ~TGlobalAxis() = default;
  TGlobalAxis(const TGlobalAxis&) = delete;
  TGlobalAxis& operator=(const TGlobalAxis&) = delete;

  std::uint32_t MinMajorTicksDistance() const { return minMajorTicksDistance_; }
  void SetMinMajorTicksDistance(std::uint32_t v);
  std::uint32_t MajorTicksLength() const { return majorTicksLength_; }
  void SetMajorTicksLength(std::uint32_t v);
  std::uint32_t MinorTicksLength() const { return minorTicksLength_; }
  void SetMinorTicksLength(std::uint32_t v);

 protected:
  void Changed();
  TVelaGraph* graph_;

 private:
  std::uint32_t minMajorTicksDistance_;
  std::uint32_t majorTicksLength_ = 4;
  std::uint32_t minorTicksLength_ = 2;
};

class TGlobalXAxis : public TGlobalAxis {
 public:
  explicit TGlobalXAxis(TVelaGraph* graph) : TGlobalAxis(graph, 60) {}

  bool Locked() const { return locked_; }
  // Re-reads the X ranges of every graph; when locking, all X windows take the first
  // graph's window.
  void SetLocked(bool v);

 private:
  bool locked_ = true;
};

// Text of a tick label by style, without a callback: the number with up to 15
// significant digits, or the time, date and time, or date in the user's formats.
std::string AxisLabel(TAxisStyle style, double value);

}  // namespace osc
