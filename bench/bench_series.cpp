// One full chart frame (TChart::DrawChart) of 1920 x 1080 pixels through the QPainter canvas,
// laid out as the viewer's chart: a candle series, a line with circle pointers and a stair line
// on the right axis (upper 85 %), two bar series on the fixed left axis (lower 15 %), date
// labels on the bottom axis; N points per series. The floor, measured in the same run: filling a
// 1920 x 1080 image and drawing N one-pixel vertical lines (the candles' wicks) with QPainter.
#include <benchmark/benchmark.h>

#include "BenchSummary.h"

#include <QGuiApplication>
#include <QImage>
#include <QPainter>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "chart/BarSeries.h"
#include "chart/CandleSeries.h"
#include "chart/Chart.h"
#include "chart/LineSeries.h"
#include "chart/qt/QtCanvas.h"

namespace {

using namespace zyn::chart;

constexpr int W = 1920, H = 1080;

struct TDay {
    double Open, High, Low, Close, Mid, Level;
    int Trend, Sum;
};

std::vector<TDay> MakeDays(int n) {
    std::vector<TDay> days;
    days.reserve(static_cast<size_t>(n));
    double price = 5000;
    unsigned seed = 12345;
    auto next = [&] {
        seed = seed * 1103515245u + 12345u;
        return double((seed >> 8) & 0xFFFF) / 65535.0 - 0.5;
    };
    for (int i = 0; i < n; ++i) {
        const double open = price;
        const double close = open + 60 * next();
        const double high = std::max(open, close) + 30 * (next() + 0.5);
        const double low = std::min(open, close) - 30 * (next() + 0.5);
        price = close;
        const int trend = int(std::lround(4 * next()));
        days.push_back({open, high, low, close, (high + low) / 2, (high + low + close) / 3, trend,
                        int(std::lround(10 * next()))});
    }
    return days;
}

// The chart of the viewer's configuration with n points per series.
std::unique_ptr<TChart> MakeChart(int n) {
    auto chart = std::make_unique<TChart>(std::make_unique<TQtCanvas>());
    TChart& c = *chart;
    c.SetBounds(W, H);
    c.SetColor(clWhite);
    c.SetBevelInner(TPanelBevel::bvLowered);
    c.SetBorderWidth(2);
    c.SetView3D(false);
    c.Legend.Visible = false;
    c.BackWall.Brush.Color = clWhite;
    c.Title.SetText({"DAX"});
    c.RightAxis().SetEndPosition(85);
    c.LeftAxis().SetStartPosition(85);
    c.LeftAxis().SetRange(-6, 6);
    c.LeftAxis().SetIncrement(2);

    auto& candles = c.Add(std::make_unique<TCandleSeries>());
    candles.SetVertAxis(TVertAxis::aRightAxis);
    candles.SetSeriesColor(clRed);
    candles.SetUpCloseColor(clGreen);
    candles.SetCandleWidth(8);
    candles.Pen().Width = 3;
    auto& mid = c.Add(std::make_unique<TLineSeries>());
    mid.SetVertAxis(TVertAxis::aRightAxis);
    mid.Pointer.SetVisible(true);
    mid.Pointer.SetStyle(TSeriesPointerStyle::psCircle);
    mid.Pointer.SetHorizSize(2);
    mid.Pointer.SetVertSize(2);
    auto& level = c.Add(std::make_unique<TLineSeries>());
    level.SetVertAxis(TVertAxis::aRightAxis);
    level.SetStairs(true);
    auto& trend = c.Add(std::make_unique<TBarSeries>());
    auto& sum = c.Add(std::make_unique<TBarSeries>());

    const std::vector<TDay> days = MakeDays(n);
    char label[16];
    for (int i = 0; i < n; ++i) {
        const TDay& d = days[static_cast<size_t>(i)];
        const int index = candles.AddCandlePoint(i, d.Open, d.High, d.Low, d.Close);
        std::snprintf(label, sizeof label, "%02d.%02d.%04d", 1 + i % 28, 1 + i / 28 % 12, 1990 + i / 336);
        candles.SetXLabel(index, label);
        mid.AddPoint(i, d.Mid, "", clFuchsia);
        level.AddPoint(i, d.Level, "", clGreen);
        trend.AddPoint(i, d.Trend, "", d.Trend > 0 ? clGreen : clRed);
        sum.AddPoint(i, d.Sum / 2.0, "", d.Sum > 0 ? clBlue : clMaroon);
    }
    return chart;
}

void BM_FloorFillAndWicks(benchmark::State& state) {
    const int n = static_cast<int>(state.range(0));
    const std::vector<TDay> days = MakeDays(n);
    double lo = days[0].Low, hi = days[0].High;
    for (const TDay& d : days) {
        lo = std::min(lo, d.Low);
        hi = std::max(hi, d.High);
    }
    // The wicks on roughly the rows and columns the chart gives them.
    std::vector<QLine> wicks;
    for (int i = 0; i < n; ++i) {
        const TDay& d = days[static_cast<size_t>(i)];
        const int x = 60 + int(double(i) * (W - 140) / n);
        auto row = [&](double v) { return 40 + int((hi - v) / (hi - lo) * 860); };
        wicks.emplace_back(x, row(d.Low), x, row(d.High));
    }
    QImage image(W, H, QImage::Format_RGB32);
    for (auto _ : state) {
        QPainter painter(&image);
        painter.fillRect(0, 0, W, H, Qt::white);
        painter.setPen(QPen(Qt::black, 1));
        for (const QLine& line : wicks) painter.drawLine(line);
        painter.end();
        benchmark::DoNotOptimize(image.constBits());
    }
    state.SetItemsProcessed(state.iterations());
}

void BM_ChartFrame(benchmark::State& state) {
    const int n = static_cast<int>(state.range(0));
    std::unique_ptr<TChart> chart = MakeChart(n);
    auto& canvas = static_cast<TQtCanvas&>(chart->Canvas());
    for (auto _ : state) {
        chart->DrawChart(TRect{0, 0, W, H});
        benchmark::DoNotOptimize(canvas.Image().constBits());
    }
    state.SetItemsProcessed(state.iterations());
}

// The same frame without axes (no labels, ticks or grid): what the series themselves cost.
void BM_SeriesOnlyFrame(benchmark::State& state) {
    const int n = static_cast<int>(state.range(0));
    std::unique_ptr<TChart> chart = MakeChart(n);
    chart->SetAxisVisible(false);
    auto& canvas = static_cast<TQtCanvas&>(chart->Canvas());
    for (auto _ : state) {
        chart->DrawChart(TRect{0, 0, W, H});
        benchmark::DoNotOptimize(canvas.Image().constBits());
    }
    state.SetItemsProcessed(state.iterations());
}

BENCHMARK(BM_FloorFillAndWicks)->Arg(2600)->Arg(15000)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ChartFrame)->Arg(2600)->Arg(15000)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_SeriesOnlyFrame)->Arg(2600)->Arg(15000)->Unit(benchmark::kMillisecond);


}  // namespace

int main(int argc, char** argv) {
    setenv("QT_QPA_PLATFORM", "offscreen", 0);
    QGuiApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    zyn::bench::TSummaryReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    benchmark::Shutdown();

    for (const char* n : {"2600", "15000"}) {
        const double floor = reporter.ItemsPerSecond[std::string("BM_FloorFillAndWicks/") + n];
        const double frame = reporter.ItemsPerSecond[std::string("BM_ChartFrame/") + n];
        const double series = reporter.ItemsPerSecond[std::string("BM_SeriesOnlyFrame/") + n];
        if (floor > 0 && frame > 0 && series > 0)
            std::printf("summary N=%s: floor %.2f ms; chart frame %.2f ms (%.2fx floor); without axes %.2f ms "
                        "(%.2fx floor)\n",
                        n, 1e3 / floor, 1e3 / frame, floor / frame, 1e3 / series, floor / series);
    }
    return 0;
}
