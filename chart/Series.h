#pragma once
#include <algorithm>
#include <array>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "chart/Canvas.h"
#include "chart/ChartErrors.h"
#include "chart/Colors.h"

namespace zyn::chart {

class TChartSeries;
class TCustomAxisPanel;
class TSeriesComposer;
class TFrameContext;
struct TComposedEnd;
class TCustomChartAxis;

enum class TChartListOrder { loNone, loAscending, loDescending };
enum class THorizAxis { aTopAxis, aBottomAxis, aBothHorizAxis, aCustomHorizAxis };
enum class TVertAxis { aLeftAxis, aRightAxis, aBothVertAxis, aCustomVertAxis };

// Cursor ids as the platform numbers them.
using TCursor = int;
constexpr TCursor crDefault = 0;
constexpr TCursor crArrow = -2;
constexpr TCursor crCross = -3;
constexpr TCursor crHourGlass = -11;
constexpr TCursor crHandPoint = -21;

// One numeric dimension of a series' points. Values are stored unmultiplied.
class TChartValueList {
public:
    TChartValueList(TChartSeries* owner, std::string name);

    std::string Name;
    TChartListOrder Order = TChartListOrder::loNone;
    std::string ValueSource;
    double PendingValue = 0;

    double Multiplier() const { return multiplier_; }
    void SetMultiplier(double value);
    bool DateTime() const { return dateTime_; }
    void SetDateTime(bool value);

    int Count() const { return static_cast<int>(values_.size()); }
    double ValueAt(int index) const;
    // Unchecked, for drawing loops that already hold a valid index.
    double Value(int index) const { return values_[static_cast<size_t>(index)] * multiplier_; }
    // The values as stored, unmultiplied, for drawing loops that map many at once.
    const double* Data() const { return values_.data(); }
    void SetValueAt(int index, double value);
    int AddValue(double value);
    void InsertValue(int index, double value);
    void DeleteValue(int index);
    void Swap(int a, int b);
    void Clear();
    void Reserve(int n) { values_.reserve(static_cast<size_t>(n)); }

    double Min() const { Refresh(); return min_; }
    double Max() const { Refresh(); return max_; }
    double Sum() const { Refresh(); return sum_; }
    double AbsSum() const { Refresh(); return absSum_; }
    bool StatsDirty() const { return statsDirty_; }
    // Whether the values as read are known to run in ascending order, so that a value can be
    // looked up by bisection. Overwriting or exchanging values forgets it until Clear.
    bool KnownAscending() const { return ascending_ && multiplier_ >= 0; }
    // The first index from `from` on whose value is not below v, by bisection; the values
    // must ascend (KnownAscending).
    int FirstAtLeast(double v, int from = 0) const {
        int first = from, count = Count() - from;
        while (count > 0) {
            const int step = count / 2;
            if (Value(first + step) < v) {
                first += step + 1;
                count -= step + 1;
            } else {
                count = step;
            }
        }
        return first;
    }

    TChartSeries* Owner() const { return owner_; }
    // Names the values as they stand: a stamp no other list and no other state of this list
    // ever had, so that lists holding the same values need to be compared only once.
    std::uint64_t Stamp() const { return stamp_; }

private:
    void Refresh() const;
    void Changed() {
        statsDirty_ = true;
        stamp_ = NextStamp();
    }
    static std::uint64_t NextStamp();
    void CheckIndex(int index) const;
    // After value was stored at index: whether the order still holds around it.
    void KeepOrderAt(int index);

    TChartSeries* owner_;
    std::uint64_t stamp_ = NextStamp();
    std::vector<double> values_;
    double multiplier_ = 1.0;
    bool dateTime_ = false;
    bool ascending_ = true;
    mutable bool statsDirty_ = true;
    mutable double min_ = 0, max_ = 0, sum_ = 0, absSum_ = 0;
};

// The common storage and loops of every series kind; a kind overrides how one point is
// drawn, its margins and its value range.
class TChartSeries : public TChangeSink {
public:
    TChartSeries();
    virtual ~TChartSeries();
    // Pens, brushes and settings of a series ask its chart to repaint when they change.
    void SettingChanged() override { RequestRepaint(); }
    TChartSeries(const TChartSeries&) = delete;
    TChartSeries& operator=(const TChartSeries&) = delete;

