#pragma once
// The stacked graph view: shows the graphs of one data container one above the other
// over the whole client area, each with title bar, plot, Y axis strip and X axis strip
// (layout.h), owns one axis pair per graph, draws marker points (not owned), keeps a
// cached image of itself, shows a measuring cross that snaps to the nearest series and
// turns mouse and keys into panning and zooming. DrawTo draws it into any canvas and
// rectangle, which is how it prints.
//
// The view is plain C++ behind a host (view_host.h). What the user sees is the screen
// image: Paint() renders the cache when needed and copies it there, then draws the
// cross and the zoom rectangle over it by inverting pixels, so moving them never
// renders the view again and the cache never holds them. The host shows the screen
// image after Paint() and whenever ScreenChanged() asks for it.
//
// Drag states (TDragState): none; pan of the X strip, the Y strip or both (the plot);
// zoom of the same three. A left press on an X strip, Y strip or plot starts a pan when Mode is gmPan or
// gmSelect with Ctrl alone held, a zoom when Mode is gmZoom or gmSelect with Shift alone
// (the modifiers of the last key-down). A release applies a zoom (a drag of 5 pixels or
// less zooms out by two); releasing any key ends a drag without applying it.
#include <cstdint>
#include <functional>
#include <memory>
#include <utility>
#include <vector>

#include "graph/axis.h"
#include "graph/colors.h"
#include "graph/geometry.h"
#include "graph/graph_data_view.h"
#include "graph/layout.h"
#include "graph/view_host.h"

namespace osc {

class TVelaGraphData;
class TVelaSeries;

enum TVelaGraphMode : std::uint8_t { gmSelect, gmPan, gmZoom };
enum TMouseButton : std::uint8_t { mbLeft, mbRight, mbMiddle };

using TShiftState = std::uint8_t;
enum : TShiftState {
  ssShift = 1,
  ssAlt = 2,
  ssCtrl = 4,
  ssLeft = 8,
  ssRight = 16,
  ssMiddle = 32,
  ssDouble = 64
};

class TVelaGraph;
using TNotifyEvent = std::function<void(TVelaGraph& sender)>;
using TCrossMoveNE = std::function<void(TVelaGraph& sender, TDoublePoint& pos, TVelaSeries* series)>;
using TGraphHeightEvent = std::function<void(std::uint32_t graphNum, std::uint32_t numGraphs, int& grHeight)>;
using TMouseEvent =
    std::function<void(TVelaGraph& sender, TMouseButton button, TShiftState shift, int x, int y)>;
using TMouseMoveEvent = std::function<void(TVelaGraph& sender, TShiftState shift, int x, int y)>;
// `key` is a Windows virtual-key code.
using TKeyEvent = std::function<void(TVelaGraph& sender, std::uint16_t& key, TShiftState shift)>;

// What a left drag does: pan or zoom on the X strip, the Y strip or the plot (both
// axes). The values are the region's index plus the first of its kind, which
// DragState() reports.
enum TDragState : int {
  dsNone = 0,
  dsPanX = 1,
  dsPanY = 2,
  dsPanXY = 3,
  dsZoomX = 4,
  dsZoomY = 5,
  dsZoomXY = 6
};

class TVelaGraph : public TGraphDataView {
 public:
  explicit TVelaGraph(TVelaGraphHost& host);
  ~TVelaGraph() override;
  TVelaGraph(const TVelaGraph&) = delete;
  TVelaGraph& operator=(const TVelaGraph&) = delete;

  TVelaGraphData* GraphData() const { return graphData_; }
  // Detaches from the old container, makes one axis pair per graph of the new one and
  // attaches to it.
  void SetGraphData(TVelaGraphData* data);

  TGlobalXAxis& GlobalXAxis() { return globalXAxis_; }
  TGlobalAxis& GlobalYAxis() { return globalYAxis_; }
  // Axes of graph index + 1; nullptr outside 0..AxisCount()-1.
  TAxis* XAxis(int index) const;
  TAxis* YAxis(int index) const;
  int AxisCount() const { return static_cast<int>(xAxes_.size()); }
  TVelaGraphColors& Colors() { return colors_; }
  TVelaGraphLayout& Layout() { return layout_; }
  const TVelaGraphLayout& Layout() const { return layout_; }

  bool ShowHGrid() const { return showHGrid_; }
  void SetShowHGrid(bool v);
  bool ShowVGrid() const { return showVGrid_; }
  void SetShowVGrid(bool v);
  TVelaGraphMode Mode() const { return mode_; }
  void SetMode(TVelaGraphMode v);
  bool Cross() const { return cross_; }
  void SetCross(bool v);
  bool Cached() const { return cached_; }
  void SetCached(bool v) { cached_ = v; }
  // Freezes the cached image: InvalidateImage has no effect while it is on.
  bool StillImage() const { return stillImage_; }
  void SetStillImage(bool v) { stillImage_ = v; }
  // Fill areas with the scheme colours; switched off while printing.
  // Stretches of time (X from, X to) shaded across every plot: where the record is not
  // the signal. Also printed and exported.
  void SetMarkedSpans(std::vector<std::pair<double, double>> spans);
  const std::vector<std::pair<double, double>>& MarkedSpans() const { return markedSpans_; }
  bool FillBackgrounds() const { return fillBackgrounds_; }
  void SetFillBackgrounds(bool v) { fillBackgrounds_ = v; }
  const TFont& Font() const { return font_; }
  void SetFont(const TFont& f);

