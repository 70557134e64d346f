// How a series paints itself: the curve of an equidistant series and the title.
#include <cstdlib>

#include "graph/series.h"

namespace osc {

void TBaseEquiDistantSeries::Draw(TCanvas&, TVelaGraph*, const TRect&) {}

void TVelaSeries::DrawTitle(TCanvas&, TVelaGraph*, const TRect&) {}

void TVelaSeries::DrawSegment(TCanvas&, TColor, int, int, int, int) const {}

}  // namespace osc
