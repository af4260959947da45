#pragma once
#include <vector>

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
    // A box of one colour as one candle paints it, in drawing order; inclusive bounds.
    struct TCandleBox {
        TColor Color;
        int Left, Top, Right, Bottom;
    };
    // Candles on one pixel column share their columns and cover each other where their rows
    // meet: each run of them is drawn as the boxes that stay visible, in the colours the last
    // candle over them gives. False, with nothing drawn, where the canvas does not paint
    // candles as boxes.
    bool DrawVisibleCandles();
    // The boxes candle index paints, appended; false when it is not painted as boxes.
    bool CandleBoxes(int index, std::vector<TCandleBox>& boxes);
    void DrawVisibleBoxes(const std::vector<TCandleBox>& boxes);
    std::vector<TCandleBox> boxes_;  // scratch of DrawVisibleCandles

    struct TCandlePixels {
        int X = 0, Open = 0, High = 0, Low = 0, Close = 0;
    };
    TCandlePixels PixelsOf(int index) const;

    TCandleStyle candleStyle_ = TCandleStyle::csCandleStick;
    int candleWidth_ = 5;
    TColor upCloseColor_ = clWhite;
    TColor downCloseColor_ = clRed;
    bool showOpenTick_ = true, showCloseTick_ = true;
};

}  // namespace zyn::chart
