#pragma once
#include <memory>

#include "chart/LineSeries.h"
#include "chart/compose/SeriesComposer.h"

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

class TCandleComposer;

class TCandleSeries : public TOHLCSeries {
public:
    TCandleSeries();
    ~TCandleSeries() override;

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

    // The pixels of a candle's prices.
    struct TCandlePixels {
        int X = 0, Open = 0, High = 0, Low = 0, Close = 0;
    };
    TCandlePixels PixelsOf(int index) const;
    // Open and close on one row: the candle shows a line in its colour instead of a body.
    static bool IsFlat(const TCandlePixels& p) { return p.Open == p.Close; }
    // What drawing a candle makes of its pixels: the body's columns, whether open and close
    // share a row (a line in the candle's colour instead of a body), and the candle's colour.
    struct TCandleGeometry {
        TCandlePixels P;
        int Left = 0, Right = 0;
        bool Flat = false;
        TColor Color = clNone;
    };
    TCandleGeometry Geometry(int index, const TCandlePixels& p) const;
    // The colour a candle is drawn in, from its pixel rows and, in a tie, its close.
    TColor CandleColor(int index, int yOpen, int yClose) const;
    void DrawPoint(int index) override;
    // The canvas as drawing candle index leaves it.
    void LeaveCanvasAfter(int index) const;
    int Clicked(int x, int y) override;

protected:
    TSeriesComposer* Composer() override;
    void ComposedTo(const TComposedEnd& end) override { LeaveCanvasAfter(end.Index); }

private:
    std::unique_ptr<TCandleComposer> composer_;
    TCandleStyle candleStyle_ = TCandleStyle::csCandleStick;
    int candleWidth_ = 5;
    TColor upCloseColor_ = clWhite;
    TColor downCloseColor_ = clRed;
    bool showOpenTick_ = true, showCloseTick_ = true;
};

}  // namespace zyn::chart
