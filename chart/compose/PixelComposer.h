#pragma once
#include <cstdint>
#include <utility>
#include <vector>

#include "chart/Canvas.h"
#include "chart/compose/ColumnCoverage.h"

namespace zyn::chart {

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

}  // namespace zyn::chart
