#include "chart/Chart.h"

#include <algorithm>
#include <cstring>

#include "chart/PixelMath.h"

namespace zyn::chart {

// ---- TChartTitle ----

TChartTitle::TChartTitle(TCustomChartPanel* chart)
    : Font(chart, clBlue), Alignment(chart, TAlignment::taCenter), AdjustFrame(chart, true), Brush(chart),
      Color(chart, clAutoColor), Frame(chart), chart_(chart) {}

void TChartTitle::SetText(std::vector<std::string> lines) {
    text_ = std::move(lines);
    chart_->InvalidateChart();
}

void TChartTitle::SetVisible(bool value) {
    if (AssignIfChanged(visible_, value)) chart_->InvalidateChart();
}

// ---- TCustomChartPanel ----

TCustomChartPanel::TCustomChartPanel(std::unique_ptr<TChartCanvas3D> canvas)
    : canvas_(std::move(canvas)), drawing_(canvas_.get()) {
    chartConstructed_ = true;
}

TCustomChartPanel::~TCustomChartPanel() = default;

void TCustomChartPanel::SetColor(TColor value) { if (AssignIfChanged(color_, value)) InvalidateChart(); }
void TCustomChartPanel::SetBevelOuter(TPanelBevel value) { if (AssignIfChanged(bevelOuter_, value)) InvalidateChart(); }
void TCustomChartPanel::SetBevelInner(TPanelBevel value) { if (AssignIfChanged(bevelInner_, value)) InvalidateChart(); }
void TCustomChartPanel::SetBevelWidth(int value) { if (AssignIfChanged(bevelWidth_, value)) InvalidateChart(); }
void TCustomChartPanel::SetBorderWidth(int value) { if (AssignIfChanged(borderWidth_, value)) InvalidateChart(); }
void TCustomChartPanel::SetView3D(bool value) { if (AssignIfChanged(view3D_, value)) InvalidateChart(); }

void TCustomChartPanel::SetChart3DPercent(int value) {
    if (value < 1 || value > 100) throw ChartException("3D effect percent must be between 1 and 100");
    if (AssignIfChanged(chart3DPercent_, value)) InvalidateChart();
}

void TCustomChartPanel::SetMargins(int left, int top, int right, int bottom) {
    bool changed = AssignIfChanged(marginLeft_, left);
    changed |= AssignIfChanged(marginTop_, top);
    changed |= AssignIfChanged(marginRight_, right);
    changed |= AssignIfChanged(marginBottom_, bottom);
    if (changed) InvalidateChart();
}

void TCustomChartPanel::SetBounds(int width, int height) {
    bool changed = AssignIfChanged(width_, width);
    changed |= AssignIfChanged(height_, height);
    if (changed) InvalidateChart();
}

void TCustomChartPanel::SetCursor(TCursor value) {
    if (!AssignIfChanged(Cursor, value)) return;
    if (OnCursorChange) OnCursorChange(value);
}

void TCustomChartPanel::InvalidateChart() {
    if (!chartConstructed_) return;
    const bool wasValid = canvas_->BufferValid;
    canvas_->InvalidateBuffer();
    // Requests coalesce: the host is asked once until the next frame is drawn.
    if (wasValid && OnInvalidate) OnInvalidate();
}

void TCustomChartPanel::PaintChart() {
    if (canvas_->BufferValid) {
        canvas_->RedrawFromBuffer();
        return;
    }
    DrawChart(TRect{0, 0, width_, height_});
}

void TCustomChartPanel::DrawChart(const TRect& rect) {
    const int w = rect.Width(), h = rect.Height();
    drawing_->BeginFrame(w, h);
    PanelBounds = TRect{0, 0, w, h};
    PlotRect = TRect{PanelBounds.Left + borderWidth_ + MulDiv(marginLeft_, w, 100),
                     PanelBounds.Top + borderWidth_ + MulDiv(marginTop_, h, 100),
                     PanelBounds.Right - borderWidth_ - MulDiv(marginRight_, w, 100),
                     PanelBounds.Bottom - borderWidth_ - MulDiv(marginBottom_, h, 100)};
    UpdatePlotSize();
    DrawChartContents(PanelBounds);
    drawing_->EndFrame();
    ++FramesDrawn;
}

void TCustomChartPanel::DrawChartOn(TChartCanvas3D& canvas, const TRect& rect) {
    // The chart's own canvas again however the frame ends.
    struct TRestore {
        TChartCanvas3D*& Drawing;
        TChartCanvas3D* Own;
        ~TRestore() { Drawing = Own; }
    } restore{drawing_, canvas_.get()};
    drawing_ = &canvas;
    DrawChart(rect);
}

void TCustomChartPanel::UpdatePlotSize() {
    TRect& r = PlotRect;
    if (r.Left < PanelBounds.Left) r.Left = PanelBounds.Left;
    if (r.Top < PanelBounds.Top) r.Top = PanelBounds.Top;
    if (r.Left > r.Right)
        r.Right = r.Left + 1;
    else if (r.Left == r.Right)
        r.Right = r.Left + width_;
    if (r.Top > r.Bottom)
        r.Bottom = r.Top + 1;
    else if (r.Top == r.Bottom)
        r.Bottom = r.Top + height_;
    PlotWidth = r.Right - r.Left;
    PlotHeight = r.Bottom - r.Top;
    PlotCenterX = (r.Left + r.Right) / 2;
    PlotCenterY = (r.Top + r.Bottom) / 2;
}

void TCustomChartPanel::PaintPanel(const TRect& bounds) {
    TChartCanvas3D& c = Canvas();
    c.Brush.Color = color_;
    c.Brush.Style = TBrushStyle::bsSolid;
    c.FillRect(bounds);
    c.Pen.Style = TPenStyle::psSolid;
    c.Pen.Width = 1;
    c.Pen.Mode = TPenMode::pmCopy;
    c.Brush.Style = TBrushStyle::bsClear;
    TRect r = bounds;
    auto bevel = [&](TPanelBevel b) {
        const TColor top = b == TPanelBevel::bvLowered ? clBtnShadow : clBtnHighlight;
        const TColor bottom = b == TPanelBevel::bvRaised ? clBtnShadow : clBtnHighlight;
        c.Frame3D(r, top, bottom, bevelWidth_);
    };
    if (bevelOuter_ != TPanelBevel::bvNone) bevel(bevelOuter_);
    c.Frame3D(r, color_, color_, borderWidth_);
    if (bevelInner_ != TPanelBevel::bvNone) bevel(bevelInner_);
}

// ---- TCustomChartPanelExtended ----

TCustomChartPanelExtended::TCustomChartPanelExtended(std::unique_ptr<TChartCanvas3D> canvas)
    : TCustomChartPanel(std::move(canvas)) {}

// ---- TCustomAxisPanel ----

TCustomAxisPanel::TCustomAxisPanel(std::unique_ptr<TChartCanvas3D> canvas)
    : TCustomChartPanelExtended(std::move(canvas)) {
    bottomAxis_ = std::make_unique<TChartAxis>(this, true, false);
    axes_.push_back(bottomAxis_.get());
    topAxis_ = std::make_unique<TChartAxis>(this, true, true);
    axes_.push_back(topAxis_.get());
    leftAxis_ = std::make_unique<TChartAxis>(this, false, false);
    leftAxis_->Title.SetAngle(90);
    axes_.push_back(leftAxis_.get());
    rightAxis_ = std::make_unique<TChartAxis>(this, false, true);
    rightAxis_->Title.SetAngle(270);
    axes_.push_back(rightAxis_.get());
    depthAxis_ = std::make_unique<TChartDepthAxis>(this);
    axes_.push_back(depthAxis_.get());
}

TCustomAxisPanel::~TCustomAxisPanel() {
    // Series go before the axes they point to; they must not ask a dying chart to repaint.
    chartConstructed_ = false;
    FreeAllSeries();
}

TChartSeries& TCustomAxisPanel::AddSeries(std::unique_ptr<TChartSeries> series) {
    TChartSeries* s = series.get();
    if (std::find(seriesList_.begin(), seriesList_.end(), s) != seriesList_.end()) {
        (void)series.release();  // already ours
        return *s;
    }
    if (s->SeriesColor() == clAutoColor) {
        static constexpr TColor palette[] = {0x0000FF, 0x008000, 0x00FFFF, 0xFF0000, 0x808080, 0xFF00FF,
                                             0x008080, 0x800000, 0x000080, 0x808000, 0x800080, 0x00FF00};
        for (TColor c : palette) {
            if (c == Color() || c == BackColorForPalette()) continue;
            bool used = false;
            for (TChartSeries* other : seriesList_) used |= other->SeriesColor() == c;
            if (!used) {
                s->SetSeriesColor(c);
                break;
            }
        }
    }
    s->AttachToChart(this);
    seriesList_.push_back(s);
    ownedSeries_.push_back(std::move(series));
    InvalidateChart();
    return *s;
}

std::unique_ptr<TChartSeries> TCustomAxisPanel::RemoveSeries(TChartSeries& series) {
    auto it = std::find(seriesList_.begin(), seriesList_.end(), &series);
    if (it == seriesList_.end()) return nullptr;
    seriesList_.erase(it);
    std::unique_ptr<TChartSeries> result;
    for (auto o = ownedSeries_.begin(); o != ownedSeries_.end(); ++o)
        if (o->get() == &series) {
            result = std::move(*o);
            ownedSeries_.erase(o);
            break;
        }
    if (Cursor == series.Cursor && series.Cursor != crDefault) SetCursor(SavedCursor);
    series.AttachToChart(nullptr);
    InvalidateChart();
    return result;
}

void TCustomAxisPanel::FreeAllSeries() {
    for (TChartSeries* s : seriesList_) s->AttachToChart(nullptr);
    seriesList_.clear();
    ownedSeries_.clear();
}


void TCustomAxisPanel::SetAxisVisible(bool value) { if (AssignIfChanged(axisVisible_, value)) InvalidateChart(); }

void TCustomAxisPanel::SetMaxPointsPerPage(int value) {
    if (value < 0) throw ChartException("MaxPointsPerPage must be >= 0");
    if (AssignIfChanged(maxPointsPerPage_, value)) InvalidateChart();
}

namespace {
template <class Take, class Better>
double SeriesExtent(const std::vector<TChartSeries*>& list, const TCustomChartAxis& axis, Take take, Better better) {
    bool found = false;
    double result = 0;
    for (TChartSeries* s : list) {
        if (!s->Active() || s->Count() == 0) continue;
        const bool bound = axis.IsHorizontal
                               ? (s->HorizAxis() == THorizAxis::aBothHorizAxis || s->GetHorizAxis() == &axis)
                               : (s->VertAxis() == TVertAxis::aBothVertAxis || s->GetVertAxis() == &axis);
        if (!bound) continue;
        const double v = take(*s);
        if (!found || better(v, result)) result = v;
        found = true;
    }
    return result;
}
}  // namespace

double TCustomAxisPanel::LowestX(const TCustomChartAxis& axis) const {
    return SeriesExtent(seriesList_, axis, [](TChartSeries& s) { return s.MinX(); }, std::less<double>());
}
double TCustomAxisPanel::HighestX(const TCustomChartAxis& axis) const {
    return SeriesExtent(seriesList_, axis, [](TChartSeries& s) { return s.MaxX(); }, std::greater<double>());
}
double TCustomAxisPanel::LowestY(const TCustomChartAxis& axis) const {
    return SeriesExtent(seriesList_, axis, [](TChartSeries& s) { return s.MinY(); }, std::less<double>());
}
double TCustomAxisPanel::HighestY(const TCustomChartAxis& axis) const {
    return SeriesExtent(seriesList_, axis, [](TChartSeries& s) { return s.MaxY(); }, std::greater<double>());
}

bool TCustomAxisPanel::AxisShown(const TCustomChartAxis& axis) const {
    if (!axisVisible_ || !axis.Visible()) return false;
    if (axis.IsDepthAxis) return View3D();
    bool anyActive = false;
    for (TChartSeries* s : seriesList_) {
        if (!s->Active()) continue;
        anyActive = true;
        if (s->UsesAxis(&axis)) return true;
    }
    return !anyActive;
}

int TCustomAxisPanel::MaxLabelsWidth() {
    int widest = 0;
    for (TChartSeries* s : seriesList_) {
        if (!s->Active()) continue;
        for (int i = 0; i < s->LabelCount(); ++i) {
            const std::string_view text = s->XLabel(i);
            if (!text.empty()) widest = std::max(widest, Canvas().TextWidth(text));
        }
    }
    return widest;
}

void TCustomAxisPanel::LayoutAxes() {
    for (TCustomChartAxis* axis : axes_) axis->ComputeRange();
    UpdatePlotSize();
    TRect r = PlotRect;
    for (TCustomChartAxis* axis : axes_) {
        if (!AxisShown(*axis)) continue;
        TRect a = r;
        axis->ReserveSpace(a);
        TRect both;
        if (IntersectRect(both, r, a)) r = both;
    }
    PlotRect = r;
    UpdatePlotSize();
    for (TCustomChartAxis* axis : axes_) axis->PlaceOnChart();
}

void TCustomAxisPanel::ApplySeriesMargins() {
    TCustomChartAxis* order[] = {topAxis_.get(), leftAxis_.get(), rightAxis_.get(), bottomAxis_.get()};
    for (TCustomChartAxis* axis : order) {
        int mNear = 0, mFar = 0;
        for (TChartSeries* s : seriesList_) {
            if (!s->Active() || !s->UsesAxis(axis)) continue;
            int a = 0, b = 0;
            if (axis->IsHorizontal) {
                s->HorizontalMargins(a, b);
                if (axis->AutomaticMinimum()) mNear = std::max(mNear, a);
                if (axis->AutomaticMaximum()) mFar = std::max(mFar, b);
            } else {
                s->VerticalMargins(a, b);
                if (axis->AutomaticMaximum()) mNear = std::max(mNear, a);
                if (axis->AutomaticMinimum()) mFar = std::max(mFar, b);
            }
        }
        axis->ApplyMargins(mNear, mFar);
    }
}

void TCustomAxisPanel::PaintAxes() {
    if (OnBeforeDrawAxes) OnBeforeDrawAxes(*this);
    for (TCustomChartAxis* axis : axes_)
        if (AxisShown(*axis)) axis->PaintAxis();
}

TRect TCustomAxisPanel::PlotClipRect() const {
    return TRect{PlotRect.Left + 1, PlotRect.Top + 1, PlotRect.Right, PlotRect.Bottom - 1};
}

void TCustomAxisPanel::ClipToPlot() { Canvas().SetClip(PlotClipRect()); }

int TCustomAxisPanel::SeriesPointAt(TChartSeries& series, int x, int y) const {
    if (ClipPoints && !PlotClipRect().Contains(x, y)) return -1;
    return series.Clicked(x, y);
}

void TCustomAxisPanel::PaintSeriesList() {
    TFrameContext frame(*this, composeCache_);
    // The frame is the chart's while its series paint, and no longer, whatever a hook throws.
    struct TCurrent {
        TFrameContext*& At;
        ~TCurrent() { At = nullptr; }
    } current{frame_ = &frame};
    for (TChartSeries* s : seriesList_)
        if (s->Active()) PaintSeries(*s, frame);
    frame.FlushInk();
}

void TCustomAxisPanel::PaintSeries(TChartSeries& series, TFrameContext& frame) {
    series.UpdateVisibleRange();
    if (series.FirstVisibleIndex == -1) return;
    if (series.BeforeDrawValues) {
        frame.FlushInk();
        series.BeforeDrawValues(series);
    }
    const bool clip = ClipPoints;
    if (clip) ClipToPlot();
    // A declined composition leaves the pen and brush as it found them: where no point is
    // drawn, a later shape without an outline fills in the pen mode the series found.
    const TCanvasPen pen = Canvas().Pen;
    const TCanvasBrush brush = Canvas().Brush;
    if (DrawEveryPoint || !series.DrawComposed(frame)) {
        Canvas().Pen = pen;
        Canvas().Brush = brush;
        // Point by point, over what waits to be painted.
        frame.FlushInk();
        series.DrawPoints();
    }
    if (series.AfterDrawValues) frame.FlushInk();
    if (clip) Canvas().ClearClip();
    if (series.AfterDrawValues) series.AfterDrawValues(series);
}

// ---- TCustomChart ----

TCustomChart::TCustomChart(std::unique_ptr<TChartCanvas3D> canvas)
    : TCustomAxisPanel(std::move(canvas)), Title(this), Foot(this) {}

TCustomChart::~TCustomChart() = default;

namespace {
// The title's fill on the canvas: none for an automatic colour over a solid automatic brush,
// otherwise its brush, over the title's colour where the brush is a pattern.
void ApplyTitleBrush(TChartCanvas3D& c, const TChartTitle& title) {
    const TColor patternColor = title.Brush.Color == clAutoColor ? clBlack : title.Brush.Color;
    if (title.Color == clAutoColor) {
        if (title.Brush.Style != TBrushStyle::bsSolid) {
            c.Brush = TCanvasBrush{patternColor, title.Brush.Style};
            c.SetBackgroundMode(TBackMode::Transparent);
        } else if (title.Brush.Color == clAutoColor) {
            c.Brush.Style = TBrushStyle::bsClear;
        } else {
            c.Brush = TCanvasBrush{title.Brush.Color, TBrushStyle::bsSolid};
        }
    } else if (title.Brush.Style == TBrushStyle::bsSolid) {
        c.Brush = TCanvasBrush{title.Color, TBrushStyle::bsSolid};
    } else {
        c.Brush = TCanvasBrush{patternColor, title.Brush.Style};
        c.SetBackgroundMode(TBackMode::Opaque);
        c.SetBackgroundColor(title.Color);
    }
}

// The title box narrowed to the widest line and a letter's width, on the title's side.
void AdjustTitleBox(TChartCanvas3D& c, TChartTitle& title, int letter) {
    int widest = 0;
    for (const auto& line : title.Text()) widest = std::max(widest, c.TextWidth(line));
    const int m = widest + letter;
    TRect& tb = title.TitleBox;
    switch (title.Alignment) {
        case TAlignment::taLeftJustify: tb.Right = tb.Left + m; break;
        case TAlignment::taRightJustify: tb.Left = tb.Right - m; break;
        case TAlignment::taCenter: {
            const int center = (tb.Left + tb.Right) / 2;
            tb.Left = center - m / 2;
            tb.Right = center + m / 2;
            break;
        }
    }
}
}  // namespace

void TCustomChart::PaintTitle(TChartTitle& title, bool isTop) {
    TChartCanvas3D& c = Canvas();
    ApplyFont(c, title.Font);
    const int h = c.FontLineHeight();
    const auto& lines = title.Text();
    const int n = static_cast<int>(lines.size());
    ApplyTitleBrush(c, title);
    // A frame takes its pen's width inside the plot and around the box.
    const bool framed = title.Frame.Visible && title.Frame.Color != clAutoColor;
    const int f = framed ? title.Frame.Width : 0, pw = f;
    if (framed)
        c.AssignChartPen(title.Frame);
    else
        c.Pen.Style = TPenStyle::psClear;
    const int left = PlotRect.Left + f, right = PlotRect.Right - f;
    const int top = isTop ? PlotRect.Top + f : PlotRect.Bottom - f - n * h;
    title.TitleBox = TRect{left - pw, top - pw, right + pw, top + n * h + pw};
    const int w = c.TextWidth("W");
    if (framed || c.Brush.Style != TBrushStyle::bsClear) {
        if (title.AdjustFrame) AdjustTitleBox(c, title, w);
        c.Rectangle(title.TitleBox);
    }
    c.SetBackgroundMode(TBackMode::Transparent);
    c.SetTextAlign(TA_LEFT | TA_TOP);
    // Each line in its row of the box; a title's from the first down, a foot's from the last up.
    for (int k = 0; k < n; ++k) {
        const int i = isTop ? k : n - 1 - k;
        const std::string& line = lines[static_cast<size_t>(i)];
        const int tw = c.TextWidth(line);
        const int x = title.Alignment == TAlignment::taLeftJustify    ? left + w / 2
                      : title.Alignment == TAlignment::taRightJustify ? right - tw - w / 2
                                                                     : (left + right) / 2 - tw / 2;
        c.TextOut(x, top + i * h, line);
    }
    const int taken = n >= 1 ? f + n * h + pw + 5 : f + pw;
    if (isTop)
        PlotRect.Top += taken;
    else
        PlotRect.Bottom -= taken;
    UpdatePlotSize();
}

void TCustomChart::PaintWalls() {
    TChartCanvas3D& c = Canvas();
    c.AssignChartPen(BackWall.Pen);
    if (BackWall.Color == clAutoColor && BackWall.Brush.Style == TBrushStyle::bsSolid)
        c.Brush.Style = TBrushStyle::bsClear;
    else
        c.PrepareFillBrush(BackWall.Color == clAutoColor ? Color() : BackWall.Color, BackWall.Brush.Style,
                           BackWall.Brush.Color == clAutoColor ? Color() : BackWall.Brush.Color);
    c.Rectangle(PlotRect.Left, PlotRect.Top, PlotRect.Right + 1, PlotRect.Bottom);
}

void TCustomChart::DrawChartContents(const TRect& bounds) {
    PaintPanel(bounds);
    if (Title.Visible()) PaintTitle(Title, true);
    if (Foot.Visible()) PaintTitle(Foot, false);
    LayoutAxes();
    ApplySeriesMargins();
    PaintWalls();
    if (AxisVisible()) PaintAxes();
    if (OnBeforeDrawSeries) OnBeforeDrawSeries(*this);
    PaintSeriesList();
    if (ZoomDrag.Active) DrawRubberBandInFrame();
    Canvas().ResetCanvas();
    if (OnAfterDraw) OnAfterDraw(*this);
}

}  // namespace zyn::chart
