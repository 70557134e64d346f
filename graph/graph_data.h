#pragma once
// The graph data container: an ordered list of series grouped into numbered graphs
// (1..NumGraphs()), and the views that show them. The list order is the drawing order
// and decides ties in every search. The container answers the X and Y extent of a
// graph and the series nearest to a mouse position, and tells its views when the
// number of graphs, the extent of a graph or the picture changes.
//
// Ownership: views are not owned; a view that is destroyed first detaches itself
// (RemoveView), and a container destroyed first tells every view (GraphDataDestroyed).
// Series are owned only while AutoDestroySeries() is on: the container then destroys
// every series it drops (DeleteSeries, RemoveSeries, Clear, its own destruction).
// A series destroyed by someone else leaves the container on its own, and a series is
// never destroyed twice.
#include <cstdint>
#include <vector>

#include "graph/geometry.h"
#include "platform/canvas.h"

namespace osc {

class TGraphDataView;
class TVelaGraph;
class TVelaSeries;

class TVelaGraphData {
 public:
  TVelaGraphData() = default;
  ~TVelaGraphData();
  TVelaGraphData(const TVelaGraphData&) = delete;
  TVelaGraphData& operator=(const TVelaGraphData&) = delete;

  // Appends `s` and returns its index; -1 for nullptr. A series already in this
  // container keeps its place (its index is returned); one in another container
  // leaves that container first.
  int AddSeries(TVelaSeries* s);
  // Raises EListError for an index outside the list, and nothing changes.
  void DeleteSeries(int index);
  // Raises EListError when `s` is not in the list.
  void RemoveSeries(TVelaSeries* s);
  void Clear();
  int SeriesCount() const { return static_cast<int>(series_.size()); }
  // nullptr outside 0..SeriesCount()-1.
  TVelaSeries* Series(int index) const;

  std::uint32_t NumGraphs() const { return numGraphs_; }
  // Ignored while AutoNumGraphs() is on.
  void SetNumGraphs(std::uint32_t v);
  // When on, NumGraphs() follows the highest GraphNumber of the series.
  bool AutoNumGraphs() const { return autoNumGraphs_; }
  void SetAutoNumGraphs(bool v);
  bool AutoDestroySeries() const { return autoDestroySeries_; }
  void SetAutoDestroySeries(bool v) { autoDestroySeries_ = v; }

  void AddView(TGraphDataView* view);
  void RemoveView(TGraphDataView* view);
  const std::vector<TGraphDataView*>& Views() const { return views_; }

  // Extent of the data of graph g: -1..1 without data; an X extent of zero width is
  // widened to the right by 1, a Y extent of zero width by 1 on both sides; an inverted
  // Y extent collapses to zero width (which the axes do not apply).
  void GetXRange(std::uint32_t g, double& min, double& max);
  void GetYRange(std::uint32_t g, double& min, double& max);
  // The series of graph g whose snapped sample lies nearest to `pos` (the earlier in the
  // list on a tie); moves `pos` onto it and sets `sample`. nullptr, with both untouched,
  // when no series of the graph has a sample there.
  TVelaSeries* FindNearest(std::uint32_t g, const TRect& pixelRect, const TDoubleRect& valueRect, TPoint& pos,
                           TDoublePoint& sample);
  // 1-based place of `s` among the series of its graph, 0 when it is not in the list;
  // `countInGraph` receives the number of series in that graph.
  int GraphSeriesIndex(const TVelaSeries* s, int& countInGraph) const;
  // Highest GraphNumber of the series, 0 without series.
  std::uint32_t MaxGraphNumber() const;
  // The edges the series of graph g reach within the window of `view` (VisibleClip).
  unsigned VisibleClip(std::uint32_t g, TVelaGraph* view);
  // Each series in list order: Draw, then DrawTitle.
  void DrawSeries(TCanvas& canvas, TVelaGraph* view, const TRect& rect);

  // Notifications to the views.
  void ApplyNumGraphs();
  void UpdateXAxes(std::uint32_t g);
  void UpdateYAxes(std::uint32_t g);
  void InvalidateViews();

 private:
  friend class TVelaSeries;

  // Takes the entry at `index` out and notifies; destroys the series when `destroy`.
  void Drop(int index, bool destroy);
  // Takes `s` out of the list, if there, without destroying it (a series being
  // destroyed, or one moving to another container).
  void Release(TVelaSeries* s);
  void FollowMaxGraphNumber();
  void SeriesGraphNumberChanged(TVelaSeries& s, std::uint32_t newNumber);

  std::vector<TGraphDataView*> views_;
  std::vector<TVelaSeries*> series_;
  std::uint32_t numGraphs_ = 0;
  bool autoNumGraphs_ = true;
  bool autoDestroySeries_ = false;
};

}  // namespace osc
