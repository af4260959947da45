#include "chart/CandleSeries.h"

#include <algorithm>
#include <array>
#include <cstdint>
#include <cstdlib>

#include "chart/Axis.h"
#include "chart/Chart.h"
#include "chart/compose/CandleComposer.h"

namespace zyn::chart {


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

TCandleSeries::~TCandleSeries() = default;

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

TCandleSeries::TCandleGeometry TCandleSeries::Geometry(int index, const TCandlePixels& p) const {
    // An odd width puts the extra pixel on the right.
    const int leftWidth = candleWidth_ / 2;
    return {p, p.X - leftWidth, p.X + (candleWidth_ - leftWidth), IsFlat(p), CandleColor(index, p.Open, p.Close)};
}

void TCandleSeries::DrawPoint(int index) {
    // A null point keeps its place but is not drawn.
    if (PointColor(index) == clNone) return;
    TChartCanvas3D& canvas = Canvas();
    Pointer.ApplyToCanvas(canvas, clAutoColor);
    const TCandleGeometry g = Geometry(index, PixelsOf(index));
    const TCandlePixels& p = g.P;
    if (candleStyle_ == TCandleStyle::csCandleStick) {
        canvas.VerticalLine(p.X, p.Low, p.High);
        if (g.Flat) {
            // Open and close on one row: a line in the candle colour instead of a body.
            canvas.Pen.Color = g.Color;
            canvas.HorizontalLine(g.Left, g.Right, p.Open);
        } else {
            canvas.Brush.Color = g.Color;
            const TPoint body[] = {{g.Left, p.Open}, {g.Right, p.Open}, {g.Right, p.Close}, {g.Left, p.Close}};
            canvas.Polygon(body);
        }
    } else {
        canvas.Pen.Color = g.Color;
        canvas.VerticalLine(p.X, p.Low, p.High);
        if (showOpenTick_) canvas.HorizontalLine(p.X, g.Left, p.Open);
        if (showCloseTick_) canvas.HorizontalLine(p.X, g.Right, p.Close);
    }
}

void TCandleSeries::LeaveCanvasAfter(int index) const {
    TChartCanvas3D& canvas = Canvas();
    const TCandleGeometry g = Geometry(index, PixelsOf(index));
    Pointer.ApplyToCanvas(canvas, clAutoColor);
    if (candleStyle_ != TCandleStyle::csCandleStick || g.Flat)
        canvas.Pen.Color = g.Color;
    else
        canvas.Brush.Color = g.Color;
}

TSeriesComposer* TCandleSeries::Composer() {
    if (!composer_) composer_ = std::make_unique<TCandleComposer>(*this);
    return composer_.get();
}

int TCandleSeries::Clicked(int x, int y) {
    int first = 0, last = 0;
    if (!HitRange(first, last)) return -1;
    const int penWidth = Pointer.Pen.Visible ? std::max<int>(1, Pointer.Pen.Width) : 1;
    // A wide pen spreads width div 2 pixels to the left/top of the centre line.
    const int before = penWidth / 2, after = penWidth - 1 - before;
    // v lies between a and b, widened by the pen's spread on each side.
    auto within = [&](int v, int a, int b) { return v >= std::min(a, b) - before && v <= std::max(a, b) + after; };
    // Later candles are drawn over earlier ones.
    for (int i = last; i >= first; --i) {
        if (PointColor(i) == clNone) continue;
        const TCandleGeometry g = Geometry(i, PixelsOf(i));
        const TCandlePixels& p = g.P;
        if (within(x, p.X, p.X) && within(y, p.Low, p.High)) return i;
        if (candleStyle_ == TCandleStyle::csCandleStick) {
            if (within(x, g.Left, g.Right) && within(y, p.Open, p.Close)) return i;
        } else {
            if (showOpenTick_ && within(x, p.X, g.Left) && within(y, p.Open, p.Open)) return i;
            if (showCloseTick_ && within(x, p.X, g.Right) && within(y, p.Close, p.Close)) return i;
        }
    }
    return -1;
}

}  // namespace zyn::chart
