#include "chart/Axis.h"

#include <algorithm>
#include <cmath>
#include <cstdint>

#include "chart/Chart.h"
#include "chart/Format.h"
#include "chart/PixelMath.h"
#include "chart/kernels/Kernels.h"

namespace zyn::chart {

void TCustomChartAxis::TPixelMap::Map(const double* values, double multiplier, size_t n, int* out) const {
    if (Size == 0) {
        std::fill(out, out + n, Center);
        return;
    }
    const kernels::TPixelScale scale{Min, Length / Size, Base, Sign};
    const kernels::TMapSure mapSure = kernels::Kernels().MapSure;
    // The kernel stops at each value whose pixel the product may not give; that one is mapped
    // one at a time, and the kernel goes on after it.
    for (size_t k = 0; k < n; ++k) {
        k += mapSure(scale, values + k, multiplier, n - k, out + k);
        if (k < n) out[k] = (*this)(values[k] * multiplier);
    }
}

namespace {
constexpr double kOneSecond = 1.0 / 86400.0;
constexpr double kMinStep = 1e-12;
constexpr double kIntLimit = TCustomChartAxis::kIntLimit;

// A multi-line label breaks at spaces and line feeds; any other text is one line, whatever
// characters it holds.
constexpr std::string_view kLineBreaks = " \n";

int LineCount(std::string_view text, bool multiLine) {
    if (!multiLine) return 1;
    int lines = 1;
    for (char c : text) lines += kLineBreaks.find(c) != std::string_view::npos;
    return lines;
}

// Calls take(line) for every line of the text, in order.
template <class Take>
void ForEachLine(std::string_view text, bool multiLine, Take take) {
    if (!multiLine) {
        take(text);
        return;
    }
    size_t start = 0;
    while (true) {
        const size_t end = text.find_first_of(kLineBreaks, start);
        take(text.substr(start, end == std::string_view::npos ? std::string_view::npos : end - start));
        if (end == std::string_view::npos) break;
        start = end + 1;
    }
}

int WidestLine(TChartCanvas3D& canvas, std::string_view text, bool multiLine) {
    int widest = 0;
    ForEachLine(text, multiLine, [&](std::string_view line) { widest = std::max(widest, canvas.TextWidth(line)); });
    return widest;
}
}  // namespace

const double DateTimeSteps[25] = {
    1.0 / 86400, 5.0 / 86400, 10.0 / 86400, 15.0 / 86400, 30.0 / 86400, 1.0 / 1440, 5.0 / 1440, 10.0 / 1440, 15.0 / 1440,
    30.0 / 1440, 1.0 / 24,    2.0 / 24,     6.0 / 24,     12.0 / 24,    1,           2,          3,          7,
    15,          30,          60,           90,           120,          182,         365};

void ApplyFont(TChartCanvas3D& canvas, const TChartFont& font) {
    TCanvasFont& f = canvas.Font;
    if (f.Name != font.Name) f.Name = font.Name;
    f.Size = font.Size;
    f.Color = font.Color;
    f.Bold = font.Bold;
    f.Italic = font.Italic;
    f.Underline = font.Underline;
    f.StrikeOut = font.StrikeOut;
}

void TChartAxisTitle::SetAngle(int value) {
    if (value < 0 || value > 359) throw ChartException("Axis Title Angle must be between 0 and 359 degrees");
    if (AssignIfChanged(angle_, value) && owner_) owner_->SettingChanged();
}

TCustomChartAxis::TCustomChartAxis(TCustomAxisPanel* chart, bool horizontal, bool farSide, bool depth)
    : IsHorizontal(horizontal), FarSide(farSide), IsDepthAxis(depth), chart_(chart) {}

void TCustomChartAxis::Repaint() {
    if (chart_) chart_->InvalidateChart();
}

// ---- property setters ----

void TCustomChartAxis::SetAutomatic(bool value) {
    if (!AssignIfChanged(automatic_, value)) return;
    if (!(chart_ && chart_->Loading)) {
        automaticMinimum_ = value;
        automaticMaximum_ = value;
    }
    Repaint();
}

void TCustomChartAxis::SetAutomaticMinimum(bool value) {
    if (!AssignIfChanged(automaticMinimum_, value)) return;
    if (!value)
        automatic_ = false;
    else if (automaticMaximum_)
        automatic_ = true;
    Repaint();
}

void TCustomChartAxis::SetAutomaticMaximum(bool value) {
    if (!AssignIfChanged(automaticMaximum_, value)) return;
    if (!value)
        automatic_ = false;
    else if (automaticMinimum_)
        automatic_ = true;
    Repaint();
}

void TCustomChartAxis::SetMinimum(double value) {
    if (value > maximum_ && !(chart_ && chart_->Loading)) throw AxisException("Axis Minimum Value must be <= Maximum");
    if (AssignIfChanged(minimum_, value)) Repaint();
}

void TCustomChartAxis::SetMaximum(double value) {
    if (value < minimum_ && !(chart_ && chart_->Loading)) throw AxisException("Axis Maximum Value must be >= Minimum");
    if (AssignIfChanged(maximum_, value)) Repaint();
}

void TCustomChartAxis::SetIncrement(double value) {
    if (!(value >= 0)) throw AxisException("Axis increment must be >= 0");
    if (AssignIfChanged(increment_, value)) Repaint();
}

void TCustomChartAxis::SetLabelsSeparation(int value) {
    if (value < 0) throw AxisException("Labels Separation % must be greater than 0");
    if (AssignIfChanged(labelsSeparation_, value)) Repaint();
}

void TCustomChartAxis::SetLabelsAngle(int value) {
    if (value < 0 || value > 359) throw ChartException("Axis Labels Angle must be between 0 and 359 degrees");
    if (AssignIfChanged(labelsAngle_, value)) Repaint();
}

void TCustomChartAxis::SetExactDateTime(bool value) { if (AssignIfChanged(exactDateTime_, value)) Repaint(); }
void TCustomChartAxis::SetStartPosition(double value) { if (AssignIfChanged(startPosition_, value)) Repaint(); }
void TCustomChartAxis::SetEndPosition(double value) { if (AssignIfChanged(endPosition_, value)) Repaint(); }
void TCustomChartAxis::SetPositionPercent(double value) { if (AssignIfChanged(positionPercent_, value)) Repaint(); }
void TCustomChartAxis::SetInverted(bool value) { if (AssignIfChanged(inverted_, value)) Repaint(); }
void TCustomChartAxis::SetRoundFirstLabel(bool value) { if (AssignIfChanged(roundFirstLabel_, value)) Repaint(); }
void TCustomChartAxis::SetVisible(bool value) { if (AssignIfChanged(visible_, value)) Repaint(); }
void TCustomChartAxis::SetLabels(bool value) { if (AssignIfChanged(labels_, value)) Repaint(); }
void TCustomChartAxis::SetAxisValuesFormat(const std::string& value) {
    if (AssignIfChanged(axisValuesFormat_, value)) Repaint();
}
void TCustomChartAxis::SetDateTimeFormat(const std::string& value) {
    if (AssignIfChanged(dateTimeFormat_, value)) Repaint();
}

// ---- range and mapping ----

void TCustomChartAxis::ComputeRange() {
    if (automatic_ || automaticMaximum_) maximum_ = IsHorizontal ? chart_->HighestX(*this) : chart_->HighestY(*this);
    if (automatic_ || automaticMinimum_) minimum_ = IsHorizontal ? chart_->LowestX(*this) : chart_->LowestY(*this);
    RangeMax = maximum_;
    RangeMin = minimum_;
    RangeSize = RangeMax - RangeMin;
}

void TCustomChartAxis::PlaceOnChart() {
    const TRect& plot = chart_->PlotRect;
    const int base = IsHorizontal ? plot.Left : plot.Top;
    const int size = IsHorizontal ? chart_->PlotWidth : chart_->PlotHeight;
    StartPixel = base + Round(size * 0.01 * startPosition_);
    EndPixel = base + Round(size * 0.01 * endPosition_);
    PixelLength = EndPixel - StartPixel;
    CenterPixel = (StartPixel + EndPixel) / 2;
}

void TCustomChartAxis::ApplyMargins(int nearMargin, int farMargin) {
    const int oldStart = StartPixel;
    const int oldEnd = EndPixel;
    StartPixel += nearMargin;
    EndPixel -= farMargin;
    PixelLength = EndPixel - StartPixel;
    // A span too short for its margins (or for any mapping at all) keeps the range unwidened
    // rather than collapsing it to the value 0 of an empty mapping.
    double a = RangeMin, b = RangeMax;
    if (PixelLength >= 1) {
        a = PixelToValue(oldStart);
        b = PixelToValue(oldEnd);
    }
    PlaceOnChart();
    RangeMin = std::min(a, b);
    RangeMax = std::max(a, b);
    RangeSize = RangeMax - RangeMin;
}

double TCustomChartAxis::PixelToValue(int pixel) const {
    if (PixelLength < 1) return 0;
    const double d = inverted_ ? double(EndPixel) - pixel : double(pixel) - StartPixel;
    const double t = d * RangeSize / PixelLength;
    return IsHorizontal ? RangeMin + t : RangeMax - t;
}

void TCustomChartAxis::SetRange(double a, double b) {
    bool changed = false;
    changed |= AssignIfChanged(automatic_, false);
    changed |= AssignIfChanged(automaticMinimum_, false);
    changed |= AssignIfChanged(automaticMaximum_, false);
    double lo = std::min(a, b), hi = std::max(a, b);
    if (hi - lo < 1e-10) hi = lo + 1e-10;
    changed |= AssignIfChanged(minimum_, lo);
    changed |= AssignIfChanged(maximum_, hi);
    if (changed) Repaint();
}

void TCustomChartAxis::RefreshDateTimeFlag() {
    IsDateTimeAxis = false;
    for (TChartSeries* s : chart_->SeriesList()) {
        if (!s->Active() || !s->UsesAxis(this)) continue;
        IsDateTimeAxis = IsHorizontal ? s->XValues().DateTime() : s->YValues().DateTime();
        return;
    }
}

// ---- label steps ----

double TCustomChartAxis::NextNiceStep(double x) {
    if (!(x > 0) || !std::isfinite(x)) return 1;
    if (x >= 10) return NextNiceStep(x * 0.1) * 10;
    if (x < 1) return NextNiceStep(x * 10) * 0.1;
    if (x < 2) return 2;
    if (x < 5) return 5;
    return 10;
}

double TCustomChartAxis::NextDateStep(double x) {
    int i = -1;
    for (int k = 0; k < 25; ++k)
        if (DateTimeSteps[k] <= x) i = k;
    if (i + 1 < 25) return DateTimeSteps[i + 1];
    return x * 2;
}

double TCustomChartAxis::StepForLabelCount(int n) const {
    double step = increment_ > 0 ? increment_ : (std::fabs(RangeSize) >= 1 ? 1 : kMinStep);
    if (labelsSeparation_ > 0 && std::isfinite(RangeSize)) {
        int count = n + 1;
        do {
            const double q = RangeSize / step;
            if (std::fabs(q) < kIntLimit) {
                count = Round(q);
                if (count > n) step = NextNiceStep(step);
            } else {
                step = NextNiceStep(step);
            }
            if (!std::isfinite(step)) break;
        } while (count > n);
    }
    return std::max(step, kMinStep);
}

double TCustomChartAxis::DateStepForLabelCount(int n) const {
    double step = std::max(increment_, kOneSecond);
    if (step > 0 && n > 0 && std::isfinite(RangeSize)) {
        if (RangeSize / step > 1000000) step = RangeSize / 1000000;
        int count;
        do {
            count = Round(RangeSize / step);
            if (count > n) step = step >= 365 ? step * 2 : NextDateStep(step);
            if (!std::isfinite(step)) break;
        } while (count > n);
    }
    return std::max(step, kOneSecond);
}

int TCustomChartAxis::LabelExtent(const std::string& text, TChartCanvas3D& canvas) const {
    // Lengthwise on a horizontal axis a label takes its width unless it stands upright; on a
    // vertical axis its height only while it lies flat.
    const bool byHeight = IsHorizontal ? (labelsAngle_ == 90 || labelsAngle_ == 270)
                                       : (labelsAngle_ == 0 || labelsAngle_ == 180);
    if (!byHeight) return WidestLine(canvas, text, LabelsMultiLine);
    return canvas.FontLineHeight() * LineCount(text, LabelsMultiLine);
}

double TCustomChartAxis::LabelStep() {
    TChartCanvas3D& canvas = chart_->Canvas();
    ApplyFont(canvas, LabelsFont);
    int size = std::max(LabelExtent(AxisLabelText(RangeMin), canvas), LabelExtent(AxisLabelText(RangeMax), canvas));
    if (labelsSeparation_ > 0) size += Round(labelsSeparation_ * 0.01 * size);
    const int maxLabels = size > 0 ? Round(static_cast<double>(PixelLength) / size) : 1;
    if (maxLabels <= 0) return IsDateTimeAxis ? kOneSecond : kMinStep;
    return IsDateTimeAxis ? DateStepForLabelCount(maxLabels) : StepForLabelCount(maxLabels);
}

// ---- label texts ----

std::string TCustomChartAxis::AxisLabelText(double value) const {
    const TFormatSettings& fs = chart_->FormatSettings;
    if (!IsDateTimeAxis) return FormatFloat(axisValuesFormat_, value, fs);
    if (value < 0) return {};
    if (!dateTimeFormat_.empty()) return FormatDateTime(dateTimeFormat_, value, fs);
    return FormatDateTime(RangeSize > 1 ? fs.ShortDateFormat : fs.ShortTimeFormat, value, fs);
}

TAxisLabelStyle TCustomChartAxis::ResolvedLabelStyle() const {
    if (LabelStyle != TAxisLabelStyle::talAuto) return LabelStyle;
    bool any = false;
    for (TChartSeries* s : chart_->SeriesList()) {
        if (!s->Active() || !s->UsesAxis(this)) continue;
        any = true;
        // Values running across the axis: a series with text labels labels it.
        if (s->ValuesAreVertical() == IsHorizontal && s->LabelCount() > 0 && !s->XLabel(0).empty())
            return TAxisLabelStyle::talText;
    }
    return any ? TAxisLabelStyle::talValue : TAxisLabelStyle::talNone;
}

// ---- space ----

int TCustomChartAxis::WidestSeriesLabel(TChartCanvas3D& /*canvas*/) const { return chart_->MaxLabelsWidth(); }

int TCustomChartAxis::LabelsBandSize(TChartCanvas3D& canvas) {
    if (LabelsSize != 0) return LabelsSize;
    ApplyFont(canvas, LabelsFont);
    const bool along = IsHorizontal ? (labelsAngle_ == 0 || labelsAngle_ == 180) : (labelsAngle_ == 90 || labelsAngle_ == 270);
    if (along) return canvas.FontLineHeight();
    switch (ResolvedLabelStyle()) {
        case TAxisLabelStyle::talValue: {
            double lo = RangeMin, hi = RangeMax;
            if (roundFirstLabel_ || (IsDateTimeAxis && exactDateTime_)) {
                const double step = LabelStep();
                ApplyFont(canvas, LabelsFont);
                if (step > 0) {
                    lo = step * static_cast<double>(Trunc64(lo / step));
                    hi = step * static_cast<double>(Trunc64(hi / step));
                }
            }
            return std::max(WidestLine(canvas, AxisLabelText(lo), LabelsMultiLine),
                            WidestLine(canvas, AxisLabelText(hi), LabelsMultiLine)) +
                   canvas.TextWidth(" ");
        }
        case TAxisLabelStyle::talText:
        case TAxisLabelStyle::talMark: return WidestSeriesLabel(canvas);
        default: return 0;
    }
}

int TCustomChartAxis::ShiftForPositionPercent() const {
    const int across = IsHorizontal ? chart_->PlotHeight : chart_->PlotWidth;
    return Round(0.01 * positionPercent_ * across);
}

void TCustomChartAxis::ReserveSpace(TRect& rect) {
    RefreshDateTimeFlag();
    TChartCanvas3D& canvas = chart_->Canvas();
    auto shrink = [&](int s) -> int {
        if (IsHorizontal) {
            if (FarSide) return rect.Top += s;
            return rect.Bottom -= s;
        }
        if (FarSide) return rect.Right -= s;
        return rect.Left += s;
    };
    if (!Title.Caption->empty()) {
        int extent = TitleSize;
        if (extent == 0) {
            ApplyFont(canvas, Title.Font);
            const bool along = IsHorizontal ? (Title.angle_ == 0 || Title.angle_ == 180) : (Title.angle_ == 90 || Title.angle_ == 270);
            extent = along ? canvas.FontLineHeight() : canvas.TextWidth(Title.Caption.Value());
        }
        reservedTitlePosition_ = shrink(extent);
    }
    if (labels_) reservedLabelsPosition_ = shrink(LabelsBandSize(canvas));
    int s = (Axis.Visible ? Axis.Width : 0) + (Ticks.Visible ? TickLength : 0);
    if (MinorTicks.Visible && MinorTickLength > s) s = MinorTickLength;
    if (s > 0) shrink(s);
    // Until the axis line's shift is known (it depends on the final plot), the labels and the
    // title stand where the unshifted line would have them.
    TitlePosition = reservedTitlePosition_;
    LabelsPosition = reservedLabelsPosition_;
}

// ---- drawing ----

void TCustomChartAxis::DrawTick(int p, int offset, int length) {
    TChartCanvas3D& canvas = chart_->Canvas();
    const int q = LinePosition;
    if (IsHorizontal) {
        if (FarSide)
            canvas.VerticalLine(p, q - offset, q - offset - length);
        else
            canvas.VerticalLine(p, q + offset, q + offset + length);
    } else {
        if (FarSide)
            canvas.HorizontalLine(q + offset, q + offset + length, p);
        else
            canvas.HorizontalLine(q - offset, q - offset - length, p);
    }
}

void TCustomChartAxis::DrawTicksAndGrid(int p) {
    TChartCanvas3D& canvas = chart_->Canvas();
    if (Ticks.Visible) {
        canvas.AssignChartPen(Ticks);
        DrawTick(p, 1, TickLength);
    }
    if (Grid.Visible) {
        int g = p;
        bool draw = true;
        if (GridCentered) {
            draw = previousTick_ > -1;
            g = Round((previousTick_ + p) * 0.5);
        }
        if (draw) {
            canvas.Brush.Style = TBrushStyle::bsClear;
            canvas.SetBackgroundMode(TBackMode::Transparent);
            canvas.AssignChartPen(Grid);
            if (Grid.Color == clAutoColor) canvas.Pen.Color = clDarkGray;
            const TRect& plot = chart_->PlotRect;
            if (IsHorizontal)
                canvas.VerticalLine(g, plot.Top, plot.Bottom);
            else
                canvas.HorizontalLine(plot.Left, plot.Right, g);
            canvas.SetBackgroundMode(TBackMode::Opaque);
        }
    }
    if (TicksInner.Visible && TickInnerLength != 0) {
        canvas.AssignChartPen(TicksInner);
        DrawTick(p, -1, -TickInnerLength);
    }
    if (MinorTicks.Visible && previousTick_ > -1 && MinorTickCount > 0) {
        canvas.AssignChartPen(MinorTicks);
        const double d = static_cast<double>(p - previousTick_) / (MinorTickCount + 1);
        for (int i = 1; i <= MinorTickCount; ++i) DrawTick(p - Round(i * d), 1, MinorTickLength);
    }
    previousTick_ = p;
}

void TCustomChartAxis::DrawLabelText(double value, int p, const std::string& text) {
    DrawnLabels.push_back(TDrawnLabel{value, p, text});
    TChartCanvas3D& canvas = chart_->Canvas();
    ApplyFont(canvas, LabelsFont);
    canvas.Brush.Color = chart_->Color();
    canvas.Brush.Style = TBrushStyle::bsClear;
    canvas.SetBackgroundMode(TBackMode::Transparent);
    const int fontHeight = canvas.FontLineHeight();
    const int h = fontHeight / 2;
    const int lines = LineCount(text, LabelsMultiLine);
    int x, y, align;
    if (IsHorizontal) {
        x = p;
        y = LabelsPosition;
        align = FarSide ? (TA_CENTER | TA_BOTTOM) : (TA_CENTER | TA_TOP);
    } else {
        x = LabelsPosition;
        y = p - h;
        align = FarSide ? (TA_LEFT | TA_TOP) : (TA_RIGHT | TA_TOP);
        if (lines > 1) y -= Round(fontHeight * 0.5 * (lines + 1)) - fontHeight;
    }
    canvas.SetTextAlign(align);
    if (lines == 1) {
        canvas.TextOut(x, y, text);
    } else {
        // Line by line, one font height apart; a top-axis block ends at the anchor.
        if (IsHorizontal && FarSide) y -= (lines - 1) * fontHeight;
        ForEachLine(text, true, [&](std::string_view line) {
            canvas.TextOut(x, y, line);
            y += fontHeight;
        });
    }
    canvas.SetTextAlign(TA_LEFT | TA_TOP);
}

void TCustomChartAxis::DrawValueLabels(double step) {
    const double q = RangeMax / step;
    if (!(std::fabs(q) < kIntLimit) || !(std::fabs(RangeSize / step) < 10000)) return;
    double v = (RangeMin == RangeMax || !roundFirstLabel_) ? RangeMax : step * static_cast<double>(Trunc64(q));
    auto drawLabel = [&](double value) {
        const int p = ValueToPixel(value);
        if (!TickOnLabelsOnly) DrawTicksAndGrid(p);
        if (labels_) {
            const std::string text = AxisLabelText(value);
            if (TickOnLabelsOnly) DrawTicksAndGrid(p);
            DrawLabelText(value, p, text);
        }
    };
    // The step bound above keeps the label count finite; the guard also stops a step that
    // vanishes against the value's magnitude.
    int guard = 0;
    if (LabelsOnAxis) {
        while (v > RangeMax && guard++ < 20002) v -= step;
        while (v >= RangeMin && guard++ < 20002) {
            drawLabel(v);
            v -= step;
        }
    } else {
        while (v >= RangeMax && guard++ < 20002) v -= step;
        while (v > RangeMin && guard++ < 20002) {
            drawLabel(v);
            v -= step;
        }
    }
}

// The candidates first .. last of the series that label the axis, each drawn where it clears
// the previous drawn label. Label sizes of the first series are kept on the axis from paint to
// paint; candidates that cannot fit are passed over without measuring, one by one on a width
// the canvas is sure of, or as a run where the x values ascend.
class TCustomChartAxis::TTextLabelWalk {
public:
    TTextLabelWalk(TCustomChartAxis& axis, TChartCanvas3D& canvas) : axis_(axis), canvas_(canvas) {}
    // The series with points on the axis and the candidates their visible ranges give; false
    // where none is visible.
    bool Collect();
    // The font, the size cache and the bounds used to pass candidates over.
    void Prepare();
    void Walk() {
        for (int i = first_; i <= last_; ++i) Candidate(i);
    }

private:
    // Candidate i: its tick and grid line and its label where they are drawn; i moves to the
    // last of a run of candidates passed over with it.
    void Candidate(int& i);
    TChartSeries* SeriesAt(int i) const;
    int LabelSize(TChartSeries* s, int i, std::string_view text);
    // A width the label is sure to reach, kept like its size, so a repaint asks no canvas again.
    bool LeastWidth(TChartSeries* s, int i, std::string_view text, int& least);
    int EnlargedHalf(int size) const { return (size + static_cast<int>(size * 0.02 * axis_.labelsSeparation_)) / 2; }
    // Whether a label of the given enlarged half size at p clears the previous drawn one.
    bool Fits(int p, int half) const {
        return (p >= previousPos_ && p - half >= previousPos_ + previousHalf_) ||
               (p < previousPos_ && p + half <= previousPos_ - previousHalf_);
    }
    // The last of the candidates from i on whose pixels lie within reach of the previous
    // drawn label: ascending values map to pixels in order, so they are one run, found by
    // galloping, not one by one.
    int EndOfRun(int i, int reach) const;
    void KeepSizes();
    void LeastHalfOfAll();

