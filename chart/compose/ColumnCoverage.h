#pragma once
#include <algorithm>
#include <bit>
#include <cstdint>
#include <utility>
#include <vector>

#include "chart/Canvas.h"
#include "chart/PixelMath.h"

namespace zyn::chart {

// Which pixels of a rectangular region later shapes have already painted, one bit per pixel,
// kept per column. A series that composes its shapes from the last to the first paints only
// what is still free, so every visible pixel is painted once, by the shape that shows it.
// Pixels outside the region count as painted: nothing drawn there can be seen.
class TColumnCoverage {
public:
    using TWord = std::uint64_t;

    void Reset(const TRect& region) {
        const int words = region.IsEmpty() ? 0 : (region.Height() + 63) / 64;
        const size_t size = static_cast<size_t>(std::max(0, region.Width())) * static_cast<size_t>(words);
        // Bits known to be clear of the same size are not cleared again.
        if (!clear_ || size != bits_.size()) bits_.assign(size, 0);
        clear_ = false;
        region_ = region;
        words_ = words;
    }
    // Tells the next Reset that every bit has been cleared since it was set.
    void KnownClear() { clear_ = true; }
    const TRect& Region() const { return region_; }
    // Words of one column's rows.
    int Words() const { return words_; }
    // The rows of column x; nullptr outside the region, and where it has no rows.
    const TWord* Column(int x) const {
        if (x < region_.Left || x >= region_.Right || words_ == 0) return nullptr;
        return &bits_[static_cast<size_t>(x - region_.Left) * static_cast<size_t>(words_)];
    }

    bool Covered(int x, int top, int bottom) const {
        const TWord* column = Column(x);
        return !column || RowsClaimed(column, top, bottom);
    }
    // Whether rows top..bottom of a column of Words() words held elsewhere are all marked;
    // rows outside the region count as marked.
    bool RowsClaimed(const TWord* column, int top, int bottom) const {
        int t = 0, b = 0;
        if (!Clamp(top, bottom, t, b)) return true;
        for (int w = t >> 6; w <= (b >> 6); ++w)
            if (Mask(w, t, b) & ~column[w]) return false;
        return true;
    }
    // Marks rows top..bottom of a column of Words() words held elsewhere and calls
    // free(w, bits) with the rows of each word w that were free before.
    template <class Free>
    void ClaimRows(TWord* column, int top, int bottom, Free&& free) const {
        int t = 0, b = 0;
        if (!Clamp(top, bottom, t, b)) return;
        for (int w = t >> 6; w <= (b >> 6); ++w) {
            const TWord mask = Mask(w, t, b);
            if (const TWord f = mask & ~column[w]) free(w, f);
            column[w] |= mask;
        }
    }

    // The first word of a column that rows top..bottom reach within the region; -1 if none.
    int FirstWord(int top, int bottom) const {
        int t = 0, b = 0;
        return Clamp(top, bottom, t, b) ? t >> 6 : -1;
    }
    // Rows top..bottom within the region as the bits of words w and w + 1 of a column; false
    // where they reach beyond those two.
    bool TwoWords(int top, int bottom, int w, TWord& lo, TWord& hi) const {
        int t = 0, b = 0;
        lo = hi = 0;
        if (!Clamp(top, bottom, t, b)) return true;
        if ((t >> 6) < w || (b >> 6) > w + 1) return false;
        if ((t >> 6) == w) lo = Mask(w, t, b);
        if ((b >> 6) == w + 1) hi = Mask(w + 1, t, b);
        return true;
    }

    TWord* MutableColumn(int x) {
        if (x < region_.Left || x >= region_.Right || words_ == 0) return nullptr;
        return &bits_[static_cast<size_t>(x - region_.Left) * static_cast<size_t>(words_)];
    }
    // The rows of `bits` (bit k: row top + k) as the words w and w + 1 of a column, those
    // outside the region left out; false when none is left.
    bool Place(int top, TWord bits, int& w, TWord& lo, TWord& hi) const {
        std::int64_t o = std::int64_t(top) - region_.Top;
        if (o < 0) {
            if (o <= -64) return false;
            bits >>= -o;
            o = 0;
        }
        const int rows = region_.Height();
        if (o >= rows || !bits) return false;
        w = static_cast<int>(o >> 6);
        const int s = static_cast<int>(o & 63);
        lo = (bits << s) & RowsOf(w, rows);
        hi = s && w + 1 < words_ ? (bits >> (64 - s)) & RowsOf(w + 1, rows) : 0;
        return (lo | hi) != 0;
    }
    // Marks the rows of `bits` of column x painted and calls free(w, bits) as ClaimRows does.
    template <class Free>
    void PaintBits(int x, int top, TWord bits, Free&& free) {
        TWord* column = MutableColumn(x);
        int w = 0;
        TWord lo = 0, hi = 0;
        if (!column || !Place(top, bits, w, lo, hi)) return;
        if (const TWord f = lo & ~column[w]) free(w, f);
        column[w] |= lo;
        if (hi) {
            if (const TWord f = hi & ~column[w + 1]) free(w + 1, f);
            column[w + 1] |= hi;
        }
    }