  TCrossMoveNE OnCrossMove;
  TNotifyEvent OnCrossOut;
  TGraphHeightEvent OnGetGraphHeight;
  TPositionChangeNE OnXPositionChange;
  TMouseEvent OnMouseDown;
  TMouseMoveEvent OnMouseMove;
  TMouseEvent OnMouseUp;
  TKeyEvent OnKeyDown;
  TKeyEvent OnKeyUp;

  // Marker points: drawn in list order, not owned. A point destroyed while listed
  // leaves the list by itself.
  void AddPoint(TVelaGraphObject* point);
  void RemovePoint(TVelaGraphObject* point);
  const std::vector<TVelaGraphObject*>& Points() const { return points_; }

  // Draws the whole view into `canvas`, scaled to `rect`; no cross, no zoom rectangle.
  void DrawTo(TCanvas& canvas, const TRect& rect);

  // TGraphDataView
  void SetGraphCount(std::uint32_t n) override;
  void UpdateXAxis(std::uint32_t g) override;
  void UpdateYAxis(std::uint32_t g) override;
  void InvalidateImage() override;
  void Invalidate() override;
  void GraphDataDestroyed(TVelaGraphData& data) override;

  // Host side: painting and input.
  void Paint();
  TCanvasImage& ScreenImage() { return *screen_; }
  // The canvas that is on the screen (the view's own canvas).
  TCanvas& Canvas() { return screen_->Canvas(); }
  TSize ClientSize() const { return host_.ClientSize(); }
  TRect ClientRect() const;
  void MouseDown(TMouseButton button, TShiftState shift, int x, int y);
  void MouseMove(TShiftState shift, int x, int y);
  void MouseUp(TMouseButton button, TShiftState shift, int x, int y);
  void KeyDown(std::uint16_t& key, TShiftState shift);
  void KeyUp(std::uint16_t& key, TShiftState shift);
  void Resized();
  void UpdateCursor();

  // State, for the host and for tests.
  int DragState() const { return dragState_; }
  std::uint32_t DragGraph() const { return dragGraph_; }
  std::uint32_t CrossGraph() const { return crossGraph_; }
  TPoint CrossPos() const { return crossPos_; }
  TPoint MousePos() const { return mousePos_; }
  bool ImageDirty() const { return imageDirty_; }
  TShiftState ShiftState() const { return shift_; }

 private:
  void DrawMarkedSpans(TCanvas& canvas, const TRect& r);
  friend class TVelaGraphObject;
  void ObjectCreated(TVelaGraphObject* o);
  void ObjectDestroyed(TVelaGraphObject* o);

  std::uint32_t NumGraphs() const;
  void Changed();
  void CrossUpdate(TCanvas& canvas, const TRect& r);
  void DrawCrossLines(TCanvas& canvas, const TRect& r);
  void EraseCross();
  void DrawZoomRect(TCanvas& canvas);
  void FinishXZoom();
  void FinishYZoom();
  void PanX(int x);
  void PanY(int y);
  TPoint Confined(int x, int y) const;
  bool OverActiveArea(TPoint p) const;
  bool PanCondition() const;
  bool ZoomCondition() const;

  TVelaGraphHost& host_;
  TVelaGraphData* graphData_ = nullptr;
  TGlobalXAxis globalXAxis_{this};
  TGlobalAxis globalYAxis_{this};
  std::vector<std::unique_ptr<TAxis>> xAxes_;
  std::vector<std::unique_ptr<TAxis>> yAxes_;
  TVelaGraphColors colors_{this};
  TVelaGraphLayout layout_{this};
  bool showHGrid_ = true;
  bool showVGrid_ = true;
  TShiftState shift_ = 0;
  std::uint32_t dragGraph_ = 0;
  int dragState_ = dsNone;
  TPoint dragStart_;
  TPoint dragEnd_;
  TVelaGraphMode mode_ = gmSelect;
  bool cross_ = true;
  TPoint crossPos_;
  std::uint32_t crossGraph_ = 0;
  TPoint mousePos_;
  std::vector<TVelaGraphObject*> points_;
  std::vector<TVelaGraphObject*> objects_;  // every object made for this view
  std::unique_ptr<TCanvasImage> cache_;
  std::unique_ptr<TCanvasImage> screen_;
  bool cached_ = true;
  bool imageDirty_ = true;
  bool stillImage_ = false;
  bool fillBackgrounds_ = true;
  std::vector<std::pair<double, double>> markedSpans_;
  bool confined_ = false;
  TRect confineRect_;
  TFont font_;
};

}  // namespace osc
