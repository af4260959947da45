#pragma once
#include <algorithm>
#include <cstdint>
#include <vector>

#include "chart/Canvas.h"
#include "chart/compose/ColumnCoverage.h"
#include "chart/compose/PixelComposer.h"

namespace zyn::chart {

// The storage waiting ink reuses from frame to frame, to spare allocations; between frames
// it holds nothing of meaning.
struct TInkStore {
    std::vector<TColumnCoverage> Layers;
    TPixelComposer Composer;
    std::vector<TColumnCoverage::TWord> Strips;
};

// The pixels of one-colour series whose painting waits for the series after them: where
// later ones cover earlier ones, each pixel is then written once, in the colour of the last.
// Lives for one frame, which flushes it before it ends.
class TDeferredInk {
public:
    // columnBits: the canvas paints column bits in this frame.
    TDeferredInk(TInkStore& store, TChartCanvas3D& canvas, bool columnBits)
        : store_(store), layers_(store.Layers), canvas_(canvas), columnBits_(columnBits) {}
    TDeferredInk(const TDeferredInk&) = delete;
    TDeferredInk& operator=(const TDeferredInk&) = delete;

    // Cleared bits over region for the next series, painting in colour; what waits over
    // another region is painted first.
    TColumnCoverage& Next(const TRect& region, TColor color) {
        oneComposition_ = false;
        // A series in the colour of what waits last adds to its pixels: the union of the two
        // is what they paint.
        joined_ = used_ > 0 && colours_[used_ - 1] == color && layers_[used_ - 1].Region() == region;
        if (joined_) return layers_[used_ - 1];
        TColumnCoverage& bits = Slot(region, color);
        bits.Reset(region);
        return bits;
    }
    // The layers of a composition, waiting like the bits of as many series in turn.
    void Take(TPixelComposer& composer) {
        const bool alone = used_ == 0;
        composer.Release(
            [&](TColumnCoverage& bits, TColor color) { std::swap(Slot(bits.Region(), color), bits); });
        oneComposition_ = alone;
    }
    // Forgets the layer Next gave last. Bits added to a layer that waited already stay: they
    // are some of the pixels the series paints itself, in the same colour, once this is flushed.
    void DropLast() {
        if (!joined_ && used_ > 0) --used_;
        joined_ = false;
    }
    void Flush() {
        if (used_ == 0) return;
        TChartCanvas3D& canvas = canvas_;
        const size_t used = used_;
        used_ = 0;
        // Layers that share no pixel are painted as they stand.
        if ((used == 1 || oneComposition_) && TColumnCoverage::FillMarked(canvas, layers_.data(), colours_.data(), used))
            return;
        if (FlushInStrips(canvas, used)) return;
        // From the last series to the first, as a composition.
        TPixelComposer& composer = store_.Composer;
        composer.Reset(layers_[0].Region());
        for (size_t i = used; i-- > 0;) composer.PaintMarked(layers_[i], composer.Layer(colours_[i]));
        composer.Flush(canvas);
    }

private:
    // The composition of the used layers a strip of columns at a time, each strip painted
    // as soon as it is composed, so that its bits never leave the cache; false, with nothing
    // painted, where the canvas cannot paint column bits.
    bool FlushInStrips(TChartCanvas3D& canvas, size_t used) {
        const TRect region = layers_[0].Region();
        const auto words = static_cast<size_t>(layers_[0].Words());
        if (region.IsEmpty() || words == 0 || !columnBits_) return false;
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
        std::vector<TColumnCoverage::TWord>& strips = store_.Strips;
        strips.resize((colours.size() + 1) * stripWords);
        TColumnCoverage::TWord* painted = strips.data() + colours.size() * stripWords;
        std::vector<TChartCanvas3D::TColumnBits> bits(colours.size());
        for (size_t c = 0; c < colours.size(); ++c) bits[c] = {strips.data() + c * stripWords, colours[c]};
        for (int left = region.Left; left < region.Right; left += kStrip) {
            const int columns = std::min(kStrip, region.Right - left);
            const size_t n = static_cast<size_t>(columns) * words;
            // The first layer of the composition and the first of each colour are written, not
            // joined, which spares clearing the strip. Each layer's strip is cleared as it is
            // read, while in the cache, which spares the layer's next use clearing it.
            for (size_t i = used; i-- > 0;) {
                TColumnCoverage::TWord* __restrict from = layers_[i].MutableColumn(left);
                TColumnCoverage::TWord* __restrict to = strips.data() + into[i] * stripWords;
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
    TColumnCoverage& Slot(const TRect& region, TColor color) {
        if (used_ > 0 && layers_[0].Region() != region) Flush();
        if (used_ == layers_.size()) layers_.emplace_back();
        if (used_ == colours_.size()) colours_.push_back(color);
        colours_[used_] = color;
        return layers_[used_++];
    }
    TInkStore& store_;
    std::vector<TColumnCoverage>& layers_;  // the store's
    TChartCanvas3D& canvas_;
    bool columnBits_;
    std::vector<TColor> colours_;  // of the layers that wait
    size_t used_ = 0;
    bool oneComposition_ = false;  // what waits is the layers of one composition
    bool joined_ = false;          // Next gave the layer that waited last
};

}  // namespace zyn::chart
