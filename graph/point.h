#pragma once
// A marker at a position given in axis values on one graph of a view: a cross, a
// diagonal cross or a hollow circle of half size Size(). It is drawn only while it is
// in the view's point list (TVelaGraph::AddPoint), before the series or, with
// Foreground() on, after them; outside the visible window it is not drawn. The view
// does not own it; a point destroyed while listed leaves the list.
#include <cstdint>

#include "graph/geometry.h"
#include "graph/graph_object.h"

namespace osc {

enum TPointShape : std::uint8_t { psCross, psDiagonal, psCircle };

class TVelaGraphPoint : public TVelaGraphObject {
 public:
  // Size 6, Width 1. Does not add the point to the view.
  TVelaGraphPoint(TVelaGraph* view, TPointShape shape, const TDoublePoint& position, TColor color,
                  std::uint32_t graphNumber);

  const TDoublePoint& Position() const { return position_; }
  void SetPosition(const TDoublePoint& p);
  TColor Color() const { return color_; }
  void SetColor(TColor v);
  // 1-based graph; 0 means not shown.
  std::uint32_t GraphNumber() const { return graphNumber_; }
  void SetGraphNumber(std::uint32_t v);
  int Size() const { return size_; }
  void SetSize(int v);
  TPointShape Shape() const { return shape_; }
  void SetShape(TPointShape v);
  // Pen width; takes effect at the next rendering.
  int Width() const { return width_; }
  void SetWidth(int v) { width_ = v; }

  void Draw(TCanvas& canvas, const TRect& rect) override;

 private:
  void Changed();

  TDoublePoint position_;
  TColor color_;
  std::uint32_t graphNumber_;
  int size_ = 6;
  TPointShape shape_;
  int width_ = 1;
};

}  // namespace osc
