#include "chart/LineSeries.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>

#include "chart/Axis.h"
#include "chart/Chart.h"

namespace zyn::chart {

namespace {
// Beyond this a pixel position is not handed to the canvas (far zoom).
constexpr int kPixelLimit = 32766;
// How far from a drawn line a mouse position still counts as on it.
constexpr int kLineHitTolerance = 3;

bool OutOfPixelRange(int x, int y) {
    return x < -kPixelLimit || x > kPixelLimit || y < -kPixelLimit || y > kPixelLimit;
}

// Distance from (px, py) to the segment (x0, y0)-(x1, y1).
double SegmentDistance(int px, int py, int x0, int y0, int x1, int y1) {
    const double dx = double(x1) - x0, dy = double(y1) - y0;
    const double len2 = dx * dx + dy * dy;
    double t = 0;
    if (len2 > 0) t = std::clamp(((double(px) - x0) * dx + (double(py) - y0) * dy) / len2, 0.0, 1.0);
    const double ex = x0 + t * dx - px, ey = y0 + t * dy - py;
    return std::sqrt(ex * ex + ey * ey);
}

// The lines of a series drawn with one solid opaque pen in one colour: the picture is the
// union of their pixels whatever the order, so runs along one row or column that overlap or
// adjoin are drawn as one line. A one-pixel line leaves out its last pixel; a wider one covers
// both ends and spreads about its centre line alike along the whole row or column, so its
// runs join where their boxes meet. The pen is set up before the first line, as drawing a
// segment does.
class TRunMerger {
public:
    TRunMerger(TChartCanvas3D& canvas, const TChartPen& pen, TColor color)
        : canvas_(canvas), pen_(pen), color_(color), width_(std::max<int>(1, pen.Width)) {}

    void Line(int x0, int y0, int x1, int y1) {
        if (x0 == x1 && y0 == y1) return;
        drawn_ = true;
        constexpr int kFar = 1 << 30;  // no run arithmetic near the ends of int
        const bool near = std::abs(x0) < kFar && std::abs(y0) < kFar && std::abs(x1) < kFar && std::abs(y1) < kFar;
        if (near && x0 == x1)
            Add(true, x0, y0, y1);
        else if (near && y0 == y1)
            Add(false, y0, x0, x1);
        else
            Draw(x0, y0, x1, y1);
    }

    // The centre-line pixels lo .. hi (inclusive) of column x, which the lines along it paint.
    void Column(int x, int lo, int hi) {
        drawn_ = true;
        Join(true, x, lo, hi);
    }
    // Whether a line of some length was given, which sets the canvas's pen.
    bool Drawn() const { return drawn_; }

    // Runs along a row or column are marked in bits as the boxes the canvas would paint for
    // them (see PenBoxes), which spares a canvas call per run while a capture is on.
    void IntoBits(TColumnCoverage& bits, const TChartCanvas3D::TPenBoxes& boxes) {
        bits_ = &bits;
        before_ = width_ > 1 ? boxes.Before : 0;
        after_ = width_ > 1 ? boxes.After : 0;
    }

    void Flush() {
        if (!pending_) return;
        pending_ = false;
        if (bits_) {
            const int left = vertical_ ? at_ : lo_, right = vertical_ ? at_ : hi_;
            const int top = vertical_ ? lo_ : at_, bottom = vertical_ ? hi_ : at_;
            bits_->MarkBox(TRect{left - before_, top - before_, right + after_ + 1, bottom + after_ + 1});
            return;
        }
        // A one-pixel run ends one pixel beyond its last pixel; a wide one at it.
        const int end = width_ == 1 ? hi_ + 1 : hi_;
        if (vertical_)
            Draw(at_, lo_, at_, end);
        else
            Draw(lo_, at_, end, at_);
    }

private:
    // The line from a to b along column or row at, as the pixels lo .. hi (inclusive) of its
    // centre line; runs whose pixels lie within the pen width of each other paint one box.
    void Add(bool vertical, int at, int a, int b) {
        int lo = std::min(a, b), hi = std::max(a, b);
        if (width_ == 1) {
            if (a < b) hi = b - 1; else lo = b + 1;
        }
        Join(vertical, at, lo, hi);
    }

    void Join(bool vertical, int at, int lo, int hi) {
        if (pending_ && vertical == vertical_ && at == at_ && lo <= hi_ + width_ && hi >= lo_ - width_) {
            lo_ = std::min(lo_, lo);
            hi_ = std::max(hi_, hi);
            return;
        }
        Flush();
        pending_ = true;
        vertical_ = vertical;
        at_ = at;
        lo_ = lo;
        hi_ = hi;
    }

    void Draw(int x0, int y0, int x1, int y1) {
        if (!ready_) {
            canvas_.AssignChartPen(pen_);
            canvas_.Brush.Style = TBrushStyle::bsClear;
            canvas_.Pen.Color = color_;
            ready_ = true;
        }
        canvas_.Line(x0, y0, x1, y1);
    }

