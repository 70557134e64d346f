#pragma once
// The widget that hosts a graph view (graph/view.h): it forwards paint, mouse, key and
// resize events to the view and shows the view's screen image. The view is reached
// through View().
#include <QWidget>

#include "graph/view.h"

namespace osc {

class TVelaGraphWidget : public QWidget, public TVelaGraphHost {
 public:
  explicit TVelaGraphWidget(QWidget* parent = nullptr);
  ~TVelaGraphWidget() override;

  TVelaGraph& View() { return view_; }

  // TVelaGraphHost
  TSize ClientSize() const override;
  void Invalidate() override;
  void ScreenChanged() override;
  void SetCursor(TGraphCursor cursor) override;
  void ConfineCursor(const TRect* clientRect) override;
  bool TakeFocus() override;
  TPoint CursorPos() const override;
  std::unique_ptr<TCanvasImage> CreateImage() override;

  QSize sizeHint() const override { return QSize(400, 300); }

 protected:
  void paintEvent(QPaintEvent* event) override;
  void resizeEvent(QResizeEvent* event) override;
  void mousePressEvent(QMouseEvent* event) override;
  void mouseMoveEvent(QMouseEvent* event) override;
  void mouseReleaseEvent(QMouseEvent* event) override;
  void keyPressEvent(QKeyEvent* event) override;
  void keyReleaseEvent(QKeyEvent* event) override;
  void enterEvent(QEnterEvent* event) override;

 private:
  bool paintPending_ = true;
  bool confined_ = false;
  QRect confineRect_;
  TVelaGraph view_{*this};
};

}  // namespace osc
