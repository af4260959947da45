#pragma once
#include <cstdint>
#include <vector>

#include "chart/Axis.h"
#include "chart/Canvas.h"
#include "chart/compose/DeferredInk.h"

namespace zyn::chart {

class TChartSeries;
class TChartValueList;
class TCustomAxisPanel;

// What a chart keeps for its frames beyond any one of them: storage reused to spare
// allocations, and facts about values that hold for as long as the values stand (known by the
// lists' stamps). Nothing here says what a frame is drawing.
class TComposeCache {
public:
    TInkStore Ink;
    std::vector<int> Pixels, Runs;  // storage of a frame's shared mapping
    // Whether b holds a's values from an offset on (b[i] == a[i + offset]) wherever both hold
    // values: lists of ascending values can lie at one offset only, other lists are compared
    // from their starts.
    bool Aligned(const TChartValueList& a, const TChartValueList& b, int& offset);

private:
    struct TAlignedValues {
        std::uint64_t A, B;
        int Offset;
        bool Aligned;
    };
    std::vector<TAlignedValues> aligned_;
};

// One frame's drawing of the series, made when the chart paints and dropped when the paint
// ends: what the canvas can do in this frame, the pixel columns shared by the series of the
// same x values, and the ink of composed series waiting for the series after them.
class TFrameContext {
public:
    TFrameContext(TCustomAxisPanel& chart, TComposeCache& cache);
    TFrameContext(const TFrameContext&) = delete;
    TFrameContext& operator=(const TFrameContext&) = delete;

    TCustomAxisPanel& Chart() const { return chart_; }
    TChartCanvas3D& Canvas() const { return canvas_; }
    // Asked of the canvas once, when the frame starts.
    const TChartCanvas3D::TCapabilities& Capabilities() const { return capabilities_; }
    // Whether composing may pay for the series: the chart does not draw every point, and the
    // visible points outnumber the plot's pixel columns.
    bool Dense(const TChartSeries& series) const;

    // The pixels of values first..last of `list` on `axis`, as TPixelMap::Map gives them:
    // mapped once and handed to every series whose list holds the same values. Valid until
    // the next call.
    const int* MappedValues(const TChartValueList& list, const TCustomChartAxis& axis, int first, int last);
    // Where those pixels change: the offset from first of each run of equal pixels, then
    // last - first + 1. Valid until the next call of either.
    const std::vector<int>& MappedRuns(const TChartValueList& list, const TCustomChartAxis& axis, int first, int last);

    // Cleared bits over region for the next series' pixels in one colour, painted later, after
    // the series that follow it; anything painted straight onto the canvas flushes them first.
    TColumnCoverage& DeferInk(const TRect& region, TColor color) { return ink_.Next(region, color); }
    void DropDeferredInk() { ink_.DropLast(); }
    // A series' composed pixels, left waiting in the same way.
    void DeferComposed(TPixelComposer& composer) { ink_.Take(composer); }
    void FlushInk() { ink_.Flush(); }

private:
    TCustomAxisPanel& chart_;
    TChartCanvas3D& canvas_;
    TComposeCache& cache_;
    const TChartCanvas3D::TCapabilities capabilities_;
    TDeferredInk ink_;
    struct TMappedValues {
        const TChartValueList* List = nullptr;
        std::uint64_t Stamp = 0;  // of the values mapped
        TCustomChartAxis::TPixelMap Map{};
        double Multiplier = 1;
        int First = 0, Last = -1;
        std::uint64_t Mapping = 0;  // counts the mappings, so that runs know theirs
        // The runs of the pixels RunsFirst .. RunsLast.
        std::uint64_t RunsMapping = ~std::uint64_t(0);
        int RunsFirst = 0, RunsLast = -1;
    } mapped_;
};

}  // namespace zyn::chart