    TChartCanvas3D& canvas_;
    const TChartPen& pen_;
    TColor color_;
    int width_;
    bool ready_ = false, drawn_ = false;
    bool pending_ = false, vertical_ = false;
    int at_ = 0, lo_ = 0, hi_ = 0;
    TColumnCoverage* bits_ = nullptr;
    int before_ = 0, after_ = 0;
};
}  // namespace

// ---- TSeriesPointer ----

TSeriesPointer::TSeriesPointer(TCustomSeries* owner)
    : Pen(owner), Brush(owner), Draw3D(owner, true), Dark3D(owner, true), owner_(owner) {}

void TSeriesPointer::Changed() {
    if (owner_) owner_->RequestRepaint();
}

void TSeriesPointer::SetVisible(bool value) {
    if (AssignIfChanged(visible_, value)) Changed();
}

void TSeriesPointer::SetStyle(TSeriesPointerStyle value) {
    if (AssignIfChanged(style_, value)) Changed();
}

void TSeriesPointer::SetHorizSize(int value) {
    if (value < 1) throw ChartException("Pointer size must be greater than zero");
    if (AssignIfChanged(horizSize_, value)) Changed();
}

void TSeriesPointer::SetVertSize(int value) {
    if (value < 1) throw ChartException("Pointer size must be greater than zero");
    if (AssignIfChanged(vertSize_, value)) Changed();
}

void TSeriesPointer::SetInflateMargins(bool value) {
    if (AssignIfChanged(inflateMargins_, value)) Changed();
}

void TSeriesPointer::ApplyToCanvas(TChartCanvas3D& canvas, TColor color) const {
    canvas.AssignChartPen(Pen);
    if (Pen.Visible && Pen.Color == clAutoColor) canvas.Pen.Color = color;
    canvas.Brush.Style = Brush.Style;
    canvas.Brush.Color = Brush.Color == clAutoColor ? color : Brush.Color;
}

void TSeriesPointer::DrawShape(TChartCanvas3D& canvas, int x, int y, TColor color, TSeriesPointerStyle style) const {
    const int h = horizSize_, v = vertSize_;
    switch (style) {
        case TSeriesPointerStyle::psRectangle:
            canvas.Rectangle(x - h, y - v, x + h + 1, y + v + 1);
            break;
        case TSeriesPointerStyle::psCircle:
            canvas.Ellipse(x - h, y - v, x + h, y + v);
            break;
        case TSeriesPointerStyle::psTriangle: {
            const TPoint p[] = {{x - h, y + v}, {x + h, y + v}, {x, y - v}};
            canvas.Polygon(p);
            break;
        }
        case TSeriesPointerStyle::psDownTriangle: {
            const TPoint p[] = {{x - h, y - v}, {x + h, y - v}, {x, y + v}};
            canvas.Polygon(p);
            break;
        }
        case TSeriesPointerStyle::psDiamond: {
            const TPoint p[] = {{x, y - v}, {x + h, y}, {x, y + v}, {x - h, y}};
            canvas.Polygon(p);
            break;
        }
        case TSeriesPointerStyle::psCross:
        case TSeriesPointerStyle::psDiagCross:
        case TSeriesPointerStyle::psStar:
            // Line shapes have no area to fill: they are stroked in the point colour.
            canvas.Pen.Color = color;
            if (style != TSeriesPointerStyle::psDiagCross) {
                canvas.Line(x - h, y, x + h + 1, y);
                canvas.Line(x, y - v, x, y + v + 1);
            }
            if (style != TSeriesPointerStyle::psCross) {
                canvas.Line(x - h, y - v, x + h + 1, y + v + 1);
                canvas.Line(x - h, y + v, x + h + 1, y - v - 1);
            }
            break;
        case TSeriesPointerStyle::psSmallDot:
            canvas.Pen.Color = color;
            canvas.Line(x, y, x + 1, y);
            break;
    }
}

// ---- TCustomSeries ----

TCustomSeries::TCustomSeries() { DrawBetweenPoints = true; }

void TCustomSeries::SetStairs(bool value) {
    if (AssignIfChanged(stairs_, value)) RequestRepaint();
}

void TCustomSeries::SetInvertedStairs(bool value) {
    if (AssignIfChanged(invertedStairs_, value)) RequestRepaint();
}

void TCustomSeries::SetLineHeight(int value) {
    if (AssignIfChanged(lineHeight_, value)) RequestRepaint();
}

int TCustomSeries::EntryRow(int index, int edgeX) const {
    const double xw = GetHorizAxis()->PixelToValue(edgeX);
    const double x0 = XValues().Value(index - 1), y0 = YValues().Value(index - 1);
    const double x1 = XValues().Value(index), y1 = YValues().Value(index);
    if (x1 - x0 == 0) return YPixel(index - 1);
    return GetVertAxis()->ValueToPixel(y0 + (y1 - y0) * (xw - x0) / (x1 - x0));
}

void TCustomSeries::DrawPoint(int index) {
    // A paint starts at its first visible point; until a point of this paint has been drawn,
    // the state of an earlier paint must not be joined to.
    if (index == FirstVisibleIndex) drawnInPaint_ = false;
    const int x = XPixel(index), y = YPixel(index);
    if (OutOfPixelRange(x, y)) return;
    const TColor c = PointColor(index);
    if (!drawnInPaint_ && index != FirstVisibleIndex) PrevColor = clNone;
    if (PrevColor == clNone) {
        PrevX = x;
        PrevY = y;
    }
    const bool isLast = index == LastVisibleIndex;
    if (index == FirstVisibleIndex) {
        if (index > 0) {
            // Earlier points lie beyond the plot edge: the line enters there.
            const TRect& plot = ParentChart()->PlotRect;
            PrevX = ChartInverted(true) ? plot.Right : plot.Left;
            PrevY = stairs_ ? YPixel(index - 1) : EntryRow(index, PrevX);
            if (PointColor(index - 1) != clNone) DrawSegment(x, y, c, index, false, isLast);
        }
        if (isLast && Pointer.Visible() && c != clNone) PaintPointer(x, y, c, index);
    } else {
        DrawSegment(x, y, c, index, true, isLast);
    }
    PrevX = x;
    PrevY = y;
    PrevColor = c;
    drawnInPaint_ = true;
}

void TCustomSeries::DrawPoints() {
    mapped_ = false;
    // A declined composition leaves the pen and brush as it found them (see TCandleSeries).
    const TCanvasPen pen = Canvas().Pen;
    const TCanvasBrush brush = Canvas().Brush;
    if (DrawMergedLine() || DrawComposedPointers()) return;
    Canvas().Pen = pen;
    Canvas().Brush = brush;
    // Everything else paints straight onto the canvas, over what waits to be painted.
    ParentChart()->FlushInk();
    if (!MarkCoveredPointers()) coveredFirst_ = -1;
    mapped_ = false;
    TChartSeries::DrawPoints();
    coveredFirst_ = -1;
}

bool TCustomSeries::PointersOpaque() const {
    if (!drawLine_ || !Pointer.Visible() || OnGetPointerStyle || !DrawOnlyVisible() ||
        XValues().Order != TChartListOrder::loAscending)
        return false;
    // The shape must paint the same pixels whatever the point, each in an opaque colour.
    const TChartPen& pen = Pointer.Pen;
    if (pen.Visible && (pen.Style != TPenStyle::psSolid || pen.Mode != TPenMode::pmCopy || pen.SmallDots ||
                        pen.Color == clAutoColor || pen.Color == clNone))
        return false;
    // Without an outline the fill is painted in the mode of the pen the canvas holds: the line
    // pen's, or before the first segment the one the series found; an inverting one inverts it.
    if (!pen.Visible && ((drawLine_ && LinePen.Visible && LinePen.Mode != TPenMode::pmCopy) ||
                         Canvas().Pen.Mode != TPenMode::pmCopy))
        return false;
    return Pointer.Brush.Style == TBrushStyle::bsSolid && Pointer.Brush.Color != clNone;
}

bool TCustomSeries::MapPointedPoints() {
    if (!PointersOpaque()) return false;
    const int first = FirstVisibleIndex, last = LastVisibleIndex;
    if (last < first) return false;
    // Every visible point must be drawn and coloured, so that each one paints its pointer.
    const auto n = static_cast<size_t>(last - first + 1);
    pixelX_.resize(n);
    pixelY_.resize(n);
    MapPixels(first, last, pixelX_.data(), pixelY_.data());
    // Points of one colour are asked for it once.
    const TColor one = PointColor(first);
    const bool oneColor = PointColorsAre(first, last, one);
    if (oneColor && (one == clNone || one == clAutoColor)) return false;
    for (int i = first; i <= last; ++i) {
        const TColor c = oneColor ? one : PointColor(i);
        if (OutOfPixelRange(pixelX_[static_cast<size_t>(i - first)], pixelY_[static_cast<size_t>(i - first)]) ||
            c == clNone || c == clAutoColor)
            return false;
    }
    return true;
}

bool TCustomSeries::MarkCoveredPointers() {
    if (!mapped_ && !MapPointedPoints()) return false;
    const int first = FirstVisibleIndex, last = LastVisibleIndex;
    const auto n = static_cast<size_t>(last - first + 1);
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
    coveredFirst_ = first;
    return true;
}

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
// Boxes handed out by the canvas, composed as they come in one layer.
struct TComposeSink final : TChartCanvas3D::TPixelSink {
    explicit TComposeSink(TPixelComposer& composer) : Composer(composer) {}
    TPixelComposer& Composer;
    int Layer = 0;
    void Box(const TRect& box, bool) override { Composer.PaintBox(box, Layer); }
};
}  // namespace

