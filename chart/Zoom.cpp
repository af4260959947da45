#include <cmath>
#include <cstdlib>

#include "chart/Chart.h"

namespace zyn::chart {

namespace {
constexpr TMouseButton kZoomButton = TMouseButton::mbLeft;
constexpr TMouseButton kPanButton = TMouseButton::mbRight;
constexpr int kMinDrag = 16;
constexpr double kAnimationDivisor = 3.0;
}  // namespace

TChartClickedPart TCustomChart::HitTest(int x, int y) {
    TChartClickedPart part;
    for (auto it = seriesList_.rbegin(); it != seriesList_.rend(); ++it) {
        TChartSeries* s = *it;
        if (!s->Active()) continue;
        const int index = SeriesPointAt(*s, x, y);
        if (index >= 0) {
            part.Part = TChartClickedPartStyle::cpSeries;
            part.ASeries = s;
            part.PointIndex = index;
            return part;
        }
    }
    for (TCustomChartAxis* axis : AxesList()) {
        if (axis->AxisHitTest(x, y)) {
            part.Part = TChartClickedPartStyle::cpAxis;
            part.AAxis = axis;
            return part;
        }
    }
    if (Title.Visible() && Title.TitleBox.Contains(x, y)) {
        part.Part = TChartClickedPartStyle::cpTitle;
        return part;
    }
    if (Foot.Visible() && Foot.TitleBox.Contains(x, y)) {
        part.Part = TChartClickedPartStyle::cpFoot;
        return part;
    }
    bool anyActive = false;
    for (TChartSeries* s : seriesList_) anyActive |= s->Active();
    if (anyActive && PlotRect.Contains(x, y)) {
        part.Part = TChartClickedPartStyle::cpChartRect;
        return part;
    }
    // A hidden legend is never hit; the viewer's legend is hidden.
    return part;
}

void TCustomChart::MouseDown(TMouseButton button, TShiftState shift, int x, int y) {
    if (ZoomDrag.Active || PanDrag.Active) return;
    if (ClickHandled) {
        ClickHandled = false;
        return;
    }
    bool handled = false;
    const TChartClickedPart part = HitTest(x, y);
    bool tryDrag = false;
    switch (part.Part) {
        case TChartClickedPartStyle::cpLegend:
            if (OnClickLegend) {
                ClickHandled = true;
                OnClickLegend(*this, button, shift, x, y);
                handled = ClickHandled;
            }
            break;
        case TChartClickedPartStyle::cpAxis:
            if (OnClickAxis) {
                ClickHandled = true;
                OnClickAxis(*this, *part.AAxis, button, shift, x, y);
                handled = ClickHandled;
            }
            tryDrag = !handled;
            break;
        case TChartClickedPartStyle::cpSeries: {
            TChartSeries& s = *part.ASeries;
            ClickHandled = false;
            const bool dbl = (shift & ssDouble) != 0;
            if (dbl && s.OnDblClick) {
                ClickHandled = true;
                s.OnDblClick(s, part.PointIndex);
            } else if (!dbl && s.OnClick) {
                ClickHandled = true;
                s.OnClick(s, part.PointIndex);
            }
            handled = ClickHandled;
            if (OnClickSeries) {
                ClickHandled = true;
                OnClickSeries(*this, s, part.PointIndex, button, shift, x, y);
                handled = ClickHandled;
            }
            tryDrag = !handled;
            break;
        }
        case TChartClickedPartStyle::cpChartRect:
            if (OnClickBackground) {
                ClickHandled = true;
                OnClickBackground(*this, button, shift, x, y);
                handled = ClickHandled;
            }
            tryDrag = !handled;
            break;
        default: break;
    }
    if (tryDrag) {
        // No modifier keys are required: any state of Shift, Ctrl and Alt starts a drag.
        if (AllowZoom && button == kZoomButton) {
            SetCursor(crDefault);
            ZoomDrag.StartDrag(x, y);
            DrawRubberBand();
            handled = true;
        }
        if (AllowPanning != TPanningMode::pmNone && button == kPanButton) {
            SetCursor(crDefault);
            PanDrag.StartDrag(x, y);
            handled = true;
        }
    }
    if (!handled && OnClickBackground && part.Part != TChartClickedPartStyle::cpChartRect) {
        ClickHandled = true;
        OnClickBackground(*this, button, shift, x, y);
    }
    ClickHandled = false;
}

void TCustomChart::MouseMove(TShiftState /*shift*/, int x, int y) {
    if (ZoomDrag.Active) {
        if (x == ZoomDrag.X1 && y == ZoomDrag.Y1) return;
        DrawRubberBand();
        ZoomDrag.X1 = x;
        ZoomDrag.Y1 = y;
        DrawRubberBand();
        return;
    }
    if (PanDrag.Active) {
        if (!PlotRect.Contains(x, y)) {
            PanDrag.Active = false;
            return;
        }
        if (x == PanDrag.X1 && y == PanDrag.Y1) return;
        if (!HasSavedScales) SaveScales();
        panMoved_ = false;
        PanAxes(true, PanDrag.X1, x);
        PanAxes(false, PanDrag.Y1, y);
        PanDrag.X1 = x;
        PanDrag.Y1 = y;
        if (panMoved_) {
            if (OnScroll) OnScroll(*this);
            InvalidateChart();
        }
        return;
    }
    TCursor cursor = SavedCursor;
    for (TChartSeries* s : seriesList_) {
        if (s->Active() && s->Cursor != crDefault && SeriesPointAt(*s, x, y) >= 0) {
            cursor = s->Cursor;
            break;
        }
    }
    SetCursor(cursor);
}

void TCustomChart::MouseUp(TMouseButton button, TShiftState /*shift*/, int x, int y) {
    if (ZoomDrag.Active && button == kZoomButton) {
        ZoomDrag.Active = false;
        DrawRubberBand();
        Canvas().Pen.Mode = TPenMode::pmCopy;
        ZoomDrag.X1 = x;
        ZoomDrag.Y1 = y;
        if (std::abs(ZoomDrag.X1 - ZoomDrag.X0) > kMinDrag && std::abs(ZoomDrag.Y1 - ZoomDrag.Y0) > kMinDrag) {
            if (ZoomDrag.X1 > ZoomDrag.X0 && ZoomDrag.Y1 > ZoomDrag.Y0)
                ZoomToRectangle();
            else
                RevertZoom();
            InvalidateChart();
        }
    }
    PanDrag.Active = false;
}

void TCustomChart::MouseLeave() {
    SetCursor(SavedCursor);
    PanDrag.Active = false;
}

void TCustomChart::SaveScales() {
    TCustomChartAxis* axes[] = {&TopAxis(), &LeftAxis(), &RightAxis(), &BottomAxis()};
    for (int i = 0; i < 4; ++i) {
        SavedScales[static_cast<size_t>(i)] = TSavedAxisScale{axes[i]->Automatic(), axes[i]->AutomaticMinimum(),
                                                              axes[i]->AutomaticMaximum(), axes[i]->Minimum(),
                                                              axes[i]->Maximum()};
    }
    HasSavedScales = true;
}

void TCustomChart::ZoomToRectangle() {
    ZoomDrag.Normalize();
    TZoomTargets t{};
    t.BottomMin = BottomAxis().PixelToValue(ZoomDrag.X0);
    t.BottomMax = BottomAxis().PixelToValue(ZoomDrag.X1);
    t.TopMin = TopAxis().PixelToValue(ZoomDrag.X0);
    t.TopMax = TopAxis().PixelToValue(ZoomDrag.X1);
    t.LeftMin = LeftAxis().PixelToValue(ZoomDrag.Y1);
    t.LeftMax = LeftAxis().PixelToValue(ZoomDrag.Y0);
    t.RightMin = RightAxis().PixelToValue(ZoomDrag.Y1);
    t.RightMax = RightAxis().PixelToValue(ZoomDrag.Y0);
    ApplyZoom(t);
}

void TCustomChart::ApplyZoom(const TZoomTargets& t) {
    if (!HasSavedScales) SaveScales();
    struct Target {
        TCustomChartAxis* axis;
        double lo, hi;
    };
    const Target targets[] = {{&LeftAxis(), t.LeftMin, t.LeftMax},
                              {&RightAxis(), t.RightMin, t.RightMax},
                              {&TopAxis(), t.TopMin, t.TopMax},
                              {&BottomAxis(), t.BottomMin, t.BottomMax}};
    if (AnimatedZoom) {
        for (int step = 1; step < AnimatedZoomSteps; ++step) {
            for (const Target& g : targets) {
                TCustomChartAxis& a = *g.axis;
                a.SetRange(a.Minimum() + (g.lo - a.Minimum()) / kAnimationDivisor,
                           a.Maximum() - (a.Maximum() - g.hi) / kAnimationDivisor);
            }
            // A synchronous full frame for each step.
            InvalidateChart();
            PaintChart();
            if (OnPresentFrame) OnPresentFrame();
        }
    }
    for (const Target& g : targets) g.axis->SetRange(g.lo, g.hi);
    IsZoomed = true;
    if (OnZoom) OnZoom(*this);
}

void TCustomChart::RevertZoom() {
    if (HasSavedScales) {
        TCustomChartAxis* axes[] = {&TopAxis(), &BottomAxis(), &LeftAxis(), &RightAxis()};
        const size_t saved[] = {0, 3, 1, 2};  // SavedScales holds top, left, right, bottom
        for (int i = 0; i < 4; ++i) {
            TCustomChartAxis& a = *axes[i];
            const TSavedAxisScale& s = SavedScales[saved[i]];
            a.SetAutomatic(s.Automatic);
            a.SetAutomaticMinimum(s.AutomaticMinimum);
            a.SetAutomaticMaximum(s.AutomaticMaximum);
            if (!a.Automatic()) {
                a.SetRange(s.Minimum, s.Maximum);
                // SetRange fixes both ends; an end that was automatic before the zoom must
                // follow the data again.
                a.SetAutomaticMinimum(s.AutomaticMinimum);
                a.SetAutomaticMaximum(s.AutomaticMaximum);
            }
        }
        HasSavedScales = false;
    }
    if (OnUndoZoom) OnUndoZoom(*this);
    InvalidateChart();
    IsZoomed = false;
}

void TCustomChart::PanAxes(bool horizontal, int from, int to) {
    if (from == to) return;
    const TPanningMode wanted = horizontal ? TPanningMode::pmHorizontal : TPanningMode::pmVertical;
    if (AllowPanning != wanted && AllowPanning != TPanningMode::pmBoth) return;
    for (TCustomChartAxis* axis : AxesList()) {
        if (axis->IsDepthAxis || axis->IsHorizontal != horizontal) continue;
        PanAxis(*axis, from, to);
    }
    panMoved_ = true;
}

void TCustomChart::PanAxis(TCustomChartAxis& axis, int from, int to) {
    const double delta = axis.PixelToValue(from) - axis.PixelToValue(to);
    double aMin = axis.Minimum() + delta;
    double aMax = axis.Maximum() + delta;
    bool allow = true;
    if (OnAllowScroll) OnAllowScroll(axis, aMin, aMax, allow);
    if (allow) axis.SetRange(aMin, aMax);
}

void TCustomChart::DrawRubberBandInFrame() {
    TChartCanvas3D& c = Canvas();
    c.Pen.Color = Color() == clWhite ? clBlack : Color();
    c.Pen.Mode = TPenMode::pmNotXor;
    c.Pen.Style = TPenStyle::psSolid;
    c.Pen.Width = 1;
    c.Brush.Style = TBrushStyle::bsClear;
    c.Rectangle(ZoomDrag.X0, ZoomDrag.Y0, ZoomDrag.X1, ZoomDrag.Y1);
    c.Pen.Mode = TPenMode::pmCopy;
}

void TCustomChart::DrawRubberBand() {
    // Inverting on the presented frame: drawing the same band twice restores the pixels. An
    // invalid frame is redrawn in full later, band included, so nothing is drawn on it now.
    if (!Canvas().BufferValid) return;
    DrawRubberBandInFrame();
    if (OnRubberBandChanged) OnRubberBandChanged();
}

}  // namespace zyn::chart
