#pragma once
// Base of the objects a graph view draws (axes, marker points). An object knows its
// view; a view that is destroyed first tells every object made for it, so Graph()
// never dangles.
#include "platform/canvas.h"

namespace osc {

class TVelaGraph;

class TVelaGraphObject {
 public:
  explicit TVelaGraphObject(TVelaGraph* graph);
  virtual ~TVelaGraphObject();
  TVelaGraphObject(const TVelaGraphObject&) = delete;
  TVelaGraphObject& operator=(const TVelaGraphObject&) = delete;

  TVelaGraph* Graph() const { return graph_; }
  // For points: drawn after the series when on.
  bool Foreground() const { return foreground_; }
  void SetForeground(bool v) { foreground_ = v; }

  // Draws into `canvas`, where the whole view occupies `rect`.
  virtual void Draw(TCanvas& canvas, const TRect& rect) = 0;

 private:
  friend class TVelaGraph;
  TVelaGraph* graph_;
  bool foreground_ = false;
};

}  // namespace osc