bool TCustomSeries::PointerTemplate() {
    pointerRuns_.clear();
    pointerColumns_.clear();
    const TSeriesPointerStyle style = Pointer.Style();
    // Line shapes take the point's colour for their pen, so only filled shapes are composed.
    if (style == TSeriesPointerStyle::psCross || style == TSeriesPointerStyle::psDiagCross ||
        style == TSeriesPointerStyle::psStar || style == TSeriesPointerStyle::psSmallDot)
        return false;
    TChartCanvas3D& canvas = Canvas();
    const TRect& region = composer_.Region();
    // Drawn twice away from the plot's edges: both must give the same boxes about the point.
    const int reach = Pointer.HorizSize() + Pointer.VertSize() + std::max<int>(1, Pointer.Pen.Width) + 4;
    if (region.Width() < 4 * reach || region.Height() < 4 * reach) return false;
    const TPoint at[2] = {{region.Left + 2 * reach, region.Top + 2 * reach},
                          {region.Left + 3 * reach - 1, region.Top + 3 * reach - 2}};
    TBoxList shapes[2];
    for (int k = 0; k < 2; ++k) {
        if (!canvas.BeginCapture(shapes[k])) return false;
        Pointer.ApplyToCanvas(canvas, clBlack);
        Pointer.DrawShape(canvas, at[k].X, at[k].Y, clBlack, style);
        if (!canvas.EndCapture()) return false;
    }
    if (shapes[0].Boxes.size() != shapes[1].Boxes.size() || shapes[0].Boxes.empty()) return false;
    TRect bounds{INT32_MAX, INT32_MAX, INT32_MIN, INT32_MIN};
    for (size_t i = 0; i < shapes[0].Boxes.size(); ++i) {
        TRect a = shapes[0].Boxes[i].Box, b = shapes[1].Boxes[i].Box;
        const int dx = at[1].X - at[0].X, dy = at[1].Y - at[0].Y;
        if (shapes[0].Boxes[i].Pen != shapes[1].Boxes[i].Pen ||
            TRect{a.Left + dx, a.Top + dy, a.Right + dx, a.Bottom + dy} != b)
            return false;
        a = TRect{a.Left - at[0].X, a.Top - at[0].Y, a.Right - at[0].X, a.Bottom - at[0].Y};
        shapes[0].Boxes[i].Box = a;
        bounds = TRect{std::min(bounds.Left, a.Left), std::min(bounds.Top, a.Top), std::max(bounds.Right, a.Right),
                       std::max(bounds.Bottom, a.Bottom)};
    }
    // Later boxes paint over earlier ones: the shape's pixels, each with its last painter.
    const int w = bounds.Width(), h = bounds.Height();
    std::vector<char> owner(static_cast<size_t>(w) * static_cast<size_t>(h), 0);
    for (const auto& [box, pen] : shapes[0].Boxes)
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
            int end = y;
            while (end + 1 < h && column[end + 1] == column[y]) ++end;
            pointerRuns_.push_back({x + bounds.Left, y + bounds.Top, end + bounds.Top, column[y] == 1});
            top = std::min(top, y);
            bottom = end;
            y = end + 1;
        }
        if (bottom >= 0) pointerColumns_.push_back({x + bounds.Left, top + bounds.Top, bottom + bounds.Top, false});
    }
    // As bits of rows from the shape's top, where it spans at most 64 rows.
    pointerBits_.clear();
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

