#pragma once
#include <algorithm>
#include <cmath>
#include <cstdint>
#include <string>
#include <vector>

#include "chart/Canvas.h"
#include "chart/ChartErrors.h"

namespace zyn::chart {

class TCustomAxisPanel;
class TChartSeries;

enum class TAxisLabelStyle { talAuto, talNone, talValue, talMark, talText };

// A font of a chart object: name, size in points, colour, style. A font made with an owner
// tells it of every change; a copy tells no one.
class TChartFont {
public:
    TChartFont() = default;
    explicit TChartFont(TChangeSink* owner, TColor color = clBlack)
        : Name(owner, "Arial"), Size(owner, 8), Color(owner, color), Bold(owner, false), Italic(owner, false),
          Underline(owner, false), StrikeOut(owner, false) {}
    TSetting<std::string> Name{"Arial"};
    TSetting<int> Size{8};
    TSetting<TColor> Color{clBlack};
    TSetting<bool> Bold{false}, Italic{false}, Underline{false}, StrikeOut{false};
    friend bool operator==(const TChartFont&, const TChartFont&) = default;
};
void ApplyFont(TChartCanvas3D& canvas, const TChartFont& font);

class TChartAxisTitle {
public:
    explicit TChartAxisTitle(TChangeSink* owner) : Caption(owner, std::string()), Font(owner), owner_(owner) {}
    int Angle() const { return angle_; }
    void SetAngle(int value);  // 0 .. 359, else ChartException
    TSetting<std::string> Caption;
    TChartFont Font;

private:
    friend class TCustomChartAxis;
    TChangeSink* owner_;
    int angle_ = 0;
};

// Date-time label steps in days, index 0 .. 24; 25 stands for no table step.
extern const double DateTimeSteps[25];

// One axis: its range (fixed or from the series), its stretch of the plot, the value/pixel
// mapping, the label step, and its drawing (space, labels, ticks, grid, line).
class TCustomChartAxis : public TChangeSink {
public:
    TCustomChartAxis(TCustomAxisPanel* chart, bool horizontal, bool farSide, bool depth = false);
    virtual ~TCustomChartAxis() = default;
    void SettingChanged() override { Repaint(); }
    TCustomChartAxis(const TCustomChartAxis&) = delete;
    TCustomChartAxis& operator=(const TCustomChartAxis&) = delete;

    TCustomAxisPanel* ParentChart() const { return chart_; }
    const bool IsHorizontal;
    const bool FarSide;
    const bool IsDepthAxis;

    // Range properties.
    bool Automatic() const { return automatic_; }
    void SetAutomatic(bool value);
    bool AutomaticMinimum() const { return automaticMinimum_; }
    void SetAutomaticMinimum(bool value);
    bool AutomaticMaximum() const { return automaticMaximum_; }
    void SetAutomaticMaximum(bool value);
    double Minimum() const { return minimum_; }
    void SetMinimum(double value);
    double Maximum() const { return maximum_; }
    void SetMaximum(double value);
    double Increment() const { return increment_; }
    void SetIncrement(double value);
    bool ExactDateTime() const { return exactDateTime_; }
    void SetExactDateTime(bool value);
    double StartPosition() const { return startPosition_; }
    void SetStartPosition(double value);
    double EndPosition() const { return endPosition_; }
    void SetEndPosition(double value);
    double PositionPercent() const { return positionPercent_; }
    void SetPositionPercent(double value);
    bool Inverted() const { return inverted_; }
    void SetInverted(bool value);
    int LabelsSeparation() const { return labelsSeparation_; }
    void SetLabelsSeparation(int value);
    bool RoundFirstLabel() const { return roundFirstLabel_; }
    void SetRoundFirstLabel(bool value);
    TSetting<bool> Logarithmic{this, false};
    TSetting<int> LogarithmicBase{this, 10};
    bool Visible() const { return visible_; }
    void SetVisible(bool value);

    // Label and drawing properties.
    bool Labels() const { return labels_; }
    void SetLabels(bool value);
    TChartFont LabelsFont{this};
    int LabelsAngle() const { return labelsAngle_; }
    void SetLabelsAngle(int value);  // 0 .. 359, else ChartException
    TSetting<int> LabelsSize{this, 0};
    TSetting<bool> LabelsOnAxis{this, true};
    TSetting<bool> LabelsMultiLine{this, false};  // break label texts at spaces
    TSetting<TAxisLabelStyle> LabelStyle{this, TAxisLabelStyle::talAuto};
    const std::string& AxisValuesFormat() const { return axisValuesFormat_; }
    void SetAxisValuesFormat(const std::string& value);
    const std::string& DateTimeFormat() const { return dateTimeFormat_; }
    void SetDateTimeFormat(const std::string& value);
    TSetting<bool> TickOnLabelsOnly{this, true};
    TChartPen Axis{this, clBlack, 2, TPenStyle::psSolid, true};
    TChartPen Ticks{this, clDarkGray, 1, TPenStyle::psSolid, true};
    TSetting<int> TickLength{this, 4};
    TChartPen TicksInner{this, clDarkGray, 1, TPenStyle::psSolid, true};
    TSetting<int> TickInnerLength{this, 0};
    TChartPen MinorTicks{this, clDarkGray, 1, TPenStyle::psSolid, true};
    TSetting<int> MinorTickLength{this, 2};
    TSetting<int> MinorTickCount{this, 3};
    TChartPen Grid{this, clDarkGray, 1, TPenStyle::psDot, true};
    TSetting<bool> GridCentered{this, false};
    TChartAxisTitle Title{this};
    TSetting<int> TitleSize{this, 0};

