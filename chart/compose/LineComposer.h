#pragma once
#include <cstddef>
#include <utility>
#include <vector>

#include "chart/LineSeries.h"
#include "chart/compose/PixelComposer.h"
#include "chart/compose/SeriesComposer.h"
#include "chart/compose/ValueRanges.h"

namespace zyn::chart {

class TRunMerger;
struct TComposeSink;

// Lines and their pointers, painted once per visible pixel. Two ways, tried in turn:
// - a line without pointers in one colour with a solid pen is the union of its segments'
//   pixels whatever their order, so runs along one row or column are joined into one line;
//   where many points share each pixel column, a column's points are taken as the run from
//   their least to their greatest row, and the pixels wait in the frame's ink;
// - a line with opaque pointers of one shape is composed from the last point to the first,
//   each pointer over the two segments that meet at its point, and waits in the frame's ink.
// Declines where a point would be drawn in any other way. For the point-by-point drawing it
// also tells which pointers a later pointer on the same pixel paints over wholly.
class TLineComposer final : public TSeriesComposer {
public:
    explicit TLineComposer(const TCustomSeries& series) : series_(series) {}
    bool Compose(TFrameContext& frame, TComposedEnd& end) override;
    // Per visible point whether its pointer is painted over wholly by a later pointer on the
    // same pixel; none where not every visible point paints one opaque pointer.
    const std::vector<char>* CoveredPointers(TFrameContext& frame);

private:
    // ---- the merged line ----
    bool DrawMergedLine(TFrameContext& frame, TComposedEnd& end);
    // Whether every visible point is drawn, in one colour with one solid pen whose pixels
    // paint alike whichever line paints them.
    bool MergedLineAccepts(TFrameContext& frame, TColor& color, TChartCanvas3D::TPenBoxes& penBoxes);
    // Whether many points share each pixel column, and their values bound every pixel.
    bool DenseColumns(const TFrameContext& frame);
    // Few points a column: every point mapped, its segments joined into runs and painted.
    bool DrawSparseLine(TFrameContext& frame, TColor color, TComposedEnd& end);
    // Many points a column: each column's points as one run, gathered as bits of the clipped
    // plot where the canvas hands them out, painted straight otherwise.
    void DrawDenseLine(TFrameContext& frame, TColor color, const TChartCanvas3D::TPenBoxes& penBoxes, TComposedEnd& end);
    void DrawColumns(TFrameContext& frame, TRunMerger& merger, TComposedEnd& end);
    // The rows the lines between the points i .. j of one column paint along it, and the
    // row of the last; false where they paint none.
    bool ColumnRows(int i, int j, int& top, int& bottom, int& endRow) const;
    void Segment(TRunMerger& merger, int x0, int y0, int x1, int y1) const;
    // The segment entering from the plot's edge toward the first visible point, if any.
    void Enter(TRunMerger& merger, int x, int y) const;

    // ---- the composed pointers ----
    bool DrawComposedPointers(TFrameContext& frame, TComposedEnd& end);
    // Whether every visible point draws its pointer with one opaque filled shape, whatever
    // the point; the first step of both ways of leaving out what later points cover.
    bool PointersOpaque(const TFrameContext& frame) const;
    // Maps the visible points into pixelX_ and pixelY_ when every one of them paints its
    // opaque pointer, on a pixel that can be handed to the canvas.
    bool MapPointedPoints(TFrameContext& frame);
    // Whether the points may be mapped a chunk at a time as they are composed: one colour is
    // every point's, and the least and greatest values bound every point's pixel.
    bool MayMapInChunks();
    // The pointer's boxes relative to its point, painted in order; false unless the canvas
    // hands them out alike wherever the point lies.
    bool PointerTemplate(TChartCanvas3D& canvas);
    // The boxes the shape paints about its point, in painting order, and their bounds.
    struct TPointerBox {
        TRect Box;
        bool Pen;
    };
    bool CaptureShape(TChartCanvas3D& canvas, std::vector<TPointerBox>& boxes, TRect& bounds) const;
    // The shape's pixels as runs of one column, each with its last painter.
    void ShapeRuns(const std::vector<TPointerBox>& boxes, const TRect& bounds);
    void ComposePoints(TChartCanvas3D& canvas, TComposeSink& sink, TComposedEnd& end);
    // Point k of the visible ones, asked from the last point back; mapped a chunk at a time
    // where chunks are taken.
    [[gnu::always_inline]] inline TPoint PixelAt(size_t k);
    void MapChunk(size_t k);
    void PointerLayers(TColor c);
    [[gnu::always_inline]] inline void ComposePointer(TPoint at, TColor c);
    [[gnu::always_inline]] inline void ComposeSegment(TChartCanvas3D& canvas, TComposeSink& sink, int x0, int y0, int x1, int y1,
                                               TColor c);

    const TCustomSeries& series_;
    TValueRanges yRanges_;
    std::vector<int> pixelX_, pixelY_;  // the visible points' pixels, or a chunk of them
    std::vector<char> covered_;         // of CoveredPointers

    // The pointer as runs of one column, relative to its point, and each column's extent.
    struct TPointerRun {
        int Dx, Top, Bottom;
        bool Pen;
    };
    std::vector<TPointerRun> pointerRuns_, pointerColumns_;
    // The pointer's columns as rows from pointerTop_ (relative to its point), when it spans
    // at most 64 of them.
    std::vector<TPixelComposer::TShapeColumn> pointerBits_;
    int pointerTop_ = 0, pointerHeight_ = 0;
    TPixelComposer composer_;

    // Of one composition of pointers: the visible points, the chunk mapped, the line's settings
    // and the layers last used.
    int first_ = 0;
    size_t count_ = 0, chunk_ = 0;
    bool lines_ = false, thin_ = false, segment_ = false;
    TColor layersColor_ = clNone, lineColor_ = clNone;
    TPixelComposer::TShapeTarget target_{};
    TPixelComposer::TRunTarget lineTarget_{};
};

}  // namespace zyn::chart