bool TCustomSeries::DrawComposedPointers() {
    // What is composed is known within the clipped plot only; unclipped points paint beyond it.
    if (!ParentChart()->ClipPoints) return false;
    const int first = FirstVisibleIndex, last = LastVisibleIndex;
    // Where one colour is every point's and the least and greatest values bound every point's
    // pixel, the points are mapped a chunk at a time as they are composed, so that their pixels
    // are read back while still in the cache; otherwise all at once, each one checked.
    const TColor one = last >= first ? PointColor(first) : clNone;
    double low = 0, high = 0;
    const TCustomChartAxis& vert = *GetVertAxis();
    const bool chunked = PointersOpaque() && one != clNone && one != clAutoColor && PointColorsAre(first, last, one) &&
                         XValues().KnownAscending() && YValues().RangeMinMax(first, last, low, high) &&
                         !OutOfPixelRange(XPixel(first), vert.ValueToPixel(low)) &&
                         !OutOfPixelRange(XPixel(last), vert.ValueToPixel(high));
    mapped_ = !chunked && MapPointedPoints();
    if (!chunked && !mapped_) return false;
    const auto n = static_cast<size_t>(last - first + 1);
    constexpr size_t kChunk = 1024;
    size_t chunk = 0;  // the point of pixelX_[0] and pixelY_[0]
    if (chunked) {
        chunk = n;
        pixelX_.resize(std::min(n, kChunk));
        pixelY_.resize(pixelX_.size());
    }
    // Asked from the last point back.
    auto pixelAt = [&](size_t k) {
        if (k < chunk) {
            chunk = k / kChunk * kChunk;
            MapPixels(first + static_cast<int>(chunk), first + static_cast<int>(std::min(n, chunk + kChunk)) - 1, pixelX_.data(),
                      pixelY_.data());
        }
        return TPoint{pixelX_[k - chunk], pixelY_[k - chunk]};
    };
    composer_.Reset(ParentChart()->PlotClipRect());
    if (!PointerTemplate()) return false;

    TChartCanvas3D& canvas = Canvas();
    const TChartPen& line = LinePen;
    const bool lines = drawLine_ && line.Visible;
    // Solid one-pixel lines along a column paint from their start up to their end pixel, as
    // every canvas does; other segments are handed out by the canvas.
    const bool thin = line.Style == TPenStyle::psSolid && line.Mode == TPenMode::pmCopy && line.Width <= 1 && !line.SmallDots;
    const TColor penColor = Pointer.Pen.Color;
    const TColor brushColor = Pointer.Brush.Color;
    TComposeSink sink(composer_);
    if (!canvas.BeginCapture(sink)) return false;

    // The layers of the pointer's pen and brush, kept while the point colour stays.
    TColor layersColor = clNone;
    std::pair<int, int> layers{0, 0};
    TPixelComposer::TShapeTarget target{};
    auto pointerLayers = [&](TColor c) {
        if (c != layersColor) {
            layersColor = c;
            layers = {composer_.Layer(penColor), composer_.Layer(brushColor == clAutoColor ? c : brushColor)};
            target = composer_.ShapeTarget(layers);
        }
        return layers;
    };
    // The pointer and the segment are inlined into the loop over the points below: called for
    // every point, a call's saving and restoring of registers costs about as much as the
    // painting.
    auto pointer = [&](TPoint at, TColor c) __attribute__((always_inline)) {
        const int x = at.X, y = at.Y;
        if (!pointerBits_.empty()) {
            // The whole shape at once, as bits of rows; where it is painted over already,
            // nothing changes.
            pointerLayers(c);
            composer_.PaintShape(target, x, y + pointerTop_, pointerHeight_, pointerBits_);
            return;
        }
        bool hidden = true;
        for (const TPointerRun& column : pointerColumns_)
            if (!composer_.Covered(x + column.Dx, y + column.Top, y + column.Bottom)) {
                hidden = false;
                break;
            }
        if (hidden) return;
        const auto [penLayer, brushLayer] = pointerLayers(c);
        for (const TPointerRun& run : pointerRuns_)
            composer_.Paint(x + run.Dx, y + run.Top, y + run.Bottom, run.Pen ? penLayer : brushLayer);
    };
    TColor lineColor = clNone;
    TPixelComposer::TRunTarget lineTarget{};
    auto segment = [&](int x0, int y0, int x1, int y1, TColor c) __attribute__((always_inline)) {
        if (!lines || (x0 == x1 && y0 == y1)) return;
        if (thin && x0 == x1 && !stairs_) {
            if (c != lineColor) {
                lineColor = c;
                lineTarget = composer_.RunTarget(composer_.Layer(c));
            }
            if (y1 > y0)
                composer_.Paint(lineTarget, x0, y0, y1 - 1);
            else
                composer_.Paint(lineTarget, x0, y1 + 1, y0);
            return;
        }
        sink.Layer = composer_.Layer(c);
        canvas.AssignChartPen(line);
        canvas.Brush.Style = TBrushStyle::bsClear;
        canvas.Pen.Color = c;
        if (!stairs_) {
            canvas.Line(x0, y0, x1, y1);
        } else if (!invertedStairs_) {
            canvas.HorizontalLine(x0, x1, y0);
            canvas.LineTo(x1, y1);
        } else {
            canvas.VerticalLine(x0, y0, y1);
            canvas.LineTo(x1, y1);
        }
    };
    // The order of painting, reversed: each segment goes under the pointer at its start, the
    // last point's pointer goes on top of all.
    TColor c = PointColor(last);
    const TColor lastColor = c;
    const bool oneColor = PointColorsAre(first, last, c);
    const TPoint lastPoint = pixelAt(n - 1);
    TPoint next = lastPoint;
    pointer(next, c);
    for (size_t k = n - 1; k > 0; --k) {
        const TColor before = oneColor ? c : PointColor(first + static_cast<int>(k) - 1);
        const TPoint at = pixelAt(k - 1);
        pointer(at, before);
        segment(at.X, at.Y, next.X, next.Y, c);
        next = at;
        c = before;
    }
    if (first > 0 && PointColor(first - 1) != clNone) {
        // Earlier points lie beyond the plot edge: the line enters there.
        const TRect& plot = ParentChart()->PlotRect;
        const int edgeX = ChartInverted(true) ? plot.Right : plot.Left;
        segment(edgeX, stairs_ ? YPixel(first - 1) : EntryRow(first, edgeX), next.X, next.Y, c);
    }
    if (!canvas.EndCapture()) return false;
    ParentChart()->DeferComposed(composer_);
    // The canvas is left as painting the last pointer leaves it.
    if (lines) canvas.MoveTo(lastPoint.X, lastPoint.Y);
    Pointer.ApplyToCanvas(canvas, lastColor);
    PrevX = lastPoint.X;
    PrevY = lastPoint.Y;
    PrevColor = lastColor;
    drawnInPaint_ = true;
    return true;
}

