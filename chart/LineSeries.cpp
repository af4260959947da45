#include "chart/LineSeries.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>

#include "chart/Axis.h"
#include "chart/Chart.h"
#include "chart/compose/FrameContext.h"
#include "chart/compose/LineComposer.h"

namespace zyn::chart {

namespace {
// How far from a drawn line a mouse position still counts as on it.
constexpr int kLineHitTolerance = 3;

// Distance from (px, py) to the segment (x0, y0)-(x1, y1).
double SegmentDistance(int px, int py, int x0, int y0, int x1, int y1) {
    const double dx = double(x1) - x0, dy = double(y1) - y0;
    const double len2 = dx * dx + dy * dy;
    double t = 0;
    if (len2 > 0) t = std::clamp(((double(px) - x0) * dx + (double(py) - y0) * dy) / len2, 0.0, 1.0);
    const double ex = x0 + t * dx - px, ey = y0 + t * dy - py;
    return std::sqrt(ex * ex + ey * ey);
}
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

TCustomSeries::~TCustomSeries() = default;

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

TCustomSeries::TSegmentPath TCustomSeries::SegmentPath(int x0, int y0, int x1, int y1) const {
    if (!stairs_) return {2, {{x0, y0}, {x1, y1}}};
    // Along the previous point's level to the new point's x, then to the new level; inverted,
    // the step first, then along the new level.
    if (!invertedStairs_) return {3, {{x0, y0}, {x1, y0}, {x1, y1}}};
    return {3, {{x0, y0}, {x0, y1}, {x1, y1}}};
}

bool TCustomSeries::EntryPoint(int first, TPoint& at) const {
    if (first <= 0 || PointColor(first - 1) == clNone) return false;
    const TRect& plot = ParentChart()->PlotRect;
    at.X = ChartInverted(true) ? plot.Right : plot.Left;
    at.Y = stairs_ ? YPixel(first - 1) : EntryRow(first, at.X);
    return true;
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
        // Earlier points lie beyond the plot edge: the line enters there.
        TPoint entry;
        if (EntryPoint(index, entry)) {
            PrevX = entry.X;
            PrevY = entry.Y;
            DrawSegment(x, y, c, index, false, isLast);
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
    // Pointers that a later pointer on the same pixel paints over wholly are left out.
    TFrameContext* frame = ParentChart() ? ParentChart()->Frame() : nullptr;
    covered_ = frame && drawLine_ && Pointer.Visible() ? LineComposer().CoveredPointers(*frame) : nullptr;
    coveredFirst_ = FirstVisibleIndex;
    TChartSeries::DrawPoints();
    covered_ = nullptr;
}

TLineComposer& TCustomSeries::LineComposer() {
    if (!composer_) composer_ = std::make_unique<TLineComposer>(*this);
    return *composer_;
}

TSeriesComposer* TCustomSeries::Composer() { return &LineComposer(); }

void TCustomSeries::ComposedTo(const TComposedEnd& end) {
    PrevX = end.X;
    PrevY = end.Y;
    PrevColor = end.Color;
    drawnInPaint_ = true;
    LeaveCanvasAfter(end);
}

void TCustomSeries::LeaveCanvasAfter(const TComposedEnd& end) const {
    TChartCanvas3D& canvas = Canvas();
    // The segment to the point, where one had a length, then its pointer.
    if (drawLine_ && end.Segment) {
        canvas.AssignChartPen(LinePen);
        canvas.Brush.Style = TBrushStyle::bsClear;
        canvas.Pen.Color = end.Color;
        canvas.MoveTo(end.X, end.Y);
    }
    if (Pointer.Visible() && end.Color != clNone) Pointer.ApplyToCanvas(canvas, end.Color);
}

void TCustomSeries::DrawSegment(int x, int y, TColor color, int index, bool withPointers, bool isLast) {
    if (drawLine_ && !(x == PrevX && y == PrevY) && color != clNone) {
        TChartCanvas3D& canvas = Canvas();
        canvas.AssignChartPen(LinePen);
        canvas.Brush.Style = TBrushStyle::bsClear;
        canvas.Pen.Color = color;
        const TSegmentPath path = SegmentPath(PrevX, PrevY, x, y);
        canvas.MoveTo(path.P[0].X, path.P[0].Y);
        for (int k = 1; k < path.Count; ++k) canvas.LineTo(path.P[k].X, path.P[k].Y);
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
        TPoint entry;
        if (i == first && EntryPoint(i, entry)) {
            // The line entering from the plot edge.
            fromX = entry.X;
            fromY = entry.Y;
            segment = true;
        }
        if (segment) {
            const TSegmentPath path = SegmentPath(fromX, fromY, px, py);
            double d = SegmentDistance(x, y, path.P[0].X, path.P[0].Y, path.P[1].X, path.P[1].Y);
            if (path.Count == 3) d = std::min(d, SegmentDistance(x, y, path.P[1].X, path.P[1].Y, path.P[2].X, path.P[2].Y));
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
