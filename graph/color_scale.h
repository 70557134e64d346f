#pragma once
// The colours of the colour bar: a value between Lo and Hi as a rainbow colour from red
// (645 nm, at Lo) to violet (380 nm, at Hi).
#include "platform/geometry.h"

namespace osc {

// White above hi, dark grey below lo.
TColor ValueToColor(double value, double lo, double hi);
// The colour of light of `nm` nanometres; black outside 380..780.
TColor WavelengthToColor(double nm);

}  // namespace osc
