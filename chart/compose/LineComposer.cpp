#include "chart/compose/LineComposer.h"

#include <algorithm>
#include <climits>

#include "chart/Axis.h"
#include "chart/Chart.h"
#include "chart/compose/FrameContext.h"
#include "chart/compose/RunMerger.h"

namespace zyn::chart {

namespace {
// Boxes handed out by the canvas, kept in painting order.
struct TBoxList final : TChartCanvas3D::TPixelSink {
    struct TEntry {
        TRect Box;
        bool Pen;
    };
    std::vector<TEntry> Boxes;
    void Box(const TRect& box, bool pen) override { Boxes.push_back({box, pen}); }
};
// Boxes handed out by the canvas, marked in bits.
struct TMarkSink final : TChartCanvas3D::TPixelSink {
    explicit TMarkSink(TColumnCoverage& bits) : Bits(bits) {}
    TColumnCoverage& Bits;
    void Box(const TRect& box, bool) override { Bits.MarkBox(box); }
};
}  // namespace

// Boxes handed out by the canvas, composed as they come in one layer.
struct TComposeSink final : TChartCanvas3D::TPixelSink {
    explicit TComposeSink(TPixelComposer& composer) : Composer(composer) {}
    TPixelComposer& Composer;
    int Layer = 0;
    void Box(const TRect& box, bool) override { Composer.PaintBox(box, Layer); }
};

bool TLineComposer::Compose(TFrameContext& frame, TComposedEnd& end) {
    return DrawMergedLine(frame, end) || DrawComposedPointers(frame, end);
}

// ---- the merged line ----

bool TLineComposer::DrawMergedLine(TFrameContext& frame, TComposedEnd& end) {
    TColor color = clNone;
    TChartCanvas3D::TPenBoxes penBoxes;
    if (!MergedLineAccepts(frame, color, penBoxes)) return false;
    end = TComposedEnd{series_.LastVisibleIndex, 0, 0, color};
    if (!DenseColumns(frame)) return DrawSparseLine(frame, color, end);
    if (!series_.PointColorsAre(series_.FirstVisibleIndex, series_.LastVisibleIndex, color)) return false;
    DrawDenseLine(frame, color, penBoxes, end);
    return true;
}

bool TLineComposer::MergedLineAccepts(TFrameContext& frame, TColor& color, TChartCanvas3D::TPenBoxes& penBoxes) {
    const TCustomSeries& s = series_;
    if (!s.DrawsLines() || s.Pointer.Visible() || !frame.Dense(s)) return false;
    const TChartPen& pen = s.LinePen;
    if (!pen.Visible || pen.Style != TPenStyle::psSolid || pen.Mode != TPenMode::pmCopy || (pen.Width <= 1 && pen.SmallDots))
        return false;
    color = s.PointColor(s.FirstVisibleIndex);
    if (color == clNone || s.LastVisibleIndex < s.FirstVisibleIndex) return false;
    // Runs are joined only where every pixel paints alike whichever line paints it, and wide
    // ones only on a canvas that paints a wide row or column as one box. Asked of the pen a
    // segment sets, which the canvas keeps only once a segment is drawn.
    TChartCanvas3D& canvas = frame.Canvas();
    const TCanvasPen found = canvas.Pen;
    canvas.AssignChartPen(pen);
    canvas.Pen.Color = color;
    const bool boxes = canvas.PenBoxes(penBoxes);
    canvas.Pen = found;
    return boxes && (pen.Width <= 1 || penBoxes.Lines);
}

bool TLineComposer::DenseColumns(const TFrameContext& frame) {
    // Where many points share each pixel column, the points are not mapped one by one: the
    // x values ascend, so a column's points follow each other, and the mapping keeps the order
    // of values, so the least and greatest value among them give the column's extent.
    const TCustomSeries& s = series_;
    const int first = s.FirstVisibleIndex, last = s.LastVisibleIndex;
    const TCustomChartAxis& vert = *s.GetVertAxis();
    double low = 0, high = 0;
    return last - first + 1 >= 2 * std::max(1, frame.Chart().PlotRect.Width()) && s.XValues().KnownAscending() &&
           yRanges_.Of(s.YValues()) && yRanges_.RangeMinMax(first, last, low, high) &&
           !TCustomSeries::OutOfPixelRange(s.XPixel(first), vert.ValueToPixel(low)) &&
           !TCustomSeries::OutOfPixelRange(s.XPixel(last), vert.ValueToPixel(high));
}

bool TLineComposer::DrawSparseLine(TFrameContext& frame, TColor color, TComposedEnd& end) {
    const TCustomSeries& s = series_;
    const int first = s.FirstVisibleIndex, last = s.LastVisibleIndex;
    const auto n = static_cast<size_t>(last - first + 1);
    pixelX_.resize(n);
    pixelY_.resize(n);
    s.MapPixels(first, last, pixelX_.data(), pixelY_.data());
    // Every point must be drawn, in the one colour: a skipped or uncoloured point breaks the line.
    for (int i = first; i <= last; ++i) {
        const auto k = static_cast<size_t>(i - first);
        if (TCustomSeries::OutOfPixelRange(pixelX_[k], pixelY_[k]) || s.PointColor(i) != color) return false;
    }
    frame.FlushInk();
    TRunMerger merger(frame.Canvas(), s.LinePen, color);
    Enter(merger, pixelX_[0], pixelY_[0]);
    for (size_t k = 1; k < n; ++k) Segment(merger, pixelX_[k - 1], pixelY_[k - 1], pixelX_[k], pixelY_[k]);
    merger.Flush();
    end.X = pixelX_[n - 1];
    end.Y = pixelY_[n - 1];
    end.Segment = merger.Drawn();
    return true;
}

void TLineComposer::DrawDenseLine(TFrameContext& frame, TColor color, const TChartCanvas3D::TPenBoxes& penBoxes,
                                  TComposedEnd& end) {
    // The pixels are gathered as bits of the clipped plot and left to the frame, which paints
    // them after the series that follow, each pixel once; the union of one colour's pixels is
    // the picture. What the canvas cannot hand out is painted as it comes.
    const TCustomAxisPanel& chart = frame.Chart();
    TChartCanvas3D& canvas = frame.Canvas();
    bool gathered = false;
    if (chart.ClipPoints && frame.Capabilities().ColumnBits) {
        TColumnCoverage& bits = frame.DeferInk(chart.PlotClipRect(), color);
        TMarkSink sink(bits);
        if (canvas.BeginCapture(sink)) {
            TRunMerger merger(canvas, series_.LinePen, color);
            merger.IntoBits(bits, penBoxes);
            DrawColumns(frame, merger, end);
            gathered = canvas.EndCapture();
        }
        if (!gathered) frame.DropDeferredInk();
    }
    if (!gathered) {
        frame.FlushInk();
        TRunMerger merger(canvas, series_.LinePen, color);
        DrawColumns(frame, merger, end);
    }
}

void TLineComposer::DrawColumns(TFrameContext& frame, TRunMerger& merger, TComposedEnd& end) {
    const TCustomSeries& s = series_;
    const int first = s.FirstVisibleIndex, last = s.LastVisibleIndex;
    const TCustomChartAxis::TPixelMap yMap = s.GetVertAxis()->PixelMap();
    const TChartValueList& ys = s.YValues();
    // The columns of the points, mapped in bulk (cheaper than searching for each column's
    // end with single mappings) and shared with the other series of these x values, and where
    // they change, found once for all of them.
    const int* columns = frame.MappedValues(s.XValues(), *s.GetHorizAxis(), first, last);
    const std::vector<int>& runs = frame.MappedRuns(s.XValues(), *s.GetHorizAxis(), first, last);
    const int firstY = s.YPixel(first);
    Enter(merger, columns[0], firstY);
    int prevX = columns[0], prevY = firstY;
    constexpr size_t kAhead = 32;  // columns
    for (size_t run = 0; run + 1 < runs.size(); ++run) {
        if (run + kAhead < runs.size()) yRanges_.Prefetch(first + runs[run + kAhead] - 1);
        // The points i .. j of one column.
        const int i = first + runs[run], j = first + runs[run + 1] - 1;
        const int x = columns[i - first];
        const int y = i == first ? firstY : yMap(ys.Value(i));
        Segment(merger, prevX, prevY, x, y);
        prevX = x;
        prevY = y;
        int top = 0, bottom = 0;
        if (j > i && ColumnRows(i, j, top, bottom, prevY)) merger.Column(x, top, bottom);
    }
    merger.Flush();
    end.X = prevX;
    end.Y = prevY;
    end.Segment = merger.Drawn();
}

bool TLineComposer::ColumnRows(int i, int j, int& top, int& bottom, int& endRow) const {
    // The lines between the column's points run along it and join up: from its least to its
    // greatest row. A one-pixel line leaves out its end, so a row reached only by the column's
    // last points stays out. The range without the last point serves the end's test too.
    const TChartValueList& ys = series_.YValues();
    const TCustomChartAxis::TPixelMap yMap = series_.GetVertAxis()->PixelMap();
    auto rowsOf = [&](double lo, double hi, int& a, int& b) {
        a = yMap(lo);
        b = yMap(hi);
        if (a > b) std::swap(a, b);
    };
    double lo = 0, hi = 0;
    yRanges_.RangeMinMax(i, j - 1, lo, hi);
    const double last = ys.Value(j);
    rowsOf(std::min(lo, last), std::max(hi, last), top, bottom);
    endRow = yMap(last);
    if (top == bottom) return false;
    if (series_.LinePen.Width <= 1 && (endRow == top || endRow == bottom)) {
        int t = j;
        // An equal value lies on the same row: mapped only where it differs.
        while (t > i && (ys.Value(t - 1) == ys.Value(t) || yMap(ys.Value(t - 1)) == endRow)) --t;
        int before = 0, after = 0;
        if (t == j) {
            rowsOf(lo, hi, before, after);
        } else {
            double a = 0, b = 0;
            yRanges_.RangeMinMax(i, t - 1, a, b);
            rowsOf(a, b, before, after);
        }
        if (endRow == top && before != top) ++top;
        if (endRow == bottom && after != bottom) --bottom;
    }
    return true;
}

void TLineComposer::Segment(TRunMerger& merger, int x0, int y0, int x1, int y1) const {
    if (x0 == x1 && y0 == y1) return;
    const TCustomSeries::TSegmentPath path = series_.SegmentPath(x0, y0, x1, y1);
    for (int k = 1; k < path.Count; ++k) merger.Line(path.P[k - 1].X, path.P[k - 1].Y, path.P[k].X, path.P[k].Y);
}

void TLineComposer::Enter(TRunMerger& merger, int x, int y) const {
    TPoint at;
    if (series_.EntryPoint(series_.FirstVisibleIndex, at)) Segment(merger, at.X, at.Y, x, y);
}

// ---- the composed pointers ----

bool TLineComposer::PointersOpaque(const TFrameContext& frame) const {
    const TCustomSeries& s = series_;
    if (!s.DrawsLines() || !s.Pointer.Visible() || s.OnGetPointerStyle || !frame.Dense(s) ||
        s.XValues().Order != TChartListOrder::loAscending)
        return false;
    // The shape must paint the same pixels whatever the point, each in an opaque colour.
    const TChartPen& pen = s.Pointer.Pen;
    if (pen.Visible && (pen.Style != TPenStyle::psSolid || pen.Mode != TPenMode::pmCopy || pen.SmallDots ||
                        pen.Color == clAutoColor || pen.Color == clNone))
        return false;
    // Without an outline the fill is painted in the mode of the pen the canvas holds: the line
    // pen's, or before the first segment the one the series found; an inverting one inverts it.
    if (!pen.Visible && ((s.DrawsLines() && s.LinePen.Visible && s.LinePen.Mode != TPenMode::pmCopy) ||
                         frame.Canvas().Pen.Mode != TPenMode::pmCopy))
        return false;
    return s.Pointer.Brush.Style == TBrushStyle::bsSolid && s.Pointer.Brush.Color != clNone;
}

bool TLineComposer::MapPointedPoints(TFrameContext& frame) {
    if (!PointersOpaque(frame)) return false;
    const TCustomSeries& s = series_;
    const int first = s.FirstVisibleIndex, last = s.LastVisibleIndex;
    if (last < first) return false;
    // Every visible point must be drawn and coloured, so that each one paints its pointer.
    const auto n = static_cast<size_t>(last - first + 1);
    pixelX_.resize(n);
    pixelY_.resize(n);
    s.MapPixels(first, last, pixelX_.data(), pixelY_.data());
    // Points of one colour are asked for it once.
    const TColor one = s.PointColor(first);
    const bool oneColor = s.PointColorsAre(first, last, one);
    if (oneColor && (one == clNone || one == clAutoColor)) return false;
    for (int i = first; i <= last; ++i) {
        const TColor c = oneColor ? one : s.PointColor(i);
        const auto k = static_cast<size_t>(i - first);
        if (TCustomSeries::OutOfPixelRange(pixelX_[k], pixelY_[k]) || c == clNone || c == clAutoColor) return false;
    }
    return true;
}

const std::vector<char>* TLineComposer::CoveredPointers(TFrameContext& frame) {
    if (!MapPointedPoints(frame)) return nullptr;
    const auto n = static_cast<size_t>(series_.LastVisibleIndex - series_.FirstVisibleIndex + 1);
    // Ascending x values keep the points of one pixel column together; within a column, a
    // pointer is left out when a later one lies on the same pixel.
    covered_.assign(n, 0);
    std::vector<int> rows;
    for (size_t end = n; end > 0;) {
        size_t start = end - 1;
        while (start > 0 && pixelX_[start - 1] == pixelX_[end - 1]) --start;
        rows.clear();
        for (size_t k = end; k-- > start;) {
            if (std::find(rows.begin(), rows.end(), pixelY_[k]) != rows.end())
                covered_[k] = 1;
            else
                rows.push_back(pixelY_[k]);
        }
        end = start;
    }
    return &covered_;
}

bool TLineComposer::MayMapInChunks() {
    const TCustomSeries& s = series_;
    const int first = s.FirstVisibleIndex, last = s.LastVisibleIndex;
    const TColor one = last >= first ? s.PointColor(first) : clNone;
    const TCustomChartAxis& vert = *s.GetVertAxis();
    double low = 0, high = 0;
    return one != clNone && one != clAutoColor && s.PointColorsAre(first, last, one) && s.XValues().KnownAscending() &&
           yRanges_.Of(s.YValues()) && yRanges_.RangeMinMax(first, last, low, high) &&
           !TCustomSeries::OutOfPixelRange(s.XPixel(first), vert.ValueToPixel(low)) &&
           !TCustomSeries::OutOfPixelRange(s.XPixel(last), vert.ValueToPixel(high));
}

bool TLineComposer::DrawComposedPointers(TFrameContext& frame, TComposedEnd& end) {
    // What is composed is known within the clipped plot only; unclipped points paint beyond it.
    const TCustomSeries& s = series_;
    if (!frame.Chart().ClipPoints) return false;
    first_ = s.FirstVisibleIndex;
    count_ = static_cast<size_t>(std::max(0, s.LastVisibleIndex - first_ + 1));
    // Where one colour is every point's and the least and greatest values bound every point's
    // pixel, the points are mapped a chunk at a time as they are composed, so that their pixels
    // are read back while still in the cache; otherwise all at once, each one checked.
    if (PointersOpaque(frame) && MayMapInChunks()) {
        chunk_ = count_;
    } else {
        if (!MapPointedPoints(frame)) return false;
        chunk_ = 0;
    }
    composer_.Reset(frame.Chart().PlotClipRect());
    TChartCanvas3D& canvas = frame.Canvas();
    if (!PointerTemplate(canvas)) return false;
    const TChartPen& line = s.LinePen;
    // Segments are composed in copy mode only: an inverting pen's pixels depend on what lies
    // under them.
    lines_ = s.DrawsLines() && line.Visible;
    if (lines_ && line.Mode != TPenMode::pmCopy) return false;
    // Solid one-pixel lines along a column paint from their start up to their end pixel, as
    // every canvas does; other segments are handed out by the canvas.
    thin_ = line.Style == TPenStyle::psSolid && line.Width <= 1 && !line.SmallDots;
    TComposeSink sink(composer_);
    if (!canvas.BeginCapture(sink)) return false;
    ComposePoints(canvas, sink, end);
    if (!canvas.EndCapture()) return false;
    frame.DeferComposed(composer_);
    return true;
}

TPoint TLineComposer::PixelAt(size_t k) {
    if (k < chunk_) MapChunk(k);
    return TPoint{pixelX_[k - chunk_], pixelY_[k - chunk_]};
}

void TLineComposer::MapChunk(size_t k) {
    constexpr size_t kChunk = 1024;
    chunk_ = k / kChunk * kChunk;
    const size_t to = std::min(count_, chunk_ + kChunk);
    pixelX_.resize(to - chunk_);
    pixelY_.resize(to - chunk_);
    series_.MapPixels(first_ + static_cast<int>(chunk_), first_ + static_cast<int>(to) - 1, pixelX_.data(), pixelY_.data());
}

void TLineComposer::ComposePoints(TChartCanvas3D& canvas, TComposeSink& sink, TComposedEnd& end) {
    // The order of painting, reversed: each segment goes under the pointer at its start, the
    // last point's pointer goes on top of all.
    const TCustomSeries& s = series_;
    const int last = first_ + static_cast<int>(count_) - 1;
    layersColor_ = lineColor_ = clNone;
    segment_ = false;
    TColor c = s.PointColor(last);
    const TColor lastColor = c;
    const bool oneColor = s.PointColorsAre(first_, last, c);
    const TPoint lastPoint = PixelAt(count_ - 1);
    TPoint next = lastPoint;
    ComposePointer(next, c);
    for (size_t k = count_ - 1; k > 0; --k) {
        const TColor before = oneColor ? c : s.PointColor(first_ + static_cast<int>(k) - 1);
        const TPoint at = PixelAt(k - 1);
        ComposePointer(at, before);
        ComposeSegment(canvas, sink, at.X, at.Y, next.X, next.Y, c);
        next = at;
        c = before;
    }
    TPoint entry;
    if (s.EntryPoint(first_, entry)) ComposeSegment(canvas, sink, entry.X, entry.Y, next.X, next.Y, c);
    end = TComposedEnd{last, lastPoint.X, lastPoint.Y, lastColor, segment_};
}

void TLineComposer::PointerLayers(TColor c) {
    // The layers of the pointer's pen and brush, kept while the point colour stays.
    layersColor_ = c;
    const TColor brush = series_.Pointer.Brush.Color;
    target_ = composer_.ShapeTarget({composer_.Layer(series_.Pointer.Pen.Color), composer_.Layer(brush == clAutoColor ? c : brush)});
}

void TLineComposer::ComposePointer(TPoint at, TColor c) {
    const int x = at.X, y = at.Y;
    if (!pointerBits_.empty()) {
        // The whole shape at once, as bits of rows; where it is painted over already,
        // nothing changes.
        if (c != layersColor_) PointerLayers(c);
        composer_.PaintShape(target_, x, y + pointerTop_, pointerHeight_, pointerBits_);
        return;
    }
    bool hidden = true;
    for (const TPointerRun& column : pointerColumns_)
        if (!composer_.Covered(x + column.Dx, y + column.Top, y + column.Bottom)) {
            hidden = false;
            break;
        }
    if (hidden) return;
    if (c != layersColor_) PointerLayers(c);
    const auto [penLayer, brushLayer] = target_.Layers;
    for (const TPointerRun& run : pointerRuns_)
        composer_.Paint(x + run.Dx, y + run.Top, y + run.Bottom, run.Pen ? penLayer : brushLayer);
}

void TLineComposer::ComposeSegment(TChartCanvas3D& canvas, TComposeSink& sink, int x0, int y0, int x1, int y1, TColor c) {
    if (!lines_ || (x0 == x1 && y0 == y1)) return;
    segment_ = true;
    if (thin_ && x0 == x1 && !series_.Stairs()) {
        if (c != lineColor_) {
            lineColor_ = c;
            lineTarget_ = composer_.RunTarget(composer_.Layer(c));
        }
        if (y1 > y0)
            composer_.Paint(lineTarget_, x0, y0, y1 - 1);
        else
            composer_.Paint(lineTarget_, x0, y1 + 1, y0);
        return;
    }
    sink.Layer = composer_.Layer(c);
    canvas.AssignChartPen(series_.LinePen);
    canvas.Brush.Style = TBrushStyle::bsClear;
    canvas.Pen.Color = c;
    const TCustomSeries::TSegmentPath path = series_.SegmentPath(x0, y0, x1, y1);
    canvas.MoveTo(path.P[0].X, path.P[0].Y);
    for (int k = 1; k < path.Count; ++k) canvas.LineTo(path.P[k].X, path.P[k].Y);
}

bool TLineComposer::PointerTemplate(TChartCanvas3D& canvas) {
    pointerRuns_.clear();
    pointerColumns_.clear();
    pointerBits_.clear();
    const TSeriesPointerStyle style = series_.Pointer.Style();
    // Line shapes take the point's colour for their pen, so only filled shapes are composed.
    if (style == TSeriesPointerStyle::psCross || style == TSeriesPointerStyle::psDiagCross ||
        style == TSeriesPointerStyle::psStar || style == TSeriesPointerStyle::psSmallDot)
        return false;
    std::vector<TPointerBox> boxes;
    TRect bounds;
    if (!CaptureShape(canvas, boxes, bounds)) return false;
    ShapeRuns(boxes, bounds);
    // As bits of rows from the shape's top, where it spans at most 64 rows.
    pointerTop_ = bounds.Top;
    pointerHeight_ = bounds.Height();
    if (bounds.Height() <= 64)
        for (const TPointerRun& column : pointerColumns_) {
            TPixelComposer::TShapeColumn bits{column.Dx, 0, 0};
            for (const TPointerRun& run : pointerRuns_)
                if (run.Dx == column.Dx) {
                    const TColumnCoverage::TWord rows = (~TColumnCoverage::TWord(0) >> (63 - (run.Bottom - run.Top)))
                                                        << (run.Top - bounds.Top);
                    (run.Pen ? bits.Pen : bits.Brush) |= rows;
                }
            pointerBits_.push_back(bits);
        }
    return true;
}

bool TLineComposer::CaptureShape(TChartCanvas3D& canvas, std::vector<TPointerBox>& boxes, TRect& bounds) const {
    const TSeriesPointer& pointer = series_.Pointer;
    const TRect& region = composer_.Region();
    // Drawn twice away from the plot's edges: both must give the same boxes about the point.
    const int reach = pointer.HorizSize() + pointer.VertSize() + std::max<int>(1, pointer.Pen.Width) + 4;
    if (region.Width() < 4 * reach || region.Height() < 4 * reach) return false;
    const TPoint at[2] = {{region.Left + 2 * reach, region.Top + 2 * reach},
                          {region.Left + 3 * reach - 1, region.Top + 3 * reach - 2}};
    TBoxList shapes[2];
    for (int k = 0; k < 2; ++k) {
        if (!canvas.BeginCapture(shapes[k])) return false;
        pointer.ApplyToCanvas(canvas, clBlack);
        pointer.DrawShape(canvas, at[k].X, at[k].Y, clBlack, pointer.Style());
        if (!canvas.EndCapture()) return false;
    }
    if (shapes[0].Boxes.size() != shapes[1].Boxes.size() || shapes[0].Boxes.empty()) return false;
    bounds = TRect{INT_MAX, INT_MAX, INT_MIN, INT_MIN};
    const int dx = at[1].X - at[0].X, dy = at[1].Y - at[0].Y;
    for (size_t i = 0; i < shapes[0].Boxes.size(); ++i) {
        const TRect a = shapes[0].Boxes[i].Box, b = shapes[1].Boxes[i].Box;
        if (shapes[0].Boxes[i].Pen != shapes[1].Boxes[i].Pen || TRect{a.Left + dx, a.Top + dy, a.Right + dx, a.Bottom + dy} != b)
            return false;
        const TRect box{a.Left - at[0].X, a.Top - at[0].Y, a.Right - at[0].X, a.Bottom - at[0].Y};
        boxes.push_back({box, shapes[0].Boxes[i].Pen});
        bounds = TRect{std::min(bounds.Left, box.Left), std::min(bounds.Top, box.Top), std::max(bounds.Right, box.Right),
                       std::max(bounds.Bottom, box.Bottom)};
    }
    return true;
}

void TLineComposer::ShapeRuns(const std::vector<TPointerBox>& boxes, const TRect& bounds) {
    // Later boxes paint over earlier ones: the shape's pixels, each with its last painter.
    const int w = bounds.Width(), h = bounds.Height();
    std::vector<char> owner(static_cast<size_t>(w) * static_cast<size_t>(h), 0);
    for (const auto& [box, pen] : boxes)
        for (int x = box.Left; x < box.Right; ++x)
            for (int y = box.Top; y < box.Bottom; ++y)
                owner[static_cast<size_t>(x - bounds.Left) * static_cast<size_t>(h) + static_cast<size_t>(y - bounds.Top)] =
                    pen ? 1 : 2;
    for (int x = 0; x < w; ++x) {
        const char* column = &owner[static_cast<size_t>(x) * static_cast<size_t>(h)];
        int top = h, bottom = -1;
        for (int y = 0; y < h;) {
            if (!column[y]) {
                ++y;
                continue;
            }
            int stop = y;
            while (stop + 1 < h && column[stop + 1] == column[y]) ++stop;
            pointerRuns_.push_back({x + bounds.Left, y + bounds.Top, stop + bounds.Top, column[y] == 1});
            top = std::min(top, y);
            bottom = stop;
            y = stop + 1;
        }
        if (bottom >= 0) pointerColumns_.push_back({x + bounds.Left, top + bounds.Top, bottom + bounds.Top, false});
    }
}

}  // namespace zyn::chart
