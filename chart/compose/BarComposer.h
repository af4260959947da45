#pragma once
#include <vector>

#include "chart/BarSeries.h"
#include "chart/compose/PixelComposer.h"
#include "chart/compose/SeriesComposer.h"
#include "chart/compose/ValueRanges.h"

namespace zyn::chart {

// Bars of no width, which are one-pixel lines from the origin row. In a pixel column a later
// bar covers an earlier one as far as it reaches, so each bar draws only the rows beyond the
// later ones. Where many bars share each column their rows wait in the frame's ink and are
// painted with it, each pixel once; few bars a column are painted straight onto the canvas.
// Declines for bars with a width, shapes or pens that are not such lines, and bars drawn
// backwards.
class TBarComposer final : public TSeriesComposer {
public:
    explicit TBarComposer(const TBarSeries& series) : series_(series) {}
    bool Compose(TFrameContext& frame, TComposedEnd& end) override;

private:
    // The settings make every bar a solid one-pixel line whose pixels paint alike whichever
    // line paints them.
    bool Accepts(TFrameContext& frame);
    // Whether many bars share each column and their rows may be composed.
    bool Dense(TFrameContext& frame);
    // The canvas as painting a bar of no width in this colour leaves it.
    void Prepare(TChartCanvas3D& canvas, TColor color);
    // The pixel columns of the visible bars, mapped for the way they are drawn; false where
    // they do not follow each other, as two runs of bars could share one.
    bool MapColumns(TFrameContext& frame);
    void ComposeColumns(TFrameContext& frame);
    // The bars i .. end of one column from the last back, each drawn where it reaches beyond
    // the later ones.
    void DrawColumn(int start, int end, int x);
    // Shows bar i (its top row given) beyond the rows the later bars of its column covered;
    // false for a bar without colour.
    bool Show(int i, int top, int x);
    // Rows from..to of column x in the colour: composed, or painted as a line.
    void Rows(TColor color, int x, int from, int to);

    const TBarSeries& series_;
    TValueRanges yRanges_;
    std::vector<int> pixelX_, pixelY_;
    TPixelComposer composer_;  // the rows of dense bars, per colour

    // Of one Compose.
    TChartCanvas3D* canvas_ = nullptr;
    int first_ = 0, last_ = -1, origin_ = 0;
    bool compose_ = false;
    double low_ = 0, high_ = 0;
    const int* columns_ = nullptr;
    TColor prepared_ = clNone, layerColor_ = clNone;
    int layer_ = 0;
    int above_ = 0, below_ = 0;  // rows of the column the later bars covered, from the origin
};

}  // namespace zyn::chart
