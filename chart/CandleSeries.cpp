#include "chart/CandleSeries.h"

#include <algorithm>
#include <array>
#include <cstdint>
#include <cstdlib>

#include "chart/Axis.h"
#include "chart/Chart.h"
#include "chart/Coverage.h"

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
}  // namespace

// ---- TOHLCSeries ----

TOHLCSeries::TOHLCSeries() {
    XValues().Name = "Date";
    XValues().SetDateTime(true);
    YValues().Name = "Open";
    // Registered with the series, so clearing and deleting treat all five lists alike.
    AddValueList("High");
    AddValueList("Low");
    AddValueList("Close");
}

int TOHLCSeries::AddCandlePoint(double date, double open, double high, double low, double close) {
    HighValues().PendingValue = high;
    LowValues().PendingValue = low;
    CloseValues().PendingValue = close;
    const int index = AddPoint(date, open, {}, clAutoColor);
    if (index >= 0) InsertPending(index);
    return index;
}

double TOHLCSeries::MaxY() const {
    return std::max({YValues().Max(), HighValues().Max(), LowValues().Max(), CloseValues().Max()});
}

double TOHLCSeries::MinY() const {
    return std::min({YValues().Min(), HighValues().Min(), LowValues().Min(), CloseValues().Min()});
}

// ---- TCandleSeries ----

TCandleSeries::TCandleSeries() { Pointer.Draw3D = false; }

void TCandleSeries::SetCandleStyle(TCandleStyle value) {
    if (AssignIfChanged(candleStyle_, value)) RequestRepaint();
}

void TCandleSeries::SetCandleWidth(int value) {
    if (AssignIfChanged(candleWidth_, value)) RequestRepaint();
}

void TCandleSeries::SetUpCloseColor(TColor value) {
    if (AssignIfChanged(upCloseColor_, value)) RequestRepaint();
}

void TCandleSeries::SetDownCloseColor(TColor value) {
    if (AssignIfChanged(downCloseColor_, value)) RequestRepaint();
}

void TCandleSeries::SetShowOpenTick(bool value) {
    if (AssignIfChanged(showOpenTick_, value)) RequestRepaint();
}

void TCandleSeries::SetShowCloseTick(bool value) {
    if (AssignIfChanged(showCloseTick_, value)) RequestRepaint();
}

TColor TCandleSeries::CandleColor(int index, int yOpen, int yClose) const {
    // Rows first: what the eye sees decides; the values only break a tie.
    if (yOpen > yClose) return upCloseColor_;
    if (yOpen < yClose) return downCloseColor_;
    if (index == 0) return upCloseColor_;
    const double close = CloseValues().Value(index), previous = CloseValues().Value(index - 1);
    if (close < previous) return downCloseColor_;
    if (close > previous) return upCloseColor_;
    return PointColor(index - 1);
}

TCandleSeries::TCandlePixels TCandleSeries::PixelsOf(int index) const {
    const TCustomChartAxis& vert = *GetVertAxis();
    TCandlePixels p;
    p.X = XPixel(index);
    p.Open = YPixel(index);
    p.High = vert.ValueToPixel(HighValues().Value(index));
    p.Low = vert.ValueToPixel(LowValues().Value(index));
    p.Close = vert.ValueToPixel(CloseValues().Value(index));
    return p;
}

void TCandleSeries::DrawPoint(int index) {
    // A null point keeps its place but is not drawn.
    if (PointColor(index) == clNone) return;
    TChartCanvas3D& canvas = Canvas();
    Pointer.ApplyToCanvas(canvas, clAutoColor);
    const TCandlePixels p = PixelsOf(index);
    const int leftWidth = candleWidth_ / 2;
    const int rightWidth = candleWidth_ - leftWidth;
    const TColor color = CandleColor(index, p.Open, p.Close);
    if (candleStyle_ == TCandleStyle::csCandleStick) {
        canvas.VerticalLine(p.X, p.Low, p.High);
        if (p.Open == p.Close) {
            // Open and close on one row: a line in the candle colour instead of a body.
            canvas.Pen.Color = color;
            canvas.HorizontalLine(p.X - leftWidth, p.X + rightWidth, p.Open);
        } else {
            canvas.Brush.Color = color;
            const TPoint body[] = {{p.X - leftWidth, p.Open},
                                   {p.X + rightWidth, p.Open},
                                   {p.X + rightWidth, p.Close},
                                   {p.X - leftWidth, p.Close}};
            canvas.Polygon(body);
        }
    } else {
        canvas.Pen.Color = color;
        canvas.VerticalLine(p.X, p.Low, p.High);
        if (showOpenTick_) canvas.HorizontalLine(p.X, p.X - leftWidth, p.Open);
        if (showCloseTick_) canvas.HorizontalLine(p.X, p.X + rightWidth, p.Close);
    }
}

