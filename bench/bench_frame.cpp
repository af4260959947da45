// One full frame of an empty chart (the viewer's chart before the first load) at 1920 x 1080
// through the QPainter canvas, against the floor of filling a QImage of that size, in one run.
#include <benchmark/benchmark.h>

#include "BenchSummary.h"

#include <QGuiApplication>
#include <QImage>

#include <cstdio>
#include <cstdlib>
#include <map>
#include <memory>
#include <string>

#include "app/ChartSetup.h"
#include "chart/qt/QtCanvas.h"

namespace {

using namespace zyn::chart;

constexpr int W = 1920, H = 1080;

void BM_FillFloor(benchmark::State& state) {
    QImage image(W, H, QImage::Format_RGB32);
    unsigned color = 0xFFFFFF;
    for (auto _ : state) {
        image.fill(color ^= 1);
        benchmark::DoNotOptimize(image.constBits());
    }
}

void BM_EmptyChartFrame(benchmark::State& state) {
    TChart chart(std::make_unique<TQtCanvas>());
    (void)zyn::app::SetupChart1(chart);
    chart.SetBounds(W, H);
    const TRect frame{0, 0, W, H};
    chart.DrawChart(frame);
    for (auto _ : state) {
        chart.DrawChart(frame);
        benchmark::DoNotOptimize(static_cast<TQtCanvas&>(chart.Canvas()).Image().constBits());
    }
}

BENCHMARK(BM_FillFloor)->Unit(benchmark::kMicrosecond)->MinTime(0.5);
BENCHMARK(BM_EmptyChartFrame)->Unit(benchmark::kMicrosecond)->MinTime(0.5);


}  // namespace

int main(int argc, char** argv) {
    setenv("QT_QPA_PLATFORM", "offscreen", 0);
    QGuiApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    zyn::bench::TSummaryReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    benchmark::Shutdown();
    double floor = 0, frame = 0;
    for (const auto& [name, ns] : reporter.RealTime) {
        if (name.rfind("BM_FillFloor", 0) == 0) floor = ns;
        if (name.rfind("BM_EmptyChartFrame", 0) == 0) frame = ns;
    }
    if (floor > 0 && frame > 0)
        std::printf("empty chart frame: %.1f us, image fill: %.1f us, ratio %.2f x the floor (goal <= 3)\n", frame, floor,
                    frame / floor);
    return 0;
}
