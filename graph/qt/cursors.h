#pragma once
// The graph view's "PAN" and "ZOOM" mouse cursors.
#include <QCursor>

namespace osc {

// A four-way arrow; the hot spot is its centre.
const QCursor& PanCursor();
// A magnifying glass with a plus; the hot spot is the centre of the glass.
const QCursor& ZoomCursor();

}  // namespace osc