void TCandleSeries::DrawPoints() {
    // A declined composition leaves the pen and brush as it found them: where no candle is
    // drawn, a later shape without an outline fills in the pen mode found.
    const TCanvasPen pen = Canvas().Pen;
    const TCanvasBrush brush = Canvas().Brush;
    if (DrawVisibleCandles()) return;
    Canvas().Pen = pen;
    Canvas().Brush = brush;
    TCustomSeries::DrawPoints();
}

void TCandleSeries::CandleShape(int index, const TCandlePixels& p, TCandleShape& shape) const {
    const int x = p.X, open = p.Open, high = p.High, low = p.Low, close = p.Close;
    shape.X = x;
    shape.Color = CandleColor(index, open, close);
    for (int k = 0; k < bkKinds; ++k) {
        shape.Top[k] = 1;
        shape.Bottom[k] = 0;
    }
    // Rows as the canvas's boxes lie (see PenBoxes); a line of one pixel's length paints none.
    const int before = penBoxes_.Before, after = penBoxes_.After;
    if (low != high) {
        shape.Top[bkWick] = std::min(low, high) - before;
        shape.Bottom[bkWick] = std::max(low, high) + after;
    }
    const int top = std::min(open, close) - before, bottom = std::max(open, close) + after;
    if (open == close) {
        // The flat body is a line from X - left to X + right: it has a length unless both are 0.
        if (candleWidth_ != 0) {
            shape.Top[bkFlat] = top;
            shape.Bottom[bkFlat] = bottom;
        }
        return;
    }
    shape.Top[bkOutline] = top;
    shape.Bottom[bkOutline] = bottom;
    if (kindLeft_[bkInside] <= kindRight_[bkInside] && bottom - top + 1 > 2 * penBoxes_.Width) {
        shape.Top[bkInside] = top + penBoxes_.Width;
        shape.Bottom[bkInside] = bottom - penBoxes_.Width;
    }
}

