#pragma once
// Data series of the graph component. A series holds no samples: an equidistant series
// asks its owner for each value through OnGetValue. A series belongs to at most one
// container (TVelaGraphData), which sets and clears GraphData(); once it is in a
// container, its property writes notify the container's views. Destroying a series
// first takes it out of its container.
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "graph/geometry.h"
#include "platform/canvas.h"

namespace osc {

class TVelaGraph;
class TVelaGraphData;

class TVelaSeries {
 public:
  TVelaSeries() = default;
  virtual ~TVelaSeries();
  TVelaSeries(const TVelaSeries&) = delete;
  TVelaSeries& operator=(const TVelaSeries&) = delete;

  // Draws the curve into the plot of graph GraphNumber() of `view`, which occupies
  // `rect` on `canvas`.
  virtual void Draw(TCanvas& canvas, TVelaGraph* view, const TRect& rect) = 0;
  // Draws Title() into the title bar of its graph, centred at pos/(n+1) of its width
  // where pos is the series' place among the n series of the graph.
  virtual void DrawTitle(TCanvas& canvas, TVelaGraph* view, const TRect& rect);
  // The extent of the data; an empty series gives Min 1.7E308 and Max -1.7E308.
  virtual void CalcXRange(double& min, double& max) = 0;
  virtual void CalcYRange(double& min, double& max) = 0;
  // The sample nearest to p.X as (X, value), or (0, 0) when there is none.
  virtual TDoublePoint SampleAt(TDoublePoint p) = 0;
  // Moves `pixel` onto the sample nearest to its column (pixelRect shows valueRect);
  // false, with `pixel` and `sample` untouched, when there is no such sample.
  virtual bool SnapToSample(const TRect& pixelRect, const TDoubleRect& valueRect, TPoint& pixel,
                            TDoublePoint& sample) = 0;

  // Which edges (kEdgeTop, kEdgeBottom) the data reaches within the window of graph
  // GraphNumber() of `view`: a clipped input. 0 unless the series knows.
  virtual unsigned VisibleClip(TVelaGraph* /*view*/) { return 0; }
  // CalcXRange / CalcYRange when automatic, else the fixed extent.
  void GetXRange(double& min, double& max);
  void GetYRange(double& min, double& max);

  // One curve segment in pixels from the earlier end (x1, y1) to the later end (x2, y2).
  void DrawSegment(TCanvas& canvas, TColor color, int x1, int y1, int x2, int y2) const;

  TColor Color() const { return color_; }
  void SetColor(TColor v) { color_ = v; }
  TColor OutOfRangeColor() const { return outOfRangeColor_; }
  void SetOutOfRangeColor(TColor v) { outOfRangeColor_ = v; }
  std::uint32_t GraphNumber() const { return graphNumber_; }
  void SetGraphNumber(std::uint32_t v);
  bool AutoYMinMax() const { return autoYMinMax_; }
  void SetAutoYMinMax(bool v);
  bool AutoXMinMax() const { return autoXMinMax_; }
  void SetAutoXMinMax(bool v);
  double XMin() const { return xMin_; }
  void SetXMin(double v) { xMin_ = v; }
  double XMax() const { return xMax_; }
  void SetXMax(double v) { xMax_ = v; }
  double YMax() const { return yMax_; }
  void SetYMax(double v);
  double YMin() const { return yMin_; }
  void SetYMin(double v);
  const std::string& Title() const { return title_; }
  void SetTitle(const std::string& v);
  int LineWidth() const { return lineWidth_; }
  void SetLineWidth(int v) { lineWidth_ = v; }
  TPenStyle LineStyle() const { return lineStyle_; }
  void SetLineStyle(TPenStyle v) { lineStyle_ = v; }
  int Tag() const { return tag_; }
  void SetTag(int v) { tag_ = v; }
  TVelaGraphData* GraphData() const { return graphData_; }

 protected:
  void NotifyInvalidate();
  void NotifyYAxes();

 private:
  friend class TVelaGraphData;

  TColor color_ = clRed;
  TColor outOfRangeColor_ = clFuchsia;
  std::uint32_t graphNumber_ = 0;
  bool autoYMinMax_ = true;
  bool autoXMinMax_ = true;
  double xMin_ = 0;
  double xMax_ = 0;
  double yMax_ = 0;
  double yMin_ = 0;
  std::string title_;
  int lineWidth_ = 1;
  TPenStyle lineStyle_ = psSolid;
  int tag_ = 0;
  TVelaGraphData* graphData_ = nullptr;
};

// The edges a series' data reaches (the input was clipped there).
enum : unsigned { kEdgeTop = 1, kEdgeBottom = 2 };

// Sets `value` for sample `index` of `sender`.
using TGetValueEvent = std::function<void(TVelaSeries& sender, int index, double& value)>;
// The edges (kEdgeTop, kEdgeBottom) the data behind samples first..last of `sender` reaches.
using TGetClipEvent = std::function<unsigned(TVelaSeries& sender, int first, int last)>;

// Samples 0..Count()-1, sample i at X = XStart() + i * XStep(), values from OnGetValue.
// Values that are not finite numbers (a series without OnGetValue gives NaN) count as
// missing: they are left out of the Y extent and of the curve, and the cross does not
// snap to them.
class TBaseEquiDistantSeries : public TVelaSeries {
 public:
  TBaseEquiDistantSeries() = default;

  void Draw(TCanvas& canvas, TVelaGraph* view, const TRect& rect) override;
  unsigned VisibleClip(TVelaGraph* view) override;
  void CalcXRange(double& min, double& max) override;
  void CalcYRange(double& min, double& max) override;
  TDoublePoint SampleAt(TDoublePoint p) override;
  bool SnapToSample(const TRect& pixelRect, const TDoubleRect& valueRect, TPoint& pixel,
                    TDoublePoint& sample) override;
  virtual void SetCount(std::uint32_t v) { count_ = v; }
  // The value from OnGetValue, NaN without it. The index is passed on unchecked.
  virtual double GetValue(int index);

  double XStart() const { return xStart_; }
  void SetXStart(double v) { xStart_ = v; }
  std::uint32_t Count() const { return count_; }
  double XStep() const { return xStep_; }
  // Ignored unless greater than 0.
  void SetXStep(double v);

  TGetValueEvent OnGetValue;
  // Clipped stretches are marked by a band along the edge they reach.
  TGetClipEvent OnGetClip;

 private:
  // Samples i0..i1 cover the window of `view`'s graph; false when none is visible.
  bool VisibleRange(TVelaGraph* view, int& i0, int& i1) const;
  void DrawClipBands(TCanvas& canvas, TColor color, int i0, const std::vector<std::uint8_t>& edges, double xl,
                     double kx, const TRect& pr);

  double xStart_ = 0;
  std::uint32_t count_ = 0;
  double xStep_ = 1.0;
};

}  // namespace osc
