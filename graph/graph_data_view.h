#pragma once
// What a graph data container tells the views attached to it. The graph view
// (TVelaGraph) implements it; tests attach recording views.
#include <cstdint>

namespace osc {

class TVelaGraphData;

class TGraphDataView {
 public:
  virtual ~TGraphDataView() = default;
  // The container's number of graphs changed: keep one axis pair per graph.
  virtual void SetGraphCount(std::uint32_t n) = 0;
  // The data of graph g (1-based) may have changed: the X (Y) axis of that graph, if the
  // view has one, recomputes its automatic range.
  virtual void UpdateXAxis(std::uint32_t g) = 0;
  virtual void UpdateYAxis(std::uint32_t g) = 0;
  // The cached picture is out of date (ignored while the view shows a still image).
  virtual void InvalidateImage() = 0;
  // Repaint request.
  virtual void Invalidate() = 0;
  // The container is being destroyed: drop the reference to it without detaching.
  virtual void GraphDataDestroyed(TVelaGraphData& data) = 0;
};

}  // namespace osc