bool TCustomSeries::DrawMergedLine() {
    if (!drawLine_ || Pointer.Visible() || !DrawOnlyVisible()) return false;
    const TChartPen& pen = LinePen;
    if (!pen.Visible || pen.Style != TPenStyle::psSolid || pen.Mode != TPenMode::pmCopy || (pen.Width <= 1 && pen.SmallDots))
        return false;
    const int first = FirstVisibleIndex, last = LastVisibleIndex;
    const TColor color = PointColor(first);
    if (color == clNone || last < first) return false;
    TChartCanvas3D::TPenBoxes penBoxes;
    {
        // Runs are joined only where every pixel paints alike whichever line paints it, and
        // wide ones only on a canvas that paints a wide row or column as one box.
        // Asked of the pen a segment sets, which the canvas keeps only once a segment is drawn.
        TChartCanvas3D& canvas = Canvas();
        const TCanvasPen found = canvas.Pen;
        canvas.AssignChartPen(pen);
        canvas.Pen.Color = color;
        const bool boxes = canvas.PenBoxes(penBoxes);
        canvas.Pen = found;
        if (!boxes || (pen.Width > 1 && !penBoxes.Lines)) return false;
    }
    // Every point must be drawn, in the one colour: a skipped or uncoloured point breaks the line.
    const auto n = static_cast<size_t>(last - first + 1);
    const TCustomChartAxis& vert = *GetVertAxis();
    // Where many points share each pixel column, the points are not mapped one by one: the
    // x values ascend, so a column's points follow each other, and the mapping keeps the order
    // of values, so the least and greatest value among them give the column's extent.
    double low = 0, high = 0;
    const bool dense = n >= 2 * static_cast<size_t>(std::max(1, ParentChart()->PlotRect.Width())) &&
                       XValues().KnownAscending() && YValues().RangeMinMax(first, last, low, high) &&
                       !OutOfPixelRange(XPixel(first), vert.ValueToPixel(low)) &&
                       !OutOfPixelRange(XPixel(last), vert.ValueToPixel(high));
    if (dense) {
        if (!PointColorsAre(first, last, color)) return false;
    } else {
        pixelX_.resize(n);
        pixelY_.resize(n);
        MapPixels(first, last, pixelX_.data(), pixelY_.data());
        for (int i = first; i <= last; ++i)
            if (OutOfPixelRange(pixelX_[static_cast<size_t>(i - first)], pixelY_[static_cast<size_t>(i - first)]) ||
                PointColor(i) != color)
                return false;
    }
    auto segment = [&](TRunMerger& merger, int x0, int y0, int x1, int y1) {
        if (x0 == x1 && y0 == y1) return;
        if (!stairs_) {
            merger.Line(x0, y0, x1, y1);
        } else if (!invertedStairs_) {
            merger.Line(x0, y0, x1, y0);
            merger.Line(x1, y0, x1, y1);
        } else {
            merger.Line(x0, y0, x0, y1);
            merger.Line(x0, y1, x1, y1);
        }
    };
    const int firstX = dense ? XPixel(first) : pixelX_[0], firstY = dense ? YPixel(first) : pixelY_[0];
    auto enter = [&](TRunMerger& merger) {
        if (first > 0 && PointColor(first - 1) != clNone) {
            // Earlier points lie beyond the plot edge: the line enters there.
            const TRect& plot = ParentChart()->PlotRect;
            const int edgeX = ChartInverted(true) ? plot.Right : plot.Left;
            segment(merger, edgeX, stairs_ ? YPixel(first - 1) : EntryRow(first, edgeX), firstX, firstY);
        }
    };
    TChartCanvas3D& canvas = Canvas();
    if (!dense) {
        ParentChart()->FlushInk();
        TRunMerger merger(canvas, LinePen, color);
        enter(merger);
        for (size_t k = 1; k < n; ++k) segment(merger, pixelX_[k - 1], pixelY_[k - 1], pixelX_[k], pixelY_[k]);
        merger.Flush();
        PrevX = pixelX_[n - 1];
        PrevY = pixelY_[n - 1];
    } else {
        // Mapped inline, as YPixel maps: the probes below run per point of a column.
        const TCustomChartAxis::TPixelMap yMap = vert.PixelMap();
        const TChartValueList &xs = XValues(), &ys = YValues();
        auto yAt = [&](int k) { return yMap(ys.Value(k)); };
        auto rowsOf = [&](double lo, double hi, int& top, int& bottom) {
            top = yMap(lo);
            bottom = yMap(hi);
            if (top > bottom) std::swap(top, bottom);
        };
        auto rows = [&](int a, int b, int& top, int& bottom) {
            double lo = 0, hi = 0;
            ys.RangeMinMax(a, b, lo, hi);
            rowsOf(lo, hi, top, bottom);
        };
        // The columns of the points, mapped in bulk (cheaper than searching for each column's
        // end with single mappings) and shared with the other series of these x values.
        const int* columns = ParentChart()->MappedValues(xs, *GetHorizAxis(), first, last);
        // Where the columns change, found once for all of them.
        const std::vector<int>& runs = ParentChart()->MappedRuns(xs, *GetHorizAxis(), first, last);
        bool drawn = false;
        auto drawColumns = [&](TRunMerger& merger) {
            enter(merger);
            int prevX = firstX, prevY = firstY;
            constexpr size_t kAhead = 32;  // columns
            for (size_t run = 0; run + 1 < runs.size(); ++run) {
                if (run + kAhead < runs.size()) ys.Prefetch(first + runs[run + kAhead] - 1);
                // The points i .. j of one column.
                const int i = first + runs[run], j = first + runs[run + 1] - 1;
                const int x = columns[i - first];
                const int y = i == first ? firstY : yAt(i);
                segment(merger, prevX, prevY, x, y);
                prevX = x;
                prevY = y;
                if (j > i) {
                    // The lines between the column's points run along it and join up: from
                    // its least to its greatest row. A one-pixel line leaves out its end, so a
                    // row reached only by the column's last points stays out.
                    // The range without the last point serves the end's test below too.
                    double lo = 0, hi = 0;
                    ys.RangeMinMax(i, j - 1, lo, hi);
                    const double end = ys.Value(j);
                    int top = 0, bottom = 0;
                    rowsOf(std::min(lo, end), std::max(hi, end), top, bottom);
                    prevY = yMap(end);
                    if (top != bottom) {
                        if (LinePen.Width <= 1 && (prevY == top || prevY == bottom)) {
                            int t = j;
                            // An equal value lies on the same row: mapped only where it differs.
                            while (t > i && (ys.Value(t - 1) == ys.Value(t) || yAt(t - 1) == prevY)) --t;
                            int before = 0, after = 0;
                            if (t == j)
                                rowsOf(lo, hi, before, after);
                            else
                                rows(i, t - 1, before, after);
                            if (prevY == top && before != top) ++top;
                            if (prevY == bottom && after != bottom) --bottom;
                        }
                        merger.Column(x, top, bottom);
                    }
                }
            }
            merger.Flush();
            drawn = merger.Drawn();
            PrevX = prevX;
            PrevY = prevY;
        };
        // The pixels are gathered as bits of the clipped plot and left to the chart, which
        // paints them after the series that follow, each pixel once; the union of one colour's
        // pixels is the picture. What the canvas cannot hand out is painted as it comes.
        const TRect region = ParentChart()->PlotClipRect();
        bool gathered = false;
        if (ParentChart()->ClipPoints && canvas.Capabilities().ColumnBits) {
            TColumnCoverage& bits = ParentChart()->DeferInk(region, color);
            TMarkSink sink(bits);
            if (canvas.BeginCapture(sink)) {
                TRunMerger merger(canvas, LinePen, color);
                merger.IntoBits(bits, penBoxes);
                drawColumns(merger);
                gathered = canvas.EndCapture();
            }
            if (!gathered) ParentChart()->DropDeferredInk();
        }
        if (!gathered) {
            ParentChart()->FlushInk();
            TRunMerger merger(canvas, LinePen, color);
            drawColumns(merger);
        }
        // The canvas is left as drawing the line leaves it: where no segment has a length, as the
        // series found it.
        if (drawn) {
            canvas.AssignChartPen(LinePen);
            canvas.Brush.Style = TBrushStyle::bsClear;
            canvas.Brush.Color = color;
            canvas.Pen.Color = color;
        }
    }
    PrevColor = color;
    drawnInPaint_ = true;
    return true;
}