    std::string Name;

    TChartValueList& XValues() { return *valueLists_[0]; }
    TChartValueList& YValues() { return *valueLists_[1]; }
    const TChartValueList& XValues() const { return *valueLists_[0]; }
    const TChartValueList& YValues() const { return *valueLists_[1]; }
    const std::vector<std::unique_ptr<TChartValueList>>& ValuesLists() const { return valueLists_; }

    // Points.
    int AddPoint(double x, double y, std::string_view label = {}, TColor color = clAutoColor);
    int Append(double y, std::string_view label = {}, TColor color = clAutoColor);
    int AppendNull(std::string_view label = {}) { return Append(0, label, clNone); }
    int AddNullPoint(double x, double y, std::string_view label = {}) { return AddPoint(x, y, label, clNone); }
    void InsertPending(int index);
    virtual void Clear();
    void DeletePoint(int index);
    void SwapPoints(int a, int b);
    int Count() const { return XValues().Count(); }
    // Makes room for n points in every list (filling with ascending x costs no moves).
    void Reserve(int n);

    virtual double XValue(int index) const { return XValues().ValueAt(index); }
    virtual double YValue(int index) const { return YValues().ValueAt(index); }
    virtual TColor PointColor(int index) const;
    // Whether PointColor gives `color` for every point first .. last, asked once for a drawing
    // loop instead of per point; a kind that overrides PointColor overrides this too.
    virtual bool PointColorsAre(int first, int last, TColor color) const;
    void SetPointColor(int index, TColor color);
    std::string_view XLabel(int index) const;
    void SetXLabel(int index, std::string_view text);
    // Number of entries of the label list (equal to Count).
    int LabelCount() const { return static_cast<int>(labels_.size()); }
    // Changes whenever a label may have changed, so measurements of labels can be kept.
    unsigned long LabelsVersion() const { return labelsVersion_; }

    virtual double MinX() const { return XValues().Min(); }
    virtual double MaxX() const { return XValues().Max(); }
    virtual double MinY() const { return YValues().Min(); }
    virtual double MaxY() const { return YValues().Max(); }

    TChartValueList& PrimaryValueList() { return YValues(); }
    bool ValuesAreVertical() const { return true; }

    // Axes.
    THorizAxis HorizAxis() const { return horizAxis_; }
    void SetHorizAxis(THorizAxis value);
    TVertAxis VertAxis() const { return vertAxis_; }
    void SetVertAxis(TVertAxis value);
    TCustomChartAxis* GetHorizAxis() const { return horizAxisObj_; }
    TCustomChartAxis* GetVertAxis() const { return vertAxisObj_; }
    TCustomChartAxis* CustomHorizAxis = nullptr;
    TCustomChartAxis* CustomVertAxis = nullptr;
    bool UsesAxis(const TCustomChartAxis* axis) const;
    void ResolveAxes();

    // Whether the series' horizontal (vertical) axis runs the other way.
    bool ChartInverted(bool horizontal) const;
    virtual int XPixel(int index) const;
    virtual int YPixel(int index) const;
    // XPixel and YPixel of the points first..last into xs and ys, last - first + 1 of each;
    // a kind that places its points' pixels otherwise maps them alike here.
    virtual void MapPixels(int first, int last, int* xs, int* ys) const;
    virtual void HorizontalMargins(int& left, int& right) { left = 0; right = 0; }
    virtual void VerticalMargins(int& top, int& bottom) { top = 0; bottom = 0; }

