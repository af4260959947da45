#include <algorithm>
#include <cmath>
#include <limits>

#include "chart/Chart.h"

namespace zyn::chart {

namespace {

// Zooming in stops before the view would hold fewer than three whole x units (days).
constexpr double kMinSpan = 2;

// An axis's range as the last paint showed it: an automatic end includes the series margins.
void ShownRange(const TCustomChartAxis& axis, double& lo, double& hi) {
    lo = axis.AutomaticMinimum() ? axis.RangeMin : axis.Minimum();
    hi = axis.AutomaticMaximum() ? axis.RangeMax : axis.Maximum();
}

// Moves a zoomed-out window of the bottom axis back onto the days where it would show room
// beyond the first or last one: the ends may keep the series' pixel margins free, as the whole
// view does. A window as wide as the whole view, or wider, becomes the whole view.
void KeepOnData(TCustomChart& chart, double& lo, double& hi) {
    TChartAxis& axis = chart.BottomAxis();
    const double first = chart.LowestX(axis), last = chart.HighestX(axis);
    if (!(last > first)) return;
    int marginLeft = 0, marginRight = 0;
    for (TChartSeries* s : chart.SeriesList()) {
        if (!s->Active() || !s->UsesAxis(&axis)) continue;
        int left = 0, right = 0;
        s->HorizontalMargins(left, right);
        marginLeft = std::max(marginLeft, left);
        marginRight = std::max(marginRight, right);
    }
    // The axis's whole stretch: the last paint took the margins off an automatic end.
    const int length = axis.PixelLength + (axis.AutomaticMinimum() ? marginLeft : 0) +
                       (axis.AutomaticMaximum() ? marginRight : 0);
    const int inner = length - marginLeft - marginRight;
    if (inner < 1) return;
    const double span = hi - lo;
    const double whole = (last - first) * length / inner;
    if (span >= whole) {
        lo = first - marginLeft * whole / length;
        hi = lo + whole;
        return;
    }
    const double start = first - marginLeft * span / length, end = last + marginRight * span / length;
    double shift = 0;
    if (hi > end) shift = end - hi;
    else if (lo < start) shift = start - lo;
    lo += shift;
    hi += shift;
}

}  // namespace

void TCustomChart::VisibleHorizontalRange(double& lo, double& hi) { ShownRange(BottomAxis(), lo, hi); }

bool TCustomChart::FitRightAxis(double lo, double hi, double& min, double& max) {
    TChartAxis& axis = RightAxis();
    bool found = false;
    min = std::numeric_limits<double>::infinity();
    max = -min;
    int marginTop = 0, marginBottom = 0;
    for (TChartSeries* s : seriesList_) {
        if (!s->Active() || !s->UsesAxis(&axis)) continue;
        int top = 0, bottom = 0;
        s->VerticalMargins(top, bottom);
        marginTop = std::max(marginTop, top);
        marginBottom = std::max(marginBottom, bottom);
        const auto& lists = s->ValuesLists();
        const TChartValueList& xs = s->XValues();
        const int n = xs.Count();
        // Sorted x: skip straight to the first point in view and stop after the last.
        const bool sorted = xs.Order == TChartListOrder::loAscending && xs.KnownAscending();
        for (int i = sorted ? xs.FirstAtLeast(lo) : 0; i < n; ++i) {
            const double x = xs.Value(i);
            if (x > hi) {
                if (sorted) break;
                continue;
            }
            if (x < lo || s->PointColor(i) == clNone) continue;
            // Every list but the x list holds a y value of the point (open, high, low, close).
            for (size_t l = 1; l < lists.size(); ++l) {
                const double y = lists[l]->Value(i);
                min = std::min(min, y);
                max = std::max(max, y);
            }
            found = true;
        }
    }
    if (!found) return false;
    // The fitted values keep the margins' pixels free at both ends of the axis's stretch, as
    // an automatic axis does.
    const int inner = axis.PixelLength - marginTop - marginBottom;
    if (inner >= 1 && max > min) {
        const double perPixel = (max - min) / inner;
        max += marginTop * perPixel;
        min -= marginBottom * perPixel;
    }
    return true;
}

bool TCustomChart::ZoomHorizontal(double factor, double centre) {
    TChartAxis& bottom = BottomAxis();
    if (!(factor > 0) || !std::isfinite(factor) || !std::isfinite(centre) || bottom.PixelLength < 1) return false;
    double lo = 0, hi = 0;
    ShownRange(bottom, lo, hi);
    if (!(hi > lo)) return false;
    if (factor < 1 && lo <= LowestX(bottom) && hi >= HighestX(bottom)) return false;
    if (factor > 1 && (hi - lo) / factor < kMinSpan) return false;
    const double u = std::clamp((centre - lo) / (hi - lo), 0.0, 1.0);
    const double span = (hi - lo) / factor;
    TZoomTargets t{};
    t.BottomMin = centre - u * span;
    t.BottomMax = t.BottomMin + span;
    if (factor < 1) KeepOnData(*this, t.BottomMin, t.BottomMax);
    // The hidden top axis follows the same fractions of its own range.
    double topLo = 0, topHi = 0;
    ShownRange(TopAxis(), topLo, topHi);
    const double topPerBottom = (topHi - topLo) / (hi - lo);
    t.TopMin = topLo + (t.BottomMin - lo) * topPerBottom;
    t.TopMax = topLo + (t.BottomMax - lo) * topPerBottom;
    t.LeftMin = LeftAxis().Minimum();
    t.LeftMax = LeftAxis().Maximum();
    if (!FitRightAxis(t.BottomMin, t.BottomMax, t.RightMin, t.RightMax)) ShownRange(RightAxis(), t.RightMin, t.RightMax);
    ApplyZoom(t);
    return true;
}

bool TCustomChart::FitRightAxisToView() {
    double lo = 0, hi = 0, min = 0, max = 0;
    ShownRange(BottomAxis(), lo, hi);
    if (RightAxis().PixelLength < 1 || !FitRightAxis(lo, hi, min, max)) return false;
    if (!HasSavedScales) SaveScales();
    RightAxis().SetRange(min, max);
    return true;
}

bool TCustomChart::ScrollHorizontal(double fraction) {
    TChartAxis& bottom = BottomAxis();
    if (fraction == 0 || !std::isfinite(fraction) || bottom.PixelLength < 1) return false;
    double lo = 0, hi = 0;
    ShownRange(bottom, lo, hi);
    if (!(hi > lo)) return false;
    if (fraction < 0 ? lo <= LowestX(bottom) : hi >= HighestX(bottom)) return false;
    if (!HasSavedScales) SaveScales();
    const double delta = fraction * (hi - lo);
    bottom.SetRange(lo + delta, hi + delta);
    double topLo = 0, topHi = 0;
    ShownRange(TopAxis(), topLo, topHi);
    const double topDelta = fraction * (topHi - topLo);
    TopAxis().SetRange(topLo + topDelta, topHi + topDelta);
    double min = 0, max = 0;
    if (FitRightAxis(lo + delta, hi + delta, min, max)) RightAxis().SetRange(min, max);
    if (OnScroll) OnScroll(*this);
    InvalidateChart();
    return true;
}

}  // namespace zyn::chart
