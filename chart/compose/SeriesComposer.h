#pragma once
#include "chart/Colors.h"

namespace zyn::chart {

class TFrameContext;

// Where a composed drawing ended: the last point it drew, with its pixel and colour, so that
// the series can stand as drawing that point last would have left it.
struct TComposedEnd {
    int Index = -1;
    int X = 0, Y = 0;
    TColor Color = clNone;
    // A line of some length was drawn, which leaves its pen on the canvas.
    bool Segment = false;
};

// The fast drawing of one series kind. Where a series has more visible points than the plot
// has pixel columns, most of what it paints is painted over again by its own later points;
// a composer paints only what stays visible, once, and the frame is the one that drawing every
// point in turn gives. It reads its series and never changes it, and it may decline: false,
// with nothing drawn, hands the frame back to the point-by-point drawing, which is right by
// construction.
class TSeriesComposer {
public:
    virtual ~TSeriesComposer() = default;
    // Draws the visible points of the series (its visible range is up to date, the canvas
    // clipped as for its points) and tells where it ended, or declines.
    virtual bool Compose(TFrameContext& frame, TComposedEnd& end) = 0;
};

}  // namespace zyn::chart