    // Marks rows top..bottom of column x, whether free or not.
    void Mark(int x, int top, int bottom) {
        int t = 0, b = 0;
        if (x < region_.Left || x >= region_.Right || !Clamp(top, bottom, t, b)) return;
        TWord* column = &bits_[static_cast<size_t>(x - region_.Left) * static_cast<size_t>(words_)];
        for (int w = t >> 6; w <= (b >> 6); ++w) column[w] |= Mask(w, t, b);
    }
    // Marks the box (right and bottom exclusive), whether free or not.
    void MarkBox(const TRect& box) {
        for (int x = std::max(box.Left, region_.Left); x < std::min(box.Right, region_.Right); ++x)
            Mark(x, box.Top, box.Bottom - 1);
    }
    // Fills the marked pixels of n layers over one region that share no pixel, each in its
    // colour, at once, so that every block of the picture is written while in the cache; false,
    // with nothing painted, where the canvas cannot paint column bits. The brush is left solid
    // in the last layer's colour.
    static bool FillMarked(TChartCanvas3D& canvas, const TColumnCoverage* layers, const TColor* colours, size_t n) {
        if (n == 0) return true;
        std::vector<TChartCanvas3D::TColumnBits> bits(n);
        for (size_t i = 0; i < n; ++i) bits[i] = {layers[i].bits_.data(), colours[i]};
        const TRect& region = layers[0].region_;
        if (!canvas.FillColumnBits(region.Left, region.Top, layers[0].words_, std::max(0, region.Width()), bits))
            return false;
        canvas.Brush.Style = TBrushStyle::bsSolid;
        canvas.Brush.Color = colours[n - 1];
        return true;
    }
    // Calls run(top, bottom) for each maximal run of marked rows of column x, top to bottom.
    template <class Run>
    void Runs(int x, Run&& run) const {
        const TWord* column = Column(x);
        if (!column) return;
        int runTop = 0, runBottom = -2;
        for (int w = 0; w < words_; ++w) JoinRuns(w, column[w], runTop, runBottom, run);
        if (runBottom >= runTop) run(runTop + region_.Top, runBottom + region_.Top);
    }

private:
    // The runs of set bits of word w joined to the open run runTop..runBottom (bit rows);
    // run(top, bottom) gets each run that closes, in rows.
    template <class Run>
    void JoinRuns(int w, TWord bits, int& runTop, int& runBottom, Run& run) const {
        const int base = w * 64;
        ForEachRunOfBits(bits, [&](int s, int len) {
            if (base + s != runBottom + 1) {
                if (runBottom >= runTop) run(runTop + region_.Top, runBottom + region_.Top);
                runTop = base + s;
            }
            runBottom = base + s + len - 1;
        });
    }
    // top..bottom within the region, as bit rows t..b; false when none is left.
    bool Clamp(int top, int bottom, int& t, int& b) const {
        top = std::max(top, region_.Top);
        bottom = std::min(bottom, region_.Bottom - 1);
        if (top > bottom) return false;
        t = top - region_.Top;
        b = bottom - region_.Top;
        return true;
    }
    // The bits of word w that lie within the region's rows.
    static TWord RowsOf(int w, int rows) {
        const int valid = rows - w * 64;
        return valid >= 64 ? ~TWord(0) : (TWord(1) << valid) - 1;
    }
    // The bits of rows t..b in word w.
    static TWord Mask(int w, int t, int b) {
        const int lo = w == (t >> 6) ? (t & 63) : 0;
        const int hi = w == (b >> 6) ? (b & 63) : 63;
        return (~TWord(0) >> (63 - hi)) & (~TWord(0) << lo);
    }

    TRect region_;
    int words_ = 0;
    std::vector<TWord> bits_;
    bool clear_ = false;
};

}  // namespace zyn::chart
