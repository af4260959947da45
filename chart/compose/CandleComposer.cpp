#include "chart/compose/CandleComposer.h"

#include <algorithm>
#include <array>
#include <climits>
#include <cstdint>

#include "chart/Axis.h"
#include "chart/Chart.h"
#include "chart/compose/FrameContext.h"

namespace zyn::chart {

namespace {
// Per k in 0..128 the rows below k of two words of rows: rows a..e are below[e + 1] and not
// below[a], and none where e < a.
constexpr auto kRowsBelow = [] {
    std::array<std::array<TColumnCoverage::TWord, 2>, 129> below{};
    for (int k = 0; k <= 128; ++k) {
        const TColumnCoverage::TWord all = ~TColumnCoverage::TWord(0);
        below[static_cast<size_t>(k)][0] = k >= 64 ? all : (TColumnCoverage::TWord(1) << k) - 1;
        below[static_cast<size_t>(k)][1] = k <= 64 ? 0 : k >= 128 ? all : (TColumnCoverage::TWord(1) << (k - 64)) - 1;
    }
    return below;
}();

// Where few candles share a pixel column, painting each column's candles over the earlier
// columns costs less than composing them across columns.
constexpr size_t kComposeFrom = 4;  // candles per pixel column
}  // namespace

bool TCandleComposer::Compose(TFrameContext& frame, TComposedEnd& end) {
    if (!Accepts(frame)) return false;
    const TCustomAxisPanel& chart = *series_.ParentChart();
    const auto n = static_cast<size_t>(last_ - first_ + 1);
    // A clipped plot without pixels (a chart narrower than its axes) has no rows to compose into.
    const bool across = n >= kComposeFrom * static_cast<size_t>(std::max(0, chart.PlotWidth)) && chart.ClipPoints &&
                        !chart.PlotClipRect().IsEmpty();
    if (!(across ? ComposeColumns(frame) : PaintColumns(frame))) return false;
    end.Index = lastDrawn_;
    return true;
}

bool TCandleComposer::Accepts(TFrameContext& frame) {
    const TChartPen& pen = series_.Pointer.Pen;
    if (series_.CandleStyle() != TCandleStyle::csCandleStick || !pen.Visible || pen.Color == clAutoColor ||
        series_.Pointer.Brush.Style != TBrushStyle::bsSolid || !frame.Dense(series_))
        return false;
    first_ = series_.FirstVisibleIndex;
    last_ = series_.LastVisibleIndex;
    lastDrawn_ = -1;
    // The canvas must paint the wick, the body and a flat body as boxes.
    TChartCanvas3D& canvas = frame.Canvas();
    series_.Pointer.ApplyToCanvas(canvas, clAutoColor);
    if (!canvas.PenBoxes(penBoxes_) || !penBoxes_.Lines || !penBoxes_.Outlines) return false;
    const int width = series_.CandleWidth(), leftWidth = width / 2, rightWidth = width - leftWidth;
    const int before = penBoxes_.Before, after = penBoxes_.After;
    kindLeft_[bkWick] = -before;
    kindRight_[bkWick] = after;
    // A negative width mirrors the body about X.
    kindLeft_[bkOutline] = kindLeft_[bkFlat] = std::min(-leftWidth, rightWidth) - before;
    kindRight_[bkOutline] = kindRight_[bkFlat] = std::max(-leftWidth, rightWidth) + after;
    kindLeft_[bkInside] = kindLeft_[bkOutline] + penBoxes_.Width;
    kindRight_[bkInside] = kindRight_[bkOutline] - penBoxes_.Width;
    FindKindEdges();
    return true;
}

TCandleComposer::TCandleRows TCandleComposer::Rows(const TCandlePixels& p) const {
    // Rows as the canvas's boxes lie (see PenBoxes): a line spreads about its centre row, a
    // box polygon's ring about its corners, the brush filling what the ring leaves inside.
    const int before = penBoxes_.Before, after = penBoxes_.After, width = penBoxes_.Width;
    const int bodyTop = std::min(p.Open, p.Close) - before, bodyBottom = std::max(p.Open, p.Close) + after;
    const bool flat = TCandleSeries::IsFlat(p);
    // A line of one pixel's length paints none: a wick needs two rows, a flat body a width.
    const bool wick = p.Low != p.High, flatBody = flat && series_.CandleWidth() != 0;
    const bool inside = !flat && kindLeft_[bkInside] <= kindRight_[bkInside] && bodyBottom - bodyTop + 1 > 2 * width;
    TCandleRows rows;
    auto set = [&](TBoxKind kind, bool painted, int top, int bottom) {
        rows.Top[kind] = painted ? top : 1;
        rows.Bottom[kind] = painted ? bottom : 0;
    };
    set(bkWick, wick, std::min(p.Low, p.High) - before, std::max(p.Low, p.High) + after);
    set(bkOutline, !flat, bodyTop, bodyBottom);
    set(bkFlat, flatBody, bodyTop, bodyBottom);
    set(bkInside, inside, bodyTop + width, bodyBottom - width);
    return rows;
}

void TCandleComposer::Shape(int index, const TCandlePixels& p, TCandleShape& shape) const {
    shape.X = p.X;
    shape.Color = series_.Geometry(index, p).Color;
    shape.Rows = Rows(p);
}

void TCandleComposer::FindKindEdges() {
    // Columns where a kind of box begins or ends split a candle into stripes that each box
    // covers wholly or not at all.
    edges_.clear();
    for (int k = 0; k < bkKinds; ++k)
        if (kindLeft_[k] <= kindRight_[k]) {
            edges_.push_back(kindLeft_[k]);
            edges_.push_back(kindRight_[k] + 1);
        }
    std::sort(edges_.begin(), edges_.end());
    edges_.erase(std::unique(edges_.begin(), edges_.end()), edges_.end());
}

// ---- few candles a column ----

bool TCandleComposer::PaintColumns(TFrameContext& frame) {
    if (!Shapes(first_, last_) || lastDrawn_ < 0) return false;
    frame.FlushInk();
    TChartCanvas3D& canvas = frame.Canvas();
    canvas.Brush.Style = TBrushStyle::bsSolid;
    for (size_t start = 0; start < shapes_.size();) {
        size_t end = start;
        while (end + 1 < shapes_.size() && shapes_[end + 1].X == shapes_[start].X) ++end;
        PaintColumn(canvas, start, end);
        start = end + 1;
    }
    return true;
}

bool TCandleComposer::Shapes(int a, int b) {
    shapes_.clear();
    MapPixels(a, b);
    for (int i = a; i <= b; ++i) {
        if (series_.PointColor(i) == clNone) continue;
        shapes_.emplace_back();
        Shape(i, PixelsAt(static_cast<size_t>(i - a)), shapes_.back());
        if (shapes_.back().Color == clAutoColor) return false;
        lastDrawn_ = std::max(lastDrawn_, i);
    }
    return true;
}

void TCandleComposer::PaintColumn(TChartCanvas3D& canvas, size_t start, size_t end) {
    // In each stripe the boxes are rows, the later on top.
    const int x = shapes_[start].X;
    for (size_t e = 0; e + 1 < edges_.size(); ++e) PaintStripe(canvas, start, end, x + edges_[e], x + edges_[e + 1] - 1);
}

void TCandleComposer::PaintStripe(TChartCanvas3D& canvas, size_t start, size_t end, int left, int right) {
    const int x = shapes_[start].X;
    const TColor penColor = series_.Pointer.Pen.Color;
    covered_.clear();
    for (size_t i = end + 1; i-- > start;) {
        const TCandleShape& c = shapes_[i];
        for (TBoxKind kind : {bkInside, bkFlat, bkOutline, bkWick}) {
            const int top = c.Rows.Top[kind], bottom = c.Rows.Bottom[kind];
            if (top > bottom || x + kindLeft_[kind] > left || x + kindRight_[kind] < right) continue;
            // The rows of this box that no later box paints.
            canvas.Brush.Color = kind == bkWick || kind == bkOutline ? penColor : c.Color;
            int row = top;
            auto fill = [&](int from, int to) { canvas.FillRect(TRect{left, from, right + 1, to + 1}); };
            for (const auto& [t, b] : covered_) {
                if (b < row) continue;
                if (t > bottom) break;
                if (t > row) fill(row, t - 1);
                row = b + 1;
                if (row > bottom) break;
            }
            if (row <= bottom) fill(row, bottom);
            // Join the box's rows into the covered ones.
            auto it = std::lower_bound(covered_.begin(), covered_.end(), std::make_pair(top, top));
            if (it != covered_.begin() && std::prev(it)->second + 1 >= top) --it;
            int joinedTop = top, joinedBottom = bottom;
            auto stop = it;
            while (stop != covered_.end() && stop->first <= joinedBottom + 1) {
                joinedTop = std::min(joinedTop, stop->first);
                joinedBottom = std::max(joinedBottom, stop->second);
                ++stop;
            }
            it = covered_.erase(it, stop);
            covered_.insert(it, {joinedTop, joinedBottom});
        }
    }
}

// ---- many candles a column ----

bool TCandleComposer::ComposeColumns(TFrameContext& frame) {
    SplitIntoStripes();
    // What later columns of candles painted is known per pixel of the clipped plot.
    composer_.Reset(series_.ParentChart()->PlotClipRect());
    PrepareClaims();
    // Where every candle has a colour of its own, none is left to fail on one it lacks: candles
    // may be composed without their shape and passed over unseen.
    const bool coloured = series_.UpCloseColor() != clAutoColor && series_.DownCloseColor() != clAutoColor &&
                          series_.SeriesColor() != clAutoColor;
    const TColor firstColor = series_.PointColor(first_);
    const bool noNulls = firstColor != clNone && series_.PointColorsAre(first_, last_, firstColor);
    for (lastDrawn_ = last_; lastDrawn_ >= first_ && series_.PointColor(lastDrawn_) == clNone;) --lastDrawn_;
    // The candles from the last to the first, a chunk at a time, mapped where it is composed,
    // so that its pixels are read back while still in the cache; chunks begin on multiples of
    // the largest block.
    constexpr int kChunk = 1024;
    static_assert(kChunk % (1 << TBlockRanges::kLevels) == 0);
    for (int hi = last_ - first_; hi >= 0;) {
        const int lo = hi / kChunk * kChunk;
        if (!ComposeChunk(lo, hi, coloured, noNulls)) return false;
        hi = lo - 1;
    }
    FinishColumn();
    if (lastDrawn_ < 0) return false;
    frame.DeferComposed(composer_);
    return true;
}

void TCandleComposer::SplitIntoStripes() {
    // Stripes covered by the same kinds of boxes form a group.
    const std::vector<int>& edges = edges_;
    stripes_.clear();
    groupKinds_.clear();
    for (size_t e = 0; e + 1 < edges.size(); ++e) {
        unsigned kinds = 0;
        for (int k = 0; k < bkKinds; ++k)
            if (kindLeft_[k] <= kindRight_[k] && kindLeft_[k] <= edges[e] && kindRight_[k] >= edges[e + 1] - 1) kinds |= 1u << k;
        if (!kinds) continue;
        const auto g = std::find(groupKinds_.begin(), groupKinds_.end(), kinds) - groupKinds_.begin();
        if (g == static_cast<long>(groupKinds_.size())) groupKinds_.push_back(kinds);
        stripes_.push_back(TStripe{edges[e], edges[e + 1] - 1, static_cast<int>(g)});
    }
    // Per group its kinds, from the last painted to the first, and per group and kind all
    // rows or none, as the kind covers the group's stripes or not.
    static constexpr TBoxKind kTopDown[] = {bkInside, bkFlat, bkOutline, bkWick};
    groups_ = groupKinds_.size();
    groupOrder_.assign(groups_, {});
    kindSelect_.assign(groups_ * bkKinds, 0);
    groupBody_.assign(groups_, 0);
    groupWick_.assign(groups_, 0);
    for (size_t g = 0; g < groups_; ++g) {
        for (TBoxKind kind : kTopDown)
            if (groupKinds_[g] & (1u << kind)) {
                groupOrder_[g].push_back(kind);
                kindSelect_[g * bkKinds + kind] = ~TWord(0);
            }
        groupWick_[g] = (groupKinds_[g] & (1u << bkWick)) != 0;
        groupBody_[g] = (groupKinds_[g] & ~(1u << bkWick)) != 0;
    }
}

void TCandleComposer::PrepareClaims() {
    words_ = static_cast<size_t>(composer_.Coverage().Words());
    // One word more at the end lets a candle's second word be written even in the last word
    // of rows: it holds no rows there, and or-ing none changes nothing.
    claimed_.assign(groups_ * words_ + 1, 0);
    layerRows_.assign(1, 0);
    touched_.clear();
    touchedLayers_.clear();
    // clAutoColor marks a slot without a layer yet: no composed candle paints in it, while
    // clNone is a colour a pen or a candle may have.
    std::fill(std::begin(colorOfLayer_), std::end(colorOfLayer_), clAutoColor);
    std::fill(std::begin(layerOfColor_), std::end(layerOfColor_), 0);
    ownLayers_[0] = ownLayers_[1] = penLayer_ = -1;
    x_ = 0;
    wLo_ = INT32_MAX;
    wHi_ = -1;
}

bool TCandleComposer::ComposeChunk(int lo, int hi, bool coloured, bool noNulls) {
    // After each drawn candle, the aligned blocks of earlier candles on its column whose rows it
    // and the later ones have claimed in every stripe are passed over whole: they would claim
    // none.
    MapPixels(first_ + lo, first_ + hi);
    const bool skipBlocks = coloured && BuildRanges(static_cast<size_t>(hi - lo + 1));
    xs_ = pixels_[0].data();
    TCandleShape shape;
    for (int k = hi - lo; k >= 0;) {
        const int i = first_ + lo + k;
        if (xs_[k] != x_) {
            FinishColumn();
            x_ = xs_[k];
        }
        if ((noNulls || series_.PointColor(i) != clNone) && !(coloured && ComposeInTwoWords(k, i))) {
            Shape(i, PixelsAt(static_cast<size_t>(k)), shape);
            if (shape.Color == clAutoColor) return false;
            ComposeShape(shape);
        }
        const int next = skipBlocks ? TBlockRanges::PassOver(k, [this](int level, int start) { return Hidden(level, start); }) : k;
        k = next - 1;
    }
    return true;
}

bool TCandleComposer::ComposeInTwoWords(int k, int index) {
    // Candle k of the mapped ones without its shape and without branching on its rows, where
    // its boxes within the region lie in two words of rows; false elsewhere.
    const TRect& region = composer_.Region();
    const TCandlePixels p = PixelsAt(static_cast<size_t>(k));
    const TCandleRows rows = Rows(p);
    int top = INT_MAX, bottom = INT_MIN;
    for (int kind = 0; kind < bkKinds; ++kind) {
        top = rows.Top[kind] <= rows.Bottom[kind] ? std::min(top, rows.Top[kind]) : top;
        bottom = rows.Top[kind] <= rows.Bottom[kind] ? std::max(bottom, rows.Bottom[kind]) : bottom;
    }
    const std::int64_t from = std::max<std::int64_t>(top, region.Top) - region.Top;
    const std::int64_t to = std::min<std::int64_t>(bottom, region.Bottom - 1) - region.Top;
    if (from > to) return true;  // nothing within the region
    const int w = static_cast<int>(from >> 6);
    if ((to >> 6) > w + 1) return false;
    // Rows a..e as bits of words w and w + 1: below[e + 1] and not below[a].
    const std::int64_t base = std::int64_t(region.Top) + 64 * w, limit = std::min<std::int64_t>(128, region.Height() - 64 * w);
    TWord lo[bkKinds], hi[bkKinds];
    for (int kind = 0; kind < bkKinds; ++kind) {
        const auto a = static_cast<size_t>(std::clamp<std::int64_t>(rows.Top[kind] - base, 0, limit));
        const auto e = static_cast<size_t>(std::clamp<std::int64_t>(std::int64_t(rows.Bottom[kind]) - base + 1, 0, limit));
        lo[kind] = kRowsBelow[e][0] & ~kRowsBelow[a][0];
        hi[kind] = kRowsBelow[e][1] & ~kRowsBelow[a][1];
    }
    // Rising and falling candles come in no order: their layers, once known, are picked
    // without a branch.
    const bool flat = TCandleSeries::IsFlat(p);
    const int rising = p.Open > p.Close;
    int own = ownLayers_[rising];
    if (flat || own < 0) {
        own = OwnLayer(series_.CandleColor(index, p.Open, p.Close));
        if (!flat) ownLayers_[rising] = own;
    }
    if (penLayer_ < 0) penLayer_ = LayerOf(series_.Pointer.Pen.Color, 0);
    ClaimGroups(w, lo, hi, penLayer_, own);
    return true;
}

void TCandleComposer::ComposeShape(const TCandleShape& c) {
    // Wick and outline paint in the pen's colour, the flat body and the inside in the candle's.
    const int penLayer = LayerOf(series_.Pointer.Pen.Color, 0), ownLayer = OwnLayer(c.Color);
    const TColumnCoverage& coverage = composer_.Coverage();
    // Most candles reach into two words of rows at most: there each kind's rows are found once
    // for all groups.
    int top = INT32_MAX, bottom = INT32_MIN;
    for (int k = 0; k < bkKinds; ++k)
        if (c.Rows.Top[k] <= c.Rows.Bottom[k]) {
            top = std::min(top, c.Rows.Top[k]);
            bottom = std::max(bottom, c.Rows.Bottom[k]);
        }
    const int w = top <= bottom ? coverage.FirstWord(top, bottom) : -1;
    if (w < 0) return;
    TWord lo[bkKinds] = {}, hi[bkKinds] = {};
    bool two = true;
    for (int k = 0; k < bkKinds && two; ++k)
        if (c.Rows.Top[k] <= c.Rows.Bottom[k]) two = coverage.TwoWords(c.Rows.Top[k], c.Rows.Bottom[k], w, lo[k], hi[k]);
    if (two) {
        ClaimGroups(w, lo, hi, penLayer, ownLayer);
        return;
    }
    for (size_t g = 0; g < groups_; ++g)
        for (TBoxKind kind : groupOrder_[g]) {
            if (c.Rows.Top[kind] > c.Rows.Bottom[kind]) continue;
            const int layer = kind == bkWick || kind == bkOutline ? penLayer : ownLayer;
            coverage.ClaimRows(&claimed_[g * words_], c.Rows.Top[kind], c.Rows.Bottom[kind], [&](int at, TWord free) {
                layerRows_[(static_cast<size_t>(layer) * groups_ + g) * words_ + static_cast<size_t>(at)] |= free;
                wLo_ = std::min(wLo_, at);
                wHi_ = std::max(wHi_, at);
                Touch(layer);
            });
        }
}

void TCandleComposer::ClaimGroups(int w, const TWord (&lo)[bkKinds], const TWord (&hi)[bkKinds], int penLayer, int ownLayer) {
    // A candle's kinds of rows as the bits of words w and w + 1 claimed by every group: from
    // the last painted kind to the first, inside and flat body show what the group left free,
    // outline and wick what those left free too. Kinds the candle lacks hold no rows; a second
    // word of rows exists wherever hi holds one. A layer may be marked touched by a claim that
    // shows nothing: it paints no rows.
    wLo_ = std::min(wLo_, w);
    wHi_ = std::max(wHi_, static_cast<size_t>(w) + 1 < words_ ? w + 1 : w);
    Touch(penLayer);
    Touch(ownLayer);
    const size_t at = static_cast<size_t>(w), groups = groups_, words = words_;
    TWord* penInto = &layerRows_[static_cast<size_t>(penLayer) * groups * words + at];
    TWord* ownInto = &layerRows_[static_cast<size_t>(ownLayer) * groups * words + at];
    const TWord* select = kindSelect_.data();
    TWord* claimed = claimed_.data();
    for (size_t g = 0; g < groups; ++g, penInto += words, ownInto += words) {
        const TWord* sel = &select[g * bkKinds];
        const TWord ownRows0 = (lo[bkInside] & sel[bkInside]) | (lo[bkFlat] & sel[bkFlat]);
        const TWord ownRows1 = (hi[bkInside] & sel[bkInside]) | (hi[bkFlat] & sel[bkFlat]);
        const TWord penRows0 = (lo[bkOutline] & sel[bkOutline]) | (lo[bkWick] & sel[bkWick]);
        const TWord penRows1 = (hi[bkOutline] & sel[bkOutline]) | (hi[bkWick] & sel[bkWick]);
        TWord* groupClaimed = &claimed[g * words + at];
        const TWord claimed0 = groupClaimed[0], claimed1 = groupClaimed[1];
        groupClaimed[0] = claimed0 | ownRows0 | penRows0;
        groupClaimed[1] = claimed1 | ownRows1 | penRows1;
        penInto[0] |= penRows0 & ~(claimed0 | ownRows0);
        penInto[1] |= penRows1 & ~(claimed1 | ownRows1);
        ownInto[0] |= ownRows0 & ~claimed0;
        ownInto[1] |= ownRows1 & ~claimed1;
    }
}

void TCandleComposer::FinishColumn() {
    // Each stripe's columns show its group's claimed rows where later columns left them free.
    // A group's rows go to one layer each, so the order of the layers does not matter.
    for (const TStripe& stripe : stripes_)
        for (const int layer : touchedLayers_)
            for (int col = x_ + stripe.Left; col <= x_ + stripe.Right; ++col)
                composer_.PaintColumnWords(
                    col, &layerRows_[(static_cast<size_t>(layer) * groups_ + static_cast<size_t>(stripe.Group)) * words_],
                    wLo_, wHi_, layer);
    for (const int layer : touchedLayers_) {
        touched_[static_cast<size_t>(layer)] = 0;
        for (size_t g = 0; g < groups_; ++g) {
            TWord* rows = &layerRows_[(static_cast<size_t>(layer) * groups_ + g) * words_];
            std::fill(rows + wLo_, rows + wHi_ + 1, 0);
        }
    }
    touchedLayers_.clear();
    if (wHi_ >= 0)
        for (size_t g = 0; g < groups_; ++g) std::fill(&claimed_[g * words_] + wLo_, &claimed_[g * words_] + wHi_ + 1, 0);
    wLo_ = INT32_MAX;
    wHi_ = -1;
}

int TCandleComposer::OwnLayer(TColor c) {
    return LayerOf(c, c == series_.UpCloseColor() ? 1 : c == series_.DownCloseColor() ? 2 : 3);
}

int TCandleComposer::LayerOf(TColor c, int slot) {
    if (colorOfLayer_[slot] != c) {
        colorOfLayer_[slot] = c;
        layerOfColor_[slot] = composer_.Layer(c);
        const auto need = static_cast<size_t>(layerOfColor_[slot] + 1);
        if (touched_.size() < need) {
            touched_.resize(need, 0);
            layerRows_.resize(need * groups_ * words_ + 1, 0);
        }
    }
    return layerOfColor_[slot];
}

bool TCandleComposer::Hidden(int level, int start) const {
    // A block on this column whose bodies and wicks reach only rows its stripes have claimed.
    if (xs_[start] != x_) return false;
    const TColumnCoverage& coverage = composer_.Coverage();
    const auto [bodyTop, bodyBottom] = bodies_.Range(level, start);
    const auto [wickTop, wickBottom] = wicks_.Range(level, start);
    for (size_t g = 0; g < groups_; ++g) {
        const TWord* column = &claimed_[g * words_];
        if (groupBody_[g] && !coverage.RowsClaimed(column, bodyTop, bodyBottom)) return false;
        if (groupWick_[g] && !coverage.RowsClaimed(column, wickTop, wickBottom)) return false;
    }
    return true;
}

void TCandleComposer::MapPixels(int first, int last) {
    const auto n = static_cast<size_t>(last - first + 1);
    for (auto& list : pixels_) list.resize(n);
    series_.MapPixels(first, last, pixels_[0].data(), pixels_[1].data());
    const TCustomChartAxis::TPixelMap vert = series_.GetVertAxis()->PixelMap();
    for (const auto& [list, into] : {std::pair{&series_.HighValues(), 2}, {&series_.LowValues(), 3}, {&series_.CloseValues(), 4}})
        vert.Map(list->Data() + first, list->Multiplier(), n, pixels_[into].data());
}

bool TCandleComposer::BuildRanges(size_t n) {
    if (n < 2 || !TBlockRanges::Monotone(pixels_[0].data(), n)) return false;
    const int before = penBoxes_.Before, after = penBoxes_.After;
    const int *open = pixels_[1].data(), *high = pixels_[2].data(), *low = pixels_[3].data(), *close = pixels_[4].data();
    // Null candles and missing boxes only widen a range, which passes over fewer candles.
    bodies_.Build(n, [&](size_t k) {
        return std::pair{TBlockRanges::Least(open[k], close[k]) - before, TBlockRanges::Greatest(open[k], close[k]) + after};
    });
    wicks_.Build(n, [&](size_t k) {
        return std::pair{TBlockRanges::Least(high[k], low[k]) - before, TBlockRanges::Greatest(high[k], low[k]) + after};
    });
    return true;
}

}  // namespace zyn::chart
