#pragma once
// A window for a graph view in tests: a settable client size and mouse position, and
// a record of what the view asked of it. Images are recording images unless a factory
// is given.
#include <functional>
#include <memory>
#include <optional>
#include <vector>

#include "graph/view_host.h"
#include "support/recording_canvas.h"

namespace osc::test {

class FakeHost : public TVelaGraphHost {
 public:
  using Factory = std::function<std::unique_ptr<TCanvasImage>()>;
  explicit FakeHost(TSize size = TSize{400, 300}, Factory factory = nullptr)
      : size(size), factory_(std::move(factory)) {}

  TSize ClientSize() const override { return size; }
  void Invalidate() override { ++invalidates; }
  void ScreenChanged() override { ++screenChanges; }
  void SetCursor(TGraphCursor c) override { cursor = c; }
  void ConfineCursor(const TRect* r) override {
    confined = r != nullptr ? std::optional<TRect>(*r) : std::nullopt;
  }
  bool TakeFocus() override { return focusable; }
  TPoint CursorPos() const override { return mouse; }
  std::unique_ptr<TCanvasImage> CreateImage() override {
    if (factory_) return factory_();
    auto image = std::make_unique<RecordingImage>();
    images.push_back(image.get());
    return image;
  }

  TSize size;
  TPoint mouse;
  bool focusable = true;
  int invalidates = 0;
  int screenChanges = 0;
  TGraphCursor cursor = crArrow;
  std::optional<TRect> confined;
  // Recording images handed out, in order: the view's cache, then its screen image.
  std::vector<RecordingImage*> images;

 private:
  Factory factory_;
};

}  // namespace osc::test