    // Run-time state of the last paint.
    double RangeMin = 0, RangeMax = 0, RangeSize = 0;
    bool IsDateTimeAxis = false;
    int StartPixel = 0, EndPixel = 0, PixelLength = 0, CenterPixel = 0;
    int LinePosition = 0, LabelsPosition = 0, TitlePosition = 0;
    // What the last PaintAxis drew: its label step and its labels in drawing order.
    struct TDrawnLabel {
        double Value;
        int Pixel;
        std::string Text;
    };
    double LastLabelStep = 0;
    std::vector<TDrawnLabel> DrawnLabels;

    // Range and mapping.
    void ComputeRange();
    void PlaceOnChart();
    void ApplyMargins(int nearMargin, int farMargin);
    // The mapping of values to pixels as the last paint placed the axis, held by value so
    // that drawing loops mapping every visible point keep it in registers.
    struct TPixelMap {
        double Min, Size;
        int Length, Center;
        std::int64_t Base, Sign;
        int operator()(double value) const {
            if (Size == 0) return Center;
            const double t = (value - Min) * Length / Size;
            // Without branches on the value, which the drawing loops cannot predict. A far
            // value goes far beyond the span on its own side, where clipping hides it; the
            // offset leaves room for the sizes that drawing adds to a pixel. Pixel sums are
            // whole numbers far below 2^53, so doubles hold them exactly.
            const double far = t > 0 ? double(kFarOffset) : -double(kFarOffset);
            const double r = std::fabs(t) < kIntLimit ? RoundNear(t) : far;
            const double p = std::clamp(double(Base) + double(Sign) * r, double(INT32_MIN), double(INT32_MAX));
            return t != t ? Center : static_cast<int>(p);
        }
        // values[k] * multiplier for k < n, into out, each as the mapping above gives it.
        // Multiplying by the scale instead of dividing strays from the quotient by a few units
        // in the last place, which can only change the pixel near a half: there, and for far
        // or undefined values, the value is mapped as above.
        void Map(const double* values, double multiplier, size_t n, int* out) const;
        bool operator==(const TPixelMap&) const = default;
    };
    TPixelMap PixelMap() const {
        // Horizontal axes count from their start, vertical ones up from their end.
        const bool fromStart = IsHorizontal != inverted_;
        const std::int64_t sign = IsHorizontal == !inverted_ ? 1 : -1;
        return TPixelMap{RangeMin, RangeSize, PixelLength, CenterPixel, fromStart ? StartPixel : EndPixel, sign};
    }
    int ValueToPixel(double value) const { return PixelMap()(value); }
    static constexpr double kIntLimit = 2147483647.0;
    static constexpr std::int64_t kFarOffset = std::int64_t(1) << 30;
    double PixelToValue(int pixel) const;
    void SetRange(double a, double b);
    void RefreshDateTimeFlag();

    // Label steps.
    double LabelStep();
    double StepForLabelCount(int n) const;
    double DateStepForLabelCount(int n) const;
    static double NextNiceStep(double x);
    static double NextDateStep(double x);

    // Drawing.
    void ReserveSpace(TRect& rect);
    void PaintAxis();
    std::string AxisLabelText(double value) const;
    TAxisLabelStyle ResolvedLabelStyle() const;
    bool AxisHitTest(int x, int y) const;

    void Repaint();

private:
    int LabelExtent(const std::string& text, TChartCanvas3D& canvas) const;
    int LabelsBandSize(TChartCanvas3D& canvas);
    int WidestSeriesLabel(TChartCanvas3D& canvas) const;
    void DrawValueLabels(double step);
    // One drawing of the series' text labels along the axis.
    class TTextLabelWalk;
    void DrawTextLabels();
    void DrawTicksAndGrid(int p);
    void DrawLabelText(double value, int p, const std::string& text);
    void DrawTick(int p, int offset, int length);
    int ShiftForPositionPercent() const;

    TCustomAxisPanel* chart_;
    bool automatic_ = true, automaticMinimum_ = true, automaticMaximum_ = true;
    double minimum_ = 0, maximum_ = 0, increment_ = 0;
    bool exactDateTime_ = true;
    double startPosition_ = 0, endPosition_ = 100, positionPercent_ = 0;
    bool inverted_ = false;
    int labelsSeparation_ = 10;
    bool roundFirstLabel_ = true;
    bool visible_ = true;
    bool labels_ = true;
    int labelsAngle_ = 0;
    std::string axisValuesFormat_ = "#,##0.###";
    std::string dateTimeFormat_;
    // Where ReserveSpace put the labels and the title, before the axis line's shift.
    int reservedLabelsPosition_ = 0, reservedTitlePosition_ = 0;
    int previousTick_ = -1;  // drawing scratch: the preceding ticks/grid position
    // Label sizes of the series that labels this axis, measured once per label text and font:
    // scrolling and repainting a long series would otherwise measure thousands of texts a frame.
    const TChartSeries* sizeCacheSeries_ = nullptr;
    unsigned long sizeCacheVersion_ = 0;
    TChartFont sizeCacheFont_;
    bool sizeCacheAlong_ = true;
    bool sizeCacheMultiLine_ = false;
    std::vector<int> sizeCache_;
    static constexpr int kLeastUnknown = INT32_MIN, kLeastNone = INT32_MIN + 1;
    std::vector<int> leastCache_;  // widths the labels are sure to reach, with sizeCache_
    int leastOfAll_ = kLeastUnknown;  // a width every label of the series reaches, with sizeCache_
};

class TChartAxis : public TCustomChartAxis {
public:
    using TCustomChartAxis::TCustomChartAxis;
};

class TChartDepthAxis : public TCustomChartAxis {
public:
    explicit TChartDepthAxis(TCustomAxisPanel* chart) : TCustomChartAxis(chart, false, false, true) {
        SetVisible(false);
    }
};

}  // namespace zyn::chart
