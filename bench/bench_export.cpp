// The viewer's chart of 30,000 days (zyn-gen-data's DAX) written as a PDF page and as an SVG
// picture through the vector canvas, against one PNG frame of the same chart (the frame drawn
// into the screen canvas, and that frame encoded as PNG) in the same run, at 1920 x 1080 and
// at the designed 673 x 378. Prints the files' sizes and, once, the size of the PDF that drawing
// every point as a vector shape would write.
#include <benchmark/benchmark.h>

#include "BenchSummary.h"

#include <QBuffer>
#include <QElapsedTimer>
#include <QGuiApplication>
#include <QImage>
#include <QImageWriter>
#include <QTemporaryDir>

#include <cstdio>
#include <cstdlib>
#include <map>
#include <memory>
#include <string>

#include "app/ChartSetup.h"
#include "chart/qt/ChartExport.h"
#include "chart/qt/QtCanvas.h"
#include "data/DataFile.h"
#include "tools/SampleData.h"

namespace {

using namespace zyn::chart;

constexpr int kDays = 30000;

struct TLongChart {
    TQtCanvas* Canvas = nullptr;
    std::unique_ptr<TChart> Chart;
};

zyn::RecordList& Records() {
    static zyn::RecordList records = [] {
        QTemporaryDir dir;
        const std::string path = dir.filePath("DAX.mht").toStdString();
        zyn::sample::Options options;
        options.rows = kDays;
        if (!zyn::sample::WriteSampleFile(path, *zyn::sample::FindInstrument("DAX"), options)) std::abort();
        zyn::RecordList read;
        zyn::ReadDataFile(path, read);
        return read;
    }();
    return records;
}

TLongChart MakeChart(int width, int height) {
    auto canvas = std::make_unique<TQtCanvas>();
    TLongChart c{canvas.get(), std::make_unique<TChart>(std::move(canvas))};
    const zyn::app::TChart1Series series = zyn::app::SetupChart1(*c.Chart);
    c.Chart->SetBounds(width, height);
    zyn::app::FillChart1(*c.Chart, series, Records(), "DAX", true);
    c.Chart->DrawChart(TRect{0, 0, width, height});
    return c;
}

std::map<std::string, qsizetype> Sizes;

void BM_Frame(benchmark::State& state) {
    const int w = int(state.range(0)), h = int(state.range(1));
    TLongChart c = MakeChart(w, h);
    for (auto _ : state) {
        c.Chart->DrawChart(TRect{0, 0, w, h});
        benchmark::DoNotOptimize(c.Canvas->Image().constBits());
    }
}

void BM_FramePng(benchmark::State& state) {
    const int w = int(state.range(0)), h = int(state.range(1));
    TLongChart c = MakeChart(w, h);
    for (auto _ : state) {
        c.Chart->DrawChart(TRect{0, 0, w, h});
        QByteArray png;
        QBuffer buffer(&png);
        buffer.open(QIODevice::WriteOnly);
        QImageWriter(&buffer, "png").write(c.Canvas->Image());
        Sizes["png " + std::to_string(w)] = png.size();
    }
}

template <QByteArray (*Document)(TCustomChartPanel&, int, int, const QString&)>
void BM_Document(benchmark::State& state, const char* kind) {
    const int w = int(state.range(0)), h = int(state.range(1));
    TLongChart c = MakeChart(w, h);
    for (auto _ : state) {
        const QByteArray bytes = Document(*c.Chart, w, h, QStringLiteral("DAX"));
        Sizes[std::string(kind) + " " + std::to_string(w)] = bytes.size();
    }
}

void BM_Pdf(benchmark::State& state) { BM_Document<ChartPdf>(state, "pdf"); }
void BM_Svg(benchmark::State& state) { BM_Document<ChartSvg>(state, "svg"); }

BENCHMARK(BM_Frame)->Args({1920, 1080})->Args({673, 378})->Unit(benchmark::kMillisecond)->MinTime(1);
BENCHMARK(BM_FramePng)->Args({1920, 1080})->Args({673, 378})->Unit(benchmark::kMillisecond)->MinTime(1);
BENCHMARK(BM_Pdf)->Args({1920, 1080})->Args({673, 378})->Unit(benchmark::kMillisecond)->MinTime(1);
BENCHMARK(BM_Svg)->Args({1920, 1080})->Args({673, 378})->Unit(benchmark::kMillisecond)->MinTime(1);

double TimeOf(const zyn::bench::TSummaryReporter& reporter, const std::string& name) {
    const auto it = reporter.RealTime.find(name);
    return it == reporter.RealTime.end() ? 0 : it->second;
}

}  // namespace

int main(int argc, char** argv) {
    setenv("QT_QPA_PLATFORM", "offscreen", 0);
    QGuiApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    zyn::bench::TSummaryReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    benchmark::Shutdown();
    for (const auto& [w, h] : {std::pair{1920, 1080}, std::pair{673, 378}}) {
        const std::string args = "/" + std::to_string(w) + "/" + std::to_string(h) + "/min_time:1.000";
        const double frame = TimeOf(reporter, "BM_Frame" + args), png = TimeOf(reporter, "BM_FramePng" + args);
        const double pdf = TimeOf(reporter, "BM_Pdf" + args), svg = TimeOf(reporter, "BM_Svg" + args);
        const std::string key = " " + std::to_string(w);
        if (frame > 0 && png > 0)
            std::printf("%d x %d, %d days: PNG %lld bytes, PDF %lld bytes, SVG %lld bytes; writing the PDF takes %.2f x "
                        "a frame (%.2f x a frame saved as PNG), the SVG %.2f x (%.2f x)\n",
                        w, h, kDays, static_cast<long long>(Sizes["png" + key]), static_cast<long long>(Sizes["pdf" + key]),
                        static_cast<long long>(Sizes["svg" + key]), pdf / frame, pdf / png, svg / frame, svg / png);
    }
    // Every point drawn as its own shape: what leaving out the invisible spares.
    TLongChart naive = MakeChart(1920, 1080);
    naive.Chart->DrawEveryPoint = true;
    QElapsedTimer timer;
    timer.start();
    const QByteArray pdf = ChartPdf(*naive.Chart, 1920, 1080, QStringLiteral("DAX"));
    const double naiveMs = double(timer.nsecsElapsed()) / 1e6;
    const double composedMs = TimeOf(reporter, "BM_Pdf/1920/1080/min_time:1.000");
    std::printf("1920 x 1080, every point as its own shape: PDF %lld bytes (%.1f x the composed one's), written in "
                "%.2f x the composed one's time\n",
                static_cast<long long>(pdf.size()), double(pdf.size()) / double(Sizes["pdf 1920"]),
                composedMs > 0 ? naiveMs / composedMs : 0.0);
    return 0;
}
