#pragma once
// A view drawn for paper or a picture file: no background fills while this lives, so
// the page stays white (printouts and exported images look alike).
#include "graph/view.h"

namespace osc {

class TWhitePaper {
 public:
  explicit TWhitePaper(TVelaGraph& view) : view_(view) { view_.SetFillBackgrounds(false); }
  ~TWhitePaper() { view_.SetFillBackgrounds(true); }
  TWhitePaper(const TWhitePaper&) = delete;
  TWhitePaper& operator=(const TWhitePaper&) = delete;

 private:
  TVelaGraph& view_;
};

}  // namespace osc