    TCustomChartAxis& axis_;
    TChartCanvas3D& canvas_;
    std::vector<TChartSeries*> collected_;
    TChartSeries* front_ = nullptr;  // the first collected, whose sizes are kept
    int first_ = -1, last_ = -1;
    bool along_ = true, boundable_ = false, skippable_ = false;
    int fontHeight_ = 0, skipLimit_ = 0, leastHalf_ = 0;
    bool hasPrevious_ = false;
    int previousPos_ = 0, previousHalf_ = 0;
};

bool TCustomChartAxis::TTextLabelWalk::Collect() {
    for (TChartSeries* s : axis_.chart_->SeriesList())
        if (s->Active() && s->UsesAxis(&axis_) && s->Count() > 0) collected_.push_back(s);
    for (TChartSeries* s : collected_) {
        s->UpdateVisibleRange();
        if (s->FirstVisibleIndex < 0) continue;
        if (first_ < 0 || s->FirstVisibleIndex < first_) first_ = s->FirstVisibleIndex;
        if (s->LastVisibleIndex > last_) last_ = s->LastVisibleIndex;
    }
    if (first_ < 0) return false;
    front_ = collected_.front();
    return true;
}

void TCustomChartAxis::TTextLabelWalk::Prepare() {
    ApplyFont(canvas_, axis_.LabelsFont);
    along_ = axis_.IsHorizontal || axis_.labelsAngle_ == 90 || axis_.labelsAngle_ == 270;
    fontHeight_ = canvas_.FontLineHeight();
    KeepSizes();
    boundable_ = along_ && !axis_.LabelsMultiLine;
    // Candidates passed over draw nothing when ticks go with labels only; along ascending
    // x values of the first series they can be passed over as a run.
    skippable_ = axis_.IsHorizontal && axis_.TickOnLabelsOnly && axis_.labels_ && front_->XValues().KnownAscending();
    skipLimit_ = std::min(last_, front_->Count() - 1);
    if (skippable_ && boundable_ && axis_.labelsSeparation_ >= 0) LeastHalfOfAll();
}

void TCustomChartAxis::TTextLabelWalk::KeepSizes() {
    TCustomChartAxis& a = axis_;
    if (a.sizeCacheSeries_ == front_ && a.sizeCacheVersion_ == front_->LabelsVersion() && a.sizeCacheFont_ == a.LabelsFont &&
        a.sizeCacheAlong_ == along_ && a.sizeCacheMultiLine_ == a.LabelsMultiLine &&
        a.sizeCache_.size() == static_cast<size_t>(front_->Count()))
        return;
    a.sizeCacheSeries_ = front_;
    a.sizeCacheVersion_ = front_->LabelsVersion();
    a.sizeCacheFont_ = a.LabelsFont;
    a.sizeCacheAlong_ = along_;
    a.sizeCacheMultiLine_ = a.LabelsMultiLine;
    a.sizeCache_.assign(static_cast<size_t>(front_->Count()), -1);
    a.leastCache_.assign(static_cast<size_t>(front_->Count()), kLeastUnknown);
    a.leastOfAll_ = kLeastUnknown;
}

void TCustomChartAxis::TTextLabelWalk::LeastHalfOfAll() {
    // Beyond the previous label's half size, a candidate still cannot fit within the least
    // enlarged half size of any label of the series: those are passed over as a run too.
    int& least = axis_.leastOfAll_;
    if (least == kLeastUnknown) {
        least = INT32_MAX;
        for (int i = 0; i < front_->Count() && least > 0; ++i) {
            int width = 0;
            least = canvas_.TextWidthAtLeast(front_->XLabel(i), width) ? std::min(least, width) : 0;
        }
        least = std::max(0, least == INT32_MAX ? 0 : least);
    }
    leastHalf_ = EnlargedHalf(least);
}

TChartSeries* TCustomChartAxis::TTextLabelWalk::SeriesAt(int i) const {
    for (TChartSeries* c : collected_)
        if (c->Count() > i) return c;
    return nullptr;
}

int TCustomChartAxis::TTextLabelWalk::LabelSize(TChartSeries* s, int i, std::string_view text) {
    int* slot = s == front_ ? &axis_.sizeCache_[static_cast<size_t>(i)] : nullptr;
    if (slot && *slot >= 0) return *slot;
    int size = 0;
    if (!text.empty())
        size = along_ ? WidestLine(canvas_, text, axis_.LabelsMultiLine) : fontHeight_ * LineCount(text, axis_.LabelsMultiLine);
    if (slot) *slot = size;
    return size;
}

bool TCustomChartAxis::TTextLabelWalk::LeastWidth(TChartSeries* s, int i, std::string_view text, int& least) {
    if (s != front_) return canvas_.TextWidthAtLeast(text, least);
    int& slot = axis_.leastCache_[static_cast<size_t>(i)];
    if (slot == kLeastUnknown) slot = canvas_.TextWidthAtLeast(text, least) && least > kLeastNone ? least : kLeastNone;
    least = slot;
    return slot != kLeastNone;
}

int TCustomChartAxis::TTextLabelWalk::EndOfRun(int i, int reach) const {
    auto inside = [&](int j) {
        const double w = front_->XValues().Value(j);
        if (!(w <= axis_.RangeMax)) return false;
        const int q = axis_.ValueToPixel(w);
        return q > previousPos_ - reach && q < previousPos_ + reach;
    };
    int lo = i, step = 1;  // inside(lo) holds
    while (lo + step <= skipLimit_ && inside(lo + step)) {
        lo += step;
        step *= 2;
    }
    int hi = std::min(skipLimit_ + 1, lo + step);  // inside fails at hi, or hi is past the limit
    while (hi - lo > 1) {
        const int mid = lo + (hi - lo) / 2;
        (inside(mid) ? lo : hi) = mid;
    }
    return lo;
}

void TCustomChartAxis::TTextLabelWalk::Candidate(int& i) {
    TCustomChartAxis& a = axis_;
    TChartSeries* s = SeriesAt(i);
    if (!s) return;
    const double v = a.IsHorizontal ? s->XValues().Value(i) : s->YValues().Value(i);
    if (!(a.RangeMin <= v && v <= a.RangeMax)) return;
    const int p = a.ValueToPixel(v);
    if (!a.TickOnLabelsOnly) a.DrawTicksAndGrid(p);
    if (!a.labels_) return;
    const bool separate = a.labelsSeparation_ != 0 && hasPrevious_;
    // A label whose centre is inside the previous one's half size can never fit, whatever
    // its own size: skip it without measuring.
    const int reach = previousHalf_ + leastHalf_;
    if (separate && ((p >= previousPos_ && p < previousPos_ + reach) || (p < previousPos_ && p > previousPos_ - reach))) {
        if (skippable_ && i < skipLimit_) i = EndOfRun(i, reach);
        return;
    }
    const std::string_view text = s->XLabel(i);
    // After a load nothing is measured yet and most candidates fail by far: a width the text
    // is sure to reach rejects those without measuring. The enlarged half size grows with the
    // width, so a label too wide at the bound is too wide at its width.
    int least;
    if (separate && boundable_ && !(s == front_ && a.sizeCache_[static_cast<size_t>(i)] >= 0) &&
        LeastWidth(s, i, text, least) && !Fits(p, EnlargedHalf(least)))
        return;
    int size = LabelSize(s, i, text);
    if (separate) {
        size = EnlargedHalf(size);
        if (!Fits(p, size)) return;
        previousPos_ = p;
        previousHalf_ = size;
    } else {
        previousPos_ = p;
        previousHalf_ = size / 2;
        hasPrevious_ = true;
    }
    if (a.TickOnLabelsOnly) a.DrawTicksAndGrid(p);
    a.DrawLabelText(v, p, std::string(text));
}

void TCustomChartAxis::DrawTextLabels() {
    TTextLabelWalk walk(*this, chart_->Canvas());
    if (!walk.Collect()) return;
    walk.Prepare();
    walk.Walk();
}

void TCustomChartAxis::PaintAxis() {
    RefreshDateTimeFlag();
    TChartCanvas3D& canvas = chart_->Canvas();
    ApplyFont(canvas, LabelsFont);
    const double step = LabelStep();
    LastLabelStep = step;
    DrawnLabels.clear();
    const TRect& plot = chart_->PlotRect;
    if (IsHorizontal)
        LinePosition = FarSide ? plot.Top : plot.Bottom;
    else
        LinePosition = FarSide ? plot.Right : plot.Left;
    // The labels and the title move with the line, by the one shift of the final plot.
    int shift = 0;
    if (positionPercent_ != 0) {
        const bool towardLarger = IsHorizontal ? FarSide : !FarSide;
        shift = towardLarger ? ShiftForPositionPercent() : -ShiftForPositionPercent();
    }
    LinePosition += shift;
    LabelsPosition = reservedLabelsPosition_ + shift;
    TitlePosition = reservedTitlePosition_ + shift;
    if (step > 0 && RangeMax >= RangeMin) {
        previousTick_ = -1;
        switch (ResolvedLabelStyle()) {
            case TAxisLabelStyle::talValue: DrawValueLabels(step); break;
            case TAxisLabelStyle::talText:
            case TAxisLabelStyle::talMark: DrawTextLabels(); break;
            default: break;
        }
    }
    if (Axis.Visible) {
        canvas.AssignChartPen(Axis);
        if (IsHorizontal)
            canvas.Line(StartPixel, LinePosition, EndPixel, LinePosition);
        else
            canvas.Line(LinePosition, StartPixel, LinePosition, EndPixel);
    }
}

bool TCustomChartAxis::AxisHitTest(int x, int y) const {
    if (!chart_->AxisShown(*this)) return false;
    const int a0 = std::min(StartPixel, EndPixel), a1 = std::max(StartPixel, EndPixel);
    int c0, c1;
    if (LabelsPosition < LinePosition) {
        c0 = LabelsPosition;
        c1 = LinePosition + 3;
    } else {
        c0 = LinePosition - 3;
        c1 = LabelsPosition;
    }
    const TRect band = IsHorizontal ? TRect{a0, c0, a1, c1} : TRect{c0, a0, c1, a1};
    return band.Contains(x, y);
}

}  // namespace zyn::chart
