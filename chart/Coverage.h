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

// Shapes composed from the last to the first: each pixel goes to the colour of the last shape
// that paints it, and at the end every colour's pixels are painted as boxes with a solid
// brush, columns that show the same rows joined. For shapes of opaque colours painted in copy
// mode on a canvas that hands out its pixels exactly, the picture is the one painting every
// shape in turn gives.
class TPixelComposer {
public:
    void Reset(const TRect& region) {
        coverage_.Reset(region);
        used_ = 0;
    }
    const TRect& Region() const { return coverage_.Region(); }
    const TColumnCoverage& Coverage() const { return coverage_; }
    // The layer that paints in colour c, made on first use in a frame.
    int Layer(TColor c) {
        for (int i = 0; i < used_; ++i)
            if (colours_[static_cast<size_t>(i)] == c) return i;
        if (used_ == static_cast<int>(layers_.size())) {
            layers_.emplace_back();
            colours_.push_back(c);
        }
        colours_[static_cast<size_t>(used_)] = c;
        layers_[static_cast<size_t>(used_)].Reset(coverage_.Region());
        return used_++;
    }
    bool Covered(int x, int top, int bottom) const { return coverage_.Covered(x, top, bottom); }
    // Rows top..bottom of column x painted by a shape earlier than all painted so far.
    void Paint(int x, int top, int bottom, int layer) { Paint(RunTarget(layer), x, top, bottom); }
    // The first column of the coverage and of a layer, found once for many runs; valid until
    // the next Reset.
    struct TRunTarget {
        TColumnCoverage::TWord *Painted, *Into;
    };
    TRunTarget RunTarget(int layer) {
        const int left = Region().Left;
        return {coverage_.MutableColumn(left), layers_[static_cast<size_t>(layer)].MutableColumn(left)};
    }
    // Paint into a target; inlined, as a series paints one run per point.
    [[gnu::always_inline]] void Paint(const TRunTarget& target, int x, int top, int bottom) {
        const TRect& region = Region();
        if (x < region.Left || x >= region.Right) return;
        const size_t at = static_cast<size_t>(x - region.Left) * static_cast<size_t>(coverage_.Words());
        TColumnCoverage::TWord* into = target.Into + at;
        coverage_.ClaimRows(target.Painted + at, top, bottom, [into](int w, TColumnCoverage::TWord free) { into[w] |= free; });
    }
    // The same for the rows of `bits` (bit k: row top + k).
    void PaintBits(int x, int top, TColumnCoverage::TWord bits, int layer) {
        TColumnCoverage::TWord* into = layers_[static_cast<size_t>(layer)].MutableColumn(x);
        coverage_.PaintBits(x, top, bits, [into](int w, TColumnCoverage::TWord free) { into[w] |= free; });
    }
    // A shape of pen and brush pixels: per column its offset and its rows from a top row.
    struct TShapeColumn {
        int Dx;
        TColumnCoverage::TWord Pen, Brush;
    };
    // Where a shape's pen and brush go: the first column of the coverage and of the two layers,
    // found once for many shapes; valid until the next Reset.
    struct TShapeTarget {
        TColumnCoverage::TWord *Painted, *Pen, *Brush;
        std::pair<int, int> Layers;
    };
    TShapeTarget ShapeTarget(std::pair<int, int> layers) {
        const int left = Region().Left;
        return {coverage_.MutableColumn(left), layers_[static_cast<size_t>(layers.first)].MutableColumn(left),
                layers_[static_cast<size_t>(layers.second)].MutableColumn(left), layers};
    }
    // The shape's rows top .. top + height - 1 (height at most 64) in columns x + Dx, its pen in
    // layers.first and its brush in layers.second, each pixel where it is still free.
    void PaintShape(int x, int top, int height, const std::vector<TShapeColumn>& shape, std::pair<int, int> layers) {
        PaintShape(ShapeTarget(layers), x, top, height, shape);
    }
    // The same into a target; inlined, as a series paints one shape per point.
    [[gnu::always_inline]] void PaintShape(const TShapeTarget& target, int x, int top, int height,
                                           const std::vector<TShapeColumn>& shape) {
        const std::pair<int, int> layers = target.Layers;
        const TRect& region = Region();
        const std::int64_t o = std::int64_t(top) - region.Top;
        if (o < 0 || o + 64 > region.Height()) {
            // Near the region's top or bottom edge, row by row as Place clips them.
            for (const TShapeColumn& column : shape) {
                PaintBits(x + column.Dx, top, column.Pen, layers.first);
                PaintBits(x + column.Dx, top, column.Brush, layers.second);
            }
            return;
        }
        const int w = static_cast<int>(o >> 6), s = static_cast<int>(o & 63);
        const bool second = s + height > 64;
        // The three sets of bits share the region's layout: one offset finds a column in each.
        const size_t words = static_cast<size_t>(coverage_.Words());
        TColumnCoverage::TWord *painted = target.Painted, *penRows = target.Pen, *brushRows = target.Brush;
        for (const TShapeColumn& column : shape) {
            const int cx = x + column.Dx;
            if (cx < region.Left || cx >= region.Right) continue;
            const size_t at = static_cast<size_t>(cx - region.Left) * words + static_cast<size_t>(w);
            auto word = [&](size_t i, TColumnCoverage::TWord p, TColumnCoverage::TWord b) {
                const TColumnCoverage::TWord free = (p | b) & ~painted[i];
                penRows[i] |= free & p;
                brushRows[i] |= free & b;
                painted[i] |= p | b;
            };
            word(at, column.Pen << s, column.Brush << s);
            // Within the region's rows, so word w + 1 exists whenever the shape reaches it.
            if (second) word(at + 1, column.Pen >> (64 - s), column.Brush >> (64 - s));
        }
    }
    // Words lo..hi of `rows` (a column of the region's words), wherever still free in column
    // x, in the layer.
    void PaintColumnWords(int x, const TColumnCoverage::TWord* rows, int lo, int hi, int layer) {
        TColumnCoverage::TWord* painted = coverage_.MutableColumn(x);
        if (!painted) return;
        TColumnCoverage::TWord* into = layers_[static_cast<size_t>(layer)].MutableColumn(x);
        for (int w = lo; w <= hi; ++w) {
            const TColumnCoverage::TWord free = rows[w] & ~painted[w];
            into[w] |= free;
            painted[w] |= free;
        }
    }
    void PaintBox(const TRect& box, int layer) {
        const int left = std::max(box.Left, Region().Left), right = std::min(box.Right, Region().Right);
        for (int x = left; x < right; ++x) Paint(x, box.Top, box.Bottom - 1, layer);
    }
    // The rows marked in bits, wherever still free, in the layer; bits covers the region.
    void PaintMarked(const TColumnCoverage& bits, int layer) {
        const TRect& region = Region();
        if (region.Width() <= 0 || coverage_.Words() == 0) return;
        // All three hold the region's columns one after another: one run of words, which
        // the compiler may take several at a time.
        const size_t n = static_cast<size_t>(region.Width()) * static_cast<size_t>(coverage_.Words());
        const TColumnCoverage::TWord* __restrict from = bits.Column(region.Left);
        TColumnCoverage::TWord* __restrict painted = coverage_.MutableColumn(region.Left);
        TColumnCoverage::TWord* __restrict to = layers_[static_cast<size_t>(layer)].MutableColumn(region.Left);
        for (size_t i = 0; i < n; ++i) {
            to[i] |= from[i] & ~painted[i];
            painted[i] |= from[i];
        }
    }
    // Hands each layer's pixels and colour to take(bits, colour), which may swap the bits
    // out; the composer holds no layer afterwards.
    template <class Take>
    void Release(Take&& take) {
        for (int i = 0; i < used_; ++i) take(layers_[static_cast<size_t>(i)], colours_[static_cast<size_t>(i)]);
        used_ = 0;
    }
    // Paints what the layers hold; the canvas keeps the brush it is left with.
    void Flush(TChartCanvas3D& canvas) {
        const TRect& region = Region();
        // From the bits where the canvas can, which spares finding the runs twice.
        if (TColumnCoverage::FillMarked(canvas, layers_.data(), colours_.data(), static_cast<size_t>(used_))) return;
        std::vector<std::pair<int, int>> runs, previous;
        for (int i = 0; i < used_; ++i) {
            const TColumnCoverage& layer = layers_[static_cast<size_t>(i)];
            canvas.Brush.Style = TBrushStyle::bsSolid;
            canvas.Brush.Color = colours_[static_cast<size_t>(i)];
            int from = region.Left;
            auto paint = [&](int right) {
                for (const auto& [t, b] : previous) canvas.FillRect(TRect{from, t, right, b + 1});
            };
            previous.clear();
            for (int x = region.Left; x < region.Right; ++x) {
                runs.clear();
                layer.Runs(x, [&](int t, int b) { runs.emplace_back(t, b); });
                if (runs == previous) continue;
                paint(x);
                previous.swap(runs);
                from = x;
            }
            paint(region.Right);
        }
    }

private:
    TColumnCoverage coverage_;
    std::vector<TColumnCoverage> layers_;  // kept between frames, to spare allocations
    std::vector<TColor> colours_;
    int used_ = 0;
};

