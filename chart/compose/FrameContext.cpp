#include "chart/compose/FrameContext.h"

#include <algorithm>
#include <cstring>

#include "chart/Chart.h"
#include "chart/Series.h"

namespace zyn::chart {

bool TComposeCache::Aligned(const TChartValueList& a, const TChartValueList& b, int& offset) {
    offset = 0;
    if (a.Stamp() == b.Stamp()) return true;
    for (const TAlignedValues& known : aligned_) {
        if (known.A == a.Stamp() && known.B == b.Stamp()) {
            offset = known.Offset;
            return known.Aligned;
        }
        if (known.A == b.Stamp() && known.B == a.Stamp()) {
            offset = -known.Offset;
            return known.Aligned;
        }
    }
    // Ascending values can lie at one offset only: where the first of one list is found in
    // the other.
    const int na = a.Count(), nb = b.Count();
    int d = 0;
    if (na > 0 && nb > 0 && a.KnownAscending() && b.KnownAscending()) {
        if (a.Data()[0] <= b.Data()[0]) {
            const double* at = std::lower_bound(a.Data(), a.Data() + na, b.Data()[0]);
            d = static_cast<int>(at - a.Data());
        } else {
            const double* at = std::lower_bound(b.Data(), b.Data() + nb, a.Data()[0]);
            d = -static_cast<int>(at - b.Data());
        }
    }
    // b[i] against a[i + d] wherever both hold values.
    const int from = std::max(0, -d), to = std::min(nb, na - d);
    const bool aligned =
        to > from && std::memcmp(a.Data() + from + d, b.Data() + from, sizeof(double) * static_cast<size_t>(to - from)) == 0;
    constexpr size_t kKnown = 256;  // stamps of lists long changed are forgotten
    if (aligned_.size() == kKnown) aligned_.clear();
    aligned_.push_back({a.Stamp(), b.Stamp(), d, aligned});
    offset = d;
    return aligned;
}

TFrameContext::TFrameContext(TCustomAxisPanel& chart, TComposeCache& cache)
    : chart_(chart),
      canvas_(chart.Canvas()),
      cache_(cache),
      capabilities_(chart.Canvas().Capabilities()),
      ink_(cache.Ink, chart.Canvas(), capabilities_.ColumnBits) {}

bool TFrameContext::Dense(const TChartSeries& series) const {
    if (chart_.DrawEveryPoint || series.FirstVisibleIndex < 0) return false;
    return series.LastVisibleIndex - series.FirstVisibleIndex + 1 > chart_.PlotWidth;
}

const int* TFrameContext::MappedValues(const TChartValueList& list, const TCustomChartAxis& axis, int first, int last) {
    const TCustomChartAxis::TPixelMap map = axis.PixelMap();
    const double multiplier = list.Multiplier();
    TMappedValues& m = mapped_;
    // Alike bit for bit, so that each value maps to the same pixel; the list may hold the
    // mapped values from an offset on (the levels start a day after the candles).
    int offset = 0;
    const bool mapped = m.List && m.List->Stamp() == m.Stamp && m.Map == map && std::memcmp(&m.Multiplier, &multiplier, sizeof multiplier) == 0 &&
                        cache_.Aligned(*m.List, list, offset) && first + offset >= m.First && last + offset <= m.Last;
    if (!mapped) {
        m.List = &list;
        m.Stamp = list.Stamp();
        m.Map = map;
        m.Multiplier = multiplier;
        m.First = first;
        m.Last = last;
        cache_.Pixels.resize(static_cast<size_t>(last - first + 1));
        map.Map(list.Data() + first, list.Multiplier(), cache_.Pixels.size(), cache_.Pixels.data());
        ++m.Mapping;
        offset = 0;
    }
    return cache_.Pixels.data() + (first + offset - m.First);
}

const std::vector<int>& TFrameContext::MappedRuns(const TChartValueList& list, const TCustomChartAxis& axis, int first,
                                                  int last) {
    const int* pixels = MappedValues(list, axis, first, last);
    TMappedValues& m = mapped_;
    std::vector<int>& runs = cache_.Runs;
    // Kept by where they lie among the mapped pixels, which lists of the same values share.
    const int from = static_cast<int>(pixels - cache_.Pixels.data()), n = last - first + 1;
    if (m.RunsMapping != m.Mapping || m.RunsFirst != from || m.RunsLast != from + n - 1) {
        m.RunsMapping = m.Mapping;
        m.RunsFirst = from;
        m.RunsLast = from + n - 1;
        runs.clear();
        for (int k = 0; k < n; ++k)
            if (k == 0 || pixels[k] != pixels[k - 1]) runs.push_back(k);
        runs.push_back(n);
    }
    return runs;
}

}  // namespace zyn::chart