void TCustomSeries::DrawSegment(int x, int y, TColor color, int index, bool withPointers, bool isLast) {
    if (drawLine_ && !(x == PrevX && y == PrevY) && color != clNone) {
        TChartCanvas3D& canvas = Canvas();
        canvas.AssignChartPen(LinePen);
        canvas.Brush.Style = TBrushStyle::bsClear;
        canvas.Pen.Color = color;
        if (!stairs_) {
            canvas.Line(PrevX, PrevY, x, y);
        } else if (!invertedStairs_) {
            canvas.HorizontalLine(PrevX, x, PrevY);
            canvas.LineTo(x, y);
        } else {
            canvas.VerticalLine(PrevX, PrevY, y);
            canvas.LineTo(x, y);
        }
    }
    if (withPointers && Pointer.Visible()) {
        // Each pointer goes on top of both segments that meet at its point.
        if (PrevColor != clNone && !PointerCovered(index - 1)) PaintPointer(PrevX, PrevY, PrevColor, index - 1);
        if (isLast && color != clNone) PaintPointer(x, y, color, index);
    }
}

void TCustomSeries::PaintPointer(int x, int y, TColor color, int index) {
    TChartCanvas3D& canvas = Canvas();
    Pointer.ApplyToCanvas(canvas, color);
    const TSeriesPointerStyle shape = OnGetPointerStyle ? OnGetPointerStyle(*this, index) : Pointer.Style();
    Pointer.DrawShape(canvas, x, y, color, shape);
}