bool TCandleSeries::DrawVisibleCandles() {
    const TChartPen& pen = Pointer.Pen;
    if (candleStyle_ != TCandleStyle::csCandleStick || !pen.Visible || pen.Color == clAutoColor ||
        Pointer.Brush.Style != TBrushStyle::bsSolid || !DrawOnlyVisible())
        return false;
    const int first = FirstVisibleIndex, last = LastVisibleIndex;
    TChartCanvas3D& canvas = Canvas();
    Pointer.ApplyToCanvas(canvas, clAutoColor);
    // The canvas must paint the wick, the body and a flat body as boxes.
    if (!canvas.PenBoxes(penBoxes_) || !penBoxes_.Lines || !penBoxes_.Outlines) return false;
    const int leftWidth = candleWidth_ / 2, rightWidth = candleWidth_ - leftWidth;
    const int before = penBoxes_.Before, after = penBoxes_.After;
    kindLeft_[bkWick] = -before;
    kindRight_[bkWick] = after;
    // A negative width mirrors the body about X.
    kindLeft_[bkOutline] = kindLeft_[bkFlat] = std::min(-leftWidth, rightWidth) - before;
    kindRight_[bkOutline] = kindRight_[bkFlat] = std::max(-leftWidth, rightWidth) + after;
    kindLeft_[bkInside] = kindLeft_[bkOutline] + penBoxes_.Width;
    kindRight_[bkInside] = kindRight_[bkOutline] - penBoxes_.Width;
    int lastDrawn = -1;
    const auto n = static_cast<size_t>(last - first + 1);
    // Where few candles share a pixel column, painting each column's candles over the earlier
    // columns costs less than composing them across columns. A clipped plot without pixels
    // (a chart narrower than its axes) has no rows to compose into.
    constexpr size_t kComposeFrom = 4;  // candles per pixel column
    if (n < kComposeFrom * static_cast<size_t>(std::max(0, ParentChart()->PlotWidth)) || !ParentChart()->ClipPoints ||
        ParentChart()->PlotClipRect().IsEmpty()) {
        if (!CandleShapes(first, last, lastDrawn) || lastDrawn < 0) return false;
        ParentChart()->FlushInk();
        DrawCandleRuns();
        LeaveCanvasAsCandle(lastDrawn);
        return true;
    }

    // Columns where a kind of box begins or ends split a candle into stripes that each box
    // covers wholly or not at all; stripes covered by the same kinds look alike.
    std::vector<int> edges;
    for (int k = 0; k < bkKinds; ++k)
        if (kindLeft_[k] <= kindRight_[k]) {
            edges.push_back(kindLeft_[k]);
            edges.push_back(kindRight_[k] + 1);
        }
    std::sort(edges.begin(), edges.end());
    edges.erase(std::unique(edges.begin(), edges.end()), edges.end());
    struct TStripe {
        int Left, Right;  // relative to the candle's X, inclusive
        int Group;
    };
    std::vector<TStripe> stripes;
    std::vector<unsigned> groupKinds;  // per group: bit k set when kind k covers its stripes
    for (size_t e = 0; e + 1 < edges.size(); ++e) {
        unsigned kinds = 0;
        for (int k = 0; k < bkKinds; ++k)
            if (kindLeft_[k] <= kindRight_[k] && kindLeft_[k] <= edges[e] && kindRight_[k] >= edges[e + 1] - 1) kinds |= 1u << k;
        if (!kinds) continue;
        const auto g = std::find(groupKinds.begin(), groupKinds.end(), kinds) - groupKinds.begin();
        if (g == static_cast<long>(groupKinds.size())) groupKinds.push_back(kinds);
        stripes.push_back(TStripe{edges[e], edges[e + 1] - 1, static_cast<int>(g)});
    }

    // Per group its kinds, from the last painted to the first, and per group and kind all
    // rows or none, as the kind covers the group's stripes or not.
    static constexpr TBoxKind kTopDown[] = {bkInside, bkFlat, bkOutline, bkWick};
    const size_t groups = groupKinds.size();
    std::vector<std::vector<TBoxKind>> groupOrder(groups);
    std::vector<TColumnCoverage::TWord> kindSelect(groups * bkKinds, 0);
    for (size_t g = 0; g < groups; ++g)
        for (TBoxKind kind : kTopDown)
            if (groupKinds[g] & (1u << kind)) {
                groupOrder[g].push_back(kind);
                kindSelect[g * bkKinds + kind] = ~TColumnCoverage::TWord(0);
            }
    // What later columns of candles painted is known per pixel of the clipped plot; without
    // clipping the region is unknown, and the point-by-point drawing is kept.
    composer_.Reset(ParentChart()->PlotClipRect());
    const TColumnCoverage& coverage = composer_.Coverage();
    using TWord = TColumnCoverage::TWord;
    const auto words = static_cast<size_t>(coverage.Words());
    // Per group the rows a column's candles have claimed so far, from its last candle back,
    // and per layer and group the claimed rows that show in the layer's colour. One word more
    // at the end lets a candle's second word be written even in the last word of rows: it
    // holds no rows there, and or-ing none changes nothing.
    std::vector<TWord> claimed(groups * words + 1), layerRows(1);
    std::vector<char> touched;  // per layer: it may hold rows in some group
    std::vector<int> touchedLayers;
    const TColor penColor = pen.Color;
    // Slot 0 the pen's, 1 the up colour's, 2 the down colour's, 3 any other candle colour's.
    // clAutoColor marks a slot without a layer yet: no composed candle paints in it, while
    // clNone is a colour a pen or a candle may have.
    TColor colorOfLayer[4] = {clAutoColor, clAutoColor, clAutoColor, clAutoColor};
    int layerOfColor[4] = {0, 0, 0, 0};
    auto slotOf = [&](TColor c) { return c == upCloseColor_ ? 1 : c == downCloseColor_ ? 2 : 3; };
    auto layerOf = [&](TColor c, int slot) {
        if (colorOfLayer[slot] != c) {
            colorOfLayer[slot] = c;
            layerOfColor[slot] = composer_.Layer(c);
            const auto need = static_cast<size_t>(layerOfColor[slot] + 1);
            if (touched.size() < need) {
                touched.resize(need, 0);
                layerRows.resize(need * groups * words + 1, 0);
            }
        }
        return layerOfColor[slot];
    };

    int x = 0, wLo = INT32_MAX, wHi = -1;
    // Each stripe's columns show its group's claimed rows where later columns left them free.
    // A group's rows go to one layer each, so the order of the layers does not matter.
    auto finishColumn = [&] {
        for (const TStripe& stripe : stripes)
            for (const int layer : touchedLayers)
                for (int col = x + stripe.Left; col <= x + stripe.Right; ++col)
                    composer_.PaintColumnWords(
                        col, &layerRows[(static_cast<size_t>(layer) * groups + static_cast<size_t>(stripe.Group)) * words],
                        wLo, wHi, layer);
        for (const int layer : touchedLayers) {
            touched[static_cast<size_t>(layer)] = 0;
            for (size_t g = 0; g < groups; ++g) {
                TWord* rows = &layerRows[(static_cast<size_t>(layer) * groups + g) * words];
                std::fill(rows + wLo, rows + wHi + 1, 0);
            }
        }
        touchedLayers.clear();
        if (wHi >= 0)
            for (size_t g = 0; g < groups; ++g) std::fill(&claimed[g * words] + wLo, &claimed[g * words] + wHi + 1, 0);
        wLo = INT32_MAX;
        wHi = -1;
    };
    auto touch = [&](int layer) {
        if (!touched[static_cast<size_t>(layer)]) {
            touched[static_cast<size_t>(layer)] = 1;
            touchedLayers.push_back(layer);
        }
    };
    // A candle's kinds of rows as the bits of words w and w + 1 claimed by every group:
    // from the last painted kind to the first, inside and flat body show what the group left
    // free, outline and wick what those left free too. Kinds the candle lacks hold no rows; a
    // second word of rows exists wherever hi holds one. A layer may be marked touched by a
    // claim that shows nothing: it paints no rows.
    auto claimGroups = [&](int w, const TWord (&lo)[bkKinds], const TWord (&hi)[bkKinds], int penLayer, int ownLayer) {
        wLo = std::min(wLo, w);
        wHi = std::max(wHi, static_cast<size_t>(w) + 1 < words ? w + 1 : w);
        touch(penLayer);
        touch(ownLayer);
        const size_t at = static_cast<size_t>(w);
        TWord* penInto = &layerRows[static_cast<size_t>(penLayer) * groups * words + at];
        TWord* ownInto = &layerRows[static_cast<size_t>(ownLayer) * groups * words + at];
        for (size_t g = 0; g < groups; ++g, penInto += words, ownInto += words) {
            const TWord* sel = &kindSelect[g * bkKinds];
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
    };
    // Composes one candle into its column's claims.
    auto compose = [&](const TCandleShape& c) {
        // Wick and outline paint in the pen's colour, the flat body and the inside in the candle's.
        const int penLayer = layerOf(penColor, 0), ownLayer = layerOf(c.Color, slotOf(c.Color));
        auto layerOfKind = [&](TBoxKind kind) { return kind == bkWick || kind == bkOutline ? penLayer : ownLayer; };
        auto claim = [&](size_t g, int layer, int w, TWord free) {
            const size_t at = static_cast<size_t>(layer) * groups + g;
            layerRows[at * words + static_cast<size_t>(w)] |= free;
            wLo = std::min(wLo, w);
            wHi = std::max(wHi, w);
            touch(layer);
        };
        // Most candles reach into two words of rows at most: there each kind's rows are
        // found once for all groups.
        int top = INT32_MAX, bottom = INT32_MIN;
        for (int k = 0; k < bkKinds; ++k)
            if (c.Top[k] <= c.Bottom[k]) {
                top = std::min(top, c.Top[k]);
                bottom = std::max(bottom, c.Bottom[k]);
            }
        const int w = top <= bottom ? coverage.FirstWord(top, bottom) : -1;
        if (w < 0) return;
        TWord lo[bkKinds] = {}, hi[bkKinds] = {};
        bool two = true;
        for (int k = 0; k < bkKinds && two; ++k)
            if (c.Top[k] <= c.Bottom[k]) two = coverage.TwoWords(c.Top[k], c.Bottom[k], w, lo[k], hi[k]);
        if (!two) {
            for (size_t g = 0; g < groups; ++g)
                for (TBoxKind kind : groupOrder[g])
                    if (c.Top[kind] <= c.Bottom[kind])
                        coverage.ClaimRows(&claimed[g * words], c.Top[kind], c.Bottom[kind],
                                           [&](int at, TWord free) { claim(g, layerOfKind(kind), at, free); });
            return;
        }
        claimGroups(w, lo, hi, penLayer, ownLayer);
    };

    // The same for candle k of the mapped ones, without its shape and without branching on
    // its rows, where its boxes within the region lie in two words of rows; false elsewhere.
    const TRect& region = coverage.Region();
    const int regionRows = region.Height(), penWidth = penBoxes_.Width;
    const bool insideKind = kindLeft_[bkInside] <= kindRight_[bkInside];
    const bool flatKind = candleWidth_ != 0;
    int ownLayers[2] = {-1, -1}, penLayer = -1;  // of falling and rising candles; of the pen
    auto composeInTwoWords = [&](int k, int index) {
        const auto at = static_cast<size_t>(k);
        const int open = pixels_[1][at], high = pixels_[2][at], low = pixels_[3][at], close = pixels_[4][at];
        const int bodyTop = std::min(open, close) - penBoxes_.Before, bodyBottom = std::max(open, close) + penBoxes_.After;
        const int wickTop = std::min(low, high) - penBoxes_.Before, wickBottom = std::max(low, high) + penBoxes_.After;
        const std::int64_t top = std::max(std::min(bodyTop, wickTop), region.Top) - std::int64_t(region.Top);
        const std::int64_t bottom = std::min(std::max(bodyBottom, wickBottom), region.Bottom - 1) - std::int64_t(region.Top);
        if (top > bottom) return true;  // nothing within the region
        const int w = static_cast<int>(top >> 6);
        if ((bottom >> 6) > w + 1) return false;
        // Rows a..e as bits of words w and w + 1: below[e + 1] and not below[a].
        const std::int64_t base = std::int64_t(region.Top) + 64 * w, limit = std::min(128, regionRows - 64 * w);
        auto rows = [&](std::int64_t from, std::int64_t to, TWord& lo, TWord& hi) {
            const auto a = static_cast<size_t>(std::clamp<std::int64_t>(from - base, 0, limit));
            const auto e = static_cast<size_t>(std::clamp<std::int64_t>(to - base + 1, 0, limit));
            lo = kRowsBelow[e][0] & ~kRowsBelow[a][0];
            hi = kRowsBelow[e][1] & ~kRowsBelow[a][1];
        };
        TWord body0, body1, wick0, wick1, inside0, inside1;
        rows(bodyTop, bodyBottom, body0, body1);
        rows(wickTop, wickBottom, wick0, wick1);
        rows(std::int64_t(bodyTop) + penWidth, std::int64_t(bodyBottom) - penWidth, inside0, inside1);
        const TWord wick = low != high ? ~TWord(0) : 0, outline = open != close ? ~TWord(0) : 0;
        const TWord flat = open == close && flatKind ? ~TWord(0) : 0;
        const TWord inside = outline & (insideKind && bodyBottom - bodyTop + 1 > 2 * penWidth ? ~TWord(0) : 0);
        const TWord lo[bkKinds] = {wick0 & wick, body0 & outline, body0 & flat, inside0 & inside};
        const TWord hi[bkKinds] = {wick1 & wick, body1 & outline, body1 & flat, inside1 & inside};
        // Rising and falling candles come in no order: their layers, once known, are picked
        // without a branch.
        const int rising = open > close;
        int own = ownLayers[rising];
        if (open == close || own < 0) {
            const TColor color = open > close ? upCloseColor_ : open < close ? downCloseColor_ : CandleColor(index, open, close);
            own = layerOf(color, slotOf(color));
            if (open != close) ownLayers[rising] = own;
        }
        if (penLayer < 0) penLayer = layerOf(penColor, 0);
        claimGroups(w, lo, hi, penLayer, own);
        return true;
    };
    // Where every candle has a colour of its own, none is left to fail on one it lacks: candles
    // may be composed without their shape and passed over unseen.
    const bool coloured = upCloseColor_ != clAutoColor && downCloseColor_ != clAutoColor && SeriesColor() != clAutoColor;
    const TColor firstColor = PointColor(first);
    const bool noNulls = firstColor != clNone && PointColorsAre(first, last, firstColor);

    // The candles from the last to the first. After each drawn candle, the aligned blocks of
    // earlier candles on its column whose rows it and the later ones have claimed in every
    // stripe are passed over whole: they would claim none.
    for (lastDrawn = last; lastDrawn >= first && PointColor(lastDrawn) == clNone;) --lastDrawn;
    std::vector<char> groupBody(groups, 0), groupWick(groups, 0);
    for (size_t g = 0; g < groups; ++g) {
        groupWick[g] = (groupKinds[g] & (1u << bkWick)) != 0;
        groupBody[g] = (groupKinds[g] & ~(1u << bkWick)) != 0;
    }
    const int* xs = nullptr;
    // A block on this column whose bodies and wicks reach only rows its stripes have claimed.
    auto hidden = [&](int level, int start) {
        if (xs[start] != x) return false;
        const auto [bodyTop, bodyBottom] = bodies_.Range(level, start);
        const auto [wickTop, wickBottom] = wicks_.Range(level, start);
        for (size_t g = 0; g < groups; ++g) {
            const TWord* column = &claimed[g * words];
            if (groupBody[g] && !coverage.RowsClaimed(column, bodyTop, bodyBottom)) return false;
            if (groupWick[g] && !coverage.RowsClaimed(column, wickTop, wickBottom)) return false;
        }
        return true;
    };
    TCandleShape shape;
    // A chunk at a time, mapped where it is composed, so that its pixels are read back while
    // still in the cache; chunks begin on multiples of the largest block.
    constexpr int kChunk = 1024;
    static_assert(kChunk % (1 << TBlockRanges::kLevels) == 0);
    for (int hi = static_cast<int>(n) - 1; hi >= 0;) {
        const int lo = hi / kChunk * kChunk;
        MapCandlePixels(first + lo, first + hi);
        const bool skipBlocks = coloured && BuildRanges(static_cast<size_t>(hi - lo + 1));
        xs = pixels_[0].data();
        for (int k = hi - lo; k >= 0;) {
            const int i = first + lo + k;
            if (xs[k] != x) {
                finishColumn();
                x = xs[k];
            }
            if ((noNulls || PointColor(i) != clNone) && !(coloured && composeInTwoWords(k, i))) {
                CandleShape(i, PixelsAt(static_cast<size_t>(k)), shape);
                if (shape.Color == clAutoColor) return false;
                compose(shape);
            }
            const int next = skipBlocks ? TBlockRanges::PassOver(k, hidden) : k;
            k = next - 1;
        }
        hi = lo - 1;
    }
    finishColumn();
    if (lastDrawn < 0) return false;
    ParentChart()->DeferComposed(composer_);
    LeaveCanvasAsCandle(lastDrawn);
    return true;
}

bool TCandleSeries::CandleShapes(int a, int b, int& lastDrawn) {
    shapes_.clear();
    MapCandlePixels(a, b);
    for (int i = a; i <= b; ++i) {
        if (PointColor(i) == clNone) continue;
        shapes_.emplace_back();
        CandleShape(i, PixelsAt(static_cast<size_t>(i - a)), shapes_.back());
        if (shapes_.back().Color == clAutoColor) return false;
        lastDrawn = std::max(lastDrawn, i);
    }
    return true;
}

void TCandleSeries::MapCandlePixels(int first, int last) {
    const auto n = static_cast<size_t>(last - first + 1);
    for (auto& list : pixels_) list.resize(n);
    MapPixels(first, last, pixels_[0].data(), pixels_[1].data());
    const TCustomChartAxis::TPixelMap vert = GetVertAxis()->PixelMap();
    vert.Map(HighValues().Data() + first, HighValues().Multiplier(), n, pixels_[2].data());
    vert.Map(LowValues().Data() + first, LowValues().Multiplier(), n, pixels_[3].data());
    vert.Map(CloseValues().Data() + first, CloseValues().Multiplier(), n, pixels_[4].data());
}

bool TCandleSeries::BuildRanges(size_t n) {
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

void TCandleSeries::LeaveCanvasAsCandle(int index) {
    TChartCanvas3D& canvas = Canvas();
    const TCandlePixels p = PixelsOf(index);
    Pointer.ApplyToCanvas(canvas, clAutoColor);
    if (p.Open == p.Close)
        canvas.Pen.Color = CandleColor(index, p.Open, p.Close);
    else
        canvas.Brush.Color = CandleColor(index, p.Open, p.Close);
}

void TCandleSeries::DrawCandleRuns() {
    TChartCanvas3D& canvas = Canvas();
    canvas.Brush.Style = TBrushStyle::bsSolid;
    const TColor penColor = Pointer.Pen.Color;
    std::vector<int> edges;
    std::vector<std::pair<int, int>> covered;  // rows painted by later boxes, sorted, apart
    for (size_t start = 0; start < shapes_.size();) {
        const int x = shapes_[start].X;
        size_t end = start;
        while (end + 1 < shapes_.size() && shapes_[end + 1].X == x) ++end;
        // Columns where a kind of box begins or ends split the run into stripes that every box
        // covers wholly or not at all; in each stripe the boxes are rows, the later on top.
        edges.clear();
        for (int k = 0; k < bkKinds; ++k)
            if (kindLeft_[k] <= kindRight_[k]) {
                edges.push_back(x + kindLeft_[k]);
                edges.push_back(x + kindRight_[k] + 1);
            }
        std::sort(edges.begin(), edges.end());
        edges.erase(std::unique(edges.begin(), edges.end()), edges.end());
        for (size_t e = 0; e + 1 < edges.size(); ++e) {
            const int left = edges[e], right = edges[e + 1] - 1;
            covered.clear();
            for (size_t i = end + 1; i-- > start;) {
                const TCandleShape& c = shapes_[i];
                for (TBoxKind kind : {bkInside, bkFlat, bkOutline, bkWick}) {
                    const int top = c.Top[kind], bottom = c.Bottom[kind];
                    if (top > bottom || x + kindLeft_[kind] > left || x + kindRight_[kind] < right) continue;
                    // The rows of this box that no later box paints.
                    canvas.Brush.Color = kind == bkWick || kind == bkOutline ? penColor : c.Color;
                    int row = top;
                    auto fill = [&](int from, int to) { canvas.FillRect(TRect{left, from, right + 1, to + 1}); };
                    for (const auto& [t, b] : covered) {
                        if (b < row) continue;
                        if (t > bottom) break;
                        if (t > row) fill(row, t - 1);
                        row = b + 1;
                        if (row > bottom) break;
                    }
                    if (row <= bottom) fill(row, bottom);
                    // Join the box's rows into the covered ones.
                    auto it = std::lower_bound(covered.begin(), covered.end(), std::make_pair(top, top));
                    if (it != covered.begin() && std::prev(it)->second + 1 >= top) --it;
                    int joinedTop = top, joinedBottom = bottom;
                    auto stop = it;
                    while (stop != covered.end() && stop->first <= joinedBottom + 1) {
                        joinedTop = std::min(joinedTop, stop->first);
                        joinedBottom = std::max(joinedBottom, stop->second);
                        ++stop;
                    }
                    it = covered.erase(it, stop);
                    covered.insert(it, {joinedTop, joinedBottom});
                }
            }
        }
        start = end + 1;
    }
}

int TCandleSeries::Clicked(int x, int y) {
    int first = 0, last = 0;
    if (!HitRange(first, last)) return -1;
    const int penWidth = Pointer.Pen.Visible ? std::max<int>(1, Pointer.Pen.Width) : 1;
    // A wide pen spreads width div 2 pixels to the left/top of the centre line.
    const int before = penWidth / 2, after = penWidth - 1 - before;
    const int leftWidth = candleWidth_ / 2;
    const int rightWidth = candleWidth_ - leftWidth;
    // v lies between a and b, widened by the pen's spread on each side.
    auto within = [&](int v, int a, int b) { return v >= std::min(a, b) - before && v <= std::max(a, b) + after; };
    // Later candles are drawn over earlier ones.
    for (int i = last; i >= first; --i) {
        if (PointColor(i) == clNone) continue;
        const TCandlePixels p = PixelsOf(i);
        if (within(x, p.X, p.X) && within(y, p.Low, p.High)) return i;
        if (candleStyle_ == TCandleStyle::csCandleStick) {
            if (within(x, p.X - leftWidth, p.X + rightWidth) && within(y, p.Open, p.Close)) return i;
        } else {
            if (showOpenTick_ && within(x, p.X, p.X - leftWidth) && within(y, p.Open, p.Open)) return i;
            if (showCloseTick_ && within(x, p.X, p.X + rightWidth) && within(y, p.Close, p.Close)) return i;
        }
    }
    return -1;
}

}  // namespace zyn::chart
