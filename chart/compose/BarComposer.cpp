#include "chart/compose/BarComposer.h"

#include <algorithm>
#include <limits>

#include "chart/Axis.h"
#include "chart/Chart.h"
#include "chart/compose/FrameContext.h"

namespace zyn::chart {

namespace {
// Where many bars share each pixel column, composing their rows costs less than painting them.
constexpr size_t kComposeFrom = 4;  // bars per pixel column
}  // namespace

bool TBarComposer::Compose(TFrameContext& frame, TComposedEnd& end) {
    if (!Accepts(frame)) return false;
    compose_ = Dense(frame);
    if (!MapColumns(frame)) return false;
    ComposeColumns(frame);
    if (compose_) frame.DeferComposed(composer_);
    end.Index = last_;
    end.Color = clNone;
    for (int i = last_; i >= first_ && end.Color == clNone; --i) end.Color = series_.PointColor(i);
    return true;
}

bool TBarComposer::Accepts(TFrameContext& frame) {
    const TBarSeries& s = series_;
    if (s.BarPixelWidth != 0 || s.OnGetBarStyle || !s.DrawsForward() || !frame.Dense(s)) return false;
    if (s.MultiBar() != TMultiBar::mbNone && s.MultiBar() != TMultiBar::mbSide) return false;
    const TBarStyle style = s.BarStyle();
    if (style != TBarStyle::bsRectangle && style != TBarStyle::bsCilinder && style != TBarStyle::bsRectGradient)
        return false;
    const TChartPen& pen = s.BarPen;
    const bool solidPen = pen.Style == TPenStyle::psSolid || pen.Style == TPenStyle::psClear;
    if (s.BarBrush.Style != TBrushStyle::bsSolid || !pen.Visible || pen.Width > 1 || !solidPen ||
        pen.Mode != TPenMode::pmCopy || pen.SmallDots)
        return false;
    first_ = s.FirstVisibleIndex;
    last_ = s.LastVisibleIndex;
    if (last_ < first_) return false;
    // Shortened lines paint the pixels of the whole ones only where every pixel paints alike
    // whichever line paints it.
    canvas_ = &frame.Canvas();
    prepared_ = clNone;
    for (int i = first_; i <= last_; ++i) {
        if (s.PointColor(i) == clNone) continue;
        Prepare(*canvas_, s.PointColor(i));
        TChartCanvas3D::TPenBoxes boxes;
        return canvas_->PenBoxes(boxes);
    }
    return true;
}

bool TBarComposer::Dense(TFrameContext& frame) {
    // Their rows then wait with the ink of the series before and are painted with it, each
    // pixel once.
    const TCustomAxisPanel& chart = frame.Chart();
    const auto n = static_cast<size_t>(last_ - first_ + 1);
    return n >= kComposeFrom * static_cast<size_t>(std::max(0, chart.PlotWidth)) && chart.ClipPoints &&
           series_.SeriesColor() != clAutoColor && frame.Capabilities().ColumnBits && yRanges_.Of(series_.YValues()) &&
           yRanges_.RangeMinMax(first_, last_, low_, high_);
}

void TBarComposer::Prepare(TChartCanvas3D& canvas, TColor color) {
    // Lines leave the canvas as they find it, so a colour prepared stays until the next one.
    if (color == prepared_) return;
    prepared_ = color;
    series_.PrepareBarCanvas(color);
    series_.PrepareBarLine(canvas);
}

bool TBarComposer::MapColumns(TFrameContext& frame) {
    const TBarSeries& s = series_;
    const auto n = static_cast<size_t>(last_ - first_ + 1);
    // Composed bars need only their columns: their rows are mapped where they show.
    if (compose_) {
        columns_ = frame.MappedValues(s.XValues(), *s.GetHorizAxis(), first_, last_);
    } else {
        pixelX_.resize(n);
        pixelY_.resize(n);
        s.MapPixels(first_, last_, pixelX_.data(), pixelY_.data());
        columns_ = pixelX_.data();
    }
    for (size_t k = 1; k < n; ++k)
        if (columns_[k] < columns_[k - 1]) return false;
    origin_ = s.OriginPixel(first_);
    if (compose_) {
        // Only the rows between the origin and the extreme values can be painted: the bars'
        // bits need no more, and pass less through the cache.
        const TCustomChartAxis::TPixelMap yMap = s.GetVertAxis()->PixelMap();
        TRect region = frame.Chart().PlotClipRect();
        const int a = yMap(low_), b = yMap(high_);
        region.Top = std::max(region.Top, std::min({a, b, origin_}));
        region.Bottom = std::min(region.Bottom, std::max({a, b, origin_}) + 1);
        composer_.Reset(region);
    } else {
        frame.FlushInk();
    }
    return true;
}

void TBarComposer::ComposeColumns(TFrameContext& frame) {
    const TBarSeries& s = series_;
    layerColor_ = clNone;
    if (!compose_) {
        for (int end = last_; end >= first_;) {
            const int column = columns_[end - first_];
            int i = end;
            above_ = below_ = origin_;
            for (; i >= first_ && columns_[i - first_] == column; --i) Show(i, pixelY_[static_cast<size_t>(i - first_)], column);
            end = i;
        }
        return;
    }
    // Where the columns change, found once for the series of these x values.
    const std::vector<int>& runs = frame.MappedRuns(s.XValues(), *s.GetHorizAxis(), first_, last_);
    const int shift = s.XShift();
    constexpr size_t kAhead = 32;  // columns
    for (size_t run = runs.size() - 1; run-- > 0;) {
        if (run >= kAhead) yRanges_.Prefetch(first_ + runs[run - kAhead + 1] - 1);
        const int start = first_ + runs[run], end = first_ + runs[run + 1] - 1;
        DrawColumn(start, end, columns_[start - first_] + shift);
    }
}

void TBarComposer::DrawColumn(int start, int end, int x) {
    // A bar whose value lies within those of the later bars shown here ends on a row they
    // reached: only the values beyond them are looked at.
    const TChartValueList& ys = series_.YValues();
    const TCustomChartAxis::TPixelMap yMap = series_.GetVertAxis()->PixelMap();
    above_ = below_ = origin_;
    double lo = std::numeric_limits<double>::infinity(), hi = -lo;
    for (int i = end; yRanges_.LastOutside(start, i, lo, hi, i) && i >= start; --i) {
        const double v = ys.Value(i);
        if (!Show(i, yMap(v), x)) continue;
        lo = std::min(lo, v);
        hi = std::max(hi, v);
    }
}

bool TBarComposer::Show(int i, int top, int x) {
    // Rows origin - 1 up to above_ and origin + 1 down to below_ are covered by later bars.
    const TColor color = series_.PointColor(i);
    if (color == clNone) return false;
    if (top < above_) {
        Rows(color, x, top, above_);
        above_ = top;
    } else if (top > below_) {
        Rows(color, x, top, below_);
        below_ = top;
    }
    return true;
}

void TBarComposer::Rows(TColor color, int x, int from, int to) {
    if (!compose_) {
        // A one-pixel line paints from its start up to its end pixel.
        Prepare(*canvas_, color);
        canvas_->Line(x, from, x, to);
        return;
    }
    if (color != layerColor_) {
        layerColor_ = color;
        layer_ = composer_.Layer(color);
    }
    composer_.Paint(x, std::min(from, to + 1), std::max(from, to - 1), layer_);
}

}  // namespace zyn::chart
