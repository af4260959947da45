#pragma once
#include <functional>
#include <memory>

#include "chart/Series.h"
#include "chart/compose/SeriesComposer.h"

namespace zyn::chart {

enum class TBarStyle { bsRectangle, bsPyramid, bsInvPyramid, bsCilinder, bsEllipse, bsArrow, bsRectGradient };
enum class TMultiBar { mbNone, mbSide, mbStacked, mbStacked100 };

class TBarComposer;

class TCustomBarSeries : public TChartSeries {
public:
    TCustomBarSeries();

    bool AutoBarSize() const { return autoBarSize_; }
    void SetAutoBarSize(bool value);
    TSetting<bool> AutoMarkPosition{this, true};
    TChartBrush BarBrush{this};
    TChartPen BarPen{this};
    TBarStyle BarStyle() const { return barStyle_; }
    void SetBarStyle(TBarStyle value);
    int BarWidthPercent() const { return barWidthPercent_; }
    void SetBarWidthPercent(int value);  // 1 .. 100, else BarException
    TSetting<bool> Dark3D{this, true};
    TMultiBar MultiBar() const { return multiBar_; }
    void SetMultiBar(TMultiBar value);  // also sets it on every series of the same kind
    int OffsetPercent() const { return offsetPercent_; }
    void SetOffsetPercent(int value);  // -100 .. 100, else BarException
    bool SideMargins() const { return sideMargins_; }
    void SetSideMargins(bool value);  // also sets it on every other series of the same kind
    bool UseYOrigin() const { return useYOrigin_; }
    void SetUseYOrigin(bool value);
    double YOrigin() const { return yOrigin_; }
    void SetYOrigin(double value);
    std::function<TBarStyle(TCustomBarSeries&, int)> OnGetBarStyle;

    int BarPixelWidth = 0;

    int SideBySideCount() const;
    int SidePosition() const;
    void UpdateBarWidth();
    virtual double OriginValue(int index) const;
    int OriginPixel(int index) const;
    TBarStyle EffectiveBarStyle(int index);
    void PrepareBarCanvas(TColor color) const;
    // The canvas for a bar that has nothing to fill: its outline pen takes the bar's colour
    // and draws even where it was clear.
    static void PrepareBarLine(TChartCanvas3D& canvas);
    // Whether another series is of the same kind (its class is this one's or derives from it).
    virtual bool SameKind(const TChartSeries& other) const = 0;

protected:
    // The side-by-side count and position as of the last UpdateBarWidth, so that placing a bar
    // does not walk the series list.
    int sideCount_ = 1, sidePosition_ = 1;
    int CustomWidth = 0;  // fixed width in pixels when not 0
    // Bounds and colour of the bar being drawn.
    int barLeft_ = 0, barTop_ = 0, barRight_ = 0, barBottom_ = 0;
    TColor barColor_ = clAutoColor;

private:
    bool autoBarSize_ = false;
    TBarStyle barStyle_ = TBarStyle::bsRectangle;
    int barWidthPercent_ = 70;
    TMultiBar multiBar_ = TMultiBar::mbSide;
    int offsetPercent_ = 0;
    bool sideMargins_ = true;
    bool useYOrigin_ = true;
    double yOrigin_ = 0;
};

class TBarSeries : public TCustomBarSeries {
public:
    TBarSeries();
    ~TBarSeries() override;

    int CustomBarWidth() const { return CustomWidth; }
    void SetCustomBarWidth(int value);

    void DrawPoint(int index) override;
    double MaxY() const override;
    double MinY() const override;
    int XPixel(int index) const override;
    int YPixel(int index) const override;
    void MapPixels(int first, int last, int* xs, int* ys) const override;
    bool DrawsForward() const override;
    void HorizontalMargins(int& left, int& right) override;
    void VerticalMargins(int& top, int& bottom) override;
    virtual void PaintBar(int index, int upper, int lower);
    void PaintBarRectangle(int left, int top, int right, int bottom);
    int Clicked(int x, int y) override;
    bool SameKind(const TChartSeries& other) const override;

    // How far a bar's left edge lies from its value's pixel.
    int XShift() const;

protected:
    TSeriesComposer* Composer() override;
    void ComposedTo(const TComposedEnd& end) override;

private:
    std::unique_ptr<TBarComposer> composer_;
};

}  // namespace zyn::chart