    // Drawing.
    void UpdateVisibleRange();
    // Every visible point, one by one.
    virtual void DrawPoints();
    virtual void DrawPoint(int /*index*/) {}
    // The visible points drawn by the series' composer, which the chart tries first; false,
    // with nothing drawn, where the series has none or it declines. Afterwards the series
    // stands as after drawing its points one by one.
    bool DrawComposed(TFrameContext& frame);
    virtual bool DrawsForward() const { return true; }
    void RequestRepaint();
    // Index of the point whose drawn shape contains the pixel, or -1.
    virtual int Clicked(int /*x*/, int /*y*/) { return -1; }

    int FirstVisibleIndex = -1;
    int LastVisibleIndex = -1;
    TSetting<bool> CalcVisiblePoints{this, true};
    TSetting<bool> DrawBetweenPoints{this, false};

    // Properties.
    bool Active() const { return active_; }
    void SetActive(bool value);
    TColor SeriesColor() const { return seriesColor_; }
    void SetSeriesColor(TColor value);
    bool ColorEachPoint() const { return colorEachPoint_; }
    void SetColorEachPoint(bool value);
    const std::string& Title() const { return title_; }
    void SetTitle(const std::string& value);
    TSetting<bool> MarksVisible{this, false};
    TSetting<bool> ShowInLegend{this, true};
    TSetting<std::string> ValueFormat{this, "#,##0.###"};
    TSetting<std::string> PercentFormat{this, "##0.## %"};
    TCursor Cursor = crDefault;

    TCustomAxisPanel* ParentChart() const { return parentChart_; }
    // Moves the series, and the chart's ownership of it, from its chart's list to another
    // chart's list. A series that belongs to no chart joins one with AddSeries.
    void SetParentChart(TCustomAxisPanel& chart);

    // Events.
    std::function<bool(TChartSeries&)> OnBeforeAdd;
    std::function<void(TChartSeries&, int)> OnAfterAdd;
    std::function<void(TChartSeries&)> OnClearValues;
    std::function<void(TChartSeries&)> BeforeDrawValues;
    std::function<void(TChartSeries&)> AfterDrawValues;
    std::function<void(TChartSeries&, int)> OnClick;
    std::function<void(TChartSeries&, int)> OnDblClick;

    // Set by the chart: it holds its series in its own list.
    void AttachToChart(TCustomAxisPanel* chart) { parentChart_ = chart; ResolveAxes(); }

protected:
    TChartValueList& AddValueList(std::string name);
    // The kind's fast drawing; none by default.
    virtual TSeriesComposer* Composer() { return nullptr; }
    // Carries on after a composed drawing as drawing its last point would have left the series
    // and the canvas.
    virtual void ComposedTo(const TComposedEnd& /*end*/) {}
    void PointAdded(int index);
    TChartCanvas3D& Canvas() const;

    std::vector<std::unique_ptr<TChartValueList>> valueLists_;
    std::vector<TColor> colors_;
    // How many points have a colour of their own, and whether those may differ: where none
    // has one, or all have the one colour, no drawing loop reads colors_.
    std::size_t ownColors_ = 0;
    TColor ownColor_ = clAutoColor;
    bool mixedColors_ = false;
    void CountOwnColor(TColor c);
    void UncountOwnColor(TColor c);
    std::vector<std::string> labels_;  // an empty text is an absent label
    unsigned long labelsVersion_ = 0;

private:
    bool active_ = true;
    TColor seriesColor_ = clAutoColor;
    bool colorEachPoint_ = false;
    std::string title_;
    THorizAxis horizAxis_ = THorizAxis::aBottomAxis;
    TVertAxis vertAxis_ = TVertAxis::aLeftAxis;
    TCustomChartAxis* horizAxisObj_ = nullptr;
    TCustomChartAxis* vertAxisObj_ = nullptr;
    TCustomAxisPanel* parentChart_ = nullptr;
};

}  // namespace zyn::chart
