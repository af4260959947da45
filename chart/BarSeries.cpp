#include "chart/BarSeries.h"

#include <algorithm>
#include <cstdlib>
#include <limits>

#include "chart/Axis.h"
#include "chart/Chart.h"
#include "chart/compose/BarComposer.h"

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

void TCustomBarSeries::PrepareBarLine(TChartCanvas3D& canvas) {
    canvas.Pen.Color = canvas.Brush.Color;
    if (canvas.Pen.Style == TPenStyle::psClear) canvas.Pen.Style = TPenStyle::psSolid;
}

void TCustomBarSeries::PrepareBarCanvas(TColor color) const {
    TChartCanvas3D& canvas = Canvas();
    canvas.AssignChartPen(BarPen);
    TColor background = BarBrush.Color;
    if (background == clAutoColor && ParentChart()) background = ParentChart()->Color();
    canvas.PrepareFillBrush(color, BarBrush.Style, background);
}

// ---- TBarSeries ----

TBarSeries::TBarSeries() = default;

TBarSeries::~TBarSeries() = default;

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

TSeriesComposer* TBarSeries::Composer() {
    if (!composer_) composer_ = std::make_unique<TBarComposer>(*this);
    return composer_.get();
}

void TBarSeries::ComposedTo(const TComposedEnd& end) {
    // The drawing state as drawing the last point leaves it: a bar of no width, and the canvas
    // as the last bar with a colour left it.
    barColor_ = PointColor(end.Index);
    barLeft_ = barRight_ = XPixel(end.Index);
    barTop_ = YPixel(end.Index);
    barBottom_ = OriginPixel(end.Index);
    if (end.Color == clNone) return;
    PrepareBarCanvas(end.Color);
    PrepareBarLine(Canvas());
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
            PrepareBarLine(canvas);
            canvas.Line(left, top, right, bottom);
        } else if (2 * canvas.Pen.Width >= std::abs(right - left) || 2 * canvas.Pen.Width >= std::abs(bottom - top)) {
            // The outline leaves no pixel inside: drawn in the bar colour, so a narrow bar
            // still shows its colour rather than the outline's.
            PrepareBarLine(canvas);
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
