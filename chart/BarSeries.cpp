#include "chart/BarSeries.h"

#include <algorithm>
#include <cstdlib>
#include <limits>

#include "chart/Axis.h"
#include "chart/Chart.h"

namespace zyn::chart {

// ---- TCustomBarSeries ----

TCustomBarSeries::TCustomBarSeries() {
    YValues().Name = "Bar";
    YValues().Order = TChartListOrder::loNone;
    // Marks are switched on as for every new bar series; they are not drawn by this engine.
    MarksVisible = true;
}

void TCustomBarSeries::SetAutoBarSize(bool value) {
    if (AssignIfChanged(autoBarSize_, value)) RequestRepaint();
}

void TCustomBarSeries::SetBarStyle(TBarStyle value) {
    if (AssignIfChanged(barStyle_, value)) RequestRepaint();
}

void TCustomBarSeries::SetBarWidthPercent(int value) {
    if (value < 1 || value > 100) throw BarException("Bar Width Percent must be between 1 and 100");
    if (AssignIfChanged(barWidthPercent_, value)) RequestRepaint();
}

void TCustomBarSeries::SetOffsetPercent(int value) {
    if (value < -100 || value > 100) throw BarException("Bar Offset Percent must be between -100% and 100%");
    if (AssignIfChanged(offsetPercent_, value)) RequestRepaint();
}

void TCustomBarSeries::SetUseYOrigin(bool value) {
    if (AssignIfChanged(useYOrigin_, value)) RequestRepaint();
}

void TCustomBarSeries::SetYOrigin(double value) {
    if (AssignIfChanged(yOrigin_, value)) RequestRepaint();
}

void TCustomBarSeries::SetMultiBar(TMultiBar value) {
    if (!ParentChart()) {
        if (AssignIfChanged(multiBar_, value)) RequestRepaint();
        return;
    }
    for (TChartSeries* s : ParentChart()->SeriesList()) {
        if (!SameKind(*s)) continue;
        auto* bar = dynamic_cast<TCustomBarSeries*>(s);
        if (bar && AssignIfChanged(bar->multiBar_, value)) bar->RequestRepaint();
    }
}

void TCustomBarSeries::SetSideMargins(bool value) {
    if (AssignIfChanged(sideMargins_, value)) RequestRepaint();
    if (!ParentChart()) return;
    for (TChartSeries* s : ParentChart()->SeriesList()) {
        if (s == this || !SameKind(*s)) continue;
        auto* bar = dynamic_cast<TCustomBarSeries*>(s);
        if (bar && AssignIfChanged(bar->sideMargins_, value)) bar->RequestRepaint();
    }
}

int TCustomBarSeries::SideBySideCount() const {
    if (multiBar_ != TMultiBar::mbSide || !ParentChart()) return 1;
    int count = 0;
    for (TChartSeries* s : ParentChart()->SeriesList())
        if (s->Active() && SameKind(*s)) ++count;
    return count;
}

int TCustomBarSeries::SidePosition() const {
    int position = 1;
    if (!ParentChart()) return position;
    for (TChartSeries* s : ParentChart()->SeriesList()) {
        if (s == this) break;
        if (s->Active() && SameKind(*s)) ++position;
    }
    return position;
}

void TCustomBarSeries::UpdateBarWidth() {
    sideCount_ = SideBySideCount();
    sidePosition_ = SidePosition();
    if (CustomWidth != 0) {
        BarPixelWidth = CustomWidth;
        return;
    }
    int n = Count();
    int k = 1;
    if (ParentChart() && multiBar_ == TMultiBar::mbSide) {
        k = 0;
        n = -1;
        for (TChartSeries* s : ParentChart()->SeriesList()) {
            if (!s->Active() || !SameKind(*s)) continue;
            ++k;
            n = std::max(n, s->Count());
        }
    }
    if (ParentChart() && ParentChart()->MaxPointsPerPage() > 0) n = ParentChart()->MaxPointsPerPage();
    const TCustomChartAxis* axis = GetHorizAxis();
    if (n <= 0 || !axis) {
        BarPixelWidth = 0;
        return;
    }
    if (sideMargins_) ++n;
    const int length = axis->PixelLength;
    int slot = length / n;
    if (autoBarSize_) slot = Round(length / (axis->Maximum() + 2 - axis->Minimum()));
    // Extended precision: 70 % of a 15-pixel slot is exactly 10.5 and rounds to 10.
    const long double share = static_cast<long double>(barWidthPercent_) * 0.01L * slot;
    const long double rounded = RoundL(share);
    const int g = rounded >= 2147483647.0L ? 2147483647 : rounded <= -2147483647.0L ? -2147483647 : int(rounded);
    BarPixelWidth = g / std::max(k, 1);
    if (BarPixelWidth % 2 != 0) ++BarPixelWidth;
}

double TCustomBarSeries::OriginValue(int /*index*/) const { return yOrigin_; }

int TCustomBarSeries::OriginPixel(int index) const {
    const TCustomChartAxis& vert = *GetVertAxis();
    return useYOrigin_ ? vert.ValueToPixel(OriginValue(index)) : vert.EndPixel;
}

TBarStyle TCustomBarSeries::EffectiveBarStyle(int index) {
    return OnGetBarStyle ? OnGetBarStyle(*this, index) : barStyle_;
}

void TCustomBarSeries::PrepareBarCanvas(TColor color) {
    TChartCanvas3D& canvas = Canvas();
    canvas.AssignChartPen(BarPen);
    TColor background = BarBrush.Color;
    if (background == clAutoColor && ParentChart()) background = ParentChart()->Color();
    canvas.PrepareFillBrush(color, BarBrush.Style, background);
}

// ---- TBarSeries ----

void TBarSeries::SetCustomBarWidth(int value) {
    if (AssignIfChanged(CustomWidth, value)) RequestRepaint();
}

bool TBarSeries::SameKind(const TChartSeries& other) const {
    return dynamic_cast<const TBarSeries*>(&other) != nullptr;
}

double TBarSeries::MinY() const {
    const double m = YValues().Min();
    return UseYOrigin() ? std::min(m, YOrigin()) : m;
}

double TBarSeries::MaxY() const {
    const double m = YValues().Max();
    return UseYOrigin() ? std::max(m, YOrigin()) : m;
}

int TBarSeries::XShift() const {
    int shift = MultiBar() == TMultiBar::mbSide ? Round((sidePosition_ - sideCount_ * 0.5 - 1) * BarPixelWidth)
                                                : -(BarPixelWidth / 2);
    if (OffsetPercent() != 0) shift += Round(OffsetPercent() * BarPixelWidth * 0.01);
    return shift;
}

int TBarSeries::XPixel(int index) const { return GetHorizAxis()->ValueToPixel(XValues().Value(index)) + XShift(); }

int TBarSeries::YPixel(int index) const { return GetVertAxis()->ValueToPixel(YValues().Value(index)); }

void TBarSeries::MapPixels(int first, int last, int* xs, int* ys) const {
    TChartSeries::MapPixels(first, last, xs, ys);
    const int shift = XShift();
    for (int k = 0; k <= last - first; ++k) xs[k] += shift;
}

bool TBarSeries::DrawsForward() const { return !ChartInverted(true); }

void TBarSeries::HorizontalMargins(int& left, int& right) {
    UpdateBarWidth();
    int m = sideCount_ * BarPixelWidth;
    if (!SideMargins()) m /= 2;
    left = right = m;
}

void TBarSeries::VerticalMargins(int& top, int& bottom) {
    // Room above and below the bars would only serve marks, which are not drawn.
    top = bottom = 0;
}

void TBarSeries::DrawPoint(int index) {
    const TColor color = PointColor(index);
    barColor_ = color;
    if (color == clNone) return;
    barLeft_ = XPixel(index);
    barRight_ = barLeft_ + BarPixelWidth;
    barTop_ = YPixel(index);
    barBottom_ = OriginPixel(index);
    PaintBar(index, std::min(barTop_, barBottom_), std::max(barTop_, barBottom_));
}

void TBarSeries::DrawPoints() {
    // A declined composition leaves the pen and brush as it found them (see TCandleSeries).
    const TCanvasPen pen = Canvas().Pen;
    const TCanvasBrush brush = Canvas().Brush;
    if (DrawColumnTops()) return;
    Canvas().Pen = pen;
    Canvas().Brush = brush;
    // Everything else paints straight onto the canvas, over what waits to be painted.
    ParentChart()->FlushInk();
    TChartSeries::DrawPoints();
}

bool TBarSeries::DrawColumnTops() {
    if (BarPixelWidth != 0 || OnGetBarStyle || !DrawsForward() || !DrawOnlyVisible()) return false;
    if (MultiBar() != TMultiBar::mbNone && MultiBar() != TMultiBar::mbSide) return false;
    const TBarStyle style = BarStyle();
    if (style != TBarStyle::bsRectangle && style != TBarStyle::bsCilinder && style != TBarStyle::bsRectGradient)
        return false;
    const bool solidPen = BarPen.Style == TPenStyle::psSolid || BarPen.Style == TPenStyle::psClear;
    if (BarBrush.Style != TBrushStyle::bsSolid || !BarPen.Visible || BarPen.Width > 1 || !solidPen ||
        BarPen.Mode != TPenMode::pmCopy || BarPen.SmallDots)
        return false;
    const int first = FirstVisibleIndex, last = LastVisibleIndex;
    if (last < first) return false;
    const auto n = static_cast<size_t>(last - first + 1);
    TChartCanvas3D& canvas = Canvas();
    // The canvas as PaintBarRectangle leaves it for a bar of no width; lines leave it as they
    // find it, so a colour prepared stays until the next one.
    TColor prepared = clNone;
    auto prepare = [&](TColor color) {
        if (color == prepared) return;
        prepared = color;
        PrepareBarCanvas(color);
        canvas.Pen.Color = canvas.Brush.Color;
        if (canvas.Pen.Style == TPenStyle::psClear) canvas.Pen.Style = TPenStyle::psSolid;
    };
    // Shortened lines paint the pixels of the whole ones only where every pixel paints alike
    // whichever line paints it.
    for (int i = first; i <= last; ++i) {
        if (PointColor(i) == clNone) continue;
        prepare(PointColor(i));
        TChartCanvas3D::TPenBoxes boxes;
        if (!canvas.PenBoxes(boxes)) return false;
        break;
    }
    // Where many bars share each pixel column, their rows wait with the ink of the series
    // before and are painted with it, each pixel once; a one-pixel line paints from its start
    // up to its end pixel. Few bars a column paint straight onto the canvas.
    constexpr size_t kComposeFrom = 4;  // bars per pixel column
    double low = 0, high = 0;
    const bool compose = n >= kComposeFrom * static_cast<size_t>(std::max(0, ParentChart()->PlotWidth)) &&
                         ParentChart()->ClipPoints && SeriesColor() != clAutoColor &&
                         canvas.Capabilities().ColumnBits && YValues().RangeMinMax(first, last, low, high);
    // Composed bars need only their columns: their rows are mapped where they show.
    const int* columns = nullptr;
    if (compose) {
        columns = ParentChart()->MappedValues(XValues(), *GetHorizAxis(), first, last);
    } else {
        pixelX_.resize(n);
        pixelY_.resize(n);
        MapPixels(first, last, pixelX_.data(), pixelY_.data());
        columns = pixelX_.data();
    }
    // Columns must follow each other, or two runs of bars could share one.
    for (size_t k = 1; k < n; ++k)
        if (columns[k] < columns[k - 1]) return false;
    const int origin = OriginPixel(first);
    const TCustomChartAxis::TPixelMap yMap = GetVertAxis()->PixelMap();
    if (compose) {
        // Only the rows between the origin and the extreme values can be painted: the bars'
        // bits need no more, and pass less through the cache.
        TRect region = ParentChart()->PlotClipRect();
        const int a = yMap(low), b = yMap(high);
        region.Top = std::max(region.Top, std::min({a, b, origin}));
        region.Bottom = std::min(region.Bottom, std::max({a, b, origin}) + 1);
        composer_.Reset(region);
    } else {
        ParentChart()->FlushInk();
    }
    TColor layerColor = clNone;
    int layer = 0;
    auto rows = [&](TColor color, int x, int from, int to) {
        if (!compose) {
            prepare(color);
            canvas.Line(x, from, x, to);
            return;
        }
        if (color != layerColor) {
            layerColor = color;
            layer = composer_.Layer(color);
        }
        composer_.Paint(x, std::min(from, to + 1), std::max(from, to - 1), layer);
    };
    const int shift = compose ? XShift() : 0;
    // Where the columns change, found once for the series of these x values.
    const std::vector<int>* runs =
        compose ? &ParentChart()->MappedRuns(XValues(), *GetHorizAxis(), first, last) : nullptr;
    size_t run = runs ? runs->size() - 1 : 0;  // the run after the column's
    const TChartValueList& ys = YValues();
    for (int end = last; end >= first;) {
        const int column = columns[end - first], x = column + shift;
        // Rows origin - 1 up to above and origin + 1 down to below are covered by later bars.
        int above = origin, below = origin;
        auto show = [&](int i, int top) {
            const TColor color = PointColor(i);
            if (color == clNone) return false;
            if (top < above) {
                rows(color, x, top, above);
                above = top;
            } else if (top > below) {
                rows(color, x, top, below);
                below = top;
            }
            return true;
        };
        if (!compose) {
            int i = end;
            for (; i >= first && columns[i - first] == column; --i) show(i, pixelY_[static_cast<size_t>(i - first)]);
            end = i;
            continue;
        }
        const int start = first + (*runs)[--run];
        constexpr size_t kAhead = 32;  // columns
        if (run >= kAhead) ys.Prefetch(first + (*runs)[run - kAhead + 1] - 1);
        // A bar whose value lies within those of the later bars shown here ends on a row they
        // reached: only the values beyond them are looked at.
        double lo = std::numeric_limits<double>::infinity(), hi = -lo;
        for (int i = end; ys.LastOutside(start, i, lo, hi, i) && i >= start; --i) {
            const double v = ys.Value(i);
            if (!show(i, yMap(v))) continue;
            lo = std::min(lo, v);
            hi = std::max(hi, v);
        }
        end = start - 1;
    }
    if (compose) ParentChart()->DeferComposed(composer_);
    // Leave the drawing state as drawing the last point would.
    barColor_ = PointColor(last);
    barLeft_ = barRight_ = compose ? XPixel(last) : pixelX_[n - 1];
    barTop_ = YPixel(last);
    barBottom_ = origin;
    for (int i = last; i >= first; --i) {
        const TColor color = PointColor(i);
        if (color == clNone) continue;
        prepare(color);
        break;
    }
    return true;
}

void TBarSeries::PaintBar(int index, int upper, int lower) {
    PrepareBarCanvas(barColor_);
    TChartCanvas3D& canvas = Canvas();
    const int mid = (barLeft_ + barRight_) / 2;
    switch (EffectiveBarStyle(index)) {
        case TBarStyle::bsPyramid: {
            // Apex at the value, base on the origin.
            const TPoint p[] = {{barLeft_, barBottom_}, {mid, barTop_}, {barRight_, barBottom_}};
            canvas.Polygon(p);
            break;
        }
        case TBarStyle::bsInvPyramid: {
            const TPoint p[] = {{barLeft_, barTop_}, {barRight_, barTop_}, {mid, barBottom_}};
            canvas.Polygon(p);
            break;
        }
        case TBarStyle::bsEllipse:
            canvas.Ellipse(barLeft_, upper, barRight_, lower);
            break;
        case TBarStyle::bsArrow: {
            const int width = barRight_ - barLeft_;
            const int quarter = width / 4;
            const int head = std::min(std::abs(width) / 2, lower - upper);
            const int neck = barTop_ < barBottom_ ? barTop_ + head : barTop_ - head;
            const TPoint p[] = {{barLeft_ + quarter, barBottom_}, {barLeft_ + quarter, neck}, {barLeft_, neck},
                                {mid, barTop_},                   {barRight_, neck},        {barRight_ - quarter, neck},
                                {barRight_ - quarter, barBottom_}};
            canvas.Polygon(p);
            break;
        }
        case TBarStyle::bsRectangle:
        case TBarStyle::bsCilinder:
        case TBarStyle::bsRectGradient:
            PaintBarRectangle(barLeft_, barTop_, barRight_, barBottom_);
            break;
    }
}

void TBarSeries::PaintBarRectangle(int left, int top, int right, int bottom) {
    TChartCanvas3D& canvas = Canvas();
    if (BarBrush.Style == TBrushStyle::bsSolid) {
        if (left == right || top == bottom) {
            // Nothing to fill: the bar shows as a line in its own colour.
            canvas.Pen.Color = canvas.Brush.Color;
            if (canvas.Pen.Style == TPenStyle::psClear) canvas.Pen.Style = TPenStyle::psSolid;
            canvas.Line(left, top, right, bottom);
        } else if (2 * canvas.Pen.Width >= std::abs(right - left) || 2 * canvas.Pen.Width >= std::abs(bottom - top)) {
            // The outline leaves no pixel inside: drawn in the bar colour, so a narrow bar
            // still shows its colour rather than the outline's.
            canvas.Pen.Color = canvas.Brush.Color;
            if (canvas.Pen.Style == TPenStyle::psClear) canvas.Pen.Style = TPenStyle::psSolid;
            canvas.Brush.Style = TBrushStyle::bsClear;
        }
    }
    canvas.Rectangle(left, top, right, bottom);
}

int TBarSeries::Clicked(int x, int y) {
    if (!ParentChart() || !GetHorizAxis() || !GetVertAxis() || FirstVisibleIndex < 0) return -1;
    const int first = FirstVisibleIndex;
    const int last = std::min(LastVisibleIndex, Count() - 1);
    // The bar drawn last is on top.
    const bool forward = DrawsForward();
    for (int n = 0; n <= last - first; ++n) {
        const int i = forward ? last - n : first + n;
        if (PointColor(i) == clNone) continue;
        const int left = XPixel(i), right = left + BarPixelWidth;
        const int top = YPixel(i), bottom = OriginPixel(i);
        // A bar of zero width or height is a line: its end pixels count.
        const int x1 = left == right ? right : std::max(left, right) - 1;
        const int y1 = top == bottom ? bottom : std::max(top, bottom) - 1;
        if (x >= std::min(left, right) && x <= x1 && y >= std::min(top, bottom) && y <= y1) return i;
    }
    return -1;
}

}  // namespace zyn::chart