void TCustomSeries::HorizontalMargins(int& left, int& right) {
    left = right = 0;
    if (Pointer.Visible() && Pointer.InflateMargins()) left = right = Pointer.HorizSize() + 1;
    if (stairs_ && drawLine_) {
        left = std::max<int>(left, LinePen.Width);
        right = std::max<int>(right, LinePen.Width);
    }
}

void TCustomSeries::VerticalMargins(int& top, int& bottom) {
    top = bottom = 0;
    if (Pointer.Visible() && Pointer.InflateMargins()) top = bottom = Pointer.VertSize() + 1;
    if (stairs_ && drawLine_) {
        top = std::max<int>(top, LinePen.Width);
        bottom = std::max(bottom, LinePen.Width + 1);
    }
    if (lineHeight_ > 0 && !drawArea_) bottom = std::max(bottom, lineHeight_);
}

bool TCustomSeries::HitRange(int& first, int& last) const {
    if (!ParentChart() || !GetHorizAxis() || !GetVertAxis() || FirstVisibleIndex < 0) return false;
    first = FirstVisibleIndex;
    last = std::min(LastVisibleIndex, Count() - 1);
    return first <= last;
}

int TCustomSeries::Clicked(int x, int y) {
    int first = 0, last = 0;
    if (!HitRange(first, last)) return -1;
    // Pointers are drawn over the lines, so they are tested first; later points cover earlier.
    if (Pointer.Visible()) {
        const int h = Pointer.HorizSize(), v = Pointer.VertSize();
        for (int i = last; i >= first; --i) {
            const int px = XPixel(i), py = YPixel(i);
            if (OutOfPixelRange(px, py) || PointColor(i) == clNone) continue;
            if (std::abs(x - px) <= h && std::abs(y - py) <= v) return i;
        }
    }
    if (!drawLine_ || !LinePen.Visible) return -1;
    const double tolerance = std::max(kLineHitTolerance, LinePen.Width / 2 + 1);
    const TRect& plot = ParentChart()->PlotRect;
    int prevX = 0, prevY = 0, prevIndex = -1;
    bool havePrev = false;
    for (int i = first; i <= last; ++i) {
        const int px = XPixel(i), py = YPixel(i);
        if (OutOfPixelRange(px, py)) continue;
        const TColor c = PointColor(i);
        if (c == clNone) {
            havePrev = false;
            continue;
        }
        int fromX = prevX, fromY = prevY;
        bool segment = havePrev;
        if (i == first && i > 0 && PointColor(i - 1) != clNone) {
            // The line entering from the plot edge.
            fromX = ChartInverted(true) ? plot.Right : plot.Left;
            fromY = stairs_ ? YPixel(i - 1) : EntryRow(i, fromX);
            segment = true;
        }
        if (segment) {
            double d;
            if (!stairs_)
                d = SegmentDistance(x, y, fromX, fromY, px, py);
            else if (!invertedStairs_)
                d = std::min(SegmentDistance(x, y, fromX, fromY, px, fromY), SegmentDistance(x, y, px, fromY, px, py));
            else
                d = std::min(SegmentDistance(x, y, fromX, fromY, fromX, py), SegmentDistance(x, y, fromX, py, px, py));
            if (d <= tolerance) {
                // The nearer end of the segment is the point meant.
                if (havePrev) {
                    const double toStart = std::hypot(double(x) - fromX, double(y) - fromY);
                    const double toEnd = std::hypot(double(x) - px, double(y) - py);
                    return toStart <= toEnd ? prevIndex : i;
                }
                return i;
            }
        }
        prevX = px;
        prevY = py;
        prevIndex = i;
        havePrev = true;
    }
    return -1;
}

// ---- TLineSeries ----

TLineSeries::TLineSeries() {
    drawLine_ = true;
    Pointer.SetVisible(false);
}

}  // namespace zyn::chart
