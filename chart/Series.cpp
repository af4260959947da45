#include "chart/Series.h"

#include <algorithm>
#include <atomic>
#include <bit>
#include <cmath>

#include "chart/Axis.h"
#include "chart/Chart.h"
#include "chart/compose/FrameContext.h"
#include "chart/compose/SeriesComposer.h"

namespace zyn::chart {

// ---- TChartValueList ----

TChartValueList::TChartValueList(TChartSeries* owner, std::string name) : Name(std::move(name)), owner_(owner) {}

std::uint64_t TChartValueList::NextStamp() {
    static std::atomic<std::uint64_t> last{0};
    return ++last;
}

void TChartValueList::CheckIndex(int index) const {
    if (index < 0 || index >= Count()) throw TListIndexError(index);
}

double TChartValueList::ValueAt(int index) const {
    CheckIndex(index);
    return values_[static_cast<size_t>(index)] * multiplier_;
}

void TChartValueList::SetValueAt(int index, double value) {
    CheckIndex(index);
    values_[static_cast<size_t>(index)] = value;
    ascending_ = false;
    Changed();
}

void TChartValueList::SetMultiplier(double value) {
    if (multiplier_ == value) return;
    multiplier_ = value;
    statsDirty_ = true;  // the stamp names stored values, unmultiplied: it stays
    if (owner_) owner_->RequestRepaint();
}

void TChartValueList::SetDateTime(bool value) {
    if (dateTime_ == value) return;
    dateTime_ = value;
    if (owner_) owner_->RequestRepaint();
}

int TChartValueList::AddValue(double value) {
    const int n = Count();
    int index = n;
    if (Order == TChartListOrder::loNone || n == 0) {
        values_.push_back(value);
    } else if (Order == TChartListOrder::loAscending) {
        if (values_.back() <= value) {
            values_.push_back(value);
        } else {
            int t = n - 1;
            while (t >= 0 && values_[static_cast<size_t>(t)] > value) --t;
            index = t + 1;
            values_.insert(values_.begin() + index, value);
        }
    } else {
        if (values_.back() >= value) {
            values_.push_back(value);
        } else {
            int t = n - 1;
            while (t >= 0 && values_[static_cast<size_t>(t)] < value) --t;
            index = t + 1;
            values_.insert(values_.begin() + index, value);
        }
    }
    KeepOrderAt(index);
    Changed();
    return index;
}

void TChartValueList::KeepOrderAt(int index) {
    // A NaN compares false both ways, so it too ends the known order.
    const size_t i = static_cast<size_t>(index);
    if (i > 0 && !(values_[i - 1] <= values_[i])) ascending_ = false;
    if (i + 1 < values_.size() && !(values_[i] <= values_[i + 1])) ascending_ = false;
}

void TChartValueList::InsertValue(int index, double value) {
    if (index < 0 || index > Count()) throw TListIndexError(index);
    values_.insert(values_.begin() + index, value);
    KeepOrderAt(index);
    Changed();
}

void TChartValueList::DeleteValue(int index) {
    CheckIndex(index);
    values_.erase(values_.begin() + index);
    Changed();
}

void TChartValueList::Swap(int a, int b) {
    CheckIndex(a);
    CheckIndex(b);
    std::swap(values_[static_cast<size_t>(a)], values_[static_cast<size_t>(b)]);
    ascending_ = false;
    Changed();
}

void TChartValueList::Clear() {
    std::vector<double>().swap(values_);
    ascending_ = true;
    Changed();
}

void TChartValueList::Refresh() const {
    if (!statsDirty_) return;
    if (values_.empty()) {
        min_ = max_ = sum_ = absSum_ = 0;
    } else {
        double v = values_[0] * multiplier_;
        min_ = max_ = sum_ = v;
        absSum_ = std::fabs(v);
        for (size_t i = 1; i < values_.size(); ++i) {
            v = values_[i] * multiplier_;
            if (v < min_)
                min_ = v;
            else if (v > max_)
                max_ = v;
            sum_ += v;
            absSum_ += std::fabs(v);
        }
    }
    statsDirty_ = false;
}

// ---- TChartSeries ----

TChartSeries::TChartSeries() {
    AddValueList("X").Order = TChartListOrder::loAscending;
    AddValueList("Y");
}

TChartSeries::~TChartSeries() = default;

TChartValueList& TChartSeries::AddValueList(std::string name) {
    valueLists_.push_back(std::make_unique<TChartValueList>(this, std::move(name)));
    return *valueLists_.back();
}

int TChartSeries::AddPoint(double x, double y, std::string_view label, TColor color) {
    XValues().PendingValue = x;
    YValues().PendingValue = y;
    if (OnBeforeAdd && !OnBeforeAdd(*this)) return -1;
    const int i = XValues().AddValue(XValues().PendingValue);
    YValues().InsertValue(i, YValues().PendingValue);
    colors_.insert(colors_.begin() + i, color);
    CountOwnColor(color);
    labels_.insert(labels_.begin() + i, std::string(label));
    ++labelsVersion_;
    PointAdded(i);
    return i;
}

int TChartSeries::Append(double y, std::string_view label, TColor color) {
    return AddPoint(static_cast<double>(Count()), y, label, color);
}

void TChartSeries::InsertPending(int index) {
    for (size_t k = 2; k < valueLists_.size(); ++k) valueLists_[k]->InsertValue(index, valueLists_[k]->PendingValue);
}

void TChartSeries::PointAdded(int index) {
    if (OnAfterAdd) OnAfterAdd(*this, index);
    if (active_) RequestRepaint();
}

void TChartSeries::Reserve(int n) {
    for (auto& list : valueLists_) list->Reserve(n);
    colors_.reserve(static_cast<size_t>(n));
    labels_.reserve(static_cast<size_t>(n));
}

void TChartSeries::Clear() {
    for (auto& list : valueLists_) list->Clear();
    std::vector<TColor>().swap(colors_);
    ownColors_ = 0;
    mixedColors_ = false;
    std::vector<std::string>().swap(labels_);
    ++labelsVersion_;
    if (OnClearValues) OnClearValues(*this);
    RequestRepaint();
}

void TChartSeries::DeletePoint(int index) {
    for (auto& list : valueLists_)
        if (index < list->Count()) list->DeleteValue(index);
    if (index >= 0 && index < static_cast<int>(colors_.size())) {
        UncountOwnColor(colors_[static_cast<size_t>(index)]);
        colors_.erase(colors_.begin() + index);
    }
    if (index >= 0 && index < static_cast<int>(labels_.size())) labels_.erase(labels_.begin() + index);
    ++labelsVersion_;
    RequestRepaint();
}

void TChartSeries::SwapPoints(int a, int b) {
    for (auto& list : valueLists_) list->Swap(a, b);
    if (a < static_cast<int>(colors_.size()) && b < static_cast<int>(colors_.size()))
        std::swap(colors_[static_cast<size_t>(a)], colors_[static_cast<size_t>(b)]);
    ++labelsVersion_;
    if (a < static_cast<int>(labels_.size()) && b < static_cast<int>(labels_.size()))
        std::swap(labels_[static_cast<size_t>(a)], labels_[static_cast<size_t>(b)]);
}

void TChartSeries::CountOwnColor(TColor c) {
    if (c == clAutoColor) return;
    if (ownColors_++ == 0)
        ownColor_ = c;
    else if (c != ownColor_)
        mixedColors_ = true;
}

void TChartSeries::UncountOwnColor(TColor c) {
    if (c != clAutoColor && --ownColors_ == 0) mixedColors_ = false;
}

TColor TChartSeries::PointColor(int index) const {
    if (index < 0 || index >= static_cast<int>(colors_.size())) return seriesColor_;
    if (!colorEachPoint_ && !mixedColors_) {
        if (ownColors_ == 0) return seriesColor_;
        if (ownColors_ == colors_.size()) return ownColor_;
    }
    const TColor c = colors_[static_cast<size_t>(index)];
    if (c != clAutoColor) return c;
    if (colorEachPoint_) {
        // A fixed palette; the viewer never colours each point.
        static constexpr TColor palette[] = {0x0000FF, 0x008000, 0x00FFFF, 0xFF0000, 0xFFFFFF, 0x808080,
                                             0xFF00FF, 0x008080, 0x800000, 0x000080, 0x808000, 0x800080};
        return palette[static_cast<size_t>(index) % std::size(palette)];
    }
    return seriesColor_;
}

bool TChartSeries::PointColorsAre(int first, int last, TColor color) const {
    if (first < 0 || last < first) return true;
    if (!colorEachPoint_ && !mixedColors_ && last < std::ssize(colors_)) {
        if (ownColors_ == 0) return color == seriesColor_;
        if (ownColors_ == colors_.size()) return color == ownColor_;
    }
    if (colorEachPoint_ || color != seriesColor_ || color == clAutoColor) {
        for (int i = first; i <= last; ++i)
            if (PointColor(i) != color) return false;
        return true;
    }
    // Points without a colour of their own take the series colour.
    const auto begin = colors_.begin() + std::min<std::ptrdiff_t>(first, std::ssize(colors_));
    const auto end = colors_.begin() + std::min<std::ptrdiff_t>(std::ptrdiff_t(last) + 1, std::ssize(colors_));
    return std::all_of(begin, end, [color](TColor c) { return c == clAutoColor || c == color; });
}

void TChartSeries::SetPointColor(int index, TColor color) {
    if (index < 0 || index >= Count()) throw TListIndexError(index);
    TColor& own = colors_[static_cast<size_t>(index)];
    UncountOwnColor(own);
    CountOwnColor(color);
    own = color;
    RequestRepaint();
}

std::string_view TChartSeries::XLabel(int index) const {
    if (index < 0 || index >= static_cast<int>(labels_.size())) return {};
    return labels_[static_cast<size_t>(index)];
}

void TChartSeries::SetXLabel(int index, std::string_view text) {
    if (index < 0 || index >= Count()) throw TListIndexError(index);
    labels_[static_cast<size_t>(index)].assign(text);
    ++labelsVersion_;
    RequestRepaint();
}

void TChartSeries::SetActive(bool value) {
    if (AssignIfChanged(active_, value)) RequestRepaint();
}

void TChartSeries::SetSeriesColor(TColor value) {
    if (AssignIfChanged(seriesColor_, value)) RequestRepaint();
}

void TChartSeries::SetColorEachPoint(bool value) {
    const bool changed = AssignIfChanged(colorEachPoint_, value);
    if (!value) {
        std::fill(colors_.begin(), colors_.end(), clAutoColor);
        ownColors_ = 0;
        mixedColors_ = false;
    }
    if (changed) RequestRepaint();
}

void TChartSeries::SetTitle(const std::string& value) {
    if (AssignIfChanged(title_, value)) RequestRepaint();
}

void TChartSeries::SetHorizAxis(THorizAxis value) {
    if (!AssignIfChanged(horizAxis_, value)) return;
    ResolveAxes();
    RequestRepaint();
}

void TChartSeries::SetVertAxis(TVertAxis value) {
    if (!AssignIfChanged(vertAxis_, value)) return;
    ResolveAxes();
    RequestRepaint();
}

void TChartSeries::ResolveAxes() {
    if (!parentChart_) {
        horizAxisObj_ = vertAxisObj_ = nullptr;
        return;
    }
    switch (horizAxis_) {
        case THorizAxis::aTopAxis: horizAxisObj_ = &parentChart_->TopAxis(); break;
        case THorizAxis::aCustomHorizAxis:
            horizAxisObj_ = CustomHorizAxis ? CustomHorizAxis : &parentChart_->BottomAxis();
            break;
        default: horizAxisObj_ = &parentChart_->BottomAxis(); break;
    }
    switch (vertAxis_) {
        case TVertAxis::aRightAxis: vertAxisObj_ = &parentChart_->RightAxis(); break;
        case TVertAxis::aCustomVertAxis:
            vertAxisObj_ = CustomVertAxis ? CustomVertAxis : &parentChart_->LeftAxis();
            break;
        default: vertAxisObj_ = &parentChart_->LeftAxis(); break;
    }
}

void TChartSeries::SetParentChart(TCustomAxisPanel& chart) {
    if (&chart == parentChart_ || !parentChart_) return;
    std::unique_ptr<TChartSeries> self = parentChart_->RemoveSeries(*this);
    if (self) chart.AddSeries(std::move(self));
}

bool TChartSeries::UsesAxis(const TCustomChartAxis* axis) const {
    if (!axis) return false;
    if (axis->IsHorizontal) return horizAxis_ == THorizAxis::aBothHorizAxis || horizAxisObj_ == axis;
    return vertAxis_ == TVertAxis::aBothVertAxis || vertAxisObj_ == axis;
}

int TChartSeries::XPixel(int index) const { return horizAxisObj_->ValueToPixel(XValues().Value(index)); }
int TChartSeries::YPixel(int index) const { return vertAxisObj_->ValueToPixel(YValues().Value(index)); }

void TChartSeries::MapPixels(int first, int last, int* xs, int* ys) const {
    const auto n = static_cast<size_t>(last - first + 1);
    if (TFrameContext* frame = parentChart_ ? parentChart_->Frame() : nullptr) {
        // In a frame the columns are mapped once for the visible points of all series with
        // these x values.
        const bool visible = FirstVisibleIndex >= 0 && first >= FirstVisibleIndex && last <= LastVisibleIndex;
        const int from = visible ? FirstVisibleIndex : first;
        const int to = visible ? LastVisibleIndex : last;
        const int* mapped = frame->MappedValues(XValues(), *horizAxisObj_, from, to);
        std::copy(mapped + (first - from), mapped + (first - from) + n, xs);
    } else {
        horizAxisObj_->PixelMap().Map(XValues().Data() + first, XValues().Multiplier(), n, xs);
    }
    vertAxisObj_->PixelMap().Map(YValues().Data() + first, YValues().Multiplier(), n, ys);
}

void TChartSeries::RequestRepaint() {
    if (parentChart_) parentChart_->InvalidateChart();
}

TChartCanvas3D& TChartSeries::Canvas() const { return parentChart_->Canvas(); }

bool TChartSeries::ChartInverted(bool horizontal) const {
    const TCustomChartAxis* axis = horizontal ? horizAxisObj_ : vertAxisObj_;
    return axis && axis->Inverted();
}

void TChartSeries::UpdateVisibleRange() {
    FirstVisibleIndex = -1;
    LastVisibleIndex = -1;
    const int n = Count();
    if (n == 0) return;
    const TChartValueList& list = XValues();
    if (!CalcVisiblePoints || list.Order == TChartListOrder::loNone || !parentChart_ || !horizAxisObj_) {
        FirstVisibleIndex = 0;
        LastVisibleIndex = n - 1;
        return;
    }
    const TCustomChartAxis& axis = *horizAxisObj_;
    const TRect& plot = parentChart_->PlotRect;
    double lo = axis.PixelToValue(plot.Left);
    double hi = axis.PixelToValue(plot.Right);
    if (axis.Inverted()) std::swap(lo, hi);
    auto valueAt = [&](int i) { return list.Value(i); };
    // Values out of order (stored so, or overwritten later) are scanned as they stand.
    if (list.Order != TChartListOrder::loAscending || !list.KnownAscending()) {
        int first = 0;
        while (first < n && !(valueAt(first) >= lo)) ++first;
        if (first >= n) return;
        FirstVisibleIndex = first;
        if (valueAt(n - 1) <= hi) {
            LastVisibleIndex = n - 1;
            return;
        }
        int last = first;
        while (last < n && !(valueAt(last) >= hi)) ++last;
        if (last >= n) last = n - 1;
        if (!DrawBetweenPoints && valueAt(last) > hi) --last;
        LastVisibleIndex = last;
        return;
    }
    // Ascending values: a binary search finds the same index as the upward scan.
    const int first = list.FirstAtLeast(lo);
    if (first >= n) return;
    FirstVisibleIndex = first;
    if (valueAt(n - 1) <= hi) {
        LastVisibleIndex = n - 1;
        return;
    }
    int last = list.FirstAtLeast(hi, first);
    if (last >= n) last = n - 1;
    if (!DrawBetweenPoints && valueAt(last) > hi) --last;
    LastVisibleIndex = last;
}

bool TChartSeries::DrawComposed(TFrameContext& frame) {
    TSeriesComposer* composer = Composer();
    TComposedEnd end;
    if (!composer || !composer->Compose(frame, end)) return false;
    ComposedTo(end);
    return true;
}

void TChartSeries::DrawPoints() {
    if (LastVisibleIndex < FirstVisibleIndex) return;
    if (DrawsForward()) {
        for (int i = FirstVisibleIndex; i <= LastVisibleIndex; ++i) DrawPoint(i);
    } else {
        for (int i = LastVisibleIndex; i >= FirstVisibleIndex; --i) DrawPoint(i);
    }
}

}  // namespace zyn::chart