// The pixels of one-colour series whose painting waits for the series after them: where
// later ones cover earlier ones, each pixel is then written once, in the colour of the last.
class TDeferredInk {
public:
    // Cleared bits over region for the next series, painting in colour; what waits over
    // another region is painted first.
    TColumnCoverage& Next(TChartCanvas3D& canvas, const TRect& region, TColor color) {
        oneComposition_ = false;
        // A series in the colour of what waits last adds to its pixels: the union of the two
        // is what they paint.
        joined_ = used_ > 0 && colours_[used_ - 1] == color && layers_[used_ - 1].Region() == region;
        if (joined_) return layers_[used_ - 1];
        TColumnCoverage& bits = Slot(canvas, region, color);
        bits.Reset(region);
        return bits;
    }
    // The layers of a composition, waiting like the bits of as many series in turn.
    void Take(TChartCanvas3D& canvas, TPixelComposer& composer) {
        const bool alone = used_ == 0;
        composer.Release(
            [&](TColumnCoverage& bits, TColor color) { std::swap(Slot(canvas, bits.Region(), color), bits); });
        oneComposition_ = alone;
    }
    // Forgets the layer Next gave last. Bits added to a layer that waited already stay: they
    // are some of the pixels the series paints itself, in the same colour, once this is flushed.
    void DropLast() {
        if (!joined_ && used_ > 0) --used_;
        joined_ = false;
    }
    void Flush(TChartCanvas3D& canvas) {
        if (used_ == 0) return;
        const size_t used = used_;
        used_ = 0;
        // Layers that share no pixel are painted as they stand.
        if ((used == 1 || oneComposition_) && TColumnCoverage::FillMarked(canvas, layers_.data(), colours_.data(), used))
            return;
        if (FlushInStrips(canvas, used)) return;
        // From the last series to the first, as a composition.
        composer_.Reset(layers_[0].Region());
        for (size_t i = used; i-- > 0;) composer_.PaintMarked(layers_[i], composer_.Layer(colours_[i]));
        composer_.Flush(canvas);
    }

private:
    // The composition of the used layers a strip of columns at a time, each strip painted
    // as soon as it is composed, so that its bits never leave the cache; false, with nothing
    // painted, where the canvas cannot paint column bits.
    bool FlushInStrips(TChartCanvas3D& canvas, size_t used) {
        const TRect region = layers_[0].Region();
        const auto words = static_cast<size_t>(layers_[0].Words());
        if (region.IsEmpty() || words == 0 || !canvas.Capabilities().ColumnBits) return false;
        // One layer per colour, in the order the composition from the last series meets them.
        std::vector<TColor> colours;
        std::vector<size_t> into(used);
        std::vector<char> firstOfColour(used, 0);
        for (size_t i = used; i-- > 0;) {
            const auto at = std::find(colours.begin(), colours.end(), colours_[i]);
            into[i] = static_cast<size_t>(at - colours.begin());
            if (at == colours.end()) {
                colours.push_back(colours_[i]);
                firstOfColour[i] = 1;
            }
        }
        constexpr int kStrip = 64;  // columns
        const size_t stripWords = kStrip * words;
        strips_.resize((colours.size() + 1) * stripWords);
        TColumnCoverage::TWord* painted = strips_.data() + colours.size() * stripWords;
        std::vector<TChartCanvas3D::TColumnBits> bits(colours.size());
        for (size_t c = 0; c < colours.size(); ++c) bits[c] = {strips_.data() + c * stripWords, colours[c]};
        for (int left = region.Left; left < region.Right; left += kStrip) {
            const int columns = std::min(kStrip, region.Right - left);
            const size_t n = static_cast<size_t>(columns) * words;
            // The first layer of the composition and the first of each colour are written, not
            // joined, which spares clearing the strip. Each layer's strip is cleared as it is
            // read, while in the cache, which spares the layer's next use clearing it.
            for (size_t i = used; i-- > 0;) {
                TColumnCoverage::TWord* __restrict from = layers_[i].MutableColumn(left);
                TColumnCoverage::TWord* __restrict to = strips_.data() + into[i] * stripWords;
                TColumnCoverage::TWord* __restrict done = painted;
                if (i == used - 1) {
                    std::copy(from, from + n, to);
                    std::copy(from, from + n, done);
                } else if (firstOfColour[i]) {
                    for (size_t k = 0; k < n; ++k) {
                        to[k] = from[k] & ~done[k];
                        done[k] |= from[k];
                    }
                } else {
                    for (size_t k = 0; k < n; ++k) {
                        to[k] |= from[k] & ~done[k];
                        done[k] |= from[k];
                    }
                }
                std::fill(from, from + n, 0);
            }
            canvas.FillColumnBits(left, region.Top, static_cast<int>(words), columns, bits);
        }
        for (size_t i = 0; i < used; ++i) layers_[i].KnownClear();
        canvas.Brush.Style = TBrushStyle::bsSolid;
        canvas.Brush.Color = colours.back();
        return true;
    }
    TColumnCoverage& Slot(TChartCanvas3D& canvas, const TRect& region, TColor color) {
        if (used_ > 0 && layers_[0].Region() != region) Flush(canvas);
        if (used_ == layers_.size()) {
            layers_.emplace_back();
            colours_.push_back(color);
        }
        colours_[used_] = color;
        return layers_[used_++];
    }
    std::vector<TColumnCoverage> layers_;  // kept between frames, to spare allocations
    std::vector<TColor> colours_;
    size_t used_ = 0;
    bool oneComposition_ = false;  // what waits is the layers of one composition
    bool joined_ = false;          // Next gave the layer that waited last
    TPixelComposer composer_;
    std::vector<TColumnCoverage::TWord> strips_;  // scratch of FlushInStrips
};

}  // namespace zyn::chart
