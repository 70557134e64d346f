#include "graph/colors.h"

#include "graph/view.h"

namespace osc {

void TVelaGraphColors::Changed() {
  if (view_ == nullptr) return;
  view_->InvalidateImage();
  view_->Invalidate();
}

void TVelaGraphColors::SetCross(TColor v) {
  if (v == cross_) return;
  cross_ = v;
  if (view_ != nullptr) view_->Invalidate();
}

}  // namespace osc
