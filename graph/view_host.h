#pragma once
// What a graph view needs from the window that shows it. The Qt widget
// (graph/qt/graph_widget.h) is one; tests use their own.
#include <memory>

#include "platform/canvas.h"

namespace osc {

enum TGraphCursor : std::uint8_t { crArrow, crPan, crZoom };

class TVelaGraphHost {
 public:
  virtual ~TVelaGraphHost() = default;
  // Size of the client area in pixels.
  virtual TSize ClientSize() const = 0;
  // Schedules a call of the view's Paint() (the widget set's repaint request).
  virtual void Invalidate() = 0;
  // The view drew on its screen image outside Paint() (cross, zoom rectangle): show it.
  virtual void ScreenChanged() = 0;
  virtual void SetCursor(TGraphCursor cursor) = 0;
  // Keeps the mouse inside `clientRect` until called with nullptr (a best effort: the
  // view itself clamps the positions it receives while confined).
  virtual void ConfineCursor(const TRect* clientRect) = 0;
  // Gives the view the keyboard focus if it can take it; true when it is then the
  // active control of its window.
  virtual bool TakeFocus() = 0;
  // Where the mouse is now, in client coordinates.
  virtual TPoint CursorPos() const = 0;
  // A new off-screen image that the view's screen image can show.
  virtual std::unique_ptr<TCanvasImage> CreateImage() = 0;
};

}  // namespace osc
