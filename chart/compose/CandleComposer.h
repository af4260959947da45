#pragma once
#include <cstddef>
#include <vector>

#include "chart/CandleSeries.h"
#include "chart/compose/BlockRanges.h"
#include "chart/compose/PixelComposer.h"
#include "chart/compose/SeriesComposer.h"

namespace zyn::chart {

// Candles as the boxes a canvas paints for them (wick, body outline or flat body, inside),
// each visible part painted once, in the colour of the last candle over it. Candles on one
// pixel column share their columns and cover each other where their rows meet, and the
// following columns' candles cover them again. Where few candles share a column, each column's
// candles are painted over the earlier columns, only what later candles of the column leave
// visible; where many do, the candles are composed from the last to the first across the plot
// and left to the frame's waiting ink. Declines for the bar style, a pen or brush the canvas
// does not paint as boxes, and candles without a colour of their own.
class TCandleComposer final : public TSeriesComposer {
public:
    explicit TCandleComposer(const TCandleSeries& series) : series_(series) {}
    bool Compose(TFrameContext& frame, TComposedEnd& end) override;

private:
    using TWord = TColumnCoverage::TWord;
    using TCandlePixels = TCandleSeries::TCandlePixels;
    // The boxes one candle paints, in its drawing order: wick, body outline (or, with open and
    // close on one row, the flat body), inside.
    enum TBoxKind { bkWick, bkOutline, bkFlat, bkInside, bkKinds };
    // Rows of each kind of box, inclusive; Top > Bottom where the candle paints none.
    struct TCandleRows {
        int Top[bkKinds], Bottom[bkKinds];
    };
    struct TCandleShape {
        int X;
        TColor Color;
        TCandleRows Rows;
    };
    // Columns a stripe of a candle covers, relative to its X, and its group: stripes covered
    // by the same kinds of boxes look alike.
    struct TStripe {
        int Left, Right;
        int Group;
    };

    // The setting and the canvas allow composing; sets the pen's boxes and the kinds' columns.
    bool Accepts(TFrameContext& frame);
    // The rows of each box of a candle at pixels p: the one place that knows which boxes a
    // candle paints and where. Without branches, as it runs once per candle on rows no branch
    // predictor foresees.
    [[gnu::always_inline]] inline TCandleRows Rows(const TCandlePixels& p) const;
    void Shape(int index, const TCandlePixels& p, TCandleShape& shape) const;
    // The columns where the kinds of boxes begin and end, relative to a candle's X, into edges_.
    void FindKindEdges();

    // Few candles a column: each column's candles painted over the earlier columns.
    bool PaintColumns(TFrameContext& frame);
    bool Shapes(int a, int b);
    void PaintColumn(TChartCanvas3D& canvas, size_t start, size_t end);
    void PaintStripe(TChartCanvas3D& canvas, size_t start, size_t end, int left, int right);

    // Many candles a column: composed from the last to the first.
    bool ComposeColumns(TFrameContext& frame);
    void SplitIntoStripes();
    void PrepareClaims();
    bool ComposeChunk(int lo, int hi, bool coloured, bool noNulls);
    [[gnu::always_inline]] inline bool ComposeInTwoWords(int k, int index);
    void ComposeShape(const TCandleShape& c);
    [[gnu::always_inline]] inline void ClaimGroups(int w, const TWord (&lo)[bkKinds], const TWord (&hi)[bkKinds], int penLayer,
                                            int ownLayer);
    void FinishColumn();
    // The layer of a colour, looked up by its slot: 0 the pen's, 1 the up colour's, 2 the down
    // colour's, 3 any other's.
    int LayerOf(TColor c, int slot);
    // The layer of a candle's own colour.
    int OwnLayer(TColor c);
    void Touch(int layer) {
        if (!touched_[static_cast<size_t>(layer)]) {
            touched_[static_cast<size_t>(layer)] = 1;
            touchedLayers_.push_back(layer);
        }
    }
    bool Hidden(int level, int start) const;

    // The pixels of the candles first..last into pixels_.
    void MapPixels(int first, int last);
    TCandlePixels PixelsAt(size_t k) const {
        return {pixels_[0][k], pixels_[1][k], pixels_[2][k], pixels_[3][k], pixels_[4][k]};
    }
    // The rows blocks of the n mapped candles reach with their bodies and with their wicks;
    // false where blocks cannot be passed over, as where the pixel columns do not run one way.
    bool BuildRanges(size_t n);

    const TCandleSeries& series_;
    // Of one Compose: the pen's boxes, each kind's columns relative to the candle's X (none
    // where left > right), the visible candles and the last one drawn.
    TChartCanvas3D::TPenBoxes penBoxes_;
    int kindLeft_[bkKinds] = {}, kindRight_[bkKinds] = {};
    std::vector<int> edges_;
    int first_ = 0, last_ = -1, lastDrawn_ = -1;
    // Kept from call to call to spare allocations.
    std::vector<TCandleShape> shapes_;
    std::vector<int> pixels_[5];  // X, open, high, low and close of the mapped candles
    std::vector<std::pair<int, int>> covered_;  // rows painted by later boxes, sorted, apart
    TBlockRanges bodies_, wicks_;
    TPixelComposer composer_;  // what later columns of candles painted, and in which colour

    // The composition across columns, of one Compose.
    std::vector<TStripe> stripes_;
    std::vector<unsigned> groupKinds_;  // per group: bit k set when kind k covers its stripes
    std::vector<std::vector<TBoxKind>> groupOrder_;  // per group its kinds, the last painted first
    std::vector<TWord> kindSelect_;  // per group and kind all rows or none
    std::vector<char> groupBody_, groupWick_;
    size_t groups_ = 0, words_ = 0;
    // Per group the rows the column's candles have claimed so far, from its last candle back;
    // per layer and group the claimed rows that show in the layer's colour.
    std::vector<TWord> claimed_, layerRows_;
    std::vector<char> touched_;  // per layer: it may hold rows in some group
    std::vector<int> touchedLayers_;
    // Per slot of LayerOf its colour and layer.
    TColor colorOfLayer_[4] = {};
    int layerOfColor_[4] = {};
    int ownLayers_[2] = {-1, -1}, penLayer_ = -1;  // of falling and rising candles; of the pen
    int x_ = 0, wLo_ = 0, wHi_ = -1;  // the column composed and the words its claims reach
    const int* xs_ = nullptr;          // the columns of the chunk composed
};

}  // namespace zyn::chart
