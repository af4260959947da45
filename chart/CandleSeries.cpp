#include "chart/CandleSeries.h"

#include <algorithm>
#include <cstdlib>

#include "chart/Axis.h"
#include "chart/Chart.h"

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
    if (!DrawVisibleCandles()) TCustomSeries::DrawPoints();
}

bool TCandleSeries::CandleBoxes(int index, std::vector<TCandleBox>& boxes) {
    TChartCanvas3D& canvas = Canvas();
    const TCandlePixels p = PixelsOf(index);
    const int leftWidth = candleWidth_ / 2;
    const int rightWidth = candleWidth_ - leftWidth;
    const TColor color = CandleColor(index, p.Open, p.Close);
    if (color == clAutoColor) return false;
    auto add = [&](TColor c, const TRect& r) {
        if (!r.IsEmpty()) boxes.push_back(TCandleBox{c, r.Left, r.Top, r.Right - 1, r.Bottom - 1});
    };
    TRect wick, body, inside;
    if (!canvas.LineBox(p.X, p.Low, p.X, p.High, wick)) return false;
    add(Pointer.Pen.Color, wick);
    if (p.Open == p.Close) {
        if (!canvas.LineBox(p.X - leftWidth, p.Open, p.X + rightWidth, p.Open, body)) return false;
        add(color, body);
    } else {
        if (!canvas.BoxPolygonBoxes(p.X - leftWidth, p.Open, p.X + rightWidth, p.Close, body, inside)) return false;
        add(Pointer.Pen.Color, body);
        add(color, inside);
    }
    return true;
}

bool TCandleSeries::DrawVisibleCandles() {
    const TChartPen& pen = Pointer.Pen;
    if (candleStyle_ != TCandleStyle::csCandleStick || !pen.Visible || pen.Color == clAutoColor ||
        Pointer.Brush.Style != TBrushStyle::bsSolid || !DrawOnlyVisible())
        return false;
    const int first = FirstVisibleIndex, last = LastVisibleIndex;
    TChartCanvas3D& canvas = Canvas();
    Pointer.ApplyToCanvas(canvas, clAutoColor);
    // The shapes are asked for before anything is drawn, so a canvas that paints them
    // otherwise leaves the whole series to the point-by-point drawing.
    int lastDrawn = -1;
    for (int i = last; i >= first && lastDrawn < 0; --i)
        if (PointColor(i) != clNone) lastDrawn = i;
    if (lastDrawn < 0) return false;
    boxes_.clear();
    if (!CandleBoxes(lastDrawn, boxes_)) return false;
    for (int start = first; start <= last;) {
        // A run of candles on one column; the runs are drawn in order, each over the last.
        const int x = XPixel(start);
        int end = start;
        while (end < last && XPixel(end + 1) == x) ++end;
        boxes_.clear();
        for (int i = start; i <= end; ++i) {
            if (PointColor(i) != clNone && !CandleBoxes(i, boxes_)) {
                for (int k = start; k <= end; ++k) DrawPoint(k);
                boxes_.clear();
                break;
            }
        }
        DrawVisibleBoxes(boxes_);
        start = end + 1;
    }
    // Leave the canvas as drawing the last candle would.
    const TCandlePixels p = PixelsOf(lastDrawn);
    Pointer.ApplyToCanvas(canvas, clAutoColor);
    if (p.Open == p.Close)
        canvas.Pen.Color = CandleColor(lastDrawn, p.Open, p.Close);
    else
        canvas.Brush.Color = CandleColor(lastDrawn, p.Open, p.Close);
    return true;
}

void TCandleSeries::DrawVisibleBoxes(const std::vector<TCandleBox>& boxes) {
    if (boxes.empty()) return;
    // Columns where the boxes begin or end split the run into stripes that every box covers
    // wholly or not at all; in each stripe the boxes are rows, the later on top.
    std::vector<int> edges;
    for (const TCandleBox& b : boxes)
        for (int e : {b.Left, b.Right + 1})
            if (std::find(edges.begin(), edges.end(), e) == edges.end()) edges.push_back(e);
    std::sort(edges.begin(), edges.end());
    TChartCanvas3D& canvas = Canvas();
    canvas.Brush.Style = TBrushStyle::bsSolid;
    std::vector<std::pair<int, int>> covered;  // rows painted by later boxes, sorted, apart
    for (size_t e = 0; e + 1 < edges.size(); ++e) {
        const int left = edges[e], right = edges[e + 1] - 1;
        covered.clear();
        for (size_t k = boxes.size(); k-- > 0;) {
            const TCandleBox& b = boxes[k];
            if (b.Left > left || b.Right < right) continue;
            // The rows of this box that no later box paints.
            int row = b.Top;
            auto fill = [&](int top, int bottom) {
                canvas.Brush.Color = b.Color;
                canvas.FillRect(TRect{left, top, right + 1, bottom + 1});
            };
            for (const auto& [top, bottom] : covered) {
                if (bottom < row) continue;
                if (top > b.Bottom) break;
                if (top > row) fill(row, top - 1);
                row = bottom + 1;
                if (row > b.Bottom) break;
            }
            if (row <= b.Bottom) fill(row, b.Bottom);
            // Join the box's rows into the covered ones.
            auto it = std::lower_bound(covered.begin(), covered.end(), std::make_pair(b.Top, b.Top));
            if (it != covered.begin() && std::prev(it)->second + 1 >= b.Top) --it;
            int top = b.Top, bottom = b.Bottom;
            auto stop = it;
            while (stop != covered.end() && stop->first <= bottom + 1) {
                top = std::min(top, stop->first);
                bottom = std::max(bottom, stop->second);
                ++stop;
            }
            it = covered.erase(it, stop);
            covered.insert(it, {top, bottom});
        }
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
