#pragma once
#include <vector>

#include "chart/BlockRanges.h"
#include "chart/Coverage.h"
#include "chart/LineSeries.h"

namespace zyn::chart {

// Date plus open, high, low and close per point.
class TOHLCSeries : public TCustomSeries {
public:
    TOHLCSeries();
    TChartValueList& DateValues() { return XValues(); }
    TChartValueList& OpenValues() { return YValues(); }
    TChartValueList& HighValues() { return *valueLists_[2]; }
    TChartValueList& LowValues() { return *valueLists_[3]; }
    TChartValueList& CloseValues() { return *valueLists_[4]; }
    const TChartValueList& HighValues() const { return *valueLists_[2]; }
    const TChartValueList& LowValues() const { return *valueLists_[3]; }
    const TChartValueList& CloseValues() const { return *valueLists_[4]; }

    int AddCandlePoint(double date, double open, double high, double low, double close);
    double MaxY() const override;
    double MinY() const override;
};

enum class TCandleStyle { csCandleStick, csCandleBar };

class TCandleSeries : public TOHLCSeries {
public:
    TCandleSeries();

    TCandleStyle CandleStyle() const { return candleStyle_; }
    void SetCandleStyle(TCandleStyle value);
    int CandleWidth() const { return candleWidth_; }
    void SetCandleWidth(int value);
    TColor UpCloseColor() const { return upCloseColor_; }
    void SetUpCloseColor(TColor value);
    TColor DownCloseColor() const { return downCloseColor_; }
    void SetDownCloseColor(TColor value);
    bool ShowOpenTick() const { return showOpenTick_; }
    void SetShowOpenTick(bool value);
    bool ShowCloseTick() const { return showCloseTick_; }
    void SetShowCloseTick(bool value);
    // The outline and wick pen is the pointer's pen.
    TChartPen& Pen() { return Pointer.Pen; }

    // The colour a candle is drawn in, from its pixel rows and, in a tie, its close.
    TColor CandleColor(int index, int yOpen, int yClose) const;
    void DrawPoint(int index) override;
    void DrawPoints() override;
    int Clicked(int x, int y) override;

private:
    struct TCandlePixels {
        int X = 0, Open = 0, High = 0, Low = 0, Close = 0;
    };
    // The boxes one candle paints, in its drawing order wick, body outline (or, with open and
    // close on one row, the flat body), inside; rows inclusive, Top > Bottom where a box is not
    // painted. The columns of a kind are the same for every candle, relative to its X.
    enum TBoxKind { bkWick, bkOutline, bkFlat, bkInside, bkKinds };
    struct TCandleShape {
        int X;
        TColor Color;
        int Top[bkKinds], Bottom[bkKinds];
    };
    // Candles on one pixel column share their columns and cover each other where their rows
    // meet, and the following columns' candles cover them again: the candles are composed from
    // the last to the first, and each visible part is drawn once, in the colour of the last
    // candle over it. False, with nothing drawn, where the canvas does not paint candles as
    // boxes of the same columns wherever they stand.
    bool DrawVisibleCandles();
    // The shapes of the drawn candles a..b into shapes_, lastDrawn raised to the last of
    // them; false where a candle has no colour of its own.
    bool CandleShapes(int a, int b, int& lastDrawn);
    // Each pixel column's candles painted over the earlier columns, of each only what later
    // candles of its column leave visible.
    void DrawCandleRuns();
    // The canvas as drawing candle index leaves it.
    void LeaveCanvasAsCandle(int index);
    // The shape of candle index, at pixels p, as the canvas paints it with penBoxes_.
    void CandleShape(int index, const TCandlePixels& p, TCandleShape& shape) const;
    TChartCanvas3D::TPenBoxes penBoxes_;
    std::vector<TCandleShape> shapes_;  // scratch of CandleShapes
    std::vector<int> pixels_[5];        // X, open, high, low and close of those candles
    // Columns of each kind relative to the candle's X; none where left > right.
    int kindLeft_[bkKinds] = {}, kindRight_[bkKinds] = {};
    TPixelComposer composer_;  // what later columns of candles painted, and in which colour

    TCandlePixels PixelsOf(int index) const;
    // The pixels of the visible candles first..last into pixels_.
    void MapCandlePixels(int first, int last);
    TCandlePixels PixelsAt(size_t k) const {
        return {pixels_[0][k], pixels_[1][k], pixels_[2][k], pixels_[3][k], pixels_[4][k]};
    }
    // The rows blocks of the n mapped candles reach with their bodies and with their wicks;
    // false where blocks cannot be passed over, as where the pixel columns do not run one way.
    bool BuildRanges(size_t n);
    TBlockRanges bodies_, wicks_;

    TCandleStyle candleStyle_ = TCandleStyle::csCandleStick;
    int candleWidth_ = 5;
    TColor upCloseColor_ = clWhite;
    TColor downCloseColor_ = clRed;
    bool showOpenTick_ = true, showCloseTick_ = true;
};

}  // namespace zyn::chart
